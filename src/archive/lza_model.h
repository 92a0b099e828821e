// The adaptive symbol model that the LZARI decoder and encoder share: 314 characters (256
// literals and 58 match lengths) kept as symbols sorted by falling frequency, so that coder and
// decoder derive the same cumulative frequencies from the same history.
//
// The tables are searched and updated eight 16-bit entries at a time (the compiler's vector
// types: SSE2 on x86-64, plain integer code where there is none). Every table value stays below
// 0x8000, so signed 16-bit lanes compare them correctly. Two invariants make the searches
// counts instead of walks:
//  1. sym_cum and sym_freq never increase with the symbol number, so the smallest symbol whose
//     sym_cum is at most x is one more than the number of symbols 1..313 above x;
//  2. block_cum[j] is sym_cum[8j + 8]: counting the blocks above x first leaves eight entries
//     to count, in place of a nine-step binary search whose every step waits on a load.
#pragma once

#include "archive/lza_format.h"

#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

enum : uint32_t {
    LZA_MODEL_LANES = 8,   // 16-bit entries per vector step
    LZA_MODEL_SLOTS = 328, // sym_freq and sym_cum entries: 0..314, then zeros up to 327
    LZA_MODEL_BLOCKS = 40, // block_cum entries: sym_cum[8], sym_cum[16], .., sym_cum[320]
};

struct lza_model {
    uint16_t char_to_sym[LZA_N_CHAR];     // character -> symbol 1..314
    uint16_t sym_to_char[LZA_N_CHAR + 1]; // symbol -> character 0..313
    uint16_t sym_freq[LZA_MODEL_SLOTS];   // non-increasing in the symbol number; [0] is 0
    uint16_t sym_cum[LZA_MODEL_SLOTS];    // [i] = sum of sym_freq above i; [0] is the total
    uint16_t block_cum[LZA_MODEL_BLOCKS]; // [j] = sym_cum[8j + 8]
};

// Every character at frequency 1, character c as symbol c + 1: the total is 314.
void lza_model_start(lza_model *model);
// Halves every frequency, rounding up, and rebuilds the sums: the model at MAX_CUM.
void lza_model_halve(lza_model *model);

#if !defined(__SSE2__)
// Without SSE (the i686 build) GCC notes that vectors passed by value travel differently from
// SSE builds. These helpers are inline, within one build with one set of flags, so that never
// arises; the note comes at the end of each file that includes this, so it is off for the file.
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

typedef int16_t lza_lanes __attribute__((vector_size(16)));
typedef uint64_t lza_lanes_64 __attribute__((vector_size(16)));

inline lza_lanes lza_lanes_load(const uint16_t *p) {
    lza_lanes v;
    memcpy(&v, p, sizeof v);
    return v;
}

inline void lza_lanes_store(uint16_t *p, const lza_lanes &v) {
    memcpy(p, &v, sizeof v);
}

inline lza_lanes lza_lanes_splat(uint32_t x) {
    const int16_t s = (int16_t)x;
    return lza_lanes{s, s, s, s, s, s, s, s};
}

// The number of lanes set in a sum of comparison results (each lane -1 per true comparison).
inline uint32_t lza_lanes_count(const lza_lanes &sum) {
    const lza_lanes_64 w = (lza_lanes_64)(-sum);
    uint64_t s = w[0] + w[1]; // four lanes, each far below 0x10000
    s += s >> 32;
    s += s >> 16;
    return (uint32_t)s & 0xFFFF;
}

// Adds 1 to table[0..n-1], eight entries at a time; entries from n on keep their values, but
// the eight entries from n rounded down to a multiple of 8 are rewritten, so they must exist.
inline void lza_lanes_increment(uint16_t *table, uint32_t n) {
    static const uint16_t ones[2 * LZA_MODEL_LANES] = {1, 1, 1, 1, 1, 1, 1, 1};
    const lza_lanes all = lza_lanes_load(ones);
    uint32_t k = 0;
    for (; k + LZA_MODEL_LANES <= n; k += LZA_MODEL_LANES)
        lza_lanes_store(table + k, lza_lanes_load(table + k) + all);
    const lza_lanes head = lza_lanes_load(ones + LZA_MODEL_LANES - (n - k)); // n - k ones
    lza_lanes_store(table + k, lza_lanes_load(table + k) + head);
}

