# Cross build for Windows x86-64 with mingw-w64 (Debian package
# g++-mingw-w64-x86-64-posix); the executables run under Wine.
#   cmake -S . -B build-windows -DCORE_ONLY=ON \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# scripts/test-windows does this and runs the tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLET x86_64-w64-mingw32)
# The -posix variants give std::thread and friends.
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)

# Libraries and headers come from the mingw sysroot only; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
# Qt, OpenCV and libtiff built for Windows by scripts/windows-deps: its prefix
# in QZ_WINDOWS_DEPS. An environment variable, as try_compile projects see it.
if(DEFINED ENV{QZ_WINDOWS_DEPS})
  list(APPEND CMAKE_FIND_ROOT_PATH $ENV{QZ_WINDOWS_DEPS})
  list(APPEND CMAKE_PREFIX_PATH $ENV{QZ_WINDOWS_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static run-time libraries, so a test runs under Wine without mingw DLLs
# beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# CTest and gtest_discover_tests run the test programs through Wine's loader
# (Debian 12 has no wine64 on the PATH).
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
