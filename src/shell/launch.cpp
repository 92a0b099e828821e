// The launch after the install.
#include "shell/launch.h"

#include "platform/platform_window.h"
#include "script/script.h"
#include "state/installer_state.h"

namespace {

// Field n of launchfile, expanded and unquoted once more. 1 when the field is there.
int launch_field(installer_state *state, int n, char *out, size_t cap) {
    if (!get_field(state, KW_LAUNCHFILE, n, out, cap)) return 0;
    expand_placeholders(state, out, out, cap);
    unquote(out);
    return 1;
}

} // namespace

int launch_installed_program(platform_window *window, installer_state *state) {
    char file[SCRIPT_EXPAND_CAPACITY], folder[SCRIPT_EXPAND_CAPACITY];
    if (!launch_field(state, 1, file, sizeof file)) return 1;
    launch_field(state, 2, folder, sizeof folder);
    platform_shell_open(window, file, folder);
    return 1;
}
