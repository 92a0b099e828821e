#include "test_support.h"

#include "kvpack_sha256.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

bytes read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void write_file(const std::string &path, const bytes &data) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(data.data()), (std::streamsize)data.size());
}

temp_folder::temp_folder() {
    char pattern[] = "/tmp/kvtest-XXXXXX";
    path = mkdtemp(pattern);
}
temp_folder::~temp_folder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

std::string vectors_dir() {
    return KV_VECTORS_DIR;
}

std::vector<vector_row> read_manifest(const std::string &path) {
    std::vector<vector_row> rows;
    std::ifstream in(path);
    std::string line;
    std::getline(in, line); // column names
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        vector_row row;
        std::string packed_sha;
        if (fields >> row.name >> row.orig_size >> row.packed_size >> row.sha256_orig >> packed_sha)
            rows.push_back(row);
    }
    return rows;
}

vector_row manifest_row(const std::string &folder, const std::string &name) {
    for (const vector_row &row : read_manifest(folder + "/MANIFEST.tsv"))
        if (row.name == name) return row;
    return vector_row{"", 0, 0, ""};
}

bytes make_record(const std::string &name, uint32_t unpacked_size, const bytes &packed,
                  int16_t name_length_override) {
    lza_header h = {};
    h.magic = LZA_MAGIC;
    h.const_word_1 = h.const_word_2 = 1;
    h.unpacked_size = unpacked_size;
    h.packed_size = (uint32_t)packed.size();
    h.name_length = name_length_override != -1000 ? name_length_override
                                                  : (int16_t)(name.empty() ? 0 : name.size() + 1);
    bytes out(LZA_HEADER_SIZE);
    lza_header_encode(&h, out.data());
    if (!name.empty()) {
        out.insert(out.end(), name.begin(), name.end());
        out.push_back(0);
    }
    out.insert(out.end(), packed.begin(), packed.end());
    return out;
}

command_result run_command(const std::string &command) {
    command_result r = {-1, ""};
    FILE *pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return r;
    char line[512];
    while (fgets(line, sizeof line, pipe)) r.output += line;
    const int status = pclose(pipe);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string sha256_hex(const unsigned char *data, size_t size) {
    return kvp_sha256_hex(data, size);
}

std::string edited(const std::string &text, const char *find, const char *replace) {
    if (!find[0]) return text + replace;
    const size_t at = text.find(find);
    EXPECT_NE(at, std::string::npos) << find;
    if (at == std::string::npos) return "";
    return std::string(text).replace(at, strlen(find), replace);
}
