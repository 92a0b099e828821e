// Member lookup and name derivation.
#include "archive/lza_lookup.h"

#include "archive/lza_stream.h"
#include "archive/lza_walk.h"
#include "state/installer_state.h"

#include <cstring>

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
    if (!stream) return -1;
    lza_walk walk;
    lza_walk_start(&walk, stream, start, lza_stream_size(stream));
    lza_record record;
    uint32_t n = header->magic; // the cursor
    for (uint32_t skipped = 0; skipped < n; skipped++)
        if (lza_walk_next(&walk, &record) != 1) return -1;
    while (lza_walk_next(&walk, &record) == 1) {
        n++;
        if (!match_member_name(pattern, record.name)) continue;
        *header = record.header;
        header->magic = n;
        if (name_out) text_copy(name_out, LZA_NAME_TEXT_CAPACITY, record.name);
        return record.offset;
    }
    return -1;
}

int64_t lza_find_first(lza_stream *stream, int64_t start, const char *pattern, lza_header *header,
                       char *name_out) {
    header->magic = 0;
    return lza_find_next(stream, start, pattern, header, name_out);
}
