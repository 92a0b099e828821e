// Version resources written and searched, and the 8-bit to UTF-16 conversions they need.
//
// Every block of a version resource has the same head: its length in bytes (children
// included), the length of its value, its type (1 text, 0 binary) and a NUL-terminated UTF-16
// key, then its value and its children, each starting on a 4-byte boundary of the resource.
#include "kvpack_version_info.h"

#include "state/text_utf8.h"

#include <cstring>

namespace {

const uint32_t FIXED_SIGNATURE = 0xFEEF04BDu, FIXED_STRUCT_VERSION = 0x00010000u;
const uint32_t FILE_FLAGS_MASK = 0x3F, OS_NT_WINDOWS32 = 0x00040004, FILE_TYPE_APP = 1;
const uint16_t LANGUAGE_NEUTRAL = 0x0000, CODEPAGE_UNICODE = 1200;
enum : uint16_t { BINARY = 0, TEXT = 1 };
enum : size_t { HEAD_SIZE = 6, MAX_BLOCK = 0xFFFF };

void put16(std::vector<unsigned char> *out, uint32_t v) {
    out->push_back((unsigned char)v);
    out->push_back((unsigned char)(v >> 8));
}
void put32(std::vector<unsigned char> *out, uint32_t v) {
    put16(out, v);
    put16(out, v >> 16);
}
void pad4(std::vector<unsigned char> *out) {
    while (out->size() % 4) out->push_back(0);
}
void put_text(std::vector<unsigned char> *out, const std::u16string &text) {
    for (char16_t c : text) put16(out, c);
    put16(out, 0);
}

// Starts a block: its head with the lengths left 0, its key, the padding before the value.
size_t begin_block(std::vector<unsigned char> *out, const char16_t *key, uint16_t type) {
    pad4(out);
    const size_t at = out->size();
    put16(out, 0);
    put16(out, 0);
    put16(out, type);
    put_text(out, key);
    pad4(out);
    return at;
}
void set_value_length(std::vector<unsigned char> *out, size_t block, size_t length) {
    (*out)[block + 2] = (unsigned char)length;
    (*out)[block + 3] = (unsigned char)(length >> 8);
}
void end_block(std::vector<unsigned char> *out, size_t block) {
    const size_t length = out->size() - block;
    (*out)[block] = (unsigned char)length;
    (*out)[block + 1] = (unsigned char)(length >> 8);
}

uint16_t get16(const unsigned char *p) {
    return (uint16_t)(p[0] | p[1] << 8);
}

// A block read from [at, limit): where its value and its children lie. 1 when its head, key
// and length fit the limit; 0 otherwise.
struct block {
    size_t end;            // just behind the block
    std::u16string key;    // without its NUL
    size_t value_at;       // first byte of the value
    uint16_t value_length; // in bytes, or in UTF-16 units for a text value
    uint16_t type;
    size_t children_at; // first child, 4-byte aligned
};
int read_block(const unsigned char *data, size_t at, size_t limit, block *b) {
    if (at > limit || limit - at < HEAD_SIZE + 2) return 0;
    const size_t length = get16(data + at);
    if (length < HEAD_SIZE + 2 || length > limit - at) return 0;
    b->end = at + length;
    b->value_length = get16(data + at + 2);
    b->type = get16(data + at + 4);
    b->key.clear();
    size_t p = at + HEAD_SIZE;
    for (; p + 2 <= b->end && get16(data + p) != 0; p += 2) b->key += (char16_t)get16(data + p);
    if (p + 2 > b->end) return 0;
    b->value_at = (p + 2 + 3) & ~(size_t)3;
    const size_t value_bytes = b->type == TEXT ? 2u * b->value_length : b->value_length;
    b->children_at = (b->value_at + value_bytes + 3) & ~(size_t)3;
    return 1;
}

} // namespace

int kvp_text_is_utf8(const char *text, size_t length) {
    return text_encoding_of(text, length, nullptr) == TEXT_ENCODING_UTF8;
}

