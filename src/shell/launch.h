// The launch after the install: the program the script's launchfile line names, started through
// the shell when the wizard closes from its last page with the launch box ticked.
#pragma once

struct installer_state;
struct platform_window;

// Opens field 1 of launchfile (placeholders expanded, unquoted) with the shell's "open" action
// in the folder of field 2 (the same way; empty when absent); nothing when the line or field 1
// is absent. The shell's answer is not looked at. Always 1.
int launch_installed_program(platform_window *window, installer_state *state);
