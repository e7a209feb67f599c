# Builds a static libpng from Debian's source package for the cross builds.
# The source lands in ICOFMT_DEPS_DIR, shared by both Windows presets, so that
# it is fetched once.
set(_png_src "${ICOFMT_DEPS_DIR}/libpng-src")
if(NOT EXISTS "${_png_src}/png.c")
  message(STATUS "Fetching libpng source into ${ICOFMT_DEPS_DIR}")
  execute_process(
    COMMAND bash "${PROJECT_SOURCE_DIR}/scripts/fetch-libpng.sh" "${ICOFMT_DEPS_DIR}"
    RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0 OR NOT EXISTS "${_png_src}/png.c")
    message(FATAL_ERROR "Could not fetch libpng's source (scripts/fetch-libpng.sh)")
  endif()
endif()

set(_png_gen "${CMAKE_BINARY_DIR}/_deps/libpng")
configure_file("${_png_src}/scripts/pnglibconf.h.prebuilt" "${_png_gen}/pnglibconf.h" COPYONLY)
set(_png_files png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil
    pngset pngtrans pngwio pngwrite pngwtran pngwutil)
list(TRANSFORM _png_files PREPEND "${_png_src}/")
list(TRANSFORM _png_files APPEND ".c")
add_library(png_static STATIC ${_png_files})
target_include_directories(png_static SYSTEM PUBLIC "${_png_src}" "${_png_gen}")
target_compile_definitions(png_static PRIVATE PNG_ARM_NEON_OPT=0 PNG_POWERPC_VSX_OPT=0)
target_link_libraries(png_static PUBLIC ZLIB::ZLIB)
set_target_properties(png_static PROPERTIES POSITION_INDEPENDENT_CODE ON)
add_library(PNG::PNG ALIAS png_static)
set(ICOFMT_PNG_SOURCE_DIR "${_png_src}" CACHE INTERNAL "libpng source, for PngSuite")
