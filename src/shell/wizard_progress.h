// The wizard's side of the install run: the request read from the folder page's controls, and
// the run's progress interface carried out on the progress page (step rows, status line, bar,
// the overwrite dialog and message boxes, the hourglass timer). Messages are pumped at most
// every WIZARD_PUMP_INTERVAL_MS, however often the run asks: often enough that Cancel, Escape
// and the hourglass answer within a tenth of a second, seldom enough to cost nothing.
#pragma once

#include "engine/install_request.h"

#include <cstdint>

struct installer_state;
struct platform_window;

// The text of a row no step uses: its first character (ROW_NONE) selects neither icon nor
// caption. Every other row's text is its state character followed by its caption.
#define ROW_UNUSED "XXXX"

enum : int {
    WIZARD_PUMP_INTERVAL_MS = 40,
    ANIMATION_TIMER = 12345, // the hourglass timer of the run
    ANIMATION_PERIOD_MS = 100,
};

// The wizard as the run's progress: the record the interface's context points at.
struct wizard_progress {
    install_progress progress; // handed to the run; its context is this record
    platform_window *window;
    installer_state *state; // whose cancel_requested the Back handler sets
    uint32_t last_pump;     // platform_tick_count at the last pump
    int pumped;             // 0 until the first pump
};

// Makes w the progress interface of window's controls for a run of state.
void wizard_progress_start(wizard_progress *w, platform_window *window, installer_state *state);
// The request of the folder page: the folder box's text and the three option boxes, overwrite
// questions asked, somebody watching.
void wizard_read_request(platform_window *window, install_request *request);
// The run as the start page starts it: the request of the folder page, window's controls as
// its progress, the hourglass timer running meanwhile. The run's result (install_run).
int wizard_run_install(platform_window *window, installer_state *state);
