// The encoder against the decoder: every corpus original and the boundary inputs round-trip
// bit-exactly, whatever follows the packed data; output does not depend on how the input is
// portioned; the match finder lists what a brute-force search finds; and the parse never loses
// to the greedy encoder whose sizes the corpus manifest records.
#include "archive/lza_decode.h"
#include "archive/lza_encode.h"
#include "archive/lza_match.h"
#include "archive/lza_model.h"
#include "archive/lza_stream.h"
#include "lzari_plain.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

#if defined(__SANITIZE_ADDRESS__)
const size_t kLargeInput = 64 * 1024; // sanitised builds encode a prefix of the big files
#else
const size_t kLargeInput = SIZE_MAX;
#endif

bytes decode_packed(const bytes &packed, uint32_t size, const bytes &after = {}) {
    bytes archive = make_record("member", size, packed);
    archive.insert(archive.end(), after.begin(), after.end());
    lza_stream *stream = lza_stream_open_memory(archive.data(), archive.size());
    lza_reader *reader = lza_open(stream, 0);
    bytes out(size);
    size_t got = reader ? lza_read(out.data(), 1, size, reader) : 0;
    out.resize(got);
    lza_close(reader);
    lza_stream_close(stream);
    return out;
}

bytes encode(const bytes &in) {
    lza_byte_buffer out = {};
    EXPECT_EQ(lza_encode_memory(in.data(), in.size(), &out), 1);
    bytes packed(out.data, out.data + out.size);
    lza_byte_buffer_free(&out);
    return packed;
}

// Round trip with the file ending after the packed data, and with zeros or ones after it.
void expect_round_trip(const bytes &in, const bytes &packed) {
    for (const bytes &after : {bytes{}, bytes(8, 0x00), bytes(8, 0xFF)}) {
        bytes back = decode_packed(packed, (uint32_t)in.size(), after);
        ASSERT_EQ(back.size(), in.size());
        EXPECT_TRUE(back == in) << "first difference at "
                                << std::mismatch(back.begin(), back.end(), in.begin()).first -
                                       back.begin();
    }
}

uint32_t next_random(uint32_t &state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

bytes random_bytes(size_t n, uint32_t seed) {
    bytes out(n);
    for (auto &b : out) b = (unsigned char)next_random(seed);
    return out;
}

// Words from a small vocabulary: text-like input with matches at every distance.
bytes wordy_text(size_t n, uint32_t seed) {
    static const char *words[] = {"setup ",   "archive ", "member ",   "folder ",   "the ",
                                  "install ", "\r\n",     "shortcut ", "registry ", "of "};
    bytes out;
    while (out.size() < n) {
        const char *w = words[next_random(seed) % 10];
        out.insert(out.end(), w, w + strlen(w));
        if (next_random(seed) % 7 == 0)
            out.push_back((unsigned char)('A' + next_random(seed) % 26));
    }
    out.resize(n);
    return out;
}

// The original of a vector, or its first limit bytes.
bytes corpus_original(const std::string &dir, const vector_row &row, size_t limit) {
    const uint32_t size = row.orig_size < limit ? row.orig_size : (uint32_t)limit;
    return decode_packed(read_file(dir + "/" + row.name + ".lza"), size);
}

} // namespace

// Every original of the corpus round-trips, each whole file no larger than the greedy
// encoder's member recorded in the manifest.
TEST(Encoder, CorpusRoundTripsNoLargerThanManifest) {
    uint64_t ours = 0, manifest = 0;
    for (const char *sub : {"", "/edge"}) {
        const std::string dir = vectors_dir() + sub;
        for (auto &row : read_manifest(dir + "/MANIFEST.tsv")) {
            SCOPED_TRACE(row.name);
            const bool whole = row.orig_size <= kLargeInput;
            bytes original = corpus_original(dir, row, kLargeInput);
            if (whole) {
                ASSERT_EQ(sha256_hex(original), row.sha256_orig);
            }
            bytes packed = encode(original);
            expect_round_trip(original, packed);
            if (whole) {
                EXPECT_LE(packed.size(), row.packed_size);
                ours += packed.size();
                manifest += row.packed_size;
            }
        }
    }
    EXPECT_LT(ours, manifest);
}

