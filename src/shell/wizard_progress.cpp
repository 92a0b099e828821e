// The install run's progress on the wizard's controls.
#include "shell/wizard_progress.h"

#include "engine/install_run.h"
#include "platform/platform.h"
#include "resource_ids.h"
#include "shell/dialogs.h"
#include "state/installer_state.h"

#include <cstring>

static_assert(IDC_STEP_ROW_LAST - IDC_STEP_ROW_FIRST + 1 == STEP_ROWS,
              "the progress page has a row for every row of the run");

namespace {

wizard_progress *of(void *context) {
    return static_cast<wizard_progress *>(context);
}

// A row's text as the painting reads it.
void show_row(void *context, int row, char row_state, const char *caption) {
    char text[PATH_CAPACITY];
    if (row_state == ROW_NONE) {
        text_copy(text, sizeof text, ROW_UNUSED);
    } else {
        text[0] = row_state;
        text_copy(text + 1, sizeof text - 1, caption);
    }
    platform_set_item_text(of(context)->window, IDC_STEP_ROW_FIRST + row, text);
}

void show_status(void *context, const char *text) {
    platform_set_item_text(of(context)->window, IDC_STATUS_LINE, text);
}

void set_bar_range(void *context, int maximum) {
    platform_set_progress_range(of(context)->window, IDC_PROGRESS_BAR, maximum);
}

void set_bar_position(void *context, int position) {
    platform_set_progress_pos(of(context)->window, IDC_PROGRESS_BAR, position);
}

// Pumps when the interval has passed since the last pump: the Back handler, which asks whether
// to cancel, runs in there.
int keep_alive(void *context) {
    wizard_progress *w = of(context);
    uint32_t now = platform_tick_count();
    if (!w->pumped || now - w->last_pump >= (uint32_t)WIZARD_PUMP_INTERVAL_MS) {
        w->pumped = 1;
        w->last_pump = now;
        platform_drain_messages(w->window);
    }
    return w->state->cancel_requested != 0;
}

int ask_overwrite(void *context, const platform_overwrite_question *question) {
    return overwrite_dialog_ask(of(context)->window, question);
}

int show_message(void *, const char *text, const char *caption, uint32_t style) {
    return platform_message_box(text, caption, style);
}

} // namespace

void wizard_progress_start(wizard_progress *w, platform_window *window, installer_state *state) {
    memset(w, 0, sizeof *w);
    w->window = window;
    w->state = state;
    w->progress = {w,          show_row,      show_status, set_bar_range, set_bar_position,
                   keep_alive, ask_overwrite, show_message};
}

void wizard_read_request(platform_window *window, install_request *request) {
    memset(request, 0, sizeof *request);
    platform_get_item_text(window, IDC_FOLDER_EDIT, request->dest, sizeof request->dest);
    static const struct {
        int item;
        uint32_t choice;
    } boxes[] = {{IDC_STARTMENU_BOX, CHOICE_STARTMENU},
                 {IDC_DESKTOP_BOX, CHOICE_DESKTOP},
                 {IDC_EXTRAREG_BOX, CHOICE_EXTRAREG}};
    for (const auto &box : boxes)
        if (platform_is_checked(window, box.item)) request->choice_flags |= box.choice;
    request->answers = INSTALL_ASK;
}

int wizard_run_install(platform_window *window, installer_state *state) {
    install_request request;
    wizard_read_request(window, &request);
    wizard_progress w;
    wizard_progress_start(&w, window, state);
    platform_start_timer(window, ANIMATION_TIMER, ANIMATION_PERIOD_MS);
    int result = install_run(state, &request, &w.progress);
    platform_stop_timer(window, ANIMATION_TIMER);
    return result;
}
