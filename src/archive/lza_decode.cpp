// LZARI decoding. Bit-exact with the classic coder (same model, rounding and end-of-file
// behaviour), but the hot loop keeps the coder in locals, counts symbols with the model's
// vector search (lza_model.h), finds match positions through a direct lookup table, widens
// the interval in one computed step instead of a bit-by-bit loop, takes input eight bytes at
// a time and copies matches eight bytes at a time where they do not wrap or overlap.
//
// Invariant: offset < range between symbols, whatever the input bits (every symbol's share
// of the interval contains the code value, and widening keeps it inside), so the target
// point of a search is always below its total and indexes the position table safely.
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

// The coder registers, kept in locals for the length of one lza_read. The interval is held as
// its lower end and width, and the code value as its distance above the lower end: the form
// in which both the symbol search and the widening need them. Input bits wait in a 64-bit
// reservoir, next bit at the top.
struct coder {
    uint32_t low;       // lower end of the interval, below Q2 between symbols
    uint32_t range;     // high - low
    uint32_t offset;    // value - low: below range, whatever the input bits
    uint64_t bits;      // pending input bits, most significant first; below them zeros, or the
                        // stream's next bits where a load took part of a byte
    uint32_t count;     // how many of them are valid
    lza_reader *reader; // its stream, and how much of the packed data is left
};

enum : uint32_t {
    RESERVOIR_MIN = 2 * (LZA_M + 2), // bits for two widenings: a match's length and position
};

// Tops the reservoir up to at least 56 bits: eight bytes in one load where the stream has
// them buffered and the record holds them, else byte by byte. Past the record's packed data,
// and past the end of the file, every byte reads as 0xFF, so every later bit is a 1.
void refill_bits(coder &c) {
    lza_reader *r = c.reader;
    if (r->data_left >= 8 && lza_stream_buffered(r->stream) >= 8) {
        const unsigned char *p = lza_stream_cursor(r->stream);
        uint64_t word = 0;
        for (int k = 0; k < 8; k++) word = word << 8 | p[k];
        // bits past the whole bytes taken are exactly the ones the next load puts there again
        c.bits |= word >> c.count;
        const uint32_t taken = (63 - c.count) >> 3;
        lza_stream_consume(r->stream, taken);
        r->data_left -= taken;
        c.count += 8 * taken;
        return;
    }
    while (c.count <= 56) {
        uint64_t byte = 0xFF;
        if (r->data_left > 0) {
            byte = (uint64_t)((uint32_t)lza_stream_getc(r->stream) & 0xFFu);
            r->data_left--;
        } else {
            r->past_data++;
        }
        c.bits |= byte << (56 - c.count);
        c.count += 8;
    }
}

// The next n input bits (0 <= n <= 17) as a number; no branch, as n is unpredictable.
inline uint32_t take_bits(coder &c, uint32_t n) {
    const uint32_t bits = (uint32_t)((c.bits >> 32) >> (32 - n)); // n = 0 shifts all out
    c.bits <<= n;
    c.count -= n;
    return bits;
}

// Widens the interval until it straddles the middle, as the classic loop does step by step:
// upper half (low >= Q2: x -> 2(x - Q2)), else middle half (Q1 <= low, high <= Q3:
// x -> 2(x - Q1)), else lower half while high <= Q2 (x -> 2x). Every step doubles all three
// registers and subtracts a multiple of Q2, and the loop ends with low below Q2; so after n
// steps low is (low << n) mod Q2, the width is range << n, and only n needs finding:
//  1. no step can end the loop while the width is at most Q1, and any step that makes it
//     larger than Q2 does; so n is m, the steps that make the width exceed Q1, or m + 1;
//  2. it is m exactly when the interval after m steps meets the loop's end condition.
// The value takes n fresh input bits on the way.
inline void normalise(coder &c) {
    const uint32_t twice = 2 * c.range - 1; // m = 15 - floor(log2(range - 1)), at least 0
    const uint32_t m = (uint32_t)__builtin_clz(twice < 0x1FFFFu ? twice : 0x1FFFFu) - 15;
    const uint32_t low_m = (c.low << m) & (LZA_Q2 - 1), high_m = low_m + (c.range << m);
    const uint32_t done = (high_m > LZA_Q2) & ((low_m < LZA_Q1) | (high_m > LZA_Q3));
    const uint32_t n = m + (done ^ 1);
    c.low = (c.low << n) & (LZA_Q2 - 1);
    c.range <<= n;
    c.offset = (c.offset << n) | take_bits(c, n);
}