// Inputs at the edges of the format: no symbol at all, single symbols, the longest match, the
// window, the input buffer, a run that is one long chain of matches, incompressible bytes.
TEST(Encoder, BoundaryInputsRoundTrip) {
    struct boundary_case {
        const char *name;
        bytes input;
    } cases[] = {
        {"one byte", bytes{0x41}},
        {"three bytes", bytes{'a', 'b', 'c'}},
        {"60 equal bytes", bytes(60, 'a')},
        {"61 equal bytes", bytes(61, 'a')},
        {"4096 text", wordy_text(4096, 1)},
        {"4097 text", wordy_text(4097, 1)},
        {"leading spaces", bytes(300, ' ')},
        {"all byte values",
         [] {
             bytes b(512);
             for (size_t i = 0; i < b.size(); i++) b[i] = (unsigned char)(i * 7);
             return b;
         }()},
        {"1 MB of one byte", bytes(1 << 20, 0xE5)},
        {"random", random_bytes(kLargeInput < (1u << 20) ? 96 * 1024 : 1 << 20, 7)},
        {"text past the input buffer", wordy_text(300 * 1024 + 17, 3)},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.name);
        bytes packed = encode(c.input);
        ASSERT_FALSE(packed.empty());
        expect_round_trip(c.input, packed);
    }
    EXPECT_TRUE(encode(bytes{}).empty()); // an empty member has no packed data
}

// The packed bytes depend on the input only, not on the portions it was fed in.
TEST(Encoder, PortionsDoNotChangeOutput) {
    const bytes input = wordy_text(280 * 1024, 5);
    const bytes whole = encode(input);
    for (size_t portion : {size_t(1), size_t(7), size_t(4093), size_t(70000)}) {
        SCOPED_TRACE(portion);
        if (portion == 1 && kLargeInput != SIZE_MAX) continue; // slow under the sanitisers
        lza_byte_buffer out = {};
        lza_encoder *e = lza_encode_begin(lza_byte_buffer_write, &out);
        ASSERT_NE(e, nullptr);
        for (size_t at = 0; at < input.size(); at += portion)
            ASSERT_EQ(lza_encode_feed(e, input.data() + at, std::min(portion, input.size() - at)),
                      1);
        uint64_t packed_size = 0;
        ASSERT_EQ(lza_encode_end(e, &packed_size), 1);
        EXPECT_EQ(packed_size, out.size);
        EXPECT_TRUE(bytes(out.data, out.data + out.size) == whole);
        lza_byte_buffer_free(&out);
    }
}

// A failing writer stops the encoder: feed and end report it, nothing is written after.
TEST(Encoder, WriteFailureIsReported) {
    struct failing_writer {
        int calls = 0;
        static int write(void *context, const void *, size_t) {
            static_cast<failing_writer *>(context)->calls++;
            return 0;
        }
    } writer;
    const bytes input = random_bytes(400 * 1024, 11);
    lza_encoder *e = lza_encode_begin(failing_writer::write, &writer);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(lza_encode_feed(e, input.data(), input.size()), 0);
    EXPECT_EQ(lza_encode_end(e, nullptr), 0);
    EXPECT_EQ(writer.calls, 1);
}

// The parse is never worse than the classic greedy encoder, whose output round-trips too.
TEST(Encoder, NoLargerThanGreedyBaseline) {
    struct baseline_case {
        const char *name;
        bytes input;
    } cases[] = {
        {"text", wordy_text(64 * 1024, 9)},
        {"random", random_bytes(64 * 1024, 13)},
        {"run", bytes(64 * 1024, 'z')},
        {"mixed",
         [] {
             bytes b = wordy_text(20000, 2), r = random_bytes(20000, 3);
             b.insert(b.end(), r.begin(), r.end());
             return b;
         }()},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<unsigned char> greedy;
        lzari_plain_encode(c.input.data(), c.input.size(), &greedy);
        expect_round_trip(c.input, greedy);
        EXPECT_LE(encode(c.input).size(), greedy.size());
    }
}

