// LZARI encoding: the arithmetic coder, a cost-based parse over blocks of the input, and the
// streaming frame around both.
//
// The parse looks at SPAN positions from the current one, prices every literal and every match
// the tree finder lists (each length at its nearest distance, as nearer positions cost fewer
// bits), finds the cheapest path through them, and codes the part of it that starts within
// the first BLOCK positions; the remaining positions keep their match lists for the next parse.
// Prices come from the adaptive model at the start of each parse, in 1/256 bit.
#include "archive/lza_encode.h"

#include "archive/lza_decode.h"
#include "archive/lza_match.h"
#include "archive/lza_model.h"

#include <cstdlib>
#include <cstring>

namespace {

enum : int32_t {
    BLOCK = 2048,             // positions whose coding one parse settles
    SPAN = BLOCK + LZA_F,     // positions one parse looks at
    LOOKAHEAD = SPAN + LZA_F, // bytes a parse needs past the current position
    BUFFER = 1 << 18,         // input buffer, window history included
    CACHE = 4096,             // match lists kept, by position modulo CACHE (>= SPAN)
    OUT_CAPACITY = 1 << 16,   // packed bytes gathered before each write
    DEPTH_LIMIT = 48,         // tree nodes visited per position
    PRICE_SHIFT = 8,          // prices in 1/256 bit
};
static_assert(CACHE >= SPAN && LZA_MATCH_CYCLE % CACHE == 0, "match lists must survive slides");
static_assert(BUFFER - LOOKAHEAD - (int32_t)LZA_N >= LZA_MATCH_CYCLE, "a full buffer must slide");

// log2 in 1/256 bit, in integers only, so that every build makes the same choices.
uint32_t log2_fixed(uint32_t x) {
    uint32_t k = 0;
    while ((x >> (k + 1)) != 0) k++;
    uint64_t y = (uint64_t)x << (30 - k); // x / 2^k in [1, 2) with 30 fractional bits
    uint32_t result = k << PRICE_SHIFT;
    for (uint32_t bit = 1u << (PRICE_SHIFT - 1); bit != 0; bit >>= 1) {
        y = (y * y) >> 30;
        if (y >= (1ull << 31)) {
            y >>= 1;
            result |= bit;
        }
    }
    return result;
}

struct price_tables {
    uint32_t log2[LZA_MAX_CUM + 1]; // log2 of a frequency or total (index 0 unused)
    uint32_t position[LZA_N];       // bits of position code p under the static model
    price_tables() {
        log2[0] = 0;
        for (uint32_t x = 1; x <= LZA_MAX_CUM; x++) log2[x] = log2_fixed(x);
        const uint32_t total = log2_fixed(LZA_POSITION_TOTAL);
        for (uint32_t p = 0; p < LZA_N; p++)
            position[p] = total - log2_fixed(lza_position_cum[p] - lza_position_cum[p + 1]);
    }
};

const price_tables &prices() {
    static const price_tables tables;
    return tables;
}

} // namespace

struct lza_encoder {
    lza_write_fn write;
    void *context;
    int failed;         // 1 after a failed write: nothing more is coded
    uint64_t fed;       // input bytes taken
    uint64_t packed;    // packed bytes handed to write
    uint32_t low, high; // coder interval [low, high)
    uint32_t pending;   // opposite bits owed after the next settled bit
    uint32_t bit_byte;  // output bits gathered, most significant first
    uint32_t bit_count; // bits in bit_byte, 0..7
    size_t out_fill;    // bytes in out
    int32_t fill;       // input bytes in buffer (the 4036 spaces included)
    int32_t cur;        // next position to code
    int32_t inserted;   // next position to give to the match finder
    lza_model model;
    uint32_t sym_price[LZA_N_CHAR]; // bits of each character at the start of this parse
    uint32_t cost[SPAN + 1];        // cheapest bits from the parse's start to each offset
    uint16_t step_length[SPAN + 1]; // last step of that path: 1 literal, else match length
    uint16_t step_distance[SPAN + 1];
    uint16_t route[SPAN + 1]; // offsets where the chosen steps end, last first
    uint8_t match_count[CACHE];
    lza_match matches[CACHE][LZA_MATCH_MAX_LIST];
    unsigned char out[OUT_CAPACITY];
    unsigned char buffer[BUFFER];
    lza_match_finder finder;
};

