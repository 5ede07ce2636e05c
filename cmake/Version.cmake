# The project's version, where code and files can see it: a generated header
# (ProjectVersion.h, through the target project_version) and, on Windows, the
# module's version resource. The version comes from project() alone.
set(PROJECT_VERSION_HEADER_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/ProjectVersion.h.in ${PROJECT_VERSION_HEADER_DIR}/ProjectVersion.h @ONLY)
add_library(project_version INTERFACE)
target_include_directories(project_version INTERFACE $<BUILD_INTERFACE:${PROJECT_VERSION_HEADER_DIR}>)

if(WIN32)
  enable_language(RC)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/ModuleVersion.rc.in ${PROJECT_VERSION_HEADER_DIR}/ModuleVersion.rc @ONLY)
  set(MODULE_VERSION_RESOURCE ${PROJECT_VERSION_HEADER_DIR}/ModuleVersion.rc)
else()
  set(MODULE_VERSION_RESOURCE "")
endif()
