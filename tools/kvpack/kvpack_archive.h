// Reading archives for list, extract and verify: finding the records in an installer (by its
// marker, or in the sibling .pck file), a .pck file or a bare archive; walking them with the
// installer's own record walk; decoding a member in portions; and turning member names into
// safe relative paths.
#pragma once

#include "archive/lza_format.h"
#include "archive/lza_member_path.h"
#include "archive/lza_walk.h"
#include "kvpack.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct lza_stream;

struct kvp_archive {
    std::string path;   // the file holding the records (8-bit text, as the core opens it)
    int64_t offset;     // first record
    int64_t file_size;  // the file's size
    lza_walk walk;      // the walk over the records
    lza_stream *stream; // open on path
    std::string error;  // what kvp_archive_next found damaged
};

struct kvp_record {
    int64_t offset;      // record start
    int64_t data_offset; // first packed byte
    lza_header header;   // as read
    std::string name;    // without its NUL; empty when name_length is 0
};

// Opens file, which may be an installer, a .pck file or a bare archive. 1 on success; 0 after
// printing why not.
int kvp_archive_open(const std::filesystem::path &file, kvp_archive *archive);
void kvp_archive_close(kvp_archive *archive);

// The next record, as the installer's walk finds it. 1 with a record, 0 at the end of the
// archive (the end of the file or a signature's table), -1 when damaged (error says where and
// what).
int kvp_archive_next(kvp_archive *archive, kvp_record *record);

// Every record of archive from where its walk stands, into records, each name judged as the
// installer judges it (kvp_name_refusal); a name it refuses gets a "kvpack: " line on stderr
// and counts in *refused. 0 at the end of the archive, -1 when damaged (error set).
int kvp_archive_records(kvp_archive *archive, std::vector<kvp_record> *records, int *refused);

// Receives decoded bytes; 1 to go on, 0 to stop with a failure.
typedef int (*kvp_sink)(void *context, const unsigned char *data, size_t size);

// Decodes the member of record into sink, adding to progress as it goes. 1 when done, 0 when
// the member could not be opened or the sink failed. end_gap (optional) receives how far the
// decoder's input ended from the end of the packed data the header claims (a few bytes of
// look-ahead are normal; more means damaged data or a wrong packed_size).
int kvp_archive_decode(kvp_archive *archive, const kvp_record *record, kvp_sink sink, void *context,
                       kvp_progress *progress, int64_t *end_gap);

// Position of the marker ("SelfExtractorIndex=", eight hex digits, NUL) in data; count
// receives how many there are. -1 when there is none.
int64_t kvp_find_marker(const unsigned char *data, size_t size, int *count);
// The same for any marker: prefix, digit_count hex digits and a NUL.
int64_t kvp_find_marker_text(const unsigned char *data, size_t size, const char *prefix,
                             size_t digit_count, int *count);

// Why member name may not be written: the member path rule's refusal; with logs,
// LZA_PATH_LOG_NAME for the name of one of the installer's logs (which a copy must never
// replace); LZA_PATH_SAME_NAME, with *earlier set, for a name that Windows would open as the
// one added to seen under that number. Else LZA_PATH_ACCEPTED, and the name is added to seen.
lza_path_refusal kvp_name_refusal(const std::string &name, int logs, lza_name_set *seen,
                                  int32_t number, int32_t *earlier);

// The relative path a member name stands for, its backslashes made folders. 0 (with why) for a
// name that could leave the destination: empty, absolute, a drive or stream part (':'), or a
// ".." component.
int kvp_member_path(const std::string &name, std::filesystem::path *path, std::string *why);
