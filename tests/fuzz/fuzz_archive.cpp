// Arbitrary bytes as an archive: every walker of the records and the decoder must stay in
// bounds and finish, whatever the lengths and sizes in the headers say.
#include "archive/lza_decode.h"
#include "archive/lza_lookup.h"
#include "archive/lza_member_path.h"
#include "archive/lza_stream.h"
#include "platform/posix/platform_posix_list.h"
#include "shell/extract.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    lza_stream *stream = lza_stream_open_memory(data, size);
    if (!stream) return 0;
    lza_header header;
    char name[LZA_NAME_CAPACITY];
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
    // The extract dialog's walk, which stops where the chain of records breaks.
    platform_list_reset();
    extract_list_records(nullptr, stream, 0);
    platform_list_reset();
    lza_stream_close(stream);
    return 0;
}
