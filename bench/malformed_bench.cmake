# The malformed-icon benchmark (malformed_bench.cpp): time and peak memory of
# the corpus's largest cases, each read, opened and merged into.
if(TARGET icosave AND TARGET icoopen)
  add_executable(bench_malformed "${CMAKE_CURRENT_LIST_DIR}/malformed_bench.cpp")
  icofmt_target_defaults(bench_malformed)
  target_link_libraries(bench_malformed PRIVATE icosave icoopen benchmark::benchmark benchmark::benchmark_main)
  target_compile_definitions(bench_malformed PRIVATE ICOFMT_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()
