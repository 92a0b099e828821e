// The record walk. What may follow the last record is exactly one of two things: nothing (the
// records run to the end of the file), or what signing appends to an installer: up to seven
// zero bytes that align the certificate table to 8, then the table, whose entries (a 32-bit
// length, a 16-bit revision and a 16-bit type each, every one aligned to 8) cover the rest of
// the file. Anything else where a record should begin is damage: a record broken in the middle
// must not end the archive quietly and drop every member behind it.
#include "archive/lza_walk.h"

#include "archive/lza_decode.h"
#include "archive/lza_stream.h"
#include "state/text_utf8.h"

#include <cstring>

namespace {

enum : uint32_t {
    CERT_ENTRY_HEADER = 8, // an entry's length, revision and type
    CERT_ALIGNMENT = 8,    // entries begin at file offsets that are multiples of 8
    CERT_MAX_ENTRIES = 16, // a signed file holds one or two; more is no signature
    CERT_REVISION_1 = 0x0100,
    CERT_REVISION_2 = 0x0200,
    CERT_TYPE_FIRST = 1, // X.509 certificate
    CERT_TYPE_LAST = 4,  // terminal server stack signature; 2 (PKCS#7) is the usual one
    NAME_FIRST_PRINTABLE = 0x20,
};

uint32_t get32(const unsigned char *p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
uint32_t get16(const unsigned char *p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8;
}

// 1 when count bytes at offset could be read into out.
int read_at(lza_stream *s, int64_t offset, void *out, size_t count) {
    return lza_stream_seek(s, offset) && lza_stream_read(s, out, count) == count;
}

// 1 when the bytes from at to the end of the file are what may follow the records; with
// at_table, size is where the certificate table begins and only its alignment may come first.
int is_trailer(lza_stream *s, int64_t at, int64_t size, int at_table) {
    if (at >= size) return 1; // the records run to the end of the file
    unsigned char bytes[CERT_ENTRY_HEADER];
    const int64_t padding = -at & (CERT_ALIGNMENT - 1); // to the next multiple of 8
    const int64_t pad = padding < size - at ? padding : size - at;
    if (pad > 0) {
        if (!read_at(s, at, bytes, (size_t)pad)) return 0;
        for (int64_t i = 0; i < pad; i++)
            if (bytes[i] != 0) return 0;
        at += pad;
    }
    if (at_table) return at >= size; // the table is known to begin at size: nothing else first
    if (at >= size) return 0;        // zeros without a table behind them
    for (uint32_t entries = 0; at < size; entries++) {
        if (entries == CERT_MAX_ENTRIES || size - at < (int64_t)CERT_ENTRY_HEADER ||
            !read_at(s, at, bytes, sizeof bytes))
            return 0;
        const uint32_t length = get32(bytes), revision = get16(bytes + 4), type = get16(bytes + 6);
        if (length < CERT_ENTRY_HEADER || (int64_t)length > size - at) return 0;
        if (revision != CERT_REVISION_1 && revision != CERT_REVISION_2) return 0;
        if (type < CERT_TYPE_FIRST || type > CERT_TYPE_LAST) return 0;
        at += ((int64_t)length + CERT_ALIGNMENT - 1) & -(int64_t)CERT_ALIGNMENT;
    }
    return 1;
}

// 1 when the name_length bytes of a stored name are a text of that length with its NUL and
// without control bytes.
int is_sound_name(const char *name, int32_t name_length) {
    if (name_length == 0) return 1;
    for (int32_t i = 0; i + 1 < name_length; i++) // a NUL inside is a control byte too
        if ((unsigned char)name[i] < NAME_FIRST_PRINTABLE) return 0;
    return name[name_length - 1] == 0;
}

// The record at offset: 1 sound, 0 when no record begins there (no magic, or not even four
// bytes), -1 damaged with *why set.
int read_record(lza_stream *s, int64_t offset, int64_t size, lza_record *r, lza_damage *why) {
    unsigned char bytes[LZA_HEADER_SIZE];
    if (offset < 0 || offset >= size) return 0;
    const int64_t left = size - offset;
    const size_t want = left < (int64_t)sizeof bytes ? (size_t)left : sizeof bytes;
    if (!read_at(s, offset, bytes, want)) {
        *why = s->error ? LZA_DAMAGE_UNREADABLE : LZA_DAMAGE_PAST_END; // the file shrank
        return -1;
    }
    if (want < 4 || !lza_has_magic(bytes)) return 0;
    if (want < sizeof bytes) {
        *why = LZA_DAMAGE_SHORT;
        return -1;
    }
    memset(r, 0, sizeof *r);
    lza_header_decode(bytes, &r->header);
    const int32_t name_length = r->header.name_length;
    if (name_length < 0 || name_length > (int32_t)LZA_MAX_NAME_LENGTH) {
        *why = LZA_DAMAGE_NAME_LENGTH;
        return -1;
    }
    r->offset = offset;
    r->data_offset = offset + (int64_t)LZA_HEADER_SIZE + name_length;
    r->end = r->data_offset + (int64_t)r->header.packed_size;
    if (r->end > size) {
        *why = LZA_DAMAGE_PAST_END;
        return -1;
    }
    char stored[LZA_NAME_CAPACITY] = {};
    if (name_length > 0 && lza_stream_read(s, stored, (size_t)name_length) != (size_t)name_length) {
        *why = s->error ? LZA_DAMAGE_UNREADABLE : LZA_DAMAGE_PAST_END;
        return -1;
    }
    if (!is_sound_name(stored, name_length)) {
        *why = LZA_DAMAGE_NAME;
        return -1;
    }
    // Each name is read by the rule of its own: an archive may hold names of two packers.
    text_utf8_read(r->name, sizeof r->name, stored, name_length);
    if (!lza_sizes_possible(r->header.unpacked_size, r->header.packed_size)) {
        *why = LZA_DAMAGE_SIZES;
        return -1;
    }
    return 1;
}

} // namespace

void lza_walk_start(lza_walk *walk, lza_stream *stream, int64_t start, int64_t file_size) {
    walk->stream = stream;
    walk->file_size = file_size;
    walk->at_table = 0;
    walk->next = start;
    walk->damage_offset = -1;
    walk->damage = LZA_DAMAGE_NONE;
}

void lza_walk_end_at_table(lza_walk *walk, int64_t table_offset) {
    walk->file_size = table_offset;
    walk->at_table = 1;
}

int lza_walk_next(lza_walk *walk, lza_record *record) {
    if (walk->damage != LZA_DAMAGE_NONE) return -1;
    lza_damage why = LZA_DAMAGE_NONE;
    int found = read_record(walk->stream, walk->next, walk->file_size, record, &why);
    if (found == 0 && !is_trailer(walk->stream, walk->next, walk->file_size, walk->at_table)) {
        why = walk->stream->error ? LZA_DAMAGE_UNREADABLE : LZA_DAMAGE_NO_RECORD;
        found = -1;
    }
    if (found < 0) {
        walk->damage = why;
        walk->damage_offset = walk->next;
        return -1;
    }
    if (found > 0) walk->next = record->end;
    return found;
}

int lza_record_read(lza_stream *stream, int64_t offset, int64_t file_size, lza_record *record,
                    lza_damage *damage) {
    lza_damage why = LZA_DAMAGE_NONE;
    const int found = stream ? read_record(stream, offset, file_size, record, &why) : 0;
    if (damage) *damage = why;
    return found;
}

const char *lza_damage_text(lza_damage damage) {
    switch (damage) {
    case LZA_DAMAGE_NONE:
        return "no damage";
    case LZA_DAMAGE_NO_RECORD:
        return "no LZA! record, and not the end of the archive";
    case LZA_DAMAGE_SHORT:
        return "header cut short by the end of the file";
    case LZA_DAMAGE_NAME_LENGTH:
        return "name length outside 0..255";
    case LZA_DAMAGE_PAST_END:
        return "runs past the end of the file";
    case LZA_DAMAGE_NAME:
        return "name is not a NUL-terminated text of its length without control bytes";
    case LZA_DAMAGE_SIZES:
        return "unpacked size cannot come from its packed size";
    case LZA_DAMAGE_UNREADABLE:
        return "cannot be read";
    }
    return "damaged";
}
