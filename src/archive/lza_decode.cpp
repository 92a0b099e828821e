// LZARI decoding. Bit-exact with the classic coder (same model, rounding and end-of-file
// behaviour), but the hot loop keeps the coder in locals, finds match positions through a
// direct lookup table instead of a binary search, and copies matches in runs.
#include "archive/lza_decode.h"

#include "archive/lza_stream.h"
#include "platform/platform.h"

#include <cstdlib>
#include <cstring>

namespace {

// position_cum and its inverse: position_of[x] is the position p with
// position_cum[p + 1] <= x < position_cum[p], what the classic binary search returns.
struct position_model {
    uint16_t cum[LZA_N + 1];
    uint16_t position_of[LZA_POSITION_TOTAL];
    position_model() {
        cum[LZA_N] = 0;
        for (uint32_t i = LZA_N; i >= 1; i--) cum[i - 1] = (uint16_t)(cum[i] + 10000 / (i + 200));
        for (uint32_t p = 0; p < LZA_N; p++)
            for (uint32_t x = cum[p + 1]; x < cum[p]; x++) position_of[x] = (uint16_t)p;
    }
};

// Built once as the program starts. A namespace-scope object rather than a function-local
// static: the latter needs a thread-safe guard, which drags the C++ exception runtime (some
// 80 KB) into the installer stub.
const position_model position_table;

// The coder registers, kept in locals for the length of one lza_read. Input bits wait in a
// 64-bit reservoir, next bit at the top, so that normalising needs no per-bit refill test.
struct coder {
    uint32_t low, high, value;
    uint64_t bits;  // pending input bits, most significant first
    uint32_t count; // how many of them are valid
    lza_stream *stream;
};

// Tops the reservoir up to at least 57 bits: enough for the 17 shifts one normalise can make.
// Past the end of the file every byte reads as 0xFF, so every later bit is a 1.
inline void refill_bits(coder &c) {
    while (c.count <= 56) {
        const uint64_t byte = (uint64_t)((uint32_t)lza_stream_getc(c.stream) & 0xFFu);
        c.bits |= byte << (56 - c.count);
        c.count += 8;
    }
}

inline uint32_t take_bit(coder &c) {
    const uint32_t bit = (uint32_t)(c.bits >> 63);
    c.bits <<= 1;
    c.count--;
    return bit;
}

// The classic widening loop, one step at a time (the reservoir must hold 17 bits).
void normalise_slowly(coder &c) {
    for (;;) {
        const uint32_t upper = c.low >= LZA_Q2;
        const uint32_t middle = !upper & (c.low >= LZA_Q1) & (c.high <= LZA_Q3);
        if (!(upper | middle | (c.high <= LZA_Q2))) return;
        const uint32_t sub = ((0u - upper) & LZA_Q2) | ((0u - middle) & LZA_Q1);
        c.low = 2 * (c.low - sub);
        c.high = 2 * (c.high - sub);
        c.value = 2 * (c.value - sub) + take_bit(c);
    }
}

// The next n input bits (0 <= n <= 17) as a number; no branch, as n is unpredictable.
inline uint32_t take_bits(coder &c, uint32_t n) {
    const uint32_t bits = (uint32_t)((c.bits >> 32) >> (32 - n)); // n = 0 shifts all out
    c.bits <<= n;
    c.count -= n;
    return bits;
}

// Leading one bits of the 16-bit value x.
inline uint32_t leading_ones16(uint32_t x) {
    return (uint32_t)__builtin_clz(~(x << 16));
}

// Widens the interval [low, high) until it straddles the middle, with the classic loop's
// steps in the classic order: upper half (low >= Q2: x -> 2(x - Q2)), then middle half
// (Q1 <= low, high <= Q3: x -> 2(x - Q1)), then lower half (high <= Q2: x -> 2x).
// Looping step by step costs a mispredicted branch per symbol and a dozen instructions per
// step, so the steps are counted from the bits of low and h = high - 1 instead:
//  1. upper-half steps run while low's top bit (of 17) is 1: its leading ones;
//  2. if the interval then lies in the lower half, lower- and middle-half steps alternate
//     as low's bit 15 says, for as many bits as low and h agree on below the top, then one
//     lower-half step crosses the middle;
//  3. middle-half steps run while low's bit 15 is 1 and h's is 0.
// Every step shifts all three registers left by one, value taking the next input bit.
inline void normalise(coder &c) {
    refill_bits(c);
    const uint32_t mask17 = LZA_Q4 - 1, mask16 = LZA_Q2 - 1;
    uint32_t low = c.low, h = c.high - 1, value = c.value;

    const uint32_t n_upper = (uint32_t)__builtin_clz(~(low << 15));
    const uint32_t upper_ones = (1u << n_upper) - 1;
    low = (low << n_upper) & mask17;
    h = ((h << n_upper) | upper_ones) & mask17;
    value = ((value << n_upper) | take_bits(c, n_upper)) & mask17;
    if (h < LZA_Q2) {
        const uint32_t differ = (low ^ h) & mask16;
        if (differ == 0) { // a one-wide interval: never produced by a sound coder
            c.low = low, c.high = h + 1, c.value = value;
            normalise_slowly(c);
            return;
        }
        const uint32_t n_lower = (uint32_t)__builtin_clz(differ << 16);
        const uint32_t lower_ones = (1u << n_lower) - 1;
        low = (low << n_lower) & mask16;
        h = ((h << n_lower) | lower_ones) & mask16;
        value = ((value << n_lower) | take_bits(c, n_lower)) & mask16;
        low <<= 1; // the step across the middle
        h = (h << 1) | 1;
        value = (value << 1) | take_bit(c);
    }
    const uint32_t n_middle = leading_ones16(low & ~h & mask16);
    const uint32_t middle_ones = (1u << n_middle) - 1;
    low = (low << n_middle) & mask16;
    h = (((h << n_middle) | middle_ones) & mask16) | LZA_Q2;
    value = (value << n_middle) - LZA_Q2 * middle_ones + take_bits(c, n_middle);
    c.low = low;
    c.high = h + 1;
    c.value = value;
}

// Smallest symbol i in 1..314 with sym_cum[i] <= x (sym_cum falls as i grows, and
// sym_cum[314] is 0). A binary search of fixed length whose steps are conditional moves.
inline uint32_t search_sym(const uint16_t *cum, uint32_t x) {
    const uint16_t *p = cum + 1;
    uint32_t len = LZA_N_CHAR;
    while (len > 1) {
        const uint32_t half = len >> 1;
        p += (p[half - 1] > x) * half; // arithmetic, so the compiler emits no branch
        len -= half;
    }
    return (uint32_t)(p - cum) + (*p > x);
}

inline uint32_t decode_char(lza_reader *r, coder &c) {
    const uint16_t *cum = r->model.sym_cum;
    const uint32_t total = cum[0];
    const uint32_t range = c.high - c.low;
    const uint32_t x = ((c.value - c.low + 1) * total - 1) / range;
    const uint32_t sym = search_sym(cum, x);
    c.high = c.low + range * cum[sym - 1] / total;
    c.low += range * cum[sym] / total;
    normalise(c);
    const uint32_t ch = r->model.sym_to_char[sym];
    lza_model_update(&r->model, sym);
    return ch;
}

inline uint32_t decode_position(const position_model &pm, coder &c) {
    const uint32_t range = c.high - c.low;
    const uint32_t x = ((c.value - c.low + 1) * LZA_POSITION_TOTAL - 1) / range;
    const uint32_t p = pm.position_of[x];
    c.high = c.low + range * pm.cum[p] / LZA_POSITION_TOTAL;
    c.low += range * pm.cum[p + 1] / LZA_POSITION_TOTAL;
    normalise(c);
    return p;
}

// Produces exactly n bytes into out (n never exceeds what the member has left).
void decode_bytes(lza_reader *r, unsigned char *out, size_t n) {
    const position_model &pm = position_table;
    coder c = {r->low, r->high, r->value, r->bits, r->bit_count, r->stream};
    unsigned char *ring = r->ring;
    uint32_t ring_pos = r->ring_pos;
    uint32_t copy_pos = r->copy_pos;
    int32_t copy_left = r->copy_left;
    const uint32_t mask = LZA_N - 1;

    while (n > 0) {
        if (copy_left <= 0) {
            const uint32_t code = decode_char(r, c);
            if (code < 256) {
                ring[ring_pos] = (unsigned char)code;
                ring_pos = (ring_pos + 1) & mask;
                *out++ = (unsigned char)code;
                n--;
                continue;
            }
            const uint32_t p = decode_position(pm, c);
            copy_left = (int32_t)code - 253;
            copy_pos = (ring_pos - p - 1) & mask;
        }
        // One byte at a time, reading before writing: an overlapping match repeats itself.
        size_t run = (size_t)copy_left < n ? (size_t)copy_left : n;
        copy_left -= (int32_t)run;
        n -= run;
        while (run--) {
            const unsigned char b = ring[copy_pos & mask];
            copy_pos++;
            ring[ring_pos] = b;
            ring_pos = (ring_pos + 1) & mask;
            *out++ = b;
        }
    }
    r->low = c.low;
    r->high = c.high;
    r->value = c.value;
    r->bits = c.bits;
    r->bit_count = c.count;
    r->ring_pos = (uint16_t)ring_pos;
    r->copy_pos = (uint16_t)(copy_pos & mask);
    r->copy_left = (int16_t)copy_left;
}

void start_decode(lza_reader *r) {
    coder c = {0, LZA_Q4, 0, 0, 0, r->stream};
    refill_bits(c);
    for (uint32_t i = 0; i < LZA_M + 2; i++) c.value = 2 * c.value + take_bit(c);
    r->value = c.value;
    r->bits = c.bits;
    r->bit_count = c.count;
}

} // namespace

