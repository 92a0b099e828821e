// The decoder against packed members from an independent encoder, its portion counting, and
// records built to break it.
#include "archive/lza_decode.h"
#include "archive/lza_encode.h"
#include "archive/lza_stream.h"
#include "lzari_plain.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

struct open_member {
    bytes archive;
    lza_stream *stream = nullptr;
    lza_reader *reader = nullptr;
    open_member(const bytes &record_bytes, const bytes &after) : archive(record_bytes) {
        archive.insert(archive.end(), after.begin(), after.end());
        stream = lza_stream_open_memory(archive.data(), archive.size());
        reader = lza_open(stream, 0);
    }
    ~open_member() {
        lza_close(reader);
        lza_stream_close(stream);
    }
};

bytes decode_all(lza_reader *reader, size_t portion) {
    bytes out;
    bytes buffer(portion);
    size_t got;
    while ((got = lza_read(buffer.data(), 1, portion, reader)) > 0)
        out.insert(out.end(), buffer.begin(), buffer.begin() + (long)got);
    return out;
}

struct corpus_case {
    std::string dir;
    vector_row row;
};

std::vector<corpus_case> corpus() {
    std::vector<corpus_case> cases;
    for (const char *sub : {"", "/edge"})
        for (auto &row : read_manifest(vectors_dir() + sub + "/MANIFEST.tsv"))
            cases.push_back({vectors_dir() + sub, row});
    return cases;
}

} // namespace

// Every vector decodes to its original, whether the file ends after the packed data or another
// record follows (the decoder reads a byte or two past its data), in any portion size.
TEST(Decoder, DecodesEveryVectorExactly) {
    auto cases = corpus();
    ASSERT_GE(cases.size(), 19u);
    const bytes next_record = make_record("next.txt", 5, {0x12, 0x34, 0x56, 0x78});
    for (auto &c : cases) {
        SCOPED_TRACE(c.row.name);
        bytes packed = read_file(c.dir + "/" + c.row.name + ".lza");
        ASSERT_EQ(packed.size(), c.row.packed_size);
        bytes record = make_record(c.row.name, c.row.orig_size, packed);
        for (const bytes &after : {bytes{}, next_record}) {
            for (size_t portion : {size_t(512), size_t(65536 + 7)}) {
                open_member m(record, after);
                if (c.row.orig_size == 0) {
                    EXPECT_EQ(m.reader, nullptr); // an empty member cannot be opened
                    continue;
                }
                ASSERT_NE(m.reader, nullptr);
                EXPECT_EQ(sha256_hex(decode_all(m.reader, portion)), c.row.sha256_orig);
            }
        }
    }
}

// The baseline decoder used by the benchmark must agree too, or its figures mean nothing.
TEST(Decoder, PlainBaselineAgrees) {
    for (auto &c : corpus()) {
        if (c.row.orig_size > 400000) continue;
        SCOPED_TRACE(c.row.name);
        bytes packed = read_file(c.dir + "/" + c.row.name + ".lza");
        bytes out(c.row.orig_size);
        lzari_plain_decode(packed.data(), packed.size(), out.data(), c.row.orig_size);
        EXPECT_EQ(sha256_hex(out), c.row.sha256_orig);
    }
}

// One byte per call: a match cut at every possible point resumes exactly.
TEST(Decoder, ByteAtATimeMatchesWholeDecode) {
    for (const char *name : {"edge/lead_spaces.txt", "edge/n4097.txt", "small.conf"}) {
        SCOPED_TRACE(name);
        std::string base = vectors_dir() + "/" + name;
        bytes packed = read_file(base + ".lza");
        std::string dir = base.substr(0, base.rfind('/'));
        const vector_row row = manifest_row(dir, base.substr(base.rfind('/') + 1));
        ASSERT_FALSE(row.name.empty()) << "no manifest row";
        open_member m(make_record(row.name, row.orig_size, packed), {});
        ASSERT_NE(m.reader, nullptr);
        EXPECT_EQ(sha256_hex(decode_all(m.reader, 1)), row.sha256_orig);
    }
}

