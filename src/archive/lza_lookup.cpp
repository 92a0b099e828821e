// Member lookup and name derivation.
#include "archive/lza_lookup.h"

#include "archive/lza_stream.h"
#include "state/installer_state.h"

#include <cstring>

char lza_name_buffer[LZA_NAME_CAPACITY];

int lza_read_header(lza_stream *stream, lza_header *header) {
    unsigned char bytes[LZA_HEADER_SIZE];
    if (lza_stream_read(stream, bytes, sizeof bytes) != sizeof bytes) return 0;
    if (!lza_has_magic(bytes)) return 0; // trailing data such as a signature: no record
    lza_header_decode(bytes, header);
    if (header->name_length < 0) header->name_length = 0;
    return 1;
}

namespace {

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
}

// Compares one part (base or extension). Both texts lie in zero-filled 128-byte buffers,
// and positions past a text's end read what the buffer holds there.
int match_part(const char *pattern, const char *name) {
    size_t lp = strnlen(pattern, LZA_COMPARE_CAPACITY - 1);
    size_t ls = strnlen(name, LZA_COMPARE_CAPACITY - 1);
    size_t longer = lp > ls ? lp : ls;
    for (size_t i = 0; i < longer; i++) {
        char pc = pattern[i], sc = name[i];
        if (pc == '?') continue;
        if (pc == '*') return 1;
        if (upper(pc) != upper(sc)) return 0;
    }
    return 1;
}

// Copies the file part (cut to 127 characters) into a zero-filled buffer and cuts it at its
// last '.': base is the buffer, *ext points after the dot (at the empty tail when none).
void split_file_part(const char *file_part, char *buffer, char **ext) {
    text_copy(buffer, LZA_COMPARE_CAPACITY, file_part);
    char *dot = strrchr(buffer, '.');
    if (dot) {
        *dot = 0;
        *ext = dot + 1;
    } else {
        *ext = buffer + strlen(buffer); // the zero tail: an empty extension
    }
}

} // namespace

int match_member_name(const char *pattern, const char *name) {
    const char *pslash = strrchr(pattern, '\\');
    const char *sslash = strrchr(name, '\\');
    long pdir = pslash ? pslash - pattern : -1;
    long sdir = sslash ? sslash - name : -1;
    if (pdir > 0) {
        if (sdir != pdir) return 0;
        for (long i = 0; i <= pdir; i++)
            if (upper(pattern[i]) != upper(name[i])) return 0;
    }
    // Each part holds at most 127 characters, but an extension starts inside its buffer and a
    // compare may look up to 127 places past its start: the zero-filled second half keeps
    // those reads inside the buffer.
    char pbuf[2 * LZA_COMPARE_CAPACITY] = {}, sbuf[2 * LZA_COMPARE_CAPACITY] = {};
    char *pext, *sext;
    split_file_part(pattern + pdir + 1, pbuf, &pext);
    split_file_part(name + sdir + 1, sbuf, &sext);
    return match_part(pbuf, sbuf) && match_part(pext, sext);
}

int make_target_name(const char *name, const char *pattern, char *out, size_t cap) {
    char work[LZA_TARGET_CAPACITY];
    size_t used = 0;
    auto put = [&](char c) {
        if (used + 1 < sizeof work) work[used++] = c;
    };
    const size_t plen = strlen(pattern), slen = strlen(name);
    const char *pslash = strrchr(pattern, '\\');
    const size_t pdir_end = pslash ? (size_t)(pslash - pattern) + 1 : 0;
    const char *sslash = strrchr(name, '\\');
    const size_t sstart = sslash ? (size_t)(sslash - name) + 1 : 0;
    // The extension dot is looked for in the file part only: a dot in a folder name
    // ("C:\My.App\*") is not an extension and must not be rewritten.
    const char *pdot_at = strrchr(pattern + pdir_end, '.');
    const size_t pdot = pdot_at ? (size_t)(pdot_at - pattern) : plen;
    const char *sdot_at = strrchr(name + sstart, '.');
    const size_t sdot = sdot_at ? (size_t)(sdot_at - name) : slen;

    for (size_t i = 0; i < pdir_end; i++) put(pattern[i]);
    size_t k = sstart;
    for (size_t i = pdir_end; i < pdot; i++) {
        char c = pattern[i];
        if (c == '*') {
            for (; k < sdot; k++) put(name[k]);
            break;
        }
        if (c == '?') {
            if (k < sdot) put(name[k++]);
        } else {
            put(c);
            if (k < sdot) k++;
        }
    }
    if (pdot < plen) {
        k = sdot;
        for (size_t i = pdot; i < plen; i++) {
            char c = pattern[i];
            if (c == '*') {
                for (; k < slen; k++) put(name[k]);
                break;
            }
            if (c == '?') {
                if (k < slen) put(name[k++]);
            } else {
                put(c);
                if (k < slen) k++;
            }
        }
    } else if (sdot < slen) {
        for (size_t i = sdot; i < slen; i++) put(name[i]);
    }
    work[used] = 0;
    text_copy(out, cap, work);
    return 1;
}

int64_t lza_find_next(lza_stream *stream, int64_t start, const char *pattern, lza_header *header,
                      char *name_out) {
    if (!stream || !lza_stream_seek(stream, start)) return -1;
    uint32_t n = header->magic; // the cursor
    for (uint32_t skipped = 0; skipped < n; skipped++) {
        if (!lza_read_header(stream, header)) return -1;
        if (!lza_stream_skip(stream, (int64_t)header->packed_size + (int64_t)header->name_length))
            return -1;
    }
    int64_t candidate = lza_stream_tell(stream);
    for (;;) {
        if (!lza_read_header(stream, header)) return -1; // end of the archive
        n++;
        int64_t name_length = (int64_t)header->name_length;
        const int64_t max_name = LZA_MAX_NAME_LENGTH;
        int64_t name_read = name_length > max_name ? max_name : name_length;
        if (name_length > max_name) header->name_length = (int16_t)max_name;
        memset(lza_name_buffer, 0, sizeof lza_name_buffer);
        if (name_read > 0) lza_stream_read(stream, lza_name_buffer, (size_t)name_read);
        lza_name_buffer[LZA_MAX_NAME_LENGTH] = 0;
        // Past the name (all of it, even beyond what we keep) and the packed data.
        if (!lza_stream_skip(stream, name_length - name_read + (int64_t)header->packed_size))
            return -1;
        if (match_member_name(pattern, lza_name_buffer)) {
            header->magic = n;
            if (name_out) text_copy(name_out, LZA_NAME_CAPACITY, lza_name_buffer);
            return candidate;
        }
        candidate = lza_stream_tell(stream);
    }
}

int64_t lza_find_first(lza_stream *stream, int64_t start, const char *pattern, lza_header *header,
                       char *name_out) {
    header->magic = 0;
    return lza_find_next(stream, start, pattern, header, name_out);
}