// Narrows the interval to [cum_low, cum_high) of total, then widens it.
inline void narrow(coder &c, uint32_t cum_high, uint32_t cum_low, uint32_t total) {
    const uint32_t bottom = c.range * cum_low / total;
    const uint32_t top = c.range * cum_high / total;
    c.low += bottom;
    c.offset -= bottom;
    c.range = top - bottom;
    normalise(c);
}

// The point of [0, total) that the code value stands for, as the classic coder computes it.
inline uint32_t target(const coder &c, uint32_t total) {
    return ((c.offset + 1) * total - 1) / c.range;
}

inline uint32_t decode_char(lza_model *m, coder &c) {
    const uint32_t total = m->sym_cum[0];
    const uint32_t sym = lza_model_find(m, target(c, total));
    narrow(c, m->sym_cum[sym - 1], m->sym_cum[sym], total);
    const uint32_t ch = m->sym_to_char[sym];
    lza_model_update(m, sym);
    return ch;
}

inline uint32_t decode_position(const position_model &pm, coder &c) {
    const uint32_t p = pm.position_of[target(c, LZA_POSITION_TOTAL)];
    narrow(c, pm.cum[p], pm.cum[p + 1], LZA_POSITION_TOTAL);
    return p;
}

// Copies run bytes of a match from ring position from to ring position to and to out,
// advancing both positions. Byte by byte, reading before writing, an overlapping match
// repeats itself; where neither side wraps and the match lies at least eight bytes back,
// eight bytes at a time give the same result, as each load reads only finished bytes.
inline void copy_match(unsigned char *ring, uint32_t &to, uint32_t &from, uint32_t run,
                       unsigned char *out) {
    const uint32_t mask = LZA_N - 1;
    uint32_t k = 0;
    const uint32_t distance = ((to - from - 1) & mask) + 1;
    if (distance >= 8 && from + run <= LZA_N && to + run <= LZA_N) {
        for (; k + 8 <= run; k += 8) {
            uint64_t word;
            memcpy(&word, ring + from + k, sizeof word);
            memcpy(ring + to + k, &word, sizeof word);
            memcpy(out + k, &word, sizeof word);
        }
    }
    for (; k < run; k++) {
        const unsigned char b = ring[(from + k) & mask];
        ring[(to + k) & mask] = b;
        out[k] = b;
    }
    from = (from + run) & mask;
    to = (to + run) & mask;
}

// Produces exactly n bytes into out (n never exceeds what the member has left).
void decode_bytes(lza_reader *r, unsigned char *out, size_t n) {
    const position_model &pm = position_table;
    coder c = {r->low, r->high - r->low, r->value - r->low, r->bits, r->bit_count, r};
    lza_model *model = &r->model;
    unsigned char *ring = r->ring;
    uint32_t ring_pos = r->ring_pos;
    uint32_t copy_pos = r->copy_pos;
    uint32_t copy_left = r->copy_left > 0 ? (uint32_t)r->copy_left : 0;
    const uint32_t mask = LZA_N - 1;

    while (n > 0) {
        if (copy_left == 0) {
            if (c.count < RESERVOIR_MIN) refill_bits(c);
            const uint32_t code = decode_char(model, c);
            if (code < 256) {
                ring[ring_pos] = (unsigned char)code;
                ring_pos = (ring_pos + 1) & mask;
                *out++ = (unsigned char)code;
                n--;
                continue;
            }
            const uint32_t p = decode_position(pm, c);
            copy_left = code - 253;
            copy_pos = (ring_pos - p - 1) & mask;
        }
        const uint32_t run = copy_left < n ? copy_left : (uint32_t)n;
        copy_match(ring, ring_pos, copy_pos, run, out);
        out += run;
        n -= run;
        copy_left -= run;
    }
    r->low = c.low;
    r->high = c.low + c.range;
    r->value = c.low + c.offset;
    r->bits = c.bits;
    r->bit_count = c.count;
    r->ring_pos = (uint16_t)ring_pos;
    r->copy_pos = (uint16_t)copy_pos;
    r->copy_left = (int16_t)copy_left;
}

