// The process entry shared by every build of the stub: it clears the state record, picks the
// mode from the command line and runs exactly one modal dialog (or, for /S, none).
#pragma once

// 1 when the command line selects extract-only mode: its first two characters are "/X" in any
// case; nothing else of it is looked at.
int is_extract_command(const char *command_line);

// The process entry: clears the state, hands the module to the platform, picks the mode and
// runs exactly one modal dialog. Always 0, the process exit code, whatever the dialog returned;
// except that a command line beginning with /S runs the unattended install instead, without a
// dialog, and returns its exit code (shell/unattended.h).
int run_installer(void *instance, const char *command_line);
