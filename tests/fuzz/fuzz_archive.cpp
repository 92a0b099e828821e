// Arbitrary bytes as an archive: every walker of the records and the decoder must stay in
// bounds and finish, whatever the lengths and sizes in the headers say; the record walk must
// only ever step forward, hand out records that lie inside the file, and agree with the
// lookup and with the reading of a single record.
#include "archive/lza_decode.h"
#include "archive/lza_lookup.h"
#include "archive/lza_member_path.h"
#include "archive/lza_stream.h"
#include "archive/lza_walk.h"
#include "platform/posix/platform_posix_list.h"
#include "shell/extract.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// The walk's promises over the whole input; aborts (a finding) when one is broken.
void check_walk(lza_stream *stream, int64_t size) {
    lza_walk walk;
    lza_walk_start(&walk, stream, 0, size);
    lza_record record;
    int64_t previous_end = 0;
    int found, records = 0;
    lza_name_set seen;
    if (!lza_name_set_init(&seen, (size_t)size / LZA_HEADER_SIZE + 1)) return;
    while ((found = lza_walk_next(&walk, &record)) == 1) {
        if (record.offset != previous_end || record.end <= record.offset || record.end > size ||
            record.data_offset != record.offset + LZA_HEADER_SIZE + record.header.name_length ||
            !lza_sizes_possible(record.header.unpacked_size, record.header.packed_size))
            abort();
        for (const char *p = record.name; *p; p++)
            if ((unsigned char)*p < 0x20) abort();
        lza_record again;
        if (lza_record_read(stream, record.offset, size, &again, nullptr) != 1 ||
            memcmp(&again.header, &record.header, sizeof record.header) != 0 ||
            strcmp(again.name, record.name) != 0)
            abort();
        // The lookup steps through the same records: the n-th "*.*" match is this one.
        lza_header header;
        header.magic = (uint32_t)records;
        char name[LZA_NAME_TEXT_CAPACITY];
        if (records < 8 && lza_find_next(stream, 0, "*.*", &header, name) != record.offset) abort();
        char relative[LZA_MEMBER_PATH_CAPACITY], key[LZA_MEMBER_PATH_CAPACITY];
        if (lza_member_path(record.name, relative, sizeof relative, nullptr)) {
            if (!lza_member_key(relative, key, sizeof key)) abort();
            lza_name_set_add(&seen, relative, records);
        }
        previous_end = record.end;
        records++;
    }
    lza_name_set_free(&seen);
    if (found < 0 && (walk.damage == LZA_DAMAGE_NONE || walk.damage_offset != previous_end))
        abort();
    if (lza_walk_next(&walk, &record) != found) abort(); // the end and damage both stay
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    lza_stream *stream = lza_stream_open_memory(data, size);
    if (!stream) return 0;
    check_walk(stream, (int64_t)size);
    lza_header header;
    char name[LZA_NAME_TEXT_CAPACITY];
    // A hostile header may claim gigabytes: decode a bounded prefix of each member, in
    // portions of awkward sizes so that matches are cut everywhere.
    static unsigned char out[4099];
    int members = 0;
    for (int64_t offset = lza_find_first(stream, 0, "*.*", &header, name);
         offset != -1 && members < 16; offset = lza_find_next(stream, 0, "*.*", &header, name)) {
        members++;
        lza_reader *reader = lza_open(stream, offset);
        size_t budget = 1 << 13;
        while (reader && budget > 0) {
            size_t got = lza_read(out, 1, sizeof out - (budget % 7), reader);
            if (got == 0) break;
            budget = got > budget ? 0 : budget - got;
        }
        lza_close(reader);
        char target[LZA_TARGET_CAPACITY];
        make_target_name(name, "C:\\Dest\\*.*", target, sizeof target);
        match_member_name("*.t?t", name);
        char relative[LZA_MEMBER_PATH_CAPACITY];
        lza_member_path(name, relative, sizeof relative, nullptr);
    }
    // The extract dialog's walk, which stops where the walk meets damage.
    platform_list_reset();
    extract_list_records(nullptr, stream, 0, nullptr);
    platform_list_reset();
    lza_stream_close(stream);
    return 0;
}
