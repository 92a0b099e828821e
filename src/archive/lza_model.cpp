// Start state and halving of the shared LZARI symbol model.
#include "archive/lza_model.h"

namespace {

// block_cum from sym_cum; the entries past symbol 314 are zeros.
void fill_blocks(lza_model *m) {
    for (uint32_t j = 0; j < LZA_MODEL_BLOCKS; j++)
        m->block_cum[j] = m->sym_cum[LZA_MODEL_LANES * (j + 1)];
}

} // namespace

void lza_model_start(lza_model *m) {
    memset(m, 0, sizeof *m);
    m->sym_cum[LZA_N_CHAR] = 0;
    for (uint32_t sym = LZA_N_CHAR; sym >= 1; sym--) {
        const uint32_t ch = sym - 1;
        m->char_to_sym[ch] = (uint16_t)sym;
        m->sym_to_char[sym] = (uint16_t)ch;
        m->sym_freq[sym] = 1;
        m->sym_cum[sym - 1] = (uint16_t)(m->sym_cum[sym] + 1);
    }
    m->sym_freq[0] = 0;
    fill_blocks(m);
}

void lza_model_halve(lza_model *m) {
    uint16_t *freq = m->sym_freq, *cum = m->sym_cum;
    uint32_t total = 0;
    for (uint32_t i = LZA_N_CHAR; i > 0; i--) {
        cum[i] = (uint16_t)total;
        freq[i] = (uint16_t)((freq[i] + 1) >> 1);
        total += freq[i];
    }
    cum[0] = (uint16_t)total;
    fill_blocks(m);
}
