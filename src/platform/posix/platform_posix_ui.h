// How the POSIX backend answers the user interface: a native test or the packer's simulation
// installs hooks that see every message box and dialog and answer them as a user would, and
// reads and sets the simulated wizard controls the install run drives.
#pragma once

#include "platform/platform.h"
#include "platform/platform_window.h"

#include <cstdint>

struct platform_ui_hooks {
    // Answers a message box; null: print it to stderr and press OK (or Yes).
    int (*message_box)(const char *text, const char *caption, uint32_t style, void *context);
    // Runs one of the stub's dialogs (src/shell/dialogs.h) by its template; null: the dialog
    // ends at once with 0.
    int (*run_dialog)(int template_id, void *context);
    void *context;
    // Called by every drain of the message queue: where a test presses Back (and confirms the
    // abort question) at a chosen point of the run. Null: nothing happens.
    void (*pump)(void *context);
    // Answers the overwrite question with a PLATFORM_OVERWRITE_* id; null: No.
    int (*ask_overwrite)(const platform_overwrite_question *question, void *context);
    // Sees every change of an item's text (step rows, status label). Null: nobody watches.
    void (*item_text)(int item, const char *text, void *context);
    // Answers the folder browser: 1 with the chosen folder in out, 0 cancelled. Null: cancelled.
    int (*browse)(const platform_browse *browse, char *out, size_t cap, void *context);
};

extern platform_ui_hooks platform_ui;

// The simulated wizard: the controls the run has written and the boxes a test has ticked.
enum : int { PLATFORM_UI_ITEMS = 48, PLATFORM_UI_TEXT_CAPACITY = 512 };
enum : size_t { PLATFORM_UI_LOG_CAPACITY = 1u << 16 };
struct platform_ui_item {
    int id;                               // control id; 0 for a free slot
    int checked;                          // 0/1
    char text[PLATFORM_UI_TEXT_CAPACITY]; // window text
    // The window operations (platform_window.h) on a control of the dialog
    int exists;           // 0/1: made by platform_ui_open_wizard (the template)
    int visible, enabled; // 0/1
    platform_rect rect;   // client coordinates
    size_t text_limit;    // last limit set, 0: the default
    int clip_siblings;    // 0/1
};
struct platform_ui_model {
    platform_ui_item items[PLATFORM_UI_ITEMS];
    int progress_max; // range 0..progress_max of the last set range
    int progress_pos; // last position set
    int timer_id;     // the running timer's id, 0 when stopped
    int timer_starts; // how often a timer was started
    long drains;      // calls of platform_drain_messages
    // The dialog itself (platform_window.h)
    platform_rect work_area;                 // what platform_work_area reports
    platform_rect window;                    // where the dialog stands
    char caption[PLATFORM_UI_TEXT_CAPACITY]; // its caption
    int ended, result;                       // platform_end_dialog was called, with result
    int focus;                               // item given the focus, 0: none
    int beeps;                               // default beeps sounded
    char log[PLATFORM_UI_LOG_CAPACITY];      // one line per window operation, cut when full
};
extern platform_ui_model platform_ui_view;

// Clears the hooks and every simulated control.
void platform_ui_reset(void);
// The text of item ("" when never set), and setting it or its tick as the user would.
const char *platform_ui_text(int item);
void platform_ui_type(int item, const char *text);
void platform_ui_tick(int item, int checked);

// Makes the controls of the wizard's template 101 as a fresh dialog has them (ids, rectangles
// in dialog units, texts, visibility, enabled state) on a 1024 x 768 screen whose work area
// ends 30 pixels above the bottom, and clears the log.
void platform_ui_open_wizard(void);
// Appends one line to the log (printf format), cut when the log is full.
void platform_ui_log(const char *format, ...);
