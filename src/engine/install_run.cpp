// The step driver and its rows.
#include "engine/install_run.h"

#include "engine/copy_files.h"
#include "engine/disk_space.h"
#include "engine/folders.h"
#include "engine/install_log.h"
#include "engine/registry.h"
#include "engine/shortcuts.h"
#include "engine/uninstall_entry.h"
#include "archive/lza_stream.h"
#include "platform/platform.h"
#include "platform/platform_shortcut.h"
#include "script/script.h"
#include "state/installer_state.h"

#include <cstring>

namespace {

// The row of entry k, or -1 when it got none.
int row_of_entry(const install_job *job, int k) {
    for (int r = 0; r < STEP_ROWS; r++)
        if (job->row_entry[r] == k) return r;
    return -1;
}

// Row row shows the step of key in row_state.
void show_row(install_job *job, int row, uint32_t key, char row_state) {
    if (row < 0) return;
    char caption[PATH_CAPACITY - 1] = "";
    get_value(job->state, key, caption, sizeof caption);
    install_row(job, row, row_state, caption);
}

// 1 when field 2 of step key's line is the word break, in any case.
int step_breaks(installer_state *state, uint32_t key) {
    char word[SCRIPT_EXPAND_CAPACITY];
    return get_field(state, key, 2, word, sizeof word) && lookup_keyword(word) == KW_BREAK;
}

// The failure message of step key: its field 1 under the install error caption.
void show_step_error(install_job *job, uint32_t key) {
    char text[SCRIPT_EXPAND_CAPACITY], caption[SCRIPT_EXPAND_CAPACITY];
    get_field(job->state, key, 1, text, sizeof text);
    script_text(job->state, KW_TEXT_INSERROR, caption, sizeof caption);
    run_message(job, text, caption, PLATFORM_MB_OK | PLATFORM_MB_ICONERROR);
}

// 1 when the step of key has no row and no action in this run (its choice box is clear).
int step_skipped(const installer_state *state, uint32_t key) {
    return (key == KW_STARTMENU && !(state->choice_flags & CHOICE_STARTMENU)) ||
           (key == KW_DESKTOP && !(state->choice_flags & CHOICE_DESKTOP));
}

int set_up_run(install_job *job) {
    installer_state *state = job->state;
    install_keep_alive(job);
    if (make_path(state->dest_path, sizeof state->dest_path) == MAKE_PATH_FAILED) {
        show_step_error(job, KW_CREATEFOLDERS);
        // Unattended, nobody reads the message and no log can hold it: the run stops here
        // rather than register classes and shortcuts for files that cannot be there.
        if (job->request.unattended || step_breaks(state, KW_CREATEFOLDERS)) return STEP_FAILED;
    }
    upgrade_read(&job->earlier, state); // before the new log takes its place
    create_uninstall_log(state);
    create_error_log(state);
    upgrade_carry(&job->earlier);

    int row = 0;
    for (int r = 0; r < STEP_ROWS; r++) job->row_entry[r] = -1;
    for (int k = 0; row < STEP_ROWS; k++) {
        uint32_t key = list_item_id(state, KW_INSTALL_STEPS, k);
        if (key == KW_NONE) break;
        if (step_skipped(state, key)) continue;
        job->row_entry[row] = k;
        show_row(job, row++, key, ROW_WAITING);
    }
    for (; row < STEP_ROWS; row++) install_row(job, row, ROW_NONE, "");
    state->step_counter++;
    return STEP_DONE;
}

// The steps the run can perform, by their install_steps word.
struct step_entry {
    uint32_t key;
    int (*perform)(install_job *job);
};

const step_entry step_table[] = {
    {KW_CHECKDISKSPACE, check_disk_space}, {KW_CREATEFOLDERS, create_script_folders},
    {KW_COPYFILES, copy_files_step},       {KW_REGISTRY, registry_step},
    {KW_STARTMENU, startmenu_step},        {KW_DESKTOP, desktop_step},
};

} // namespace

void install_job_begin(install_job *job, installer_state *state, const install_request *request,
                       const install_progress *progress) {
    static const install_progress nobody = {};
    memset(job, 0, sizeof *job);
    job->state = state;
    job->request = *request;
    job->progress = progress ? progress : &nobody;
    job->bar_position = -1;
    for (int r = 0; r < STEP_ROWS; r++) job->row_entry[r] = -1;
    job->outer_log = install_log_bind(&job->log);

    text_copy(state->dest_path, sizeof state->dest_path, request->dest);
    size_t n = strlen(state->dest_path);
    while (n > 0 && state->dest_path[n - 1] == '\\') state->dest_path[--n] = 0;
    state->choice_flags =
        request->choice_flags & (CHOICE_STARTMENU | CHOICE_DESKTOP | CHOICE_EXTRAREG);
    state->yes_to_all = state->no_to_all = 0;
    state->cancel_requested = 0;
    state->messages_logged = 0;
    state->step_counter = 0;
}

void install_job_end(install_job *job) {
    lza_stream_close(job->archive);
    job->archive = nullptr;
    platform_free(job->copy_buffer);
    job->copy_buffer = nullptr;
    upgrade_release(&job->earlier);
    if (job->com_held) platform_com_stop();
    job->com_held = 0;
    install_log_close(&job->log);
    install_log_bind(job->outer_log);
}

int perform_step(install_job *job, uint32_t key) {
    for (const step_entry &step : step_table)
        if (step.key == key) return step.perform(job);
    return STEP_CANCELLED;
}

int install_step_known(uint32_t key) {
    for (const step_entry &step : step_table)
        if (step.key == key) return 1;
    return 0;
}

int next_install_step(install_job *job) {
    installer_state *state = job->state;
    if (state->step_counter == 0) return set_up_run(job);
    install_keep_alive(job);
    int k = state->step_counter - 1;
    uint32_t key = list_item_id(state, KW_INSTALL_STEPS, k);
    if (key == KW_NONE) return RUN_COMPLETE;
    int row = row_of_entry(job, k);
    show_row(job, row, key, ROW_RUNNING);
    int result = perform_step(job, key);
    show_row(job, row, key, result == STEP_DONE ? ROW_DONE : ROW_FAILED);
    install_keep_alive(job);
    if (result == STEP_FAILED) {
        show_step_error(job, key);
        result = step_breaks(state, key) ? STEP_FAILED : STEP_DONE;
    }
    state->step_counter++;
    return result;
}

int install_run(installer_state *state, const install_request *request,
                const install_progress *progress) {
    install_job job;
    install_job_begin(&job, state, request, progress);
    int result = next_install_step(&job);
    while (result == STEP_DONE) {
        install_keep_alive(&job);
        result = next_install_step(&job);
    }
    // However the run ended, nothing more is recorded: the log is final, and the entry in the
    // list of installed programs now vouches for it (and for the size of what it names, read
    // back from the closed log).
    install_log_close_files();
    uninstall_entry_seal(state);
    install_job_end(&job);
    return result;
}
