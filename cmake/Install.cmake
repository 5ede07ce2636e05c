# What `cmake --install` puts where (GNU folders under the prefix), the CMake
# package and pkg-config file a host project finds it by, and the Debian
# package `cpack -G DEB` makes of the same files:
#   <libdir>/Qz_VirtualCamera_ReadFile/Qz_VirtualCamera_ReadFile.so   the module, in a folder of its own
#   <libdir>/libQz_CameraModuleBase.a (no debug information), <includedir>/Qz_VirtualCamera_ReadFile/Base.h and ModuleEntries.h   the interface
#   <libdir>/cmake/Qz_VirtualCamera_ReadFile/, <libdir>/pkgconfig/   how a host finds them
#   <bindir>/camera-host, make-sample-recording; <mandir>/man1/ their manual pages
#   <docdir>/ README, CHANGELOG, LICENSE, docs, the example host; in the
#   Debian package also copyright and changelog.gz, as Debian wants them
# <libdir> is lib/<multiarch> on Linux (see the top-level CMakeLists.txt).
include(CMakePackageConfigHelpers)

set(PACKAGE_NAME Qz_VirtualCamera_ReadFile)
set(PACKAGE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/${PACKAGE_NAME})
# The other Qt major's package, which the package config names when a host
# built with that Qt finds this one.
if(QT_MAJOR_VERSION EQUAL 6)
  set(DEB_PACKAGE_NAME_OTHER_QT qz-virtualcamera-readfile)
else()
  set(DEB_PACKAGE_NAME_OTHER_QT qz-virtualcamera-readfile-qt6)
endif()
set(MODULE_INSTALL_FILE ${MODULE_INSTALL_DIR}/Qz_VirtualCamera_ReadFile${CMAKE_SHARED_LIBRARY_SUFFIX})

install(TARGETS Qz_VirtualCamera_ReadFile
  LIBRARY DESTINATION ${MODULE_INSTALL_DIR}
  RUNTIME DESTINATION ${MODULE_INSTALL_DIR})
install(TARGETS base_interface EXPORT ${PACKAGE_NAME}Targets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
# The build keeps its debug information; the installed copy drops it (1.5 MB
# of it, for four trivial functions and the meta-object code).
if(CMAKE_STRIP AND NOT MSVC)
  install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/$<TARGET_FILE_NAME:base_interface>\")")