namespace {

void flush_out(lza_encoder *e) {
    if (e->out_fill == 0 || e->failed) return;
    if (!e->write(e->context, e->out, e->out_fill)) e->failed = 1;
    e->packed += e->out_fill;
    e->out_fill = 0;
}

inline void put_bit(lza_encoder *e, uint32_t bit) {
    e->bit_byte = (e->bit_byte << 1) | bit;
    if (++e->bit_count == 8) {
        if (e->out_fill == OUT_CAPACITY) flush_out(e);
        e->out[e->out_fill++] = (unsigned char)e->bit_byte;
        e->bit_byte = 0;
        e->bit_count = 0;
    }
}

// A settled bit, then the opposite bits that the middle-half steps left owing.
inline void put_settled(lza_encoder *e, uint32_t bit) {
    put_bit(e, bit);
    for (; e->pending > 0; e->pending--) put_bit(e, bit ^ 1);
}

// Narrows [low, high) to the part [cum_low, cum_high) of total, then widens it again, in the
// decoder's steps: every doubling the decoder makes reads one bit that this writes.
inline void code_interval(lza_encoder *e, uint32_t cum_high, uint32_t cum_low, uint32_t total) {
    const uint32_t range = e->high - e->low;
    e->high = e->low + range * cum_high / total;
    e->low += range * cum_low / total;
    for (;;) {
        if (e->high <= LZA_Q2) {
            put_settled(e, 0);
        } else if (e->low >= LZA_Q2) {
            put_settled(e, 1);
            e->low -= LZA_Q2;
            e->high -= LZA_Q2;
        } else if (e->low >= LZA_Q1 && e->high <= LZA_Q3) {
            e->pending++;
            e->low -= LZA_Q1;
            e->high -= LZA_Q1;
        } else {
            return;
        }
        e->low += e->low;
        e->high += e->high;
    }
}

inline void code_char(lza_encoder *e, uint32_t ch) {
    const uint32_t sym = e->model.char_to_sym[ch];
    const uint16_t *cum = e->model.sym_cum;
    code_interval(e, cum[sym - 1], cum[sym], cum[0]);
    lza_model_update(&e->model, sym);
}

inline void code_position(lza_encoder *e, uint32_t p) {
    code_interval(e, lza_position_cum[p], lza_position_cum[p + 1], LZA_POSITION_TOTAL);
}

// Ends the code so that the decoder's 17 bits of look-ahead fall inside the final interval
// whatever bytes follow: two more settled bits name a quarter that lies within it.
void finish_code(lza_encoder *e) {
    e->pending++;
    put_settled(e, e->low < LZA_Q1 ? 0 : 1);
    while (e->bit_count != 0) put_bit(e, 0);
    flush_out(e);
}

// Gives the match finder every position up to end, keeping each one's list for the parse.
void find_matches(lza_encoder *e, int32_t end) {
    for (int32_t p = e->inserted; p < end; p++) {
        const int32_t left = e->fill - p;
        const int32_t limit = left < (int32_t)LZA_F ? left : (int32_t)LZA_F;
        const int32_t slot = p & (CACHE - 1);
        e->match_count[slot] =
            limit > (int32_t)LZA_THRESHOLD
                ? (uint8_t)lza_match_insert(&e->finder, p, limit, e->matches[slot])
                : 0;
    }
    if (end > e->inserted) e->inserted = end;
}

// Cheapest path over the next n positions under the current prices; fills cost and steps.
void shortest_path(lza_encoder *e, int32_t n) {
    const price_tables &pt = prices();
    const uint16_t *cum = e->model.sym_cum;
    const uint32_t total_bits = pt.log2[cum[0]];
    for (uint32_t ch = 0; ch < LZA_N_CHAR; ch++)
        e->sym_price[ch] = total_bits - pt.log2[e->model.sym_freq[e->model.char_to_sym[ch]]];
    const uint32_t *length_price = e->sym_price + (256 - LZA_THRESHOLD - 1); // [L] for L 3..60

    const unsigned char *data = e->buffer + e->cur;
    e->cost[0] = 0;
    for (int32_t i = 1; i <= n; i++) e->cost[i] = UINT32_MAX;
    for (int32_t i = 0; i < n; i++) {
        const uint32_t base = e->cost[i];
        const uint32_t literal = base + e->sym_price[data[i]];
        if (literal <= e->cost[i + 1]) {
            e->cost[i + 1] = literal;
            e->step_length[i + 1] = 1;
        }
        const int32_t slot = (e->cur + i) & (CACHE - 1);
        const lza_match *list = e->matches[slot];
        const int32_t room = n - i;
        int32_t length = LZA_THRESHOLD;
        for (int32_t k = 0; k < e->match_count[slot] && length < room; k++) {
            const int32_t top = list[k].length < room ? list[k].length : room;
            const uint32_t at = base + pt.position[list[k].distance - 1];
            // A match of the longest length is taken only whole: on long runs pricing all 58
            // lengths at every position costs a third of the time for a few bytes in megabytes.
            if (top == (int32_t)LZA_F) length = LZA_F - 1;
            for (length++; length <= top; length++) {
                const uint32_t c = at + length_price[length];
                if (c <= e->cost[i + length]) {
                    e->cost[i + length] = c;
                    e->step_length[i + length] = (uint16_t)length;
                    e->step_distance[i + length] = list[k].distance;
                }
            }
            length = top;
        }
    }
}

// One parse from cur: codes the chosen steps that start in the first BLOCK positions, or all
// of them when the parse reaches the end of the input.
void parse(lza_encoder *e, int final) {
    const int32_t left = e->fill - e->cur;
    const int32_t n = final && left < SPAN ? left : SPAN;
    find_matches(e, e->cur + n);
    shortest_path(e, n);

    int32_t steps = 0;
    for (int32_t at = n; at > 0; at -= e->step_length[at]) e->route[steps++] = (uint16_t)at;
    const int32_t settle = n == left ? n : BLOCK;
    const unsigned char *data = e->buffer + e->cur;
    int32_t start = 0;
    while (steps > 0 && start < settle) {
        const int32_t end = e->route[--steps];
        const uint32_t length = e->step_length[end];
        if (length == 1) {
            code_char(e, data[start]);
        } else {
            code_char(e, length + 256 - LZA_THRESHOLD - 1);
            code_position(e, e->step_distance[end] - 1u);
        }
        start = end;
    }
    e->cur += start;
}

// Drops old input when the buffer is full, keeping the window behind cur.
void slide(lza_encoder *e) {
    const int32_t keep_from = e->cur - (int32_t)LZA_N;
    const int32_t by = keep_from / LZA_MATCH_CYCLE * LZA_MATCH_CYCLE;
    memmove(e->buffer, e->buffer + by, (size_t)(e->fill - by));
    e->fill -= by;
    e->cur -= by;
    e->inserted -= by;
    lza_match_slide(&e->finder, by);
}

} // namespace

