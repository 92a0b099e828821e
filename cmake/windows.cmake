# Windows (MinGW) build: the installer stub and the packer.
add_library(kv_platform_win32 STATIC
  src/platform/win32/platform_win32.cpp src/platform/win32/clock_volume_win32.cpp
  src/platform/win32/controls_win32.cpp
  src/platform/win32/registry_win32.cpp
  src/platform/win32/list_win32.cpp
  src/platform/win32/window_win32.cpp
  src/platform/win32/text_win32.cpp
)
target_sources(kv_platform_win32 PRIVATE src/platform/win32/shortcut_win32.cpp)
target_sources(kv_platform_win32 PRIVATE src/platform/win32/remove_win32.cpp
  src/platform/win32/node_win32.cpp src/platform/win32/confine_win32.cpp)
target_include_directories(kv_platform_win32 PUBLIC src resources)
target_link_libraries(kv_platform_win32 PUBLIC advapi32 ole32 shell32 uuid)
target_link_libraries(kv_core PUBLIC kv_platform_win32)

# The stub: the portable core under the dialogs of src/shell/win32.
file(GLOB KV_SHELL_WIN32 CONFIGURE_DEPENDS src/shell/win32/*.cpp)
add_executable(setup WIN32 ${KV_SHELL_WIN32} resources/setup.rc)
target_link_libraries(setup PRIVATE kv_core comctl32 shell32 ole32 uuid)
target_link_options(setup PRIVATE -static -s -mwindows)

# windres does not know that the script pulls in the pictures.
file(GLOB KV_PICTURES CONFIGURE_DEPENDS resources/pictures/*)
set_source_files_properties(resources/setup.rc PROPERTIES OBJECT_DEPENDS "${KV_PICTURES}")

# The Wine end-to-end robot: a console program that drives setup.exe's windows.
add_executable(kvrobot tests/e2e/robot.cpp)
target_link_options(kvrobot PRIVATE -static -s -mconsole)

# Reads link files back through the shell's link object, for the shortcut e2e test.
add_executable(kvlinkread tests/e2e/link_read.cpp)
target_link_libraries(kvlinkread PRIVATE ole32 uuid)
target_link_options(kvlinkread PRIVATE -static -s -mconsole)

# The demo product that the example setup installs.
add_executable(demo WIN32 examples/demo/hello.cpp)
target_link_options(demo PRIVATE -static -s -mwindows)

add_subdirectory(tools/kvpack)

# The uninstaller a vendor ships among the members: reads Uninstal.log beside it.
add_executable(kvuninst WIN32 src/shell/uninstaller_win32/uninstaller_main.cpp
  resources/uninstall.rc)
target_link_libraries(kvuninst PRIVATE kv_core comctl32)
target_link_options(kvuninst PRIVATE -static -s -mwindows)
set_source_files_properties(resources/uninstall.rc PROPERTIES OBJECT_DEPENDS
  "${PROJECT_SOURCE_DIR}/resources/pictures/program.ico")

# The painting on real GDI, checked by its pixels under Wine (tests/e2e/paint_windows.sh).
add_executable(kvpaintprobe tests/e2e/paint_probe.cpp src/shell/win32/wizard_paint.cpp
  src/shell/win32/bitmap_load.cpp resources/setup.rc)
target_include_directories(kvpaintprobe PRIVATE resources)
target_link_libraries(kvpaintprobe PRIVATE kv_core gdi32)
target_link_options(kvpaintprobe PRIVATE -static -s -mconsole)

# Both resource scripts pull in the shared version resource and manifest.
set(KV_RC_SHARED ${PROJECT_SOURCE_DIR}/resources/version_info.rc
  ${PROJECT_SOURCE_DIR}/resources/korvex.manifest ${PROJECT_BINARY_DIR}/generated/kv_version.h)
set_property(SOURCE resources/setup.rc resources/uninstall.rc APPEND PROPERTY OBJECT_DEPENDS
  ${KV_RC_SHARED})

# The resource section last in the image, after the base relocations: kvpack pack rewrites
# the stub's and the uninstaller's resources (the vendor's name, version and icon), and a last
# section can change its size without moving any other. The script is the linker's own default
# with the two sections swapped, taken from this toolchain at configure time.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-prog-name=ld OUTPUT_VARIABLE KV_LD
  OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${KV_LD} --verbose OUTPUT_VARIABLE KV_LD_VERBOSE RESULT_VARIABLE KV_LD_RESULT)
set(KV_DIVIDER "==================================================")
string(FIND "${KV_LD_VERBOSE}" "${KV_DIVIDER}" KV_SCRIPT_START)
string(FIND "${KV_LD_VERBOSE}" "${KV_DIVIDER}" KV_SCRIPT_END REVERSE)
string(FIND "${KV_LD_VERBOSE}" "  .rsrc BLOCK" KV_RSRC_AT)
string(FIND "${KV_LD_VERBOSE}" "  .reloc BLOCK" KV_RELOC_AT)
string(FIND "${KV_LD_VERBOSE}" "  .stab BLOCK" KV_AFTER_RELOC_AT)
if(NOT KV_LD_RESULT EQUAL 0 OR KV_SCRIPT_START LESS 0 OR NOT KV_SCRIPT_START LESS KV_RSRC_AT OR
   NOT KV_RSRC_AT LESS KV_RELOC_AT OR NOT KV_RELOC_AT LESS KV_AFTER_RELOC_AT OR
   NOT KV_AFTER_RELOC_AT LESS KV_SCRIPT_END)
  message(FATAL_ERROR "${KV_LD} --verbose: no default script with .rsrc, .reloc, .stab in order")
endif()
math(EXPR KV_HEAD_LENGTH "${KV_RSRC_AT} - ${KV_SCRIPT_START} - 50")
math(EXPR KV_RSRC_LENGTH "${KV_RELOC_AT} - ${KV_RSRC_AT}")
math(EXPR KV_RELOC_LENGTH "${KV_AFTER_RELOC_AT} - ${KV_RELOC_AT}")
math(EXPR KV_TAIL_LENGTH "${KV_SCRIPT_END} - ${KV_AFTER_RELOC_AT}")
math(EXPR KV_HEAD_START "${KV_SCRIPT_START} + 50")
string(SUBSTRING "${KV_LD_VERBOSE}" ${KV_HEAD_START} ${KV_HEAD_LENGTH} KV_SCRIPT_HEAD)
string(SUBSTRING "${KV_LD_VERBOSE}" ${KV_RSRC_AT} ${KV_RSRC_LENGTH} KV_SCRIPT_RSRC)
string(SUBSTRING "${KV_LD_VERBOSE}" ${KV_RELOC_AT} ${KV_RELOC_LENGTH} KV_SCRIPT_RELOC)
string(SUBSTRING "${KV_LD_VERBOSE}" ${KV_AFTER_RELOC_AT} ${KV_TAIL_LENGTH} KV_SCRIPT_TAIL)
set(KV_RESOURCES_LAST_SCRIPT ${PROJECT_BINARY_DIR}/generated/resources_last.x)
file(WRITE ${KV_RESOURCES_LAST_SCRIPT}
  "${KV_SCRIPT_HEAD}${KV_SCRIPT_RELOC}${KV_SCRIPT_RSRC}${KV_SCRIPT_TAIL}")
foreach(kv_target setup kvuninst)
  target_link_options(${kv_target} PRIVATE -Wl,-T,${KV_RESOURCES_LAST_SCRIPT})
  set_property(TARGET ${kv_target} APPEND PROPERTY LINK_DEPENDS ${KV_RESOURCES_LAST_SCRIPT})
endforeach()

# The stub's linker map, for scripts/stub_size.py (what each object contributes).
target_link_options(setup PRIVATE -Wl,-Map=${CMAKE_BINARY_DIR}/setup.map)

# The stubs' size (the goal: the i686 setup.exe within 64 KiB; scripts/stub_size.py shows what
# each section and object costs). Each snprintf goes to our bounded formatter instead of
# MinGW's floating-point one (stdio_override.cpp, globbed into setup); unused functions are
# dropped; no unwind tables, as nothing throws. Not -fdata-sections: with it the linker put the
# 200 KB of zeroed buffers into .data, stored in the file, instead of .bss.
target_sources(kvuninst PRIVATE src/shell/win32/stdio_override.cpp)
foreach(kv_target kv_core kv_platform_win32 setup kvuninst)
  target_compile_options(${kv_target} PRIVATE -ffunction-sections
    -fno-asynchronous-unwind-tables -fno-unwind-tables)
endforeach()
# One thread runs all of the stubs' code, so a local static needs no guard; the 32-bit
# stubs keep the 4-byte stack alignment Windows gives every callback instead of realigning
# to 16 bytes for SSE they never use (together some 500 bytes).
foreach(kv_target kv_core kv_platform_win32 setup kvuninst)
  target_compile_options(${kv_target} PRIVATE -fno-threadsafe-statics)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_compile_options(${kv_target} PRIVATE -mpreferred-stack-boundary=2)
  endif()
endforeach()
target_link_options(setup PRIVATE -Wl,--gc-sections)
target_link_options(kvuninst PRIVATE -Wl,--gc-sections)
# Link-time optimisation across the core and the stubs' own code: inlining and dropping what
# the stubs never call, where a static library alone keeps whole objects.
# KV_STUB_LTO=OFF keeps each object's own size visible in setup.map for scripts/stub_size.py.
option(KV_STUB_LTO "Link-time optimisation for the stubs" ON)
set_property(TARGET kv_core kv_platform_win32 setup kvuninst PROPERTY
  INTERPROCEDURAL_OPTIMIZATION ${KV_STUB_LTO})
# The archive model's vector helpers return a vector by value; i686 without SSE warns that
# this ABI differs from an SSE build. Every caller is compiled with the same flags.
target_link_options(kv_core INTERFACE -Wno-psabi)
# The member decoder is where an install spends its processor time: it alone is built for speed
# while the rest of the stubs is built for size (see README, performance).
set_source_files_properties(src/archive/lza_decode.cpp PROPERTIES COMPILE_OPTIONS -O2)
