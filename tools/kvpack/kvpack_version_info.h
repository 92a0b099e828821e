// A program's version resource (VS_VERSIONINFO): written from a product's name, publisher and
// version, and searched for one of its strings; and the script's 8-bit texts as the UTF-16 the
// resource holds (UTF-8 when the whole script is valid UTF-8, else Windows-1252).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum : size_t {
    KVP_VERSION_TEXT_MAX = 255, // UTF-16 units of one string's value; longer ones are cut
};

struct kvp_version_string {
    std::u16string key;   // "ProductName", ...
    std::u16string value; // at most KVP_VERSION_TEXT_MAX units
};

// 1 when length bytes at text are well-formed UTF-8 (no overlong forms, no surrogates, nothing
// past U+10FFFF); 0 otherwise.
int kvp_text_is_utf8(const char *text, size_t length);
// text as UTF-16: decoded as UTF-8 when utf8 is 1 (text must then be valid), else as
// Windows-1252 (its five unassigned bytes keep their own code points, as Windows maps them).
std::u16string kvp_text_utf16(const std::string &text, int utf8);
// The first max units of text, never splitting a surrogate pair. 1 when text was cut, else 0.
int kvp_text_cut(std::u16string *text, size_t max);

// The four numbers of FILEVERSION from a version text: up to four dot-separated parts, each
// its leading decimal digits ("8.1" gives 8.1.0.0, "2.0-beta" 2.0.0.0, "R2" 0.0.0.0). A part
// without digits or above 65535 gives 0; parts after the fourth are ignored.
void kvp_version_numbers(const char *text, uint16_t numbers[4]);

// A VS_VERSIONINFO of a Windows application: numbers as both FILEVERSION and PRODUCTVERSION,
// strings in one language-neutral Unicode table ("000004B0"), in their order.
std::vector<unsigned char> kvp_version_build(const uint16_t numbers[4],
                                             const std::vector<kvp_version_string> &strings);

// The value of string key in any string table of the version resource of size bytes at data.
// 1 with *value set; 0 when there is no such string or the resource is damaged.
int kvp_version_find(const unsigned char *data, size_t size, const std::u16string &key,
                     std::u16string *value);
