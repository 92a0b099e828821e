# Windows (MinGW) build: the installer stub and the packer.
add_library(kv_platform_win32 STATIC
  src/platform/win32/platform_win32.cpp
)
target_include_directories(kv_platform_win32 PUBLIC src)
target_link_libraries(kv_core PUBLIC kv_platform_win32)

add_executable(setup WIN32
  src/platform/win32/main_win32.cpp
  src/platform/win32/dialogs_win32.cpp
  resources/setup.rc
)
target_link_libraries(setup PRIVATE kv_core comctl32 shell32 ole32 uuid)
target_link_options(setup PRIVATE -static -s -mwindows)
