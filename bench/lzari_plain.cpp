// Straightforward LZARI decoding and encoding: global-free, one function per step, a binary
// search for every symbol and position, one byte per call; the encoder is the classic greedy
// one over a binary search tree of the window's strings. Deliberately unoptimised.
#include "lzari_plain.h"

#include <cstring>
#include <vector>

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
        if (s.sym_cum[k] > x)
            i = k + 1;
        else
            j = k;
    }
    return i;
}

unsigned search_position(const plain_state &s, uint32_t x) {
    unsigned i = 1, j = N;
    while (i < j) {
        unsigned k = (i + j) / 2;
        if (s.position_cum[k] > x)
            i = k + 1;
        else
            j = k;
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

namespace {

// The encoder's coder and its tree of window strings. Tree nodes are ring positions 0..N-1;
// nodes N+1..N+256 are the roots, one per first byte; NIL (N) is the empty link.
const unsigned NIL = N, THRESHOLD = 2;

struct plain_encoder {
    plain_state model; // the shared model tables and ring; the decoder fields go unused
    std::vector<unsigned char> *out;
    uint32_t low, high, pending;
    unsigned bit_buffer, bit_mask;
    unsigned char text[N + F - 1];
    unsigned left[N + 1], right[N + 257], parent[N + 1];
    unsigned match_length, match_position;
};

void put_bit(plain_encoder &e, unsigned bit) {
    if (bit) e.bit_buffer |= e.bit_mask;
    if ((e.bit_mask >>= 1) == 0) {
        e.out->push_back((unsigned char)e.bit_buffer);
        e.bit_buffer = 0;
        e.bit_mask = 0x80;
    }
}

void put_settled(plain_encoder &e, unsigned bit) {
    put_bit(e, bit);
    for (; e.pending > 0; e.pending--) put_bit(e, !bit);
}

void encode_interval(plain_encoder &e, uint32_t cum_high, uint32_t cum_low, uint32_t total) {
    uint32_t range = e.high - e.low;
    e.high = e.low + range * cum_high / total;
    e.low += range * cum_low / total;
    for (;;) {
        if (e.high <= Q2) {
            put_settled(e, 0);
        } else if (e.low >= Q2) {
            put_settled(e, 1);
            e.low -= Q2;
            e.high -= Q2;
        } else if (e.low >= Q1 && e.high <= Q3) {
            e.pending++;
            e.low -= Q1;
            e.high -= Q1;
        } else {
            break;
        }
        e.low += e.low;
        e.high += e.high;
    }
}

void encode_char(plain_encoder &e, unsigned ch) {
    plain_state &s = e.model;
    unsigned sym = s.char_to_sym[ch];
    encode_interval(e, s.sym_cum[sym - 1], s.sym_cum[sym], s.sym_cum[0]);
    update_model(s, sym);
}

void encode_position(plain_encoder &e, unsigned p) {
    plain_state &s = e.model;
    encode_interval(e, s.position_cum[p], s.position_cum[p + 1], s.position_cum[0]);
}

// Adds the string at ring position r to the tree and finds the longest match for it among
// the strings there (the nearest one among equally long ones). A string equal in all F bytes
// takes the old node's place.
void insert_node(plain_encoder &e, unsigned r) {
    const unsigned char *key = &e.text[r];
    unsigned p = N + 1 + key[0];
    int cmp = 1;
    e.left[r] = e.right[r] = NIL;
    e.match_length = 0;
    for (;;) {
        unsigned *next = cmp >= 0 ? &e.right[p] : &e.left[p];
        if (*next == NIL) {
            *next = r;
            e.parent[r] = p;
            return;
        }
        p = *next;
        unsigned i;
        for (i = 1; i < F; i++)
            if ((cmp = key[i] - e.text[p + i]) != 0) break;
        if (i > THRESHOLD) {
            unsigned position = ((r - p) & (N - 1)) - 1;
            if (i > e.match_length) {
                e.match_position = position;
                if ((e.match_length = i) >= F) break;
            } else if (i == e.match_length && position < e.match_position) {
                e.match_position = position;
            }
        }
    }
    e.parent[r] = e.parent[p];
    e.left[r] = e.left[p];
    e.right[r] = e.right[p];
    e.parent[e.left[p]] = r;
    e.parent[e.right[p]] = r;
    if (e.right[e.parent[p]] == p)
        e.right[e.parent[p]] = r;
    else
        e.left[e.parent[p]] = r;
    e.parent[p] = NIL;
}

void delete_node(plain_encoder &e, unsigned p) {
    if (e.parent[p] == NIL) return;
    unsigned q;
    if (e.right[p] == NIL) {
        q = e.left[p];
    } else if (e.left[p] == NIL) {
        q = e.right[p];
    } else {
        q = e.left[p];
        if (e.right[q] != NIL) {
            do q = e.right[q];
            while (e.right[q] != NIL);
            e.right[e.parent[q]] = e.left[q];
            e.parent[e.left[q]] = e.parent[q];
            e.left[q] = e.left[p];
            e.parent[e.left[p]] = q;
        }
        e.right[q] = e.right[p];
        e.parent[e.right[p]] = q;
    }
    e.parent[q] = e.parent[p];
    if (e.right[e.parent[p]] == p)
        e.right[e.parent[p]] = q;
    else
        e.left[e.parent[p]] = q;
    e.parent[p] = NIL;
}

} // namespace

void lzari_plain_encode(const unsigned char *in, size_t size, std::vector<unsigned char> *out) {
    if (size == 0) return;
    plain_encoder *encoder = new plain_encoder();
    plain_encoder &e = *encoder;
    e.out = out;
    e.high = Q4;
    e.bit_mask = 0x80;
    start_model(e.model);
    for (unsigned i = N + 1; i <= N + 256; i++) e.right[i] = NIL;
    for (unsigned i = 0; i < N; i++) e.parent[i] = NIL;
    unsigned s = 0, r = N - F;
    memset(e.text, ' ', r);
    size_t next = 0;
    unsigned len = 0;
    for (; len < F && next < size; len++) e.text[r + len] = in[next++];
    for (unsigned i = 1; i <= F; i++) insert_node(e, r - i);
    insert_node(e, r);
    do {
        if (e.match_length > len) e.match_length = len;
        unsigned last;
        if (e.match_length <= THRESHOLD) {
            last = 1;
            encode_char(e, e.text[r]);
        } else {
            last = e.match_length;
            encode_char(e, 255 - THRESHOLD + last);
            encode_position(e, e.match_position);
        }
        for (unsigned i = 0; i < last; i++) {
            delete_node(e, s);
            if (next < size) {
                unsigned char c = in[next++];
                e.text[s] = c;
                if (s < F - 1) e.text[s + N] = c;
            } else {
                len--;
            }
            s = (s + 1) & (N - 1);
            r = (r + 1) & (N - 1);
            if (len > 0) insert_node(e, r);
        }
    } while (len > 0);
    e.pending++;
    put_settled(e, e.low < Q1 ? 0 : 1);
    while (e.bit_mask != 0x80) put_bit(e, 0);
    delete encoder;
}
