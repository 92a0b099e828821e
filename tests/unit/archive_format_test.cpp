// The header layout both sides of the format depend on.
#include "archive/lza_format.h"
#include "archive/lza_stream.h"

#include <gtest/gtest.h>

TEST(ArchiveFormat, HeaderRoundTripsByteForByte) {
    const unsigned char bytes[LZA_HEADER_SIZE] = {'L',  'Z',  'A',  '!',  1,    0,    1,    0,
                                                  0x78, 0x56, 0x34, 0x12, 0x04, 0x03, 0x02, 0x01,
                                                  0x21, 0x43, 0x65, 0x87, 0xFF, 0xFF, 0,    0};
    lza_header h;
    lza_header_decode(bytes, &h);
    EXPECT_EQ(h.magic, LZA_MAGIC);
    EXPECT_EQ(h.unpacked_size, 0x12345678u);
    EXPECT_EQ(h.packed_size, 0x01020304u);
    EXPECT_EQ(h.file_time, 0x87654321u);
    EXPECT_EQ(h.name_length, -1);
    unsigned char again[LZA_HEADER_SIZE];
    lza_header_encode(&h, again);
    EXPECT_EQ(memcmp(bytes, again, sizeof again), 0);
    EXPECT_TRUE(lza_has_magic(bytes));
}

// stdio's contract: -1 at the end, seeks past the end succeed and then read nothing.
TEST(ArchiveStream, MemoryStreamBehavesLikeAFile) {
    const unsigned char data[] = {1, 2, 3, 4, 5};
    lza_stream *s = lza_stream_open_memory(data, sizeof data);
    EXPECT_EQ(lza_stream_getc(s), 1);
    EXPECT_EQ(lza_stream_skip(s, 2), 1);
    EXPECT_EQ(lza_stream_getc(s), 4);
    EXPECT_EQ(lza_stream_tell(s), 4);
    EXPECT_EQ(lza_stream_seek(s, 100), 1);
    EXPECT_EQ(lza_stream_getc(s), -1);
    EXPECT_EQ(lza_stream_seek(s, -1), 0);
    EXPECT_EQ(lza_stream_seek(s, 1), 1);
    unsigned char out[8];
    EXPECT_EQ(lza_stream_read(s, out, sizeof out), 4u);
    EXPECT_EQ(out[0], 2);
    lza_stream_close(s);
}
