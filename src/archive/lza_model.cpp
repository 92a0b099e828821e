// Start state of the shared LZARI symbol model.
#include "archive/lza_model.h"

void lza_model_start(lza_model *m) {
    m->sym_cum[LZA_N_CHAR] = 0;
    for (uint32_t sym = LZA_N_CHAR; sym >= 1; sym--) {
        const uint32_t ch = sym - 1;
        m->char_to_sym[ch] = (uint16_t)sym;
        m->sym_to_char[sym] = (uint16_t)ch;
        m->sym_freq[sym] = 1;
        m->sym_cum[sym - 1] = (uint16_t)(m->sym_cum[sym] + 1);
    }
    m->sym_freq[0] = 0;
}
