// The banner picture as untrusted data: which BMP headers pass, where their parts are found,
// that every truncation and corruption is refused, and the member choice and reading.
#include "archive/lza_encode.h"
#include "script/script.h"
#include "shell/bitmap_check.h"
#include "state/installer_state.h"
#include "test_support.h"

#include <climits>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace {

void put_u16(bytes &b, size_t at, uint32_t v) {
    b[at] = (unsigned char)v;
    b[at + 1] = (unsigned char)(v >> 8);
}

void put_u32(bytes &b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) b[at + i] = (unsigned char)(v >> (8 * i));
}

// A BMP file: file header, info header of info_size bytes, colours table entries, rows.
bytes make_bmp(int32_t width, int32_t height, uint16_t bits, uint32_t used, uint32_t colours,
               uint32_t info_size = 40) {
    uint64_t rows = height < 0 ? -(int64_t)height : height;
    size_t stride = ((size_t)width * bits + 31) / 32 * 4;
    size_t pixels = 14 + info_size + 4 * colours;
    bytes b(pixels + stride * rows, 0);
    b[0] = 'B';
    b[1] = 'M';
    put_u32(b, 2, (uint32_t)b.size());
    put_u32(b, 10, (uint32_t)pixels);
    put_u32(b, 14, info_size);
    put_u32(b, 18, (uint32_t)width);
    put_u32(b, 22, (uint32_t)height);
    put_u16(b, 26, 1);
    put_u16(b, 28, bits);
    put_u32(b, 46, used);
    for (size_t i = 0; i < b.size() - pixels; i++) b[pixels + i] = (unsigned char)(i * 7);
    return b;
}

bytes packed_member(const std::string &name, const bytes &data) {
    lza_byte_buffer packed = {};
    lza_encode_memory(data.data(), data.size(), &packed);
    bytes out(packed.data, packed.data + packed.size);
    lza_byte_buffer_free(&packed);
    return make_record(name, (uint32_t)data.size(), out);
}

} // namespace

TEST(BitmapCheck, GoodPicturesAndWhereTheirPartsLie) {
    struct {
        const char *what;
        bytes file;
        uint32_t colours;
        size_t pixels_offset, pixels_size;
    } cases[] = {
        {"8 bits, full table", make_bmp(5, 3, 8, 0, 256), 256, 14 + 40 + 1024, 8 * 3},
        {"8 bits, 20 colours used", make_bmp(5, 3, 8, 20, 20), 20, 14 + 40 + 80, 8 * 3},
        {"4 bits (the stub's icons)", make_bmp(208, 16, 4, 0, 16), 16, 14 + 40 + 64, 104 * 16},
        {"1 bit, row padded to 4 bytes", make_bmp(33, 2, 1, 0, 2), 2, 14 + 40 + 8, 8 * 2},
        {"24 bits, no table", make_bmp(3, 2, 24, 0, 0), 0, 14 + 40, 12 * 2},
        {"24 bits, optimising table", make_bmp(3, 2, 24, 16, 16), 16, 14 + 40 + 64, 12 * 2},
        {"32 bits, top-down", make_bmp(2, -4, 32, 0, 0), 0, 14 + 40, 8 * 4},
        {"16 bits", make_bmp(3, 1, 16, 0, 0), 0, 14 + 40, 8},
        {"a 124-byte header", make_bmp(4, 4, 8, 0, 256, 124), 256, 14 + 124 + 1024, 16},
        {"the largest side", make_bmp(8192, 1, 1, 0, 2), 2, 14 + 40 + 8, 1024},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        bitmap_layout layout;
        ASSERT_EQ(bitmap_check_file(c.file.data(), c.file.size(), &layout), 1);
        EXPECT_EQ(layout.colour_count, c.colours);
        EXPECT_EQ(layout.info_offset, 14u);
        EXPECT_EQ(layout.colours_offset, 14u + layout.info_size);
        EXPECT_EQ(layout.pixels_offset, c.pixels_offset);
        EXPECT_EQ(layout.pixels_size, c.pixels_size);
        EXPECT_EQ(layout.pixels_offset + layout.pixels_size, c.file.size());
        // Every prefix of the file lacks part of its rows (or more) and is refused.
        for (size_t cut = 0; cut < c.file.size(); cut++)
            ASSERT_EQ(bitmap_check_file(c.file.data(), cut, &layout), 0) << "cut at " << cut;
        // The packed bitmap behind the file header passes alone, offsets counted from it.
        ASSERT_EQ(bitmap_check_packed(c.file.data() + 14, c.file.size() - 14, &layout), 1);
        EXPECT_EQ(layout.pixels_offset, c.pixels_offset - 14);
    }
}

