# libpng and zlib: the system's on Linux; on Windows libpng is compiled from
# Debian's source package (fetched outside the source tree) against MinGW's zlib.
if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  set(ZLIB_USE_STATIC_LIBS ON)
  find_package(ZLIB REQUIRED)
  include(${CMAKE_CURRENT_LIST_DIR}/LibpngFromSource.cmake)
else()
  find_package(ZLIB REQUIRED)
  find_package(PNG REQUIRED)
endif()
