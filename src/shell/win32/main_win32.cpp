// The Windows process entry: hands the command line (without the program's name) to the
// portable entry and exits with what it returns, which is always 0.
#include "shell/installer_entry.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
    return run_installer(instance, command_line);
}
