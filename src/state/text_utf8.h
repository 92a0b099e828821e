// Text that came from outside (a script, a page text, a member name, a log line) turned into
// the UTF-8 every text inside these programs is: bytes that are valid UTF-8 are taken as they
// are (a byte order mark dropped), anything else is read as Windows-1252.
#pragma once

#include <cstddef>
#include <cstdint>

// How a text's bytes read.
enum text_encoding : int {
    TEXT_ENCODING_UTF8 = 1,      // valid UTF-8 (plain ASCII among it), a byte order mark or not
    TEXT_ENCODING_CP1252 = 2,    // not UTF-8, and every byte a character of Windows-1252
    TEXT_ENCODING_UNDEFINED = 3, // not UTF-8, and a byte Windows-1252 leaves undefined
};

// Length of the valid UTF-8 sequence that starts text (size bytes left): 1..4, or 0 when the
// bytes there are no sequence (a stray continuation byte, an overlong form, a surrogate, a
// code point past U+10FFFF, or a sequence cut by the end).
size_t text_utf8_sequence(const unsigned char *text, size_t size);
// How the size bytes at text read (text_encoding); *bad (may be null) receives the offset of
// the first undefined byte of a TEXT_ENCODING_UNDEFINED text.
int text_encoding_of(const char *text, size_t size, size_t *bad);
// 1 when size bytes at text open with the UTF-8 byte order mark, else 0.
int text_has_bom(const char *text, size_t size);
// The size bytes at text, read by the one rule, as UTF-8 into out (capacity cap, always
// terminated): valid UTF-8 without its byte order mark, else Windows-1252 converted (its five
// undefined bytes become U+0081, U+008D, U+008F, U+0090 and U+009D, as Windows maps them).
// A text that does not fit is cut at a character boundary. A NUL in the text ends it.
// 1 when the whole text fitted, 0 when it was cut (or out is null or cap 0).
int text_utf8_read(char *out, size_t cap, const char *text, size_t size);
// As text_utf8_read, but always reading the bytes as Windows-1252.
int text_utf8_from_cp1252(char *out, size_t cap, const char *text, size_t size);
// The number of bytes of text (length bytes) that fit into a field of capacity cap with the
// terminator, without splitting a UTF-8 sequence: length when it all fits.
size_t text_utf8_fit(const char *text, size_t length, size_t cap);
// The length of text (length bytes) less the bytes of a sequence the end cuts short (text read only
// up to a bound).
size_t text_utf8_complete(const char *text, size_t length);
// The Windows-1252 byte that stands for code point cp, or -1 when the code page has none.
int text_cp1252_byte(uint32_t cp);
// Decodes the valid UTF-8 character at text (size bytes left) into *code_point. Returns its
// length 1..4, or 0 when no valid sequence starts there (*code_point is then the byte).
size_t text_utf8_decode(const char *text, size_t size, uint32_t *code_point);
