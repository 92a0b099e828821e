// Helpers the native tests share: files, temporary folders, SHA-256, in-memory archives.
#pragma once

#include "archive/lza_format.h"

#include <cstdint>
#include <string>
#include <vector>

using bytes = std::vector<unsigned char>;

bytes read_file(const std::string &path);
void write_file(const std::string &path, const bytes &data);
std::string sha256_hex(const unsigned char *data, size_t size);
inline std::string sha256_hex(const bytes &b) {
    return sha256_hex(b.data(), b.size());
}

// A fresh empty folder under the system's temporary folder, removed by the destructor.
struct temp_folder {
    std::string path;
    temp_folder();
    ~temp_folder();
    std::string file(const std::string &name) const { return path + "/" + name; }
};

// One row of a vectors MANIFEST.tsv.
struct vector_row {
    std::string name;
    uint32_t orig_size;
    uint32_t packed_size;
    std::string sha256_orig;
};
std::vector<vector_row> read_manifest(const std::string &path);
// The row named name of folder's MANIFEST.tsv; a row with an empty name when there is none.
vector_row manifest_row(const std::string &folder, const std::string &name);
std::string vectors_dir();

// A record with the given fields and raw packed bytes (not necessarily valid LZARI).
bytes make_record(const std::string &name, uint32_t unpacked_size, const bytes &packed,
                  int16_t name_length_override = -1000);

// Runs a shell command; its exit code (-1 when it did not exit normally) and its stdout and
// stderr together.
struct command_result {
    int code;
    std::string output;
};
command_result run_command(const std::string &command);

// text with its first find replaced by replace, or with replace appended when find is empty;
// "" (a failed EXPECT) when find is not in text.
std::string edited(const std::string &text, const char *find, const char *replace);