// The lanes set in two comparison results whose set lanes all come first, a's before b's.
#if defined(__SSE2__)
inline uint32_t lza_lanes_leading(const lza_lanes &a, const lza_lanes &b) {
    const uint32_t set = (uint32_t)_mm_movemask_epi8(_mm_packs_epi16((__m128i)a, (__m128i)b));
    return (uint32_t)__builtin_ctz(~set); // one bit per lane; bit 16 of ~set ends a full run
}
#else
inline uint32_t lza_lanes_leading(const lza_lanes &a, const lza_lanes &b) {
    return lza_lanes_count(a + b);
}
#endif

// The smallest symbol i in 1..314 with sym_cum[i] <= x: what the classic binary search over
// sym_cum returns, for any x.
inline uint32_t lza_model_find(const lza_model *m, uint32_t x) {
    const uint32_t top = m->sym_cum[0] - 1u; // every x from the total on finds symbol 1
    const lza_lanes xs = lza_lanes_splat(x < top ? x : top), none = {};
    const uint16_t *blocks = m->block_cum;
    static_assert(LZA_MODEL_BLOCKS == 5 * LZA_MODEL_LANES, "five vectors of blocks");
    const uint32_t above = // blocks whose last sum is above x; they come first
        lza_lanes_leading(lza_lanes_load(blocks) > xs, lza_lanes_load(blocks + 8) > xs) +
        lza_lanes_leading(lza_lanes_load(blocks + 16) > xs, lza_lanes_load(blocks + 24) > xs) +
        lza_lanes_leading(lza_lanes_load(blocks + 32) > xs, none);
    // sym_cum[base] > x (sym_cum[0], the total, is above x as clamped), sym_cum[base + 8] <= x;
    // reading from base, on the eight-entry grid of the updates' stores, lets the processor
    // forward the last update's stores to this load instead of waiting for them.
    const uint32_t base = LZA_MODEL_LANES * above;
    return base + lza_lanes_leading(lza_lanes_load(m->sym_cum + base) > xs, none);
}

// The lowest-numbered symbol with the same frequency as sym: one more than the number of
// symbols above that frequency.
inline uint32_t lza_model_run_start(const lza_model *m, uint32_t sym) {
    const lza_lanes f = lza_lanes_splat(m->sym_freq[sym]);
    lza_lanes above = lza_lanes_load(m->sym_freq) > f;
    for (uint32_t k = LZA_MODEL_LANES; k < sym; k += LZA_MODEL_LANES)
        above += lza_lanes_load(m->sym_freq + k) > f;
    return 1 + lza_lanes_count(above);
}

// Counts one more occurrence of symbol sym (1..314): halves every frequency (rounding up) once
// the total reaches MAX_CUM, moves the symbol's character to the lowest-numbered symbol of its
// frequency, then raises that frequency. Inline: it runs once per coded symbol.
inline void lza_model_update(lza_model *m, uint32_t sym) {
    if (m->sym_cum[0] >= LZA_MAX_CUM) lza_model_halve(m);
    uint32_t i = sym;
    if (m->sym_freq[sym - 1] == m->sym_freq[sym]) i = lza_model_run_start(m, sym);
    if (i < sym) {
        const uint16_t ch_i = m->sym_to_char[i], ch_sym = m->sym_to_char[sym];
        m->sym_to_char[i] = ch_sym;
        m->sym_to_char[sym] = ch_i;
        m->char_to_sym[ch_i] = (uint16_t)sym;
        m->char_to_sym[ch_sym] = (uint16_t)i;
    }
    m->sym_freq[i]++;
    lza_lanes_increment(m->sym_cum, i);                           // sym_cum[0..i-1]
    lza_lanes_increment(m->block_cum, (i - 1) / LZA_MODEL_LANES); // those among them
}
