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

# stb_image_resize from Debian's libstb-dev: a header, so the Windows builds
# take it from the build machine as it is (outside MinGW's root).
find_path(STB_INCLUDE_DIR stb_image_resize.h PATHS /usr/include PATH_SUFFIXES stb NO_CMAKE_FIND_ROOT_PATH
          REQUIRED)
