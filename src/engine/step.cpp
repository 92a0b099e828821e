// The pieces every install step shares.
#include "engine/step.h"

#include "engine/install_log.h"
#include "platform/platform.h"
#include "state/installer_state.h"

#include <cstring>

void drain_messages(platform_window *window) {
    platform_drain_messages(window);
}

int run_message(installer_state *state, const char *text, const char *caption, uint32_t style) {
    if (!state->unattended) return platform_message_box(text, caption, style);
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
    state->messages_logged++;
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
