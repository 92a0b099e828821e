// The pieces every install step shares.
#include "engine/step.h"

#include "engine/install_log.h"
#include "platform/platform.h"
#include "state/installer_state.h"

#include <cstring>

void install_row(install_job *job, int row, char row_state, const char *caption) {
    const install_progress *p = job->progress;
    if (p->row) p->row(p->context, row, row_state, caption ? caption : "");
}

void install_status(install_job *job, const char *text) {
    const install_progress *p = job->progress;
    if (p->status) p->status(p->context, text ? text : "");
}

void install_bar_range(install_job *job, int maximum) {
    const install_progress *p = job->progress;
    if (p->bar_range) p->bar_range(p->context, maximum);
    job->bar_position = -1;
}

void install_bar(install_job *job, int position) {
    if (position == job->bar_position) return;
    job->bar_position = position;
    const install_progress *p = job->progress;
    if (p->bar_position) p->bar_position(p->context, position);
}

int install_keep_alive(install_job *job) {
    const install_progress *p = job->progress;
    if (p->keep_alive && p->keep_alive(p->context)) job->state->cancel_requested = 1;
    return job->state->cancel_requested != 0;
}

int install_ask_overwrite(install_job *job, const platform_overwrite_question *question) {
    if (job->request.answers == INSTALL_YES_TO_ALL) return PLATFORM_OVERWRITE_YES_TO_ALL;
    if (job->request.answers == INSTALL_NO_TO_ALL) return PLATFORM_OVERWRITE_NO_TO_ALL;
    const install_progress *p = job->progress;
    return p->ask_overwrite ? p->ask_overwrite(p->context, question) : -1;
}

int run_message(install_job *job, const char *text, const char *caption, uint32_t style) {
    if (!job->request.unattended) {
        const install_progress *p = job->progress;
        return p->message ? p->message(p->context, text, caption, style) : PLATFORM_IDOK;
    }
    char line[LOG_MESSAGE_CAPACITY] = "";
    if (caption && caption[0]) {
        text_copy(line, sizeof line, caption);
        text_append(line, sizeof line, ": ");
    }
    size_t n = strlen(line);
    for (const char *p = text ? text : ""; *p && n + 1 < sizeof line; p++) {
        if (*p != '\r' && *p != '\n') {
            line[n++] = *p;
        } else if (n > 0 && line[n - 1] != ' ') {
            line[n++] = ' '; // a run of line breaks becomes one blank
        }
    }
    while (n > 0 && line[n - 1] == ' ') n--;
    line[n] = 0;
    append_error_line(line);
    job->state->messages_logged++;
    return PLATFORM_IDOK;
}

int64_t engine_mul_div(int64_t a, int64_t b, int64_t c) {
    if (c == 0) return -1;
    // The operands here are byte counts below 2^62 and small factors: the product fits.
    int64_t product = a * b;
    int negative = (product < 0) != (c < 0);
    uint64_t p = product < 0 ? (uint64_t)-product : (uint64_t)product;
    uint64_t d = c < 0 ? (uint64_t)-c : (uint64_t)c;
    uint64_t q = (p + d / 2) / d;
    return negative ? -(int64_t)q : (int64_t)q;
}