// lza_read counts blocks begun: a final partial block counts as one, then 0.
TEST(Decoder, ReadCountsBlocksBegun) {
    struct step {
        size_t size, count, result, delivered;
    };
    struct read_case {
        const char *vector;
        uint32_t orig_size;
        std::vector<step> steps;
    } cases[] = {
        {"edge/f60.txt", 60, {{10, 5, 5, 50}, {10, 5, 1, 10}, {10, 5, 0, 0}}},
        {"edge/f61.txt", 61, {{10, 5, 5, 50}, {10, 5, 2, 11}, {1, 512, 0, 0}}},
        {"edge/n4097.txt", 4097, {{1, 512, 512, 512}, {1, 4000, 3585, 3585}, {1, 512, 0, 0}}},
        {"edge/three.txt", 3, {{0, 4, 4, 0}, {2, 1, 1, 2}, {2, 7, 1, 1}, {0, 4, 0, 0}}},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.vector);
        open_member m(
            make_record("x", c.orig_size, read_file(vectors_dir() + "/" + c.vector + ".lza")), {});
        ASSERT_NE(m.reader, nullptr);
        for (auto &s : c.steps) {
            bytes buffer(s.size * s.count + 1, 0xEE);
            uint32_t before = m.reader->delivered;
            EXPECT_EQ(lza_read(buffer.data(), s.size, s.count, m.reader), s.result);
            EXPECT_EQ(m.reader->delivered - before, s.delivered);
            EXPECT_EQ(buffer[s.delivered], 0xEE); // nothing written past what was delivered
        }
    }
    EXPECT_EQ(lza_read(nullptr, 1, 1, nullptr), 0u);
}

// Records that are damaged or hostile: the reader fails cleanly or stays inside its block.
TEST(Decoder, DamagedRecordsFailOrStayInBounds) {
    const bytes junk = {0xFF, 0x00, 0x13, 0x37, 0xAB};
    struct damage_case {
        const char *what;
        bytes record;
        bool opens;
    } cases[] = {
        {"empty member", make_record("a", 0, junk), false},
        {"bad magic",
         [&] {
             bytes r = make_record("a", 9, junk);
             r[3] = '?';
             return r;
         }(),
         false},
        {"short header", bytes{'L', 'Z', 'A', '!', 1, 0, 1, 0}, false},
        {"negative name length", make_record("", 9, junk, -7), true},
        {"name length 300, file ends", make_record("", 9, junk, 300), true},
        {"name length 32767", make_record("abc", 2000, junk, 32767), true},
        // Sizes no packed data of that length can stand for: refused before decoding.
        {"packed data missing", make_record("abc", 5000, {}), false},
        {"2 GiB from five bytes", make_record("abc", 0x80000000u, junk), false},
        {"one byte more than five can give", make_record("abc", 5 * 580 + 1, junk), false},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        lza_stream *s = lza_stream_open_memory(c.record.data(), c.record.size());
        lza_reader *r = lza_open(s, 0);
        EXPECT_EQ(r != nullptr, c.opens);
        if (r) {
            // Whatever the bits, exactly unpacked_size bytes come out.
            bytes out = decode_all(r, 4096);
            EXPECT_EQ(out.size(), r->limit);
        }
        lza_close(r);
        lza_stream_close(s);
    }
    EXPECT_EQ(lza_open(nullptr, 0), nullptr);
}