TEST(BitmapCheck, CorruptHeadersAreRefused) {
    const bytes good = make_bmp(4, 4, 8, 0, 256);
    struct {
        const char *what;
        std::function<void(bytes &)> spoil;
    } cases[] = {
        {"not BM", [](bytes &b) { b[1] = 'A'; }},
        {"core header (12 bytes)", [](bytes &b) { put_u32(b, 14, 12); }},
        {"info size 39", [](bytes &b) { put_u32(b, 14, 39); }},
        {"info size 125", [](bytes &b) { put_u32(b, 14, 125); }},
        {"info size past the block", [](bytes &b) { put_u32(b, 14, 0xFFFFFFF0u); }},
        {"no planes", [](bytes &b) { put_u16(b, 26, 0); }},
        {"two planes", [](bytes &b) { put_u16(b, 26, 2); }},
        {"0 bits", [](bytes &b) { put_u16(b, 28, 0); }},
        {"7 bits", [](bytes &b) { put_u16(b, 28, 7); }},
        {"64 bits", [](bytes &b) { put_u16(b, 28, 64); }},
        {"run-length coded", [](bytes &b) { put_u32(b, 30, 1); }},
        {"bit fields", [](bytes &b) { put_u32(b, 30, 3); }},
        {"width 0", [](bytes &b) { put_u32(b, 18, 0); }},
        {"width -1", [](bytes &b) { put_u32(b, 18, 0xFFFFFFFFu); }},
        {"width 8193", [](bytes &b) { put_u32(b, 18, 8193); }},
        {"width 2^31 - 1", [](bytes &b) { put_u32(b, 18, INT32_MAX); }},
        {"height 0", [](bytes &b) { put_u32(b, 22, 0); }},
        {"height -2^31", [](bytes &b) { put_u32(b, 22, 0x80000000u); }},
        {"height -8193", [](bytes &b) { put_u32(b, 22, (uint32_t)-8193); }},
        {"more pixels than 16 Mi",
         [](bytes &b) {
             put_u32(b, 18, 4096);
             put_u32(b, 22, 4097);
         }},
        {"257 colours", [](bytes &b) { put_u32(b, 46, 257); }},
        {"2^32 - 1 colours", [](bytes &b) { put_u32(b, 46, 0xFFFFFFFFu); }},
        {"17 colours at 4 bits",
         [](bytes &b) {
             put_u16(b, 28, 4);
             put_u32(b, 46, 17);
         }},
        {"one row more than stored", [](bytes &b) { put_u32(b, 22, 5); }},
        {"24 bits, rows cut short behind a 256-entry table",
         [](bytes &b) {
             put_u16(b, 28, 24); // 4 x 4 x 24 bits need 48 bytes behind the table
             put_u32(b, 46, 256);
             b.resize(14 + 40 + 1024 + 48 - 1);
         }},
    };
    bitmap_layout layout;
    ASSERT_EQ(bitmap_check_file(good.data(), good.size(), &layout), 1);
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        bytes b = good;
        c.spoil(b);
        layout.width = 99;
        EXPECT_EQ(bitmap_check_file(b.data(), b.size(), &layout), 0);
        EXPECT_EQ(layout.width, 0); // a refused picture leaves nothing to use
    }
    EXPECT_EQ(bitmap_check_file(nullptr, 100, &layout), 0);
    EXPECT_EQ(bitmap_check_packed(good.data() + 14, good.size() - 14, nullptr), 0);
}

