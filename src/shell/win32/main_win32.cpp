// The Windows process entry: hands the command line (without the program's name, in UTF-8)
// to the portable entry and exits with what it returns, which is always 0.
#include "platform/platform.h"
#include "platform/win32/text_win32.h"
#include "shell/installer_entry.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // The wide command line: a /D= folder keeps every character, not only the code page's.
    char *command_line = win32_command_arguments();
    int result = run_installer(instance, command_line ? command_line : "");
    platform_free(command_line);
    return result;
}