endif()
install(FILES ${PROJECT_SOURCE_DIR}/interface/Base.h ${PROJECT_SOURCE_DIR}/interface/ModuleEntries.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/Qz_VirtualCamera_ReadFile)
install(TARGETS camera-host make-sample-recording RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/LICENSE
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# find_package(Qz_VirtualCamera_ReadFile CONFIG REQUIRED) gives the target
# Qz_VirtualCamera_ReadFile::Base and the module's installed path in
# Qz_VirtualCamera_ReadFile_MODULE.
install(EXPORT ${PACKAGE_NAME}Targets NAMESPACE ${PACKAGE_NAME}:: DESTINATION ${PACKAGE_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/PackageConfig.cmake.in
  ${CMAKE_BINARY_DIR}/package/${PACKAGE_NAME}Config.cmake
  INSTALL_DESTINATION ${PACKAGE_CMAKE_DIR}
  PATH_VARS MODULE_INSTALL_FILE)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/${PACKAGE_NAME}ConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/package/${PACKAGE_NAME}Config.cmake
  ${CMAKE_BINARY_DIR}/package/${PACKAGE_NAME}ConfigVersion.cmake
  DESTINATION ${PACKAGE_CMAKE_DIR})

# pkg-config, with plain absolute paths: written when installing, since only
# then is the prefix known (cpack installs under /usr, whatever the build's).
set(PKGCONFIG_PREFIX "@PKGCONFIG_PREFIX@")  # kept for the install-time pass
configure_file(${CMAKE_CURRENT_LIST_DIR}/package.pc.in ${CMAKE_BINARY_DIR}/package/${DEB_PACKAGE_NAME}.pc.in @ONLY)
install(CODE "set(PKGCONFIG_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  configure_file(\"${CMAKE_BINARY_DIR}/package/${DEB_PACKAGE_NAME}.pc.in\"
    \"${CMAKE_BINARY_DIR}/package/${DEB_PACKAGE_NAME}.pc\" @ONLY)")
install(FILES ${CMAKE_BINARY_DIR}/package/${DEB_PACKAGE_NAME}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# Windows: the zip `cpack -G ZIP` makes runs from wherever it is unpacked, so
# the DLLs the programs and the module need go beside the programs (Windows
# looks in the program's folder first): Qt Core, OpenCV, libtiff, zlib and the
# compiler's run-time, all in the folder the cross-built Qt Core sits in.
if(WIN32)
  get_target_property(qt_core_dll Qt${QT_MAJOR_VERSION}::Core IMPORTED_LOCATION_RELEASE)
  get_filename_component(windows_deps_bin "${qt_core_dll}" DIRECTORY)
  file(GLOB windows_runtime_dlls "${windows_deps_bin}/*.dll")
  install(FILES ${windows_runtime_dlls} DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME ${DEB_PACKAGE_NAME})
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_SYSTEM_NAME windows-x86_64)
  set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
  set(CPACK_STRIP_FILES ON)
  include(CPack)
  return()
endif()

# Manual pages, compressed as Debian wants them.
find_program(GZIP_PROGRAM gzip)
set(MAN_PAGES camera-host.1 make-sample-recording.1)
if(GZIP_PROGRAM)
  foreach(page IN LISTS MAN_PAGES)
    execute_process(COMMAND ${GZIP_PROGRAM} -9nc ${PROJECT_SOURCE_DIR}/docs/man/${page}
      OUTPUT_FILE ${CMAKE_BINARY_DIR}/package/${page}.gz)
    install(FILES ${CMAKE_BINARY_DIR}/package/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/${page})
  endforeach()
endif()

# The Debian package: `cpack -G DEB` in the build folder. Depends comes from
# the shared libraries the binaries link (dpkg-shlibdeps, from dpkg-dev).
set(PACKAGE_MAINTAINER "Virtual camera maintainers <maintainers@users.noreply.c-seed-cdf33d1a.example>"
  CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${DEB_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Virtual camera module (Qt ${QT_MAJOR_VERSION}): replays recorded images as a camera")
# Debian wants the description's lines under 80 characters.
set(CPACK_PACKAGE_DESCRIPTION "A camera module that a machine-vision host loads like a camera driver;
it replays image files recorded one folder per capture, in an endless loop.
With camera-host, make-sample-recording, the interface header and the CMake
package for host projects.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)  # debug information stays in the build folder
# Building a host against the package needs the development files of the same Qt and OpenCV.
if(QT_MAJOR_VERSION EQUAL 6)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-base-dev, libopencv-dev")
  set(CPACK_DEBIAN_PACKAGE_CONFLICTS qz-virtualcamera-readfile)
else()
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qtbase5-dev, libopencv-dev")
  set(CPACK_DEBIAN_PACKAGE_CONFLICTS qz-virtualcamera-readfile-qt6)
endif()
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)

# The package's copyright file (the LICENSE in Debian's layout) and its
# changelog, which points at CHANGELOG.md.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE LICENSE_TEXT)
string(REGEX REPLACE "\n+$" "" LICENSE_TEXT "${LICENSE_TEXT}")
string(REGEX REPLACE "\n\n" "\n.\n" LICENSE_TEXT "${LICENSE_TEXT}")
string(REPLACE "\n" "\n " LICENSE_TEXT " ${LICENSE_TEXT}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright.in ${CMAKE_BINARY_DIR}/package/debian/copyright @ONLY)
string(TIMESTAMP DEB_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${CMAKE_BINARY_DIR}/package/debian/changelog @ONLY)
if(GZIP_PROGRAM)
  execute_process(COMMAND ${GZIP_PROGRAM} -9nc ${CMAKE_BINARY_DIR}/package/debian/changelog
    OUTPUT_FILE ${CMAKE_BINARY_DIR}/package/debian/changelog.gz)
  install(FILES ${CMAKE_BINARY_DIR}/package/debian/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()
install(FILES ${CMAKE_BINARY_DIR}/package/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
include(CPack)
