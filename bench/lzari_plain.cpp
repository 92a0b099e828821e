// Straightforward LZARI decoding: global-free, one function per step, a binary search for
// every symbol and position, one byte per call. Deliberately unoptimised.
#include "lzari_plain.h"

#include <cstring>

namespace {

const unsigned N = 4096, F = 60, N_CHAR = 314;
const uint32_t Q1 = 0x8000, Q2 = 0x10000, Q3 = 0x18000, Q4 = 0x20000, MAX_CUM = 0x7FFF;

struct plain_state {
    const unsigned char *in;
    size_t in_len, in_pos;
    uint32_t low, high, value;
    unsigned bit_buffer, bit_mask;
    uint16_t char_to_sym[N_CHAR], sym_to_char[N_CHAR + 1], sym_freq[N_CHAR + 1],
        sym_cum[N_CHAR + 1], position_cum[N + 1];
    unsigned char ring[N + F - 1];
};

int get_bit(plain_state &s) {
    if ((s.bit_mask >>= 1) == 0) {
        s.bit_buffer = s.in_pos < s.in_len ? s.in[s.in_pos++] : 0xFFFFu;
        s.bit_mask = 0x80;
    }
    return (s.bit_buffer & s.bit_mask) != 0;
}

void start_model(plain_state &s) {
    s.sym_cum[N_CHAR] = 0;
    for (unsigned sym = N_CHAR; sym >= 1; sym--) {
        unsigned ch = sym - 1;
        s.char_to_sym[ch] = (uint16_t)sym;
        s.sym_to_char[sym] = (uint16_t)ch;
        s.sym_freq[sym] = 1;
        s.sym_cum[sym - 1] = (uint16_t)(s.sym_cum[sym] + s.sym_freq[sym]);
    }
    s.sym_freq[0] = 0;
    s.position_cum[N] = 0;
    for (unsigned i = N; i >= 1; i--)
        s.position_cum[i - 1] = (uint16_t)(s.position_cum[i] + 10000 / (i + 200));
}

void update_model(plain_state &s, unsigned sym) {
    if (s.sym_cum[0] >= MAX_CUM) {
        unsigned total = 0;
        for (unsigned i = N_CHAR; i > 0; i--) {
            s.sym_cum[i] = (uint16_t)total;
            total += (s.sym_freq[i] = (uint16_t)((s.sym_freq[i] + 1) >> 1));
        }
        s.sym_cum[0] = (uint16_t)total;
    }
    unsigned i;
    for (i = sym; s.sym_freq[i] == s.sym_freq[i - 1]; i--) {
    }
    if (i < sym) {
        unsigned ch_i = s.sym_to_char[i], ch_sym = s.sym_to_char[sym];
        s.sym_to_char[i] = (uint16_t)ch_sym;
        s.sym_to_char[sym] = (uint16_t)ch_i;
        s.char_to_sym[ch_i] = (uint16_t)sym;
        s.char_to_sym[ch_sym] = (uint16_t)i;
    }
    s.sym_freq[i]++;
    for (unsigned k = i; k-- > 0;) s.sym_cum[k]++;
}

unsigned search_sym(const plain_state &s, uint32_t x) {
    unsigned i = 1, j = N_CHAR;
    while (i < j) {
        unsigned k = (i + j) / 2;
        if (s.sym_cum[k] > x) i = k + 1;
        else j = k;
    }
    return i;
}

unsigned search_position(const plain_state &s, uint32_t x) {
    unsigned i = 1, j = N;
    while (i < j) {
        unsigned k = (i + j) / 2;
        if (s.position_cum[k] > x) i = k + 1;
        else j = k;
    }
    return i - 1;
}

void normalise(plain_state &s) {
    for (;;) {
        if (s.low >= Q2) {
            s.value -= Q2;
            s.low -= Q2;
            s.high -= Q2;
        } else if (s.low >= Q1 && s.high <= Q3) {
            s.value -= Q1;
            s.low -= Q1;
            s.high -= Q1;
        } else if (s.high > Q2) {
            break;
        }
        s.low += s.low;
        s.high += s.high;
        s.value = 2 * s.value + (uint32_t)get_bit(s);
    }
}

unsigned decode_char(plain_state &s) {
    uint32_t range = s.high - s.low;
    uint32_t x = ((s.value - s.low + 1) * s.sym_cum[0] - 1) / range;
    unsigned sym = search_sym(s, x);
    s.high = s.low + range * s.sym_cum[sym - 1] / s.sym_cum[0];
    s.low += range * s.sym_cum[sym] / s.sym_cum[0];
    normalise(s);
    unsigned ch = s.sym_to_char[sym];
    update_model(s, sym);
    return ch;
}

unsigned decode_position(plain_state &s) {
    uint32_t range = s.high - s.low;
    uint32_t x = ((s.value - s.low + 1) * s.position_cum[0] - 1) / range;
    unsigned p = search_position(s, x);
    s.high = s.low + range * s.position_cum[p] / s.position_cum[0];
    s.low += range * s.position_cum[p + 1] / s.position_cum[0];
    normalise(s);
    return p;
}

} // namespace

void lzari_plain_decode(const unsigned char *packed, size_t packed_len, unsigned char *out,
                        uint32_t size) {
    plain_state *state = new plain_state();
    plain_state &s = *state;
    s.in = packed;
    s.in_len = packed_len;
    s.high = Q4;
    for (int i = 0; i < 17; i++) s.value = 2 * s.value + (uint32_t)get_bit(s);
    start_model(s);
    memset(s.ring, ' ', N - F);
    unsigned r = N - F;
    for (uint32_t count = 0; count < size;) {
        unsigned c = decode_char(s);
        if (c < 256) {
            out[count++] = (unsigned char)c;
            s.ring[r++] = (unsigned char)c;
            r &= N - 1;
        } else {
            unsigned i = (r - decode_position(s) - 1) & (N - 1);
            unsigned j = c - 255 + 2;
            for (unsigned k = 0; k < j && count < size; k++) {
                unsigned char b = s.ring[(i + k) & (N - 1)];
                out[count++] = b;
                s.ring[r++] = b;
                r &= N - 1;
            }
        }
    }
    delete state;
}