// The first 17 bits of the code, before any symbol.
void start_decode(lza_reader *r) {
    coder c = {0, LZA_Q4, 0, 0, 0, r};
    refill_bits(c);
    r->value = take_bits(c, LZA_M + 2);
    r->bits = c.bits;
    r->bit_count = c.count;
}

// How much one packed byte can stand for. Between symbols the coder's interval is wider than
// Q1 (2^15) and at most Q4 (2^17); every doubling that keeps it so reads one bit, and the
// encoder, which makes the same doublings, writes that bit, then two more to end the code: a
// member coded in S doublings takes at least S + 2 bits. Measure the interval as a fraction A
// of the code space, width / 2^(17 + doublings so far): A starts at 1, doublings leave it as
// it is, and since the width ends above 2^15, S + 2 > log2(1 / A) at the end.
//   Coding a symbol of frequency f out of total t leaves a width of at most width * f / t + 1,
// so it multiplies A by less than f / t + 2^-15. Every symbol keeps a frequency of at least 1
// (halving rounds up) and the total never exceeds MAX_CUM, so a literal multiplies A by less
// than p = 1 - 313/32767 + 2^-15. A match (3 to 60 bytes) multiplies it by less than p times
// what its position allows, at most 49/28568 + 2^-15, less than p^59: never less per byte
// than literals. So after N bytes A < p^N, and N bytes need more than N log2(1/p) bits,
// which the checks below bound: LZA_MAX_EXPANSION bytes need more than 8 bits.
constexpr double power(double x, uint32_t n) {
    double r = 1;
    for (uint32_t i = 0; i < n; i++) r *= x;
    return r;
}
constexpr double CODE_SLACK = 1.0 / LZA_Q1; // the rounding's share of an interval wider than Q1
constexpr double LITERAL_SHARE = 1.0 - (double)(LZA_N_CHAR - 1) / LZA_MAX_CUM + CODE_SLACK;
constexpr double POSITION_SHARE = (double)(10000 / 201) / LZA_POSITION_TOTAL + CODE_SLACK;
static_assert(power(LITERAL_SHARE, LZA_MAX_EXPANSION) < 1.0 / 256,
              "LZA_MAX_EXPANSION literals must need more than one byte of code");
static_assert(POSITION_SHARE < power(LITERAL_SHARE, LZA_F - 1),
              "a match must cost at least as much per byte as literals");

} // namespace

const uint16_t *const lza_position_cum = position_table.cum;

int lza_sizes_possible(uint32_t unpacked_size, uint32_t packed_size) {
    if (unpacked_size == 0) return packed_size == 0;
    return (uint64_t)unpacked_size <= (uint64_t)packed_size * LZA_MAX_EXPANSION;
}

lza_reader *lza_open(lza_stream *stream, int64_t offset) {
    if (!stream || !lza_stream_seek(stream, offset)) return nullptr;
    unsigned char bytes[LZA_HEADER_SIZE];
    if (lza_stream_read(stream, bytes, sizeof bytes) != sizeof bytes) return nullptr;
    if (!lza_has_magic(bytes)) return nullptr;
    lza_header header;
    lza_header_decode(bytes, &header);
    if (header.unpacked_size == 0) return nullptr; // nothing to decode: the caller's empty file
    // A size the data cannot produce is refused before a byte is decoded or allocated for it.
    if (!lza_sizes_possible(header.unpacked_size, header.packed_size)) return nullptr;

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
    r->data_start = offset + (int64_t)LZA_HEADER_SIZE + (int64_t)name_bytes;
    r->data_left = header.packed_size;
    if (!lza_stream_seek(stream, r->data_start)) r->data_left = 0; // nothing to read: all ones
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

int64_t lza_read_gap(const lza_reader *r) {
    return r ? (int64_t)r->past_data - (int64_t)r->data_left : 0;
}

int lza_close(lza_reader *r) {
    platform_free(r);
    return 0;
}
