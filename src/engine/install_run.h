// The install run: started by the wizard when Next leads onto the startinstall page, it creates
// the destination and the logs, labels the step rows and performs the script's install_steps one
// by one on the UI thread, pumping messages between units of work so the window stays alive.
#pragma once

#include <cstddef>
#include <cstdint>

struct installer_state;
struct platform_window;

// The wizard controls the run reads and drives, and its animation timer.
enum install_item : int {
    ITEM_DEST_EDIT = 5001,     // destination folder edit box
    ITEM_STARTMENU_BOX = 5003, // check box: Start-menu links
    ITEM_DESKTOP_BOX = 5004,   // check box: desktop links
    ITEM_EXTRAREG_BOX = 5008,  // check box: extra registration
    ITEM_STATUS = 6001,        // one-line status label
    ITEM_FIRST_ROW = 6002,     // step rows 6002..6007, in display order
    ITEM_LAST_ROW = 6007,
    ITEM_PROGRESS = 6009, // progress bar
    STEP_ROWS = ITEM_LAST_ROW - ITEM_FIRST_ROW + 1,
    ANIMATION_TIMER = 12345,
    ANIMATION_PERIOD_MS = 100,
};

// Results of the steps and of the driver.
enum step_result : int {
    STEP_CANCELLED = -1, // cancelled, or an install_steps entry that is no step
    STEP_FAILED = 0,     // failed (a step); stopped at a failure (the driver)
    STEP_DONE = 1,       // done (a step); call again (the driver)
    RUN_COMPLETE = 2,    // the driver only: every step has run
};

// First character of a step row's text: the state its icon shows.
enum : char { ROW_WAITING = '0', ROW_DONE = '1', ROW_FAILED = '2', ROW_RUNNING = '3' };
// The text of a row no step uses: it shows neither icon nor label.
#define ROW_UNUSED "XXXX"
#define TEXT_INSERROR_DEFAULT "Fout tijdens installatie"

// The whole run: reads the destination and the option boxes, then calls next_install_step
// until it stops. RUN_COMPLETE when every step ran, STEP_FAILED when a failure with break
// stopped it, STEP_CANCELLED when it was cancelled.
int install_run(platform_window *window, installer_state *state);
// One call of the run: the first (step_counter 0) creates the destination and the logs and
// labels the rows; each later one performs one install_steps entry. STEP_DONE to go on,
// RUN_COMPLETE, STEP_FAILED or STEP_CANCELLED.
int next_install_step(platform_window *window, installer_state *state);
// Performs the step of keyword key. Its result; STEP_CANCELLED for a key that is no step.
int perform_step(platform_window *window, installer_state *state, uint32_t key);
// Dispatches every waiting message of the thread and returns without waiting.
void drain_messages(platform_window *window);

// The script text of key into out (capacity cap), or fallback when the script has no such key.
void engine_text(installer_state *state, uint32_t key, const char *fallback, char *out, size_t cap);
// a * b / c rounded to the nearest integer (halves away from zero), in 64 bits; -1 when c is 0.
int64_t engine_mul_div(int64_t a, int64_t b, int64_t c);
