// The process entry. In a file of its own so that programs that link the core for its
// archive and script code (the packer) do not pull in the dialogs it runs.
#include "shell/installer_entry.h"

#include "platform/platform.h"
#include "shell/dialogs.h"
#include "shell/extract.h"
#include "shell/unattended.h"
#include "state/installer_state.h"

#include <cstring>

static char ascii_upper(char c) {
    return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
}

int is_extract_command(const char *command_line) {
    if (!command_line) return 0;
    return command_line[0] == '/' && ascii_upper(command_line[1]) == 'X';
}

int run_installer(void *instance, const char *command_line) {
    module_instance = instance;
    platform_init(instance);
    memset(&g_state, 0, sizeof g_state);
    g_state.extract_mode = is_extract_command(command_line);
    g_state.unattended = is_unattended_command(command_line);
    dialogs_init_common_controls();
    if (g_state.unattended) return run_unattended(&g_state, command_line);
    if (!g_state.extract_mode) {
        wizard_run_dialog();
        return 0;
    }
    extract_session session;
    extract_session_start(&session);
    extract_run_dialog(&session);
    return 0;
}
