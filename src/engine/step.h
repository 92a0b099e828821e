// What every install step shares: the record of the run in flight (install_job), the reports it
// makes through the caller's progress interface, the step results and the progress arithmetic.
// A step includes this header and nothing of the driver, so that new steps join the run
// without joining a circle of includes.
#pragma once

#include "engine/install_log.h"
#include "engine/install_request.h"
#include "engine/upgrade.h"

#include <cstddef>
#include <cstdint>

struct installer_state;
struct lza_stream;

// Results of the steps and of the driver.
enum step_result : int {
    STEP_CANCELLED = -1, // cancelled, or an install_steps entry that is no step
    STEP_FAILED = 0,     // failed (a step); stopped at a failure (the driver)
    STEP_DONE = 1,       // done (a step); call again (the driver)
    RUN_COMPLETE = 2,    // the driver only: every step has run
};

// One install run in flight: what it was asked, where it reports, its logs, and what its steps
// keep between calls. install_job_begin (install_run.h) fills it and install_job_end releases
// it; the caller owns the record and must not move it meanwhile (its log is bound).
struct install_job {
    installer_state *state;           // the script, member table, destination and counters
    install_request request;          // as handed to install_job_begin
    const install_progress *progress; // where the run reports; never null once begun
    install_log log;                  // both logs of the run, bound while it lasts
    install_log *outer_log;           // the log bound before the run, bound again at its end
    int row_entry[STEP_ROWS];         // the install_steps entry each row shows; -1: none
    int bar_position;                 // the bar's position as last reported; -1: none since
                                      // the range was set
    lza_stream *archive;              // the copy step's stream over archive_path, kept from its
                                      // first member on; null until then and after a failure
    unsigned char *copy_buffer;       // decoded bytes gathered into writes, or null
    unsigned part_counter;            // the last temporary file name tried (make_part_path)
    upgrade_log earlier;              // the log of an earlier install into the destination,
                                      // read before the run's own replaced it; kept to the end
    int com_held;                     // 1 once a shortcut step started COM for the rest of the run
};

// The reports of a step, each passed to the progress function of its kind when there is one.
void install_row(install_job *job, int row, char row_state, const char *caption);
void install_status(install_job *job, const char *text);
// A new range for the bar; the next position is reported whatever it is.
void install_bar_range(install_job *job, int maximum);
// The bar's position, reported only when it differs from the last one reported.
void install_bar(install_job *job, int position);
// Between units of work: lets the caller keep its window alive. 1 when the run is to stop:
// cancel_requested is set (by the user, or now because the progress says so); else 0.
int install_keep_alive(install_job *job);
// The overwrite question, answered as the request says: asked through the progress under
// INSTALL_ASK (-1 when it cannot be asked), else the answer for all files.
int install_ask_overwrite(install_job *job, const platform_overwrite_question *question);

// A message of the run (a failed step, a failed copy entry): shown with caption and style, or,
// in an unattended run, written to InsErr.log as one line ("caption: text", line breaks as
// blanks) and counted in messages_logged. Returns the button pressed (OK when logged).
int run_message(install_job *job, const char *text, const char *caption, uint32_t style);

// a * b / c rounded to the nearest integer (halves away from zero), in 64 bits; -1 when c is 0.
int64_t engine_mul_div(int64_t a, int64_t b, int64_t c);
