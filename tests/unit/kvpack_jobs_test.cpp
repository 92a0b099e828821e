// kvpack pack -j: members packed on several threads land in the archive in their order, byte
// for byte as one thread writes them, and every member round-trips. The sources are the
// originals of the decoder vectors (under the sanitizers, their first 64 KiB) with the
// boundary files, an empty one and the script.
#include "archive/lza_decode.h"
#include "archive/lza_stream.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__)
const uint32_t kLargeInput = 64 * 1024;
#else
const uint32_t kLargeInput = UINT32_MAX;
#endif

command_result kvpack(const std::string &args) {
    return run_command(std::string(KVPACK_PATH) + " " + args);
}

// The first size bytes of a vector's original.
bytes decode_vector(const std::string &path, uint32_t size) {
    const bytes record = make_record("v", size, read_file(path));
    lza_stream *stream = lza_stream_open_memory(record.data(), record.size());
    lza_reader *reader = lza_open(stream, 0);
    bytes out(size);
    out.resize(reader ? lza_read(out.data(), 1, size, reader) : 0);
    lza_close(reader);
    lza_stream_close(stream);
    return out;
}

} // namespace

TEST(KvpackJobs, EveryThreadCountWritesTheSameArchive) {
    temp_folder t;
    const std::string src = t.file("src");
    fs::create_directories(src + "/edge");
    const std::string script = "[setup]\r\ntitle=Jobs\r\n";
    write_file(src + "/setup.txt", bytes(script.begin(), script.end()));
    write_file(src + "/empty.bin", {});
    for (const char *sub : {"", "/edge"}) {
        const std::string dir = vectors_dir() + sub;
        for (auto &row : read_manifest(dir + "/MANIFEST.tsv")) {
            if (row.orig_size == 0) continue;
            const uint32_t size = row.orig_size < kLargeInput ? row.orig_size : kLargeInput;
            write_file(src + sub + "/" + row.name,
                       decode_vector(dir + "/" + row.name + ".lza", size));
        }
    }

    bytes single;
    for (int jobs : {1, 2, 3, 16}) {
        SCOPED_TRACE(jobs);
        const std::string out = t.file("j" + std::to_string(jobs) + ".pck");
        command_result r =
            kvpack("pack --bare --quiet -j " + std::to_string(jobs) + " -o " + out + " " + src);
        ASSERT_EQ(r.code, 0) << r.output;
        r = kvpack("verify --quiet " + out + " --against " + src); // decodes and compares all
        EXPECT_EQ(r.code, 0) << r.output;
        const bytes archive = read_file(out);
        if (jobs == 1)
            single = archive;
        else
            EXPECT_TRUE(archive == single) << "differs from -j 1";
    }
}