const uint16_t *const lza_position_cum = position_table.cum;

lza_reader *lza_open(lza_stream *stream, int64_t offset) {
    if (!stream || !lza_stream_seek(stream, offset)) return nullptr;
    unsigned char bytes[LZA_HEADER_SIZE];
    if (lza_stream_read(stream, bytes, sizeof bytes) != sizeof bytes) return nullptr;
    if (!lza_has_magic(bytes)) return nullptr;
    lza_header header;
    lza_header_decode(bytes, &header);
    if (header.unpacked_size == 0) return nullptr; // nothing to decode: the caller's empty file

    // The name lives in the same block; a negative length means no name, and the block is
    // always sized from the length actually read, so no record can make us write outside it.
    const size_t name_bytes = header.name_length > 0 ? (size_t)header.name_length : 0;
    lza_reader *r =
        static_cast<lza_reader *>(platform_alloc(1, sizeof(lza_reader) + name_bytes + 1));
    if (!r) return nullptr;
    r->high = LZA_Q4;
    r->header_copy = header;
    if (name_bytes > 0) {
        r->name_copy = reinterpret_cast<char *>(r + 1);
        lza_stream_read(stream, r->name_copy, name_bytes); // a short name is not detected
        r->name_copy[name_bytes] = 0;
    }
    r->stream = stream;
    r->limit = header.unpacked_size;
    r->data_start = lza_stream_tell(stream);
    start_decode(r);
    lza_model_start(&r->model);
    memset(r->ring, ' ', LZA_RING_START);
    r->ring_pos = LZA_RING_START;
    return r;
}

size_t lza_read(void *buffer, size_t size, size_t count, lza_reader *r) {
    if (!buffer || !r || count == 0 || r->delivered >= r->limit) return 0;
    if (size == 0) return count; // every block begun, none holds a byte
    const uint64_t left = r->limit - r->delivered;
    const uint64_t want = count > left / size ? left : (uint64_t)size * count;
    decode_bytes(r, static_cast<unsigned char *>(buffer), (size_t)want);
    r->delivered += (uint32_t)want;
    return (size_t)((want + size - 1) / size);
}

int lza_close(lza_reader *r) {
    platform_free(r);
    return 0;
}
