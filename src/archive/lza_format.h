// The archive format, shared by the installer (which only reads it) and the packer.
//
//   setup.exe                                    or   setup.exe (marker digits 00000000)
//   +-------------------------------+                 setup.pck
//   | stub image                    |                 +---------------------------+
//   |   .data: "SelfExtractorIndex= |                 | record 0 | record 1 | ... |
//   |           0001C000"           |                 +---------------------------+
//   |          "SelfExtractorDigest=|                 digest marker: SHA-256 of the
//   |           000...000" (64)     |                 whole setup.pck, 64 hex digits
//   +-------------------------------+ <- 0x1C000
//   | record 0 | record 1 | ...     |  runs to the end of the file
//   +-------------------------------+
//
// The digest marker ties a separate setup.pck to its stub: a signature over setup.exe then
// covers the archive too. All zeros (a stub packed before digests existed, or an archive
// behind the stub) means there is no digest to check.
//
//   record: lza_header (24 bytes, little-endian) | name (name_length bytes, NUL included)
//           | packed LZARI data (packed_size bytes)
//
// No archive header, index, count or checksum: readers walk the chain of lengths (lza_walk.h).
// Signing an installer appends its certificate table behind the last record; anything else
// where a record should begin is damage.
#pragma once

#include <cstddef>
#include <cstdint>

enum : uint32_t {
    LZA_HEADER_SIZE = 24,
    LZA_NAME_CAPACITY = 256, // names hold at most 255 bytes with their NUL
    LZA_MAX_NAME_LENGTH = 255,
    // A name as the readers hold it, in UTF-8: the packer stores UTF-8, but an archive from an
    // earlier packer on Windows holds Windows-1252, whose bytes take up to three in UTF-8.
    LZA_NAME_TEXT_CAPACITY = 3 * LZA_MAX_NAME_LENGTH + 1,
};

// The marker text in the stub's initialised data; eight hex digits follow the '='.
#define LZA_MARKER_PREFIX "SelfExtractorIndex="
enum : size_t { LZA_MARKER_PREFIX_LENGTH = 19, LZA_MARKER_DIGITS = 8 };
// The digest marker beside it; 64 hex digits (upper case when written) follow the '='.
#define LZA_DIGEST_MARKER_PREFIX "SelfExtractorDigest="
enum : size_t {
    LZA_DIGEST_MARKER_PREFIX_LENGTH = 20,
    LZA_DIGEST_SIZE = 32, // SHA-256
    LZA_DIGEST_DIGITS = 2 * LZA_DIGEST_SIZE,
};

// LZARI constants: the encoder and decoder must agree on every one.
enum : uint32_t {
    LZA_N = 4096,                             // window size
    LZA_F = 60,                               // longest match
    LZA_THRESHOLD = 2,                        // matches are at least 3 bytes
    LZA_N_CHAR = 256 - LZA_THRESHOLD + LZA_F, // 314 symbols: literals and match lengths
    LZA_M = 15,                               // code value precision in bits
    LZA_Q1 = 1u << LZA_M,                     // 0x8000
    LZA_Q2 = 2 * LZA_Q1,                      // 0x10000
    LZA_Q3 = 3 * LZA_Q1,                      // 0x18000
    LZA_Q4 = 4 * LZA_Q1,                      // 0x20000
    LZA_MAX_CUM = LZA_Q1 - 1,                 // model total at which frequencies halve
    LZA_RING_START = LZA_N - LZA_F,           // 4036: first position written
    LZA_POSITION_TOTAL = 28568,               // position_cum[0] of the static model
};

// The 24-byte record header as it lies in the file (all fields little-endian).
struct lza_header {
    uint32_t magic;         // "LZA!"; the lookup keeps its cursor here after a match
    uint16_t const_word_1;  // 1; never read
    uint16_t const_word_2;  // 1; never read
    uint32_t unpacked_size; // bytes after decompression
    uint32_t packed_size;   // bytes of packed data after the name
    uint32_t file_time;     // MS-DOS date (high 16 bits) and time (low 16 bits)
    int16_t name_length;    // name bytes with the NUL, 0..255 (0: no name)
    uint16_t reserved;      // 0; never read
};
static_assert(sizeof(lza_header) == LZA_HEADER_SIZE, "lza_header must be 24 bytes");

// "LZA!" read as a little-endian 32-bit word.
enum : uint32_t { LZA_MAGIC = 0x21415A4Cu };

// Decodes / encodes a header from / to its 24 file bytes, independent of the host's byte order.
void lza_header_decode(const unsigned char bytes[LZA_HEADER_SIZE], lza_header *header);
void lza_header_encode(const lza_header *header, unsigned char bytes[LZA_HEADER_SIZE]);
// 1 when the four file bytes are "LZA!".
int lza_has_magic(const unsigned char bytes[4]);
