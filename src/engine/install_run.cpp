// The step driver and its rows.
#include "engine/install_run.h"

#include "engine/copy_files.h"
#include "engine/disk_space.h"
#include "engine/folders.h"
#include "engine/install_log.h"
#include "engine/registry.h"
#include "engine/shortcuts.h"
#include "engine/uninstall_entry.h"
#include "platform/platform.h"
#include "script/script.h"
#include "state/installer_state.h"

#include <cstring>

namespace {

// Which install_steps entry each step row shows in this run (-1: none), set at set-up.
int row_entry[STEP_ROWS];

// The row of entry k, or 0 when it got none.
int row_of_entry(int k) {
    for (int r = 0; r < STEP_ROWS; r++)
        if (row_entry[r] == k) return IDC_STEP_ROW_FIRST + r;
    return 0;
}

// Makes the first character of row's text state.
void mark_row(platform_window *window, int row, char state) {
    if (!row) return;
    char text[PATH_CAPACITY];
    platform_get_item_text(window, row, text, sizeof text);
    if (!text[0]) text[1] = 0;
    text[0] = state;
    platform_set_item_text(window, row, text);
}

// 1 when field 2 of step key's line is the word break, in any case.
int step_breaks(installer_state *state, uint32_t key) {
    char word[SCRIPT_EXPAND_CAPACITY];
    return get_field(state, key, 2, word, sizeof word) && lookup_keyword(word) == KW_BREAK;
}

// The failure message of step key: its field 1 under the install error caption.
void show_step_error(installer_state *state, uint32_t key) {
    char text[SCRIPT_EXPAND_CAPACITY], caption[SCRIPT_EXPAND_CAPACITY];
    get_field(state, key, 1, text, sizeof text);
    script_text(state, KW_TEXT_INSERROR, caption, sizeof caption);
    run_message(state, text, caption, PLATFORM_MB_OK | PLATFORM_MB_ICONERROR);
}

// 1 when the step of key has no row and no action in this run (its choice box is clear).
int step_skipped(const installer_state *state, uint32_t key) {
    return (key == KW_STARTMENU && !(state->choice_flags & CHOICE_STARTMENU)) ||
           (key == KW_DESKTOP && !(state->choice_flags & CHOICE_DESKTOP));
}

int set_up_run(platform_window *window, installer_state *state) {
    drain_messages(window);
    if (make_path(state->dest_path, sizeof state->dest_path) == MAKE_PATH_FAILED) {
        show_step_error(state, KW_CREATEFOLDERS);
        // Unattended, nobody reads the message and no log can hold it: the run stops here
        // rather than register classes and shortcuts for files that cannot be there.
        if (state->unattended || step_breaks(state, KW_CREATEFOLDERS)) return STEP_FAILED;
    }
    create_uninstall_log(state);
    create_error_log(state);

    int row = 0;
    for (int r = 0; r < STEP_ROWS; r++) row_entry[r] = -1;
    for (int k = 0; row < STEP_ROWS; k++) {
        uint32_t key = list_item_id(state, KW_INSTALL_STEPS, k);
        if (key == KW_NONE) break;
        if (step_skipped(state, key)) continue;
        char text[PATH_CAPACITY] = {ROW_WAITING, 0};
        get_value(state, key, text + 1, sizeof text - 1);
        row_entry[row] = k;
        platform_set_item_text(window, IDC_STEP_ROW_FIRST + row++, text);
    }
    for (; row < STEP_ROWS; row++)
        platform_set_item_text(window, IDC_STEP_ROW_FIRST + row, ROW_UNUSED);
    state->step_counter++;
    return STEP_DONE;
}

// The steps the run can perform, by their install_steps word.
struct step_entry {
    uint32_t key;
    int (*perform)(platform_window *window, installer_state *state);
};

const step_entry step_table[] = {
    {KW_CHECKDISKSPACE, check_disk_space}, {KW_CREATEFOLDERS, create_script_folders},
    {KW_COPYFILES, copy_files_step},       {KW_REGISTRY, registry_step},
    {KW_STARTMENU, startmenu_step},        {KW_DESKTOP, desktop_step},
};

} // namespace

int perform_step(platform_window *window, installer_state *state, uint32_t key) {
    for (const step_entry &step : step_table)
        if (step.key == key) return step.perform(window, state);
    return STEP_CANCELLED;
}

int install_step_known(uint32_t key) {
    for (const step_entry &step : step_table)
        if (step.key == key) return 1;
    return 0;
}

int next_install_step(platform_window *window, installer_state *state) {
    if (state->step_counter == 0) return set_up_run(window, state);
    drain_messages(window);
    int k = state->step_counter - 1;
    drain_messages(window);
    uint32_t key = list_item_id(state, KW_INSTALL_STEPS, k);
    if (key == KW_NONE) return RUN_COMPLETE;
    int row = row_of_entry(k);
    mark_row(window, row, ROW_RUNNING);
    int result = perform_step(window, state, key);
    mark_row(window, row, result == STEP_DONE ? ROW_DONE : ROW_FAILED);
    drain_messages(window);
    if (result == STEP_FAILED) {
        show_step_error(state, key);
        result = step_breaks(state, key) ? STEP_FAILED : STEP_DONE;
    }
    state->step_counter++;
    return result;
}

int install_run(platform_window *window, installer_state *state) {
    platform_start_timer(window, ANIMATION_TIMER, ANIMATION_PERIOD_MS);
    char dest[PATH_CAPACITY];
    platform_get_item_text(window, IDC_FOLDER_EDIT, dest, sizeof dest);
    size_t n = strlen(dest);
    while (n > 0 && dest[n - 1] == '\\') dest[--n] = 0;
    text_copy(state->dest_path, sizeof state->dest_path, dest);

    state->no_to_all = state->yes_to_all = 0;
    state->choice_flags = 0;
    if (platform_is_checked(window, IDC_STARTMENU_BOX)) state->choice_flags |= CHOICE_STARTMENU;
    if (platform_is_checked(window, IDC_DESKTOP_BOX)) state->choice_flags |= CHOICE_DESKTOP;
    if (platform_is_checked(window, IDC_EXTRAREG_BOX)) state->choice_flags |= CHOICE_EXTRAREG;
    state->step_counter = 0;

    int result = next_install_step(window, state);
    while (result == STEP_DONE) {
        drain_messages(window);
        result = next_install_step(window, state);
    }
    // However the run ended, nothing more is recorded: the log is final, and the entry in the
    // list of installed programs now vouches for it.
    uninstall_entry_seal(state);
    platform_stop_timer(window, ANIMATION_TIMER);
    return result;
}
