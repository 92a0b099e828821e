// Reading archives for list, extract and verify: finding the records in an installer (by its
// marker, or in the sibling .pck file), a .pck file or a bare archive; walking them with every
// length checked against the file; decoding a member in portions; and turning member names
// into safe relative paths.
#pragma once

#include "archive/lza_format.h"
#include "kvpack.h"

#include <cstdint>
#include <filesystem>
#include <string>

struct lza_stream;

struct kvp_archive {
    std::string path;   // the file holding the records (8-bit text, as the core opens it)
    int64_t offset;     // first record
    int64_t file_size;  // where the records end: the file's size, or a signature's start
    int signed_padding; // 1: up to 7 zero bytes may align the signature's start
    int64_t next;       // offset of the next record to read
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

// Reads the next record header and name, checking the magic, name_length (0..255, NUL at its
// end), the sizes against each other and the record's end against the file size. 1 with a
// record, 0 at the end of the archive, -1 when damaged (error says where and what).
int kvp_archive_next(kvp_archive *archive, kvp_record *record);

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

// The relative path a member name stands for, its backslashes made folders. 0 (with why) for a
// name that could leave the destination: empty, absolute, a drive or stream part (':'), or a
// ".." component.
int kvp_member_path(const std::string &name, std::filesystem::path *path, std::string *why);
