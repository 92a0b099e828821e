# Native (Linux) build: the POSIX backend, the packer, tests, benchmarks and fuzzers.
add_library(kv_platform_posix STATIC
  src/platform/posix/platform_posix.cpp
  src/platform/posix/platform_posix_paths.cpp
  src/platform/posix/platform_posix_faults.cpp
  src/platform/posix/platform_posix_ui.cpp
  src/platform/posix/platform_posix_registry.cpp
  src/platform/posix/platform_posix_list.cpp
  src/platform/posix/platform_posix_window.cpp
  src/platform/posix/posix_text.cpp
)
target_sources(kv_platform_posix PRIVATE src/platform/posix/platform_shortcut_posix.cpp
  src/platform/posix/shell_link_format.cpp)
target_sources(kv_platform_posix PRIVATE src/platform/posix/platform_remove_posix.cpp
  src/platform/posix/platform_confine_posix.cpp)
target_include_directories(kv_platform_posix PUBLIC src resources)
target_link_libraries(kv_core PUBLIC kv_platform_posix)
# The stub's own dialogs, answered natively from the POSIX backend's hooks.
target_sources(kv_core PRIVATE src/shell/posix/dialogs_posix.cpp)

# The fuzz build (preset "fuzz": clang, the core instrumented for libFuzzer) makes only the
# fuzz targets: the tests, the packer and the benchmarks are built by the other presets.
option(KV_FUZZ "Build only the libFuzzer targets" OFF)
if(KV_FUZZ)
  add_subdirectory(tests/fuzz)
  return()
endif()

add_subdirectory(tools/kvpack)

enable_testing()
add_subdirectory(tests)
add_subdirectory(bench)
