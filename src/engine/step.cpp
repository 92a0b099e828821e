// The pieces every install step shares.
#include "engine/step.h"

#include "platform/platform.h"

void drain_messages(platform_window *window) {
    platform_drain_messages(window);
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
