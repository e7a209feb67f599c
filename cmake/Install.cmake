# What a Windows build installs, laid out as the release holds it: the module
# (and icohost beside it, which finds it there) in a folder named for the
# build's word size, the user README at the top. scripts/release.sh installs
# both Windows builds into one folder and zips it.
if(NOT WIN32)
  return()
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_bits 64-bit)
else()
  set(_bits 32-bit)
endif()
install(TARGETS icofmt LIBRARY DESTINATION ${_bits} RUNTIME DESTINATION ${_bits})
install(TARGETS icohost_tool RUNTIME DESTINATION ${_bits})
install(FILES "${PROJECT_SOURCE_DIR}/docs/release-readme.txt" DESTINATION . RENAME README.txt)
