// Archive reading shared by list, extract and verify.
#include "kvpack_archive.h"

#include "kvpack_signature.h"

#include "archive/lza_decode.h"
#include "archive/lza_locate.h"
#include "archive/lza_member_path.h"
#include "archive/lza_stream.h"
#include "kvpack_os.h"

#include <cctype>
#include <cstring>
#include <vector>

namespace {

enum : size_t { SCAN_CHUNK = 1 << 20, DECODE_PORTION = 1 << 16 };
const int64_t END_GAP_TOLERANCE = 16; // decoder look-ahead past the packed data, at most

int64_t file_size_of(const std::string &path) {
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(kvp_text_path(path), ec);
    return ec ? -1 : (int64_t)size;
}

// Offset the file's marker names, scanning it in chunks; -1 when it has no marker.
int64_t marker_offset(lza_stream *stream, uint32_t *value) {
    std::vector<unsigned char> window;
    std::vector<unsigned char> chunk(SCAN_CHUNK);
    const size_t keep = LZA_MARKER_PREFIX_LENGTH + LZA_MARKER_DIGITS;
    int64_t window_start = 0;
    lza_stream_seek(stream, 0);
    for (;;) {
        const size_t got = lza_stream_read(stream, chunk.data(), chunk.size());
        if (got == 0) return -1;
        window.insert(window.end(), chunk.begin(), chunk.begin() + (long)got);
        int count = 0;
        const int64_t at = kvp_find_marker(window.data(), window.size(), &count);
        if (at >= 0) {
            char digits[LZA_MARKER_DIGITS + 1] = {0};
            memcpy(digits, window.data() + at + LZA_MARKER_PREFIX_LENGTH, LZA_MARKER_DIGITS);
            *value = parse_hex_offset(digits);
            return window_start + at;
        }
        if (window.size() > keep) { // keep a tail that a marker may start in
            window_start += (int64_t)(window.size() - keep);
            window.erase(window.begin(), window.end() - (long)keep);
        }
    }
}

int starts_with_magic(lza_stream *stream, int64_t offset) {
    unsigned char magic[4];
    return lza_stream_seek(stream, offset) && lza_stream_read(stream, magic, 4) == 4 &&
           lza_has_magic(magic);
}

} // namespace

int kvp_archive_open(const std::filesystem::path &file, kvp_archive *a) {
    a->stream = nullptr;
    std::string text;
    if (!kvp_path_text(file, &text))
        return !kvp_fail("archive name not representable in the ANSI code page");
    lza_stream *stream = lza_stream_open(text.c_str());
    if (!stream) return !kvp_fail("%s: cannot open", text.c_str());
    a->path = text;
    a->offset = 0;
    a->signed_padding = 0;
    if (!starts_with_magic(stream, 0)) {
        uint32_t value = 0;
        if (marker_offset(stream, &value) < 0) {
            lza_stream_close(stream);
            return !kvp_fail("%s: neither an archive nor an installer (no LZA! record, no marker)",
                             text.c_str());
        }
        a->offset = value;
        if (value == 0) { // the records are in the sibling .pck file
            lza_stream_close(stream);
            std::vector<char> pck(text.begin(), text.end());
            pck.resize(text.size() + 8, 0);
            lza_pck_path(pck.data(), pck.size());
            a->path = pck.data();
            stream = lza_stream_open(a->path.c_str());
            if (!stream)
                return !kvp_fail("%s: marker selects %s, which cannot be opened", text.c_str(),
                                 a->path.c_str());
        }
        if (!starts_with_magic(stream, a->offset)) {
            lza_stream_close(stream);
            return !kvp_fail("%s: no LZA! record at offset 0x%llX", a->path.c_str(),
                             (unsigned long long)a->offset);
        }
    }
    a->stream = stream;
    a->file_size = file_size_of(a->path);
    a->next = a->offset;
    if (a->file_size < 0) {
        kvp_archive_close(a);
        return !kvp_fail("%s: size unknown", a->path.c_str());
    }
    // A signed installer carries its certificate table behind the records: they end there.
    kvp_signature signature;
    if (kvp_find_signature(kvp_text_path(a->path), &signature) == 1 &&
        signature.table_offset >= a->offset && signature.table_offset < a->file_size) {
        a->file_size = signature.table_offset;
        a->signed_padding = 1;
    }
    return 1;
}

// 1 when the left bytes from the next record on are all zero.
static int zero_bytes(kvp_archive *a, int64_t left) {
    unsigned char bytes[8];
    if (!lza_stream_seek(a->stream, a->next) ||
        lza_stream_read(a->stream, bytes, (size_t)left) != (size_t)left)
        return 0;
    for (int64_t i = 0; i < left; i++)
        if (bytes[i]) return 0;
    return 1;
}

void kvp_archive_close(kvp_archive *a) {
    lza_stream_close(a->stream);
    a->stream = nullptr;
}

