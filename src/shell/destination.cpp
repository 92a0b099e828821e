// The destination folder: default, own-folder rule and folder browser.
#include "shell/destination.h"

#include "platform/platform_window.h"
#include "script/script.h"
#include "state/installer_state.h"

#include <cstring>

namespace {

char ascii_lower(char c) {
    return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
}

int equal_ignoring_case(const char *a, const char *b) {
    for (; *a && *b; a++, b++)
        if (ascii_lower(*a) != ascii_lower(*b)) return 0;
    return *a == *b;
}

void status_for_selection(const char *selected, char *out, size_t cap, void *context) {
    browse_status_text(static_cast<const installer_state *>(context), selected, out, cap);
}

} // namespace

void append_own_folder(const installer_state *state, char *path, size_t cap) {
    if (!path || cap == 0) return;
    size_t n = strnlen(path, cap);
    if ((n == 0 || path[n - 1] != '\\') && state->default_dir[0] != '\\')
        text_append(path, cap, "\\");
    text_append(path, cap, state->default_dir);
}

void compose_default_dest(installer_state *state) {
    if (!state->default_drive[0])
        text_copy(state->default_drive, sizeof state->default_drive, "C:");
    text_copy(state->dest_path, sizeof state->dest_path, state->default_drive);
    append_own_folder(state, state->dest_path, sizeof state->dest_path);
}

void read_default_dest(installer_state *state) {
    get_value(state, KW_DEFAULT_DEST_DIR, state->default_dir, sizeof state->default_dir);
    get_value(state, KW_DEFAULT_DEST_DRIVE, state->default_drive, sizeof state->default_drive);
    compose_default_dest(state);
}

void browse_start_folder(const installer_state *state, char *out, size_t cap) {
    if (!out || cap == 0) return;
    text_copy(out, cap, state->dest_path);
    size_t length = strlen(out);
    if (length == 0) return;
    // The last backslash, searched down to position 1; none counts as position 0.
    size_t n = length - 1;
    while (n > 0 && out[n] != '\\') n--;
    if (equal_ignoring_case(out + n + 1, state->default_dir)) out[n] = 0;
    length = strlen(out);
    if (length > 0 && out[length - 1] == ':') text_append(out, cap, "\\");
}

void browse_status_text(const installer_state *state, const char *selected, char *out, size_t cap) {
    text_copy(out, cap, selected ? selected : "");
    append_own_folder(state, out, cap);
}

int browse_for_dest(platform_window *owner, installer_state *state, char *out, size_t cap) {
    // Read whole, then cut: a value cut while read would keep its opening quote.
    char value[SCRIPT_TOKEN_CAPACITY], title[BROWSE_TITLE_CAPACITY];
    script_text(state, KW_TEXT_PICKFOLDER, value, sizeof value);
    text_copy(title, sizeof title, value);
    char start[PATH_CAPACITY];
    browse_start_folder(state, start, sizeof start);
    platform_browse browse = {title, start, status_for_selection, state};
    int chosen = platform_browse_folder(owner, &browse, out, cap);
    append_own_folder(state, out, cap);
    return chosen;
}