TEST(BitmapCheck, MemberChoiceByColourDepth) {
    struct {
        const char *script;
        int bits;
        const char *name;
    } cases[] = {
        {"bitmap=big.bmp\r\nbitmap16=small.bmp\r\n", 24, "big.bmp"},
        {"bitmap=big.bmp\r\nbitmap16=small.bmp\r\n", 8, "big.bmp"},
        {"bitmap=big.bmp\r\nbitmap16=small.bmp\r\n", 4, "small.bmp"},
        {"bitmap=big.bmp\r\n", 4, "big.bmp"},
        {"bitmap16=small.bmp\r\n", 24, ""},
        {"windowtitle=\"Iets\"\r\n", 4, ""},
    };
    installer_state state = {};
    for (auto &c : cases) {
        SCOPED_TRACE(std::string(c.script) + " at " + std::to_string(c.bits));
        ASSERT_EQ(load_script_text(&state, c.script, strlen(c.script)), 1);
        char name[PATH_CAPACITY] = "stale";
        EXPECT_EQ(banner_member_name(&state, c.bits, name, sizeof name), c.name[0] != 0);
        EXPECT_STREQ(name, c.name);
    }
    release_script(&state);
}

TEST(BitmapCheck, BannerMemberReadFromTheArchive) {
    temp_folder folder;
    const bytes good = make_bmp(64, 48, 8, 0, 256);
    bytes cut = good;
    cut.resize(good.size() - 1);
    bytes archive;
    for (const bytes &record :
         {packed_member("good.bmp", good), packed_member("cut.bmp", cut),
          packed_member("text.bmp", bytes{'h', 'a', 'l', 'l', 'o'}),
          // Claims more than 64 MiB unpacked: refused before any allocation or decoding.
          make_record("huge.bmp", BANNER_MAX_UNPACKED + 1, bytes(64, 0xAB))})
        archive.insert(archive.end(), record.begin(), record.end());
    write_file(folder.file("setup.pck"), archive);

    installer_state state = {};
    text_copy(state.archive_path, sizeof state.archive_path, folder.file("setup.pck").c_str());
    struct {
        const char *name;
        int result;
    } cases[] = {{"good.bmp", 1}, {"GOOD.BMP", 1},   {"cut.bmp", 0}, {"text.bmp", 0},
                 {"huge.bmp", 0}, {"absent.bmp", 0}, {"", 0}};
    for (auto &c : cases) {
        SCOPED_TRACE(c.name);
        banner_file file;
        ASSERT_EQ(banner_file_read(&state, c.name, &file), c.result);
        if (c.result) {
            EXPECT_EQ(file.size, good.size());
            EXPECT_EQ(memcmp(file.block, good.data(), good.size()), 0);
            EXPECT_EQ(file.layout.width, 64);
            EXPECT_EQ(file.layout.pixels_offset, 14u + 40 + 1024);
        } else {
            EXPECT_EQ(file.block, nullptr);
        }
        banner_file_free(&file);
        EXPECT_EQ(file.block, nullptr);
    }
    state.archive_path[0] = 0;
    banner_file file;
    EXPECT_EQ(banner_file_read(&state, "good.bmp", &file), 0);
}

TEST(BitmapCheck, TheDemoBannerPasses) {
    bytes banner = read_file(std::string(KV_VECTORS_DIR) + "/../../examples/demo/banner.bmp");
    bitmap_layout layout;
    ASSERT_EQ(bitmap_check_file(banner.data(), banner.size(), &layout), 1);
    EXPECT_EQ(layout.width, 640);
    EXPECT_EQ(layout.height, 480);
    EXPECT_EQ(layout.colour_count, 256u);
}
