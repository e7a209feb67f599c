# Builds a static libdeflate from Debian's source package for the cross
# builds, beside libpng (LibpngFromSource.cmake): the same version as the
# Linux builds link, so that every platform writes the same PNG bytes.
set(_deflate_src "${ICOFMT_DEPS_DIR}/libdeflate-src")
if(NOT EXISTS "${_deflate_src}/libdeflate.h")
  message(STATUS "Fetching libdeflate source into ${ICOFMT_DEPS_DIR}")
  execute_process(
    COMMAND bash "${PROJECT_SOURCE_DIR}/scripts/fetch-debian-source.sh" "${ICOFMT_DEPS_DIR}" libdeflate
            libdeflate-src libdeflate.h
    RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0 OR NOT EXISTS "${_deflate_src}/libdeflate.h")
    message(FATAL_ERROR "Could not fetch libdeflate's source (scripts/fetch-debian-source.sh)")
  endif()
endif()
file(GLOB _deflate_files "${_deflate_src}/lib/*.c" "${_deflate_src}/lib/x86/*.c")
add_library(deflate_static STATIC ${_deflate_files})
target_include_directories(deflate_static SYSTEM PUBLIC "${_deflate_src}")
set_target_properties(deflate_static PROPERTIES POSITION_INDEPENDENT_CODE ON C_STANDARD 99)
add_library(Deflate::Deflate ALIAS deflate_static)
