// What every install step shares: the wizard controls a step drives, the step results, the
// message pump, and the progress arithmetic. A step includes this header and nothing of the
// driver, so that new steps join the run without joining a circle of includes.
#pragma once

#include "resource_ids.h"

#include <cstddef>
#include <cstdint>

struct installer_state;
struct platform_window;

enum : int {
    STEP_ROWS = IDC_STEP_ROW_LAST - IDC_STEP_ROW_FIRST + 1, // rows of the progress page
    ANIMATION_TIMER = 12345,                                // the hourglass timer of the run
    ANIMATION_PERIOD_MS = 100,
};

// Results of the steps and of the driver.
enum step_result : int {
    STEP_CANCELLED = -1, // cancelled, or an install_steps entry that is no step
    STEP_FAILED = 0,     // failed (a step); stopped at a failure (the driver)
    STEP_DONE = 1,       // done (a step); call again (the driver)
    RUN_COMPLETE = 2,    // the driver only: every step has run
};

// The first character of a step row's text is the state its icon shows; the rest its caption.
enum : char { ROW_WAITING = '0', ROW_DONE = '1', ROW_FAILED = '2', ROW_RUNNING = '3' };
// The text of a row no step uses: it shows neither icon nor label.
#define ROW_UNUSED "XXXX"

// Dispatches every waiting message of the thread and returns without waiting.
void drain_messages(platform_window *window);

// A message of the run (a failed step, a failed copy entry): shown in a box with caption and
// style, or, in an unattended run, written to InsErr.log as one line ("caption: text", line
// breaks as blanks) and counted in messages_logged. Returns the button pressed (OK when logged).
int run_message(installer_state *state, const char *text, const char *caption, uint32_t style);

// a * b / c rounded to the nearest integer (halves away from zero), in 64 bits; -1 when c is 0.
int64_t engine_mul_div(int64_t a, int64_t b, int64_t c);
