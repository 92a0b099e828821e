# Native (Linux) build: the POSIX backend, the packer, tests, benchmarks and fuzzers.
add_library(kv_platform_posix STATIC
  src/platform/posix/platform_posix.cpp
  src/platform/posix/platform_posix_ui.cpp
)
target_include_directories(kv_platform_posix PUBLIC src)
target_link_libraries(kv_core PUBLIC kv_platform_posix)

enable_testing()
add_subdirectory(tests)
add_subdirectory(bench)