// The bound on what a packed byte can stand for never refuses a real member: not one of the
// vectors, nor data that packs as well as any can. A run of zeros costs our encoder the same
// per 60-byte match however long it is, so a few megabytes show the ratio of any length; it
// stays far below the bound.
TEST(Decoder, RealMembersAreWithinTheExpansionBound) {
    for (auto &c : corpus()) {
        SCOPED_TRACE(c.row.name);
        EXPECT_TRUE(lza_sizes_possible(c.row.orig_size, c.row.packed_size));
    }
    const bytes zeros(4u << 20, 0);
    lza_byte_buffer packed = {};
    ASSERT_EQ(lza_encode_memory(zeros.data(), zeros.size(), &packed), 1);
    EXPECT_TRUE(lza_sizes_possible((uint32_t)zeros.size(), (uint32_t)packed.size));
    EXPECT_LT(zeros.size(), packed.size * (LZA_MAX_EXPANSION / 8)) << packed.size;
    open_member m(
        make_record("zeros", (uint32_t)zeros.size(), bytes(packed.data, packed.data + packed.size)),
        {});
    EXPECT_TRUE(decode_all(m.reader, 1 << 16) == zeros);
    lza_byte_buffer_free(&packed);
    EXPECT_FALSE(lza_sizes_possible(1, 0));
    EXPECT_FALSE(lza_sizes_possible(0, 1));
    EXPECT_TRUE(lza_sizes_possible(0, 0));
    EXPECT_FALSE(lza_sizes_possible(0x80000000u, 3072)); // 2 GiB from 3 KB
    EXPECT_TRUE(lza_sizes_possible(0xFFFFFFFFu, 0xFFFFFFFFu / LZA_MAX_EXPANSION + 1));
}

// Past the end of the file every input bit is 1: a truncated member still yields its full
// size, and the decoded prefix before the cut is right.
TEST(Decoder, TruncatedMemberKeepsItsPrefix) {
    const vector_row row = manifest_row(vectors_dir(), "licenses.txt");
    ASSERT_FALSE(row.name.empty()) << "no manifest row";
    bytes packed = read_file(vectors_dir() + "/licenses.txt.lza");
    ASSERT_GT(packed.size(), 1000u);
    bytes record = make_record(row.name, row.orig_size, packed);
    open_member whole(record, {});
    bytes expect = decode_all(whole.reader, 4096);
    // The file ends 1000 bytes into the packed data while packed_size still says the whole.
    record.resize(record.size() - (packed.size() - 1000));
    open_member m(record, {});
    ASSERT_NE(m.reader, nullptr);
    bytes out = decode_all(m.reader, 4096);
    ASSERT_EQ(out.size(), row.orig_size);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 1500, expect.begin()));
}

// Any bytes at all decode exactly as the plain decoder decodes them: the searches, the
// widening and the block copies of the fast reader change no result, only its speed. The
// inputs reach every corner a valid member rarely does: rare symbols, one-wide intervals,
// halvings on every kind of frequency table, matches into the initial spaces.
TEST(Decoder, ArbitraryBytesDecodeAsThePlainDecoder) {
    struct garbage_case {
        const char *what;
        uint32_t seed;
        size_t packed_size;
        uint32_t unpacked_size;
        unsigned char mask, set; // each byte is random AND mask OR set
    } cases[] = {
        {"uniform bytes", 1, 40000, 200000, 0xFF, 0x00},
        {"sparse bits", 2, 30000, 150000, 0x11, 0x00},
        {"ones, then the end of the file", 3, 2000, 300000, 0x00, 0xFF},
        {"zeros", 4, 5000, 100000, 0x00, 0x00},
        {"high bits only", 5, 20000, 120000, 0xC0, 0x00},
        {"dense bits", 6, 20000, 120000, 0xFF, 0x6D},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        uint32_t state = c.seed;
        bytes packed(c.packed_size);
        for (auto &b : packed) {
            state = state * 1664525u + 1013904223u;
            b = (unsigned char)(((state >> 24) & c.mask) | c.set);
        }
        bytes expect(c.unpacked_size);
        lzari_plain_decode(packed.data(), packed.size(), expect.data(), c.unpacked_size);
        for (size_t portion : {size_t(1), size_t(61), size_t(4096)}) {
            SCOPED_TRACE(portion);
            open_member m(make_record("g", c.unpacked_size, packed), {});
            ASSERT_NE(m.reader, nullptr);
            const bytes out = decode_all(m.reader, portion);
            ASSERT_EQ(out.size(), expect.size());
            EXPECT_TRUE(out == expect)
                << "first difference at "
                << std::mismatch(out.begin(), out.end(), expect.begin()).first - out.begin();
        }
    }
}