int kvp_archive_next(kvp_archive *a, kvp_record *r) {
    char where[64];
    snprintf(where, sizeof where, "record at 0x%llX", (unsigned long long)a->next);
    const int64_t left = a->file_size - a->next;
    if (left == 0) return 0;
    if (a->signed_padding && left < 8 && zero_bytes(a, left)) return 0; // signing's alignment
    if (left < (int64_t)LZA_HEADER_SIZE) {
        a->error = std::to_string(left) + " stray bytes after the last record";
        return -1;
    }
    unsigned char bytes[LZA_HEADER_SIZE];
    if (!lza_stream_seek(a->stream, a->next) ||
        lza_stream_read(a->stream, bytes, sizeof bytes) != sizeof bytes) {
        a->error = std::string(where) + ": header cannot be read";
        return -1;
    }
    r->offset = a->next;
    lza_header_decode(bytes, &r->header);
    const lza_header &h = r->header;
    if (!lza_has_magic(bytes)) {
        a->error = std::string(where) + ": no LZA! magic";
        return -1;
    }
    if (h.name_length < 0 || h.name_length > (int)LZA_MAX_NAME_LENGTH) {
        a->error = std::string(where) + ": name length " + std::to_string(h.name_length) +
                   " outside 0..255";
        return -1;
    }
    r->data_offset = r->offset + (int64_t)LZA_HEADER_SIZE + h.name_length;
    const int64_t end = r->data_offset + (int64_t)h.packed_size;
    if (end > a->file_size) {
        a->error = std::string(where) + ": runs " + std::to_string(end - a->file_size) +
                   " bytes past the end of the file";
        return -1;
    }
    char name[LZA_NAME_CAPACITY] = {0};
    if (h.name_length > 0 &&
        lza_stream_read(a->stream, name, (size_t)h.name_length) != (size_t)h.name_length) {
        a->error = std::string(where) + ": name cannot be read";
        return -1;
    }
    if (h.name_length > 0 &&
        (name[h.name_length - 1] != 0 || strlen(name) + 1 != (size_t)h.name_length)) {
        a->error = std::string(where) + ": name is not a NUL-terminated text of its length";
        return -1;
    }
    r->name = name;
    if ((h.unpacked_size == 0) != (h.packed_size == 0)) {
        a->error = std::string(where) + " (" + r->name + "): unpacked size " +
                   std::to_string(h.unpacked_size) + " with packed size " +
                   std::to_string(h.packed_size);
        return -1;
    }
    a->next = end;
    return 1;
}

int kvp_archive_decode(kvp_archive *a, const kvp_record *r, kvp_sink sink, void *context,
                       kvp_progress *progress, int64_t *end_gap) {
    if (end_gap) *end_gap = 0;
    if (r->header.unpacked_size == 0) return 1; // nothing to decode: an empty file
    lza_reader *reader = lza_open(a->stream, r->offset);
    if (!reader) return 0;
    std::vector<unsigned char> portion(DECODE_PORTION);
    size_t got;
    int ok = 1;
    while (ok && (got = lza_read(portion.data(), 1, portion.size(), reader)) > 0) {
        ok = sink(context, portion.data(), got);
        if (progress) kvp_progress_add(progress, got);
    }
    lza_close(reader);
    if (end_gap) {
        const int64_t gap = lza_stream_tell(a->stream) - (r->data_offset + r->header.packed_size);
        *end_gap = gap >= -END_GAP_TOLERANCE && gap <= END_GAP_TOLERANCE ? 0 : gap;
    }
    return ok;
}

int64_t kvp_find_marker(const unsigned char *data, size_t size, int *count) {
    return kvp_find_marker_text(data, size, LZA_MARKER_PREFIX, LZA_MARKER_DIGITS, count);
}

int64_t kvp_find_marker_text(const unsigned char *data, size_t size, const char *prefix,
                             size_t digit_count, int *count) {
    const size_t prefix_length = strlen(prefix);
    const size_t total = prefix_length + digit_count + 1;
    int64_t first = -1;
    *count = 0;
    for (size_t i = 0; i + total <= size; i++) {
        if (data[i] != (unsigned char)prefix[0] || memcmp(data + i, prefix, prefix_length))
            continue;
        const unsigned char *digits = data + i + prefix_length;
        size_t k = 0;
        while (k < digit_count && isxdigit(digits[k])) k++;
        if (k < digit_count || digits[k] != 0) continue;
        if (first < 0) first = (int64_t)i;
        ++*count;
    }
    return first;
}

int kvp_member_path(const std::string &name, std::filesystem::path *path, std::string *why) {
    // The installer's own rule decides; its backslash-joined parts then become folders here.
    char relative[LZA_MEMBER_PATH_CAPACITY];
    lza_path_refusal refusal;
    if (!lza_member_path(name.c_str(), relative, sizeof relative, &refusal))
        return *why = lza_path_refusal_text(refusal), 0;
    std::filesystem::path out;
    for (const char *p = relative; *p;) {
        const char *end = strchr(p, '\\');
        if (!end) end = p + strlen(p);
        out /= kvp_text_path(std::string(p, (size_t)(end - p)));
        p = *end ? end + 1 : end;
    }
    *path = out;
    return 1;
}
