// Archive reading shared by list, extract and verify.
#include "kvpack_archive.h"

#include "kvpack_signature.h"

#include "archive/lza_decode.h"
#include "archive/lza_locate.h"
#include "archive/lza_member_path.h"
#include "archive/lza_stream.h"
#include "engine/install_log.h"
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
    if (!kvp_path_text(file, &text)) return !kvp_fail("archive name is not valid Unicode");
    lza_stream *stream = lza_stream_open(text.c_str());
    if (!stream) return !kvp_fail("%s: cannot open", text.c_str());
    a->path = text;
    a->offset = 0;
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
    if (a->file_size < 0) {
        kvp_archive_close(a);
        return !kvp_fail("%s: size unknown", a->path.c_str());
    }
    // A signed installer's records end where its PE header says the certificate table begins:
    // whatever is wrong with the table is the signature check's to report, not a damaged record.
    lza_walk_start(&a->walk, stream, a->offset, a->file_size);
    kvp_signature signature;
    if (a->offset > 0 && a->path == text && kvp_find_signature(file, &signature) == 1 &&
        signature.table_offset >= a->offset && signature.table_offset <= a->file_size)
        lza_walk_end_at_table(&a->walk, signature.table_offset);
    return 1;
}

void kvp_archive_close(kvp_archive *a) {
    lza_stream_close(a->stream);
    a->stream = nullptr;
}

int kvp_archive_next(kvp_archive *a, kvp_record *r) {
    lza_record record;
    const int found = lza_walk_next(&a->walk, &record);
    if (found < 0) {
        char where[64];
        snprintf(where, sizeof where,
                 "record at 0x%llX: ", (unsigned long long)a->walk.damage_offset);
        a->error = std::string(where) + lza_damage_text(a->walk.damage);
        return -1;
    }
    if (found == 0) return 0;
    r->offset = record.offset;
    r->data_offset = record.data_offset;
    r->header = record.header;
    r->name = record.name;
    return 1;
}

int kvp_archive_records(kvp_archive *a, std::vector<kvp_record> *records, int *refused) {
    kvp_record r;
    int result;
    while ((result = kvp_archive_next(a, &r)) == 1) records->push_back(r);
    *refused = 0;
    lza_name_set seen;
    if (!lza_name_set_init(&seen, records->size())) {
        a->error = "no memory for the member names";
        return -1;
    }
    for (size_t i = 0; i < records->size(); i++) {
        const std::string &name = (*records)[i].name;
        int32_t earlier = -1;
        const lza_path_refusal why = kvp_name_refusal(name, 1, &seen, (int32_t)i, &earlier);
        if (why == LZA_PATH_ACCEPTED) continue;
        ++*refused;
        const std::string as = earlier >= 0 ? " ('" + (*records)[earlier].name + "')" : "";
        fprintf(stderr, "kvpack: member '%s' %s%s: the installer refuses it\n", name.c_str(),
                lza_path_refusal_text(why), as.c_str());
    }
    lza_name_set_free(&seen);
    return result;
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
    if (end_gap) {
        const int64_t gap = lza_read_gap(reader);
        *end_gap = gap >= -END_GAP_TOLERANCE && gap <= END_GAP_TOLERANCE ? 0 : gap;
    }
    lza_close(reader);
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

lza_path_refusal kvp_name_refusal(const std::string &name, int logs, lza_name_set *seen,
                                  int32_t number, int32_t *earlier) {
    char relative[LZA_MEMBER_PATH_CAPACITY];
    lza_path_refusal refusal;
    if (!lza_member_path(name.c_str(), relative, sizeof relative, &refusal)) return refusal;
    if (logs && is_log_file_name(relative)) return LZA_PATH_LOG_NAME;
    const int32_t before = lza_name_set_add(seen, relative, number);
    if (before == -1) return LZA_PATH_ACCEPTED;
    if (earlier) *earlier = before;
    return LZA_PATH_SAME_NAME;
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
