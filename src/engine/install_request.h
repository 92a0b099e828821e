// What an install run is asked to do and how it tells what it is doing. The caller hands the run
// a request (the destination, the option boxes' choices, how the overwrite question is answered,
// whether anyone watches) and a progress interface (step rows, status text, the bar, a call
// between units of work that answers whether to cancel, the questions and messages); the run
// never touches a window. The wizard implements the interface with its controls, setup.exe /S
// with nothing at all, the tests with a recording.
#pragma once

#include "platform/platform.h"
#include "state/text.h"

#include <cstdint>

// How the run answers the overwrite question of an overwrite_ask entry.
enum install_answers : int {
    INSTALL_ASK = 0,        // ask through the progress interface (No when it cannot ask)
    INSTALL_YES_TO_ALL = 1, // replace every existing file, as after "Ja op alles" (/S /O)
    INSTALL_NO_TO_ALL = 2,  // keep every existing file, as after "Nee op alles", but replace
                            // the ones an earlier install's log names: its own (/S)
};

struct install_request {
    char dest[PATH_CAPACITY]; // the destination folder as typed; trailing backslashes are dropped
    uint32_t choice_flags; // CHOICE_STARTMENU, CHOICE_DESKTOP, CHOICE_EXTRAREG (installer_state.h)
    int answers;           // install_answers
    int unattended;        // 1: nobody watches: every message goes to InsErr.log instead, and a
                           // destination that cannot be made stops the run whatever its step says
};

// The step rows: one per install step the run performs, at most this many (the wizard's
// progress page has as many).
enum : int { STEP_ROWS = 6 };

// What a step row shows. The wizard keeps it as the first character of the row's text.
enum : char {
    ROW_WAITING = '0',
    ROW_DONE = '1',
    ROW_FAILED = '2',
    ROW_RUNNING = '3',
    ROW_NONE = 'X', // no step uses the row: it shows neither icon nor caption
};

// Where the run reports. Every function may be null: the run then goes on as if nobody looked
// (no cancel, every question answered No, every message taken as read). The run calls them
// from its own thread, in the order things happen; context is handed back unchanged.
struct install_progress {
    void *context;
    // Row row (0 .. STEP_ROWS - 1) now shows state (ROW_*) with caption ("" for ROW_NONE).
    void (*row)(void *context, int row, char state, const char *caption);
    // The status line: the entry, link or total being worked on.
    void (*status)(void *context, const char *text);
    // The bar's range 0 .. maximum, and its position; the run reports a position only when it
    // differs from the last one it reported in that range.
    void (*bar_range)(void *context, int maximum);
    void (*bar_position)(void *context, int position);
    // Called between units of work (a record, a decoded block, an entry, a step): the moment
    // to keep a window alive. Returns 1 when the user has asked to cancel the run, else 0.
    int (*keep_alive)(void *context);
    // The overwrite question; the PLATFORM_OVERWRITE_* answer, or -1 when it could not be asked.
    int (*ask_overwrite)(void *context, const platform_overwrite_question *question);
    // A message with caption and PLATFORM_MB_* style; the PLATFORM_ID* button pressed.
    int (*message)(void *context, const char *text, const char *caption, uint32_t style);
};