lza_encoder *lza_encode_begin(lza_write_fn write, void *context) {
    if (!write) return nullptr;
    lza_encoder *e = static_cast<lza_encoder *>(malloc(sizeof(lza_encoder)));
    if (!e) return nullptr;
    prices(); // built once, before the first parse needs them
    e->write = write;
    e->context = context;
    e->failed = 0;
    e->fed = e->packed = 0;
    e->low = 0;
    e->high = LZA_Q4;
    e->pending = e->bit_byte = e->bit_count = 0;
    e->out_fill = 0;
    memset(e->buffer, ' ', LZA_RING_START); // the decoder's window before the first byte
    e->fill = e->cur = LZA_RING_START;
    // Positions 0..3976 all start with 60 spaces, so each would take the place of the one
    // before it in the match finder's tree: inserting only the last of them leaves the same
    // tree, and saves some 4,000 insertions for every member.
    e->inserted = LZA_RING_START - LZA_F;
    lza_model_start(&e->model);
    lza_match_reset(&e->finder, e->buffer, DEPTH_LIMIT);
    return e;
}

int lza_encode_feed(lza_encoder *e, const void *data, size_t size) {
    const unsigned char *in = static_cast<const unsigned char *>(data);
    while (size > 0 && !e->failed) {
        if (e->fill == BUFFER) slide(e);
        const size_t room = (size_t)(BUFFER - e->fill);
        const size_t take = size < room ? size : room;
        memcpy(e->buffer + e->fill, in, take);
        e->fill += (int32_t)take;
        e->fed += take;
        in += take;
        size -= take;
        while (e->fill - e->cur >= LOOKAHEAD && !e->failed) parse(e, 0);
    }
    return !e->failed;
}

int lza_encode_end(lza_encoder *e, uint64_t *packed_size) {
    if (e->fed > 0) {
        while (e->cur < e->fill && !e->failed) parse(e, 1);
        if (!e->failed) finish_code(e);
    }
    const int ok = !e->failed;
    if (packed_size) *packed_size = e->packed;
    free(e);
    return ok;
}

void lza_encode_abort(lza_encoder *e) {
    free(e);
}

int lza_byte_buffer_write(void *context, const void *data, size_t size) {
    lza_byte_buffer *b = static_cast<lza_byte_buffer *>(context);
    if (size > b->capacity - b->size) {
        size_t capacity = b->capacity ? b->capacity : 4096;
        while (capacity - b->size < size) {
            if (capacity > SIZE_MAX / 2) return 0;
            capacity *= 2;
        }
        unsigned char *grown = static_cast<unsigned char *>(realloc(b->data, capacity));
        if (!grown) return 0;
        b->data = grown;
        b->capacity = capacity;
    }
    memcpy(b->data + b->size, data, size);
    b->size += size;
    return 1;
}

void lza_byte_buffer_free(lza_byte_buffer *b) {
    free(b->data);
    b->data = nullptr;
    b->size = b->capacity = 0;
}

int lza_encode_memory(const void *data, size_t size, lza_byte_buffer *out) {
    lza_encoder *e = lza_encode_begin(lza_byte_buffer_write, out);
    if (!e) return 0;
    lza_encode_feed(e, data, size);
    return lza_encode_end(e, nullptr);
}