std::u16string kvp_text_utf16(const std::string &text, int utf8) {
    std::string converted;
    if (!utf8) { // each byte at most three in UTF-8
        converted.resize(3 * text.size() + 1);
        text_utf8_from_cp1252(&converted[0], converted.size(), text.data(), text.size());
        converted.resize(strlen(converted.c_str()));
    }
    const std::string &t = utf8 ? text : converted;
    std::u16string out;
    for (size_t i = 0, n; i < t.size(); i += n) {
        uint32_t cp = 0;
        if ((n = text_utf8_decode(t.data() + i, t.size() - i, &cp)) == 0) n = 1, cp = 0xFFFD;
        if (cp >= 0x10000) {
            out += (char16_t)(0xD800 + ((cp - 0x10000) >> 10));
            out += (char16_t)(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += (char16_t)cp;
        }
    }
    return out;
}

int kvp_text_cut(std::u16string *text, size_t max) {
    if (text->size() <= max) return 0;
    size_t keep = max;
    if (keep > 0 && (*text)[keep - 1] >= 0xD800 && (*text)[keep - 1] <= 0xDBFF) keep--;
    text->resize(keep);
    return 1;
}

void kvp_version_numbers(const char *text, uint16_t numbers[4]) {
    for (int part = 0; part < 4; part++) numbers[part] = 0;
    for (int part = 0; part < 4 && text; part++) {
        uint32_t value = 0;
        size_t digits = 0;
        for (; text[digits] >= '0' && text[digits] <= '9' && value <= 0xFFFF; digits++)
            value = value * 10 + (uint32_t)(text[digits] - '0');
        numbers[part] = digits > 0 && value <= 0xFFFF ? (uint16_t)value : 0;
        text = strchr(text, '.');
        if (text) text++;
    }
}

std::vector<unsigned char> kvp_version_build(const uint16_t numbers[4],
                                             const std::vector<kvp_version_string> &strings) {
    std::vector<unsigned char> out;
    const size_t root = begin_block(&out, u"VS_VERSION_INFO", BINARY);
    const uint32_t most = (uint32_t)numbers[0] << 16 | numbers[1];
    const uint32_t least = (uint32_t)numbers[2] << 16 | numbers[3];
    const uint32_t fixed[13] = {
        FIXED_SIGNATURE, FIXED_STRUCT_VERSION, most, least, most, least, FILE_FLAGS_MASK, 0,
        OS_NT_WINDOWS32, FILE_TYPE_APP,        0,    0,     0};
    for (uint32_t v : fixed) put32(&out, v);
    set_value_length(&out, root, sizeof fixed);

    const size_t file_info = begin_block(&out, u"StringFileInfo", TEXT);
    const size_t table = begin_block(&out, u"000004B0", TEXT);
    for (const kvp_version_string &s : strings) {
        const size_t string = begin_block(&out, s.key.c_str(), TEXT);
        put_text(&out, s.value);
        set_value_length(&out, string, s.value.size() + 1);
        end_block(&out, string);
    }
    end_block(&out, table);
    end_block(&out, file_info);

    const size_t var_info = begin_block(&out, u"VarFileInfo", TEXT);
    const size_t translation = begin_block(&out, u"Translation", BINARY);
    put16(&out, LANGUAGE_NEUTRAL);
    put16(&out, CODEPAGE_UNICODE);
    set_value_length(&out, translation, 4);
    end_block(&out, translation);
    end_block(&out, var_info);
    end_block(&out, root);
    return out;
}

int kvp_version_find(const unsigned char *data, size_t size, const std::u16string &key,
                     std::u16string *value) {
    block root, info, table, string;
    if (size > MAX_BLOCK + 3) size = MAX_BLOCK + 3;
    if (!read_block(data, 0, size, &root) || root.key != u"VS_VERSION_INFO") return 0;
    for (size_t a = root.children_at; read_block(data, a, root.end, &info);
         a = (info.end + 3) & ~(size_t)3) {
        if (info.key != u"StringFileInfo") continue;
        for (size_t b = info.children_at; read_block(data, b, info.end, &table);
             b = (table.end + 3) & ~(size_t)3)
            for (size_t c = table.children_at; read_block(data, c, table.end, &string);
                 c = (string.end + 3) & ~(size_t)3) {
                if (string.key != key) continue;
                value->clear();
                for (size_t p = string.value_at; p + 2 <= string.end && get16(data + p); p += 2)
                    value->push_back((char16_t)get16(data + p));
                return 1;
            }
    }
    return 0;
}