// Each listed match is real, lengths rise, and each length comes at the nearest distance a
// brute-force search finds for it; positions past the window are never listed.
TEST(MatchFinder, ListsNearestDistancePerLength) {
    bytes text = wordy_text(12000, 21);
    for (size_t i = 5000; i < 5400; i++) text[i] = 'q'; // a run: overlapping matches
    static lza_match_finder finder;
    lza_match_reset(&finder, text.data(), 1 << 30);
    lza_match list[LZA_MATCH_MAX_LIST];
    const int32_t end = (int32_t)text.size() - (int32_t)LZA_F;
    for (int32_t pos = 0; pos < end; pos++) {
        const int32_t count = lza_match_insert(&finder, pos, LZA_F, list);
        // nearest[L]: the smallest distance whose match reaches at least L bytes
        int32_t nearest[LZA_F + 1] = {};
        for (int32_t d = 1; d <= (int32_t)LZA_N && d <= pos; d++) {
            int32_t len = 0;
            while (len < (int32_t)LZA_F && text[pos - d + len] == text[pos + len]) len++;
            for (int32_t l = len; l >= 3 && nearest[l] == 0; l--) nearest[l] = d;
        }
        int32_t from = 3;
        for (int32_t k = 0; k < count; k++) {
            ASSERT_GT(list[k].length, from - 1) << "at " << pos;
            for (int32_t l = from; l <= list[k].length; l++)
                ASSERT_EQ(nearest[l], list[k].distance) << "at " << pos << " length " << l;
            from = list[k].length + 1;
        }
        ASSERT_TRUE(from > (int32_t)LZA_F || nearest[from] == 0) << "at " << pos;
    }
}

// The shared model keeps its invariants under any symbol sequence: frequencies non-increasing
// in the symbol number and never 0, sym_cum the running sums, the total below 0x8000 (so the
// coder's products fit in 32 bits), the two maps inverse to each other, and block_cum the
// sums at every eighth symbol, so that the counting search agrees with a binary search.
TEST(SymbolModel, InvariantsHoldThroughHalvings) {
    struct sequence_case {
        const char *name;
        uint32_t (*next)(uint32_t &state);
    } cases[] = {
        {"one character", [](uint32_t &) -> uint32_t { return 65; }},
        {"uniform", [](uint32_t &s) -> uint32_t { return next_random(s) % LZA_N_CHAR; }},
        {"skewed",
         [](uint32_t &s) -> uint32_t {
             const uint32_t r = next_random(s);
             return r % 4 == 0 ? r % LZA_N_CHAR : r % 5;
         }},
        {"match lengths only", [](uint32_t &s) -> uint32_t { return 256 + next_random(s) % 58; }},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.name);
        lza_model m;
        lza_model_start(&m);
        uint32_t state = 1;
        for (int step = 0; step < 100000; step++) {
            const uint32_t ch = c.next(state);
            lza_model_update(&m, m.char_to_sym[ch]);
            ASSERT_LT(m.sym_cum[0], 0x8000u);
            if (step % 997 != 0) continue; // the full check now and then
            uint32_t sum = 0;
            for (uint32_t sym = LZA_N_CHAR; sym >= 1; sym--) {
                ASSERT_EQ(m.sym_cum[sym], sum);
                ASSERT_GE(m.sym_freq[sym], 1u);
                if (sym > 1) {
                    ASSERT_GE(m.sym_freq[sym - 1], m.sym_freq[sym]);
                }
                ASSERT_EQ(m.char_to_sym[m.sym_to_char[sym]], sym);
                sum += m.sym_freq[sym];
            }
            ASSERT_EQ(m.sym_cum[0], sum);
            for (uint32_t j = 0; j < LZA_MODEL_BLOCKS; j++)
                ASSERT_EQ(m.block_cum[j], m.sym_cum[LZA_MODEL_LANES * (j + 1)]);
            // The counting search finds what a binary search finds, for any x.
            const uint32_t total = m.sym_cum[0];
            for (uint32_t x : {0u, 1u, total / 3, total - 1, total, 0x7FFFu, 0x8000u, 0xFFFFFFFFu,
                               next_random(state) % total}) {
                uint32_t i = 1, j = LZA_N_CHAR;
                while (i < j) {
                    const uint32_t k = (i + j) / 2;
                    if (m.sym_cum[k] > x)
                        i = k + 1;
                    else
                        j = k;
                }
                ASSERT_EQ(lza_model_find(&m, x), i) << "x " << x;
            }
        }
    }
}

// Leading spaces come from the window the decoder starts with: a run of spaces needs no
// literal to start from, so it packs a byte smaller than the same run of another byte.
TEST(Encoder, MatchesIntoTheInitialSpaces) {
    for (size_t n : {size_t(60), size_t(120), size_t(600)}) {
        SCOPED_TRACE(n);
        const bytes spaces(n, ' ');
        const bytes packed = encode(spaces);
        EXPECT_LT(packed.size(), encode(bytes(n, 'x')).size());
        expect_round_trip(spaces, packed);
    }
}
