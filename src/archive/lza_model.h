// The adaptive symbol model that the LZARI decoder and encoder share: 314 characters (256
// literals and 58 match lengths) kept as symbols sorted by falling frequency, so that coder and
// decoder derive the same cumulative frequencies from the same history.
#pragma once

#include "archive/lza_format.h"

#include <cstdint>
#include <cstring>

struct lza_model {
    uint16_t char_to_sym[LZA_N_CHAR];     // character -> symbol 1..314
    uint16_t sym_to_char[LZA_N_CHAR + 1]; // symbol -> character 0..313
    uint16_t sym_freq[LZA_N_CHAR + 1];    // non-increasing in the symbol number; [0] is 0
    uint16_t sym_cum[LZA_N_CHAR + 1];     // [i] = sum of sym_freq above i; [0] is the total
};

// Every character at frequency 1, character c as symbol c + 1: the total is 314.
void lza_model_start(lza_model *model);

// Counts one more occurrence of symbol sym (1..314): halves every frequency (rounding up) once
// the total reaches MAX_CUM, moves the symbol's character to the lowest-numbered symbol of its
// frequency, then raises that frequency. Inline: it runs once per coded symbol.
inline void lza_model_update(lza_model *m, uint32_t sym) {
    uint16_t *freq = m->sym_freq, *cum = m->sym_cum;
    if (cum[0] >= LZA_MAX_CUM) {
        uint32_t total = 0;
        for (uint32_t i = LZA_N_CHAR; i > 0; i--) {
            cum[i] = (uint16_t)total;
            freq[i] = (uint16_t)((freq[i] + 1) >> 1);
            total += freq[i];
        }
        cum[0] = (uint16_t)total;
    }
    uint32_t i = sym;
    const uint16_t f = freq[sym];
    while (freq[i - 1] == f) i--; // freq[0] is 0 and stops the walk
    if (i < sym) {
        const uint16_t ch_i = m->sym_to_char[i], ch_sym = m->sym_to_char[sym];
        m->sym_to_char[i] = ch_sym;
        m->sym_to_char[sym] = ch_i;
        m->char_to_sym[ch_i] = (uint16_t)sym;
        m->char_to_sym[ch_sym] = (uint16_t)i;
    }
    freq[i]++;
    // cum[0..i-1] += 1, four entries per 64-bit add: no entry exceeds 0x8000, so no carry
    // crosses into the next entry. On badly compressible data this is most of the work.
    uint32_t k = 0;
    for (; k + 4 <= i; k += 4) {
        uint64_t four;
        memcpy(&four, cum + k, sizeof four);
        four += 0x0001000100010001ull;
        memcpy(cum + k, &four, sizeof four);
    }
    for (; k < i; k++) cum[k]++;
}
