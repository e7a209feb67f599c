# libpng, zlib and libdeflate: the system's on Linux; on Windows libpng and
# libdeflate are compiled from Debian's source packages (fetched outside the
# source tree), libpng against MinGW's zlib.
set(ICOFMT_DEPS_DIR "${PROJECT_SOURCE_DIR}/build/_deps" CACHE PATH
    "Where third-party sources are fetched to")
if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  set(ZLIB_USE_STATIC_LIBS ON)
  find_package(ZLIB REQUIRED)
  include(${CMAKE_CURRENT_LIST_DIR}/LibpngFromSource.cmake)
  include(${CMAKE_CURRENT_LIST_DIR}/LibdeflateFromSource.cmake)
else()
  find_package(ZLIB REQUIRED)
  find_package(PNG REQUIRED)
  # Debian's libdeflate-dev has neither a CMake package nor, before 1.15, a
  # CMake build: found by its header and library.
  find_path(LIBDEFLATE_INCLUDE_DIR libdeflate.h REQUIRED)
  find_library(LIBDEFLATE_LIBRARY deflate REQUIRED)
  add_library(Deflate::Deflate UNKNOWN IMPORTED)
  set_target_properties(Deflate::Deflate PROPERTIES IMPORTED_LOCATION "${LIBDEFLATE_LIBRARY}"
                                                    INTERFACE_INCLUDE_DIRECTORIES "${LIBDEFLATE_INCLUDE_DIR}")
endif()

# stb_image_resize from Debian's libstb-dev: a header, so the Windows builds
# take it from the build machine as it is (outside MinGW's root).
find_path(STB_INCLUDE_DIR stb_image_resize.h PATHS /usr/include PATH_SUFFIXES stb NO_CMAKE_FIND_ROOT_PATH
          REQUIRED)
