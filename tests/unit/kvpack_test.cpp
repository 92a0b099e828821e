// The packer end to end, run as a program: pack, list, extract and verify over temporary
// folders; the stub's marker patched to the records' offset (or 00000000 with a .pck file) so
// that the installer's own locate finds them; and the refusals: a missing setup.txt, duplicate
// or overlong names, member names that would escape the extract folder, damaged records.
#include "archive/lza_encode.h"
#include "archive/lza_locate.h"
#include "state/installer_state.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <sys/wait.h>
#include <utime.h>

namespace fs = std::filesystem;

namespace {

command_result kvpack(const std::string &args) {
    return run_command(std::string(KVPACK_PATH) + " " + args);
}

void write_text(const std::string &path, const std::string &text) {
    fs::create_directories(fs::path(path).parent_path());
    write_file(path, bytes(text.begin(), text.end()));
}

bytes packed(const std::string &text) {
    lza_byte_buffer out = {};
    lza_encode_memory(text.data(), text.size(), &out);
    bytes b(out.data, out.data + out.size);
    lza_byte_buffer_free(&out);
    return b;
}

// A source folder: the script, a member in a subfolder, an empty file and a larger one.
void make_sources(const std::string &dir) {
    write_text(dir + "/Setup.txt", "[setup]\r\ntitle=Demo\r\n");
    write_text(dir + "/docs/readme.txt", std::string(5000, 'r') + "end");
    write_text(dir + "/empty.dat", "");
    std::string big;
    for (int i = 0; i < 20000; i++) big += "line " + std::to_string(i * 7919 % 1000) + "\n";
    write_text(dir + "/big.log", big);
}

uint32_t expected_dos_time(time_t t) {
    struct tm local;
    localtime_r(&t, &local);
    return (uint32_t)(local.tm_year - 80) << 25 | (uint32_t)(local.tm_mon + 1) << 21 |
           (uint32_t)local.tm_mday << 16 | (uint32_t)local.tm_hour << 11 |
           (uint32_t)local.tm_min << 5 | (uint32_t)(local.tm_sec / 2);
}

lza_header header_at(const bytes &file, size_t offset) {
    lza_header h;
    lza_header_decode(file.data() + offset, &h);
    return h;
}

} // namespace

TEST(Kvpack, PackListExtractVerify) {
    temp_folder t;
    make_sources(t.file("src"));
    const time_t when = 1700000000; // a fixed last-write time for the script
    struct utimbuf times = {when, when};
    ASSERT_EQ(utime(t.file("src/Setup.txt").c_str(), &times), 0);

    command_result r = kvpack("pack --bare --quiet -o " + t.file("a.pck") + " " + t.file("src"));
    ASSERT_EQ(r.code, 0) << r.output;

    // Records back to back, in name order, each header as the installer expects.
    const bytes archive = read_file(t.file("a.pck"));
    size_t at = 0;
    std::vector<std::string> names;
    while (at < archive.size()) {
        lza_header h = header_at(archive, at);
        EXPECT_EQ(h.magic, (uint32_t)LZA_MAGIC);
        EXPECT_EQ(h.const_word_1, 1);
        EXPECT_EQ(h.const_word_2, 1);
        EXPECT_EQ(h.reserved, 0);
        const std::string name(reinterpret_cast<const char *>(&archive[at + LZA_HEADER_SIZE]));
        EXPECT_EQ((size_t)h.name_length, name.size() + 1);
        if (name == "Setup.txt") {
            EXPECT_EQ(h.file_time, expected_dos_time(when));
        }
        if (name == "empty.dat") {
            EXPECT_EQ(h.packed_size, 0u);
        }
        names.push_back(name);
        at += LZA_HEADER_SIZE + h.name_length + h.packed_size;
    }
    EXPECT_EQ(at, archive.size());
    EXPECT_EQ(names,
              (std::vector<std::string>{"Setup.txt", "big.log", "docs\\readme.txt", "empty.dat"}));

    r = kvpack("list " + t.file("a.pck"));
    ASSERT_EQ(r.code, 0) << r.output;
    EXPECT_NE(r.output.find("docs\\readme.txt"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("4 members"), std::string::npos) << r.output;

    r = kvpack("extract --quiet " + t.file("a.pck") + " -C " + t.file("out"));
    ASSERT_EQ(r.code, 0) << r.output;
    for (const char *f : {"Setup.txt", "docs/readme.txt", "empty.dat", "big.log"})
        EXPECT_TRUE(read_file(t.file(std::string("out/") + f)) ==
                    read_file(t.file(std::string("src/") + f)))
            << f;

    // Patterns use the installer's wildcard rules; one matching nothing is an error.
    r = kvpack("extract --quiet " + t.file("a.pck") + " -C " + t.file("some") + " *.TXT");
    ASSERT_EQ(r.code, 0) << r.output;
    EXPECT_TRUE(fs::exists(t.file("some/docs/readme.txt")));
    EXPECT_FALSE(fs::exists(t.file("some/big.log")));
    r = kvpack("extract --quiet " + t.file("a.pck") + " -C " + t.file("none") + " *.exe");
    EXPECT_EQ(r.code, 1);

    r = kvpack("verify --quiet " + t.file("a.pck") + " --against " + t.file("src"));
    EXPECT_EQ(r.code, 0) << r.output;
}

// The marker's digits name the stub's size, where the records start; with --pck they read
// 00000000, the records go to the sibling .pck and the digest marker carries its SHA-256
// (zeros otherwise, whatever the stub held). The installer's locate agrees either way.
TEST(Kvpack, StubMarkerIsPatched) {
    temp_folder t;
    make_sources(t.file("src"));
    std::string stub_text = std::string("MZ stub image ") + std::string(300, 'x');
    stub_text += std::string(LZA_MARKER_PREFIX) + "0001C000";
    stub_text += '\0';
    stub_text += std::string(LZA_DIGEST_MARKER_PREFIX) + std::string(64, 'A');
    stub_text += '\0';
    stub_text += "tail of the image";
    write_text(t.file("stub.exe"), stub_text);
    const size_t marker_at = stub_text.find(LZA_MARKER_PREFIX);
    const size_t digest_at = stub_text.find(LZA_DIGEST_MARKER_PREFIX);

    for (int pck : {0, 1}) {
        SCOPED_TRACE(pck ? "--pck" : "appended");
        const std::string out = t.file(pck ? "p.exe" : "s.exe");
        command_result r = kvpack("pack --quiet --stub " + t.file("stub.exe") +
                                  (pck ? " --pck" : "") + " -o " + out + " " + t.file("src"));
        ASSERT_EQ(r.code, 0) << r.output;
        const bytes exe = read_file(out);
        char digits[9] = {0};
        memcpy(digits, &exe[marker_at + LZA_MARKER_PREFIX_LENGTH], 8);
        char expected[9];
        snprintf(expected, sizeof expected, "%08X", pck ? 0u : (unsigned)stub_text.size());
        EXPECT_STREQ(digits, expected);
        EXPECT_EQ(exe.size() > stub_text.size(), !pck);
        if (pck)
            EXPECT_EQ(header_at(read_file(t.file("p.pck")), 0).magic, (uint32_t)LZA_MAGIC);
        else
            EXPECT_EQ(header_at(exe, stub_text.size()).magic, (uint32_t)LZA_MAGIC);

        std::string digest(exe.begin() + (long)(digest_at + LZA_DIGEST_MARKER_PREFIX_LENGTH),
                           exe.begin() + (long)(digest_at + LZA_DIGEST_MARKER_PREFIX_LENGTH + 64));
        std::string expected_digest = pck ? sha256_hex(read_file(t.file("p.pck"))) : "";
        for (char &c : expected_digest) c = (char)toupper((unsigned char)c);
        EXPECT_EQ(digest, pck ? expected_digest : std::string(64, '0'));

        installer_state state = {};
        EXPECT_EQ(locate_archive_at(&state, out.c_str(), digits), 1);
        EXPECT_EQ(state.archive_offset, pck ? 0u : (uint32_t)stub_text.size());
        EXPECT_EQ(lza_check_archive_digest(&state, digest.c_str()), 1);
        release_archive_guard(&state);
        r = kvpack("verify --quiet " + out + " --against " + t.file("src"));
        EXPECT_EQ(r.code, 0) << r.output;
    }
}

// Every refusal exits 1 with one "kvpack: " line, and leaves no output behind.
TEST(Kvpack, PackRefusals) {
    temp_folder t;
    make_sources(t.file("src"));
    write_text(t.file("noscript/readme.txt"), "no script here");
    write_text(t.file("other/SETUP.TXT"), "a second script");
    write_text(t.file("nomarker.exe"), "MZ nothing to patch");
    write_text(t.file("twomarkers.exe"), std::string(LZA_MARKER_PREFIX) + "00000000" +
                                             std::string(1, '\0') + LZA_MARKER_PREFIX + "00000000" +
                                             std::string(1, '\0'));
    std::string deep = t.file("deep");
    for (int i = 0; i < 6; i++) deep += "/" + std::string(40, 'd');
    write_text(deep + "/setup.txt", "deep");

    struct refusal {
        const char *what;
        std::string args;
        const char *message;
    } cases[] = {
        {"no setup.txt", "--bare -o " + t.file("o.pck") + " " + t.file("noscript"), "setup.txt"},
        {"duplicate names",
         "--bare -o " + t.file("o.pck") + " " + t.file("src") + " " + t.file("other/SETUP.TXT"),
         "ignore case"},
        {"name too long", "--bare -o " + t.file("o.pck") + " " + t.file("deep"), "longer than"},
        {"missing source", "--bare -o " + t.file("o.pck") + " " + t.file("absent"), "not found"},
        {"no marker",
         "--stub " + t.file("nomarker.exe") + " -o " + t.file("o.exe") + " " + t.file("src"),
         "0 markers"},
        {"two markers",
         "--stub " + t.file("twomarkers.exe") + " -o " + t.file("o.exe") + " " + t.file("src"),
         "2 markers"},
        {"bare with pck", "--bare --pck -o " + t.file("o.exe") + " " + t.file("src"), "--bare"},
        {"no thread count", "--bare -o " + t.file("o.pck") + " " + t.file("src") + " -j", "-j"},
        {"zero threads", "--bare -j 0 -o " + t.file("o.pck") + " " + t.file("src"), "-j"},
        {"threads not a number", "--bare -j 2x -o " + t.file("o.pck") + " " + t.file("src"), "-j"},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        command_result r = kvpack("pack --quiet " + c.args);
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.output.rfind("kvpack: ", 0), 0u) << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
        EXPECT_FALSE(fs::exists(t.file("o.pck")) || fs::exists(t.file("o.exe")));
    }
}

// A member name that would leave the extract folder stops the extraction before anything is
// written.
TEST(Kvpack, ExtractRefusesEscapingNames) {
    const char *names[] = {
        "..\\evil.txt", "sub\\..\\..\\evil.txt", "\\evil.txt", "/evil.txt", "C:\\evil.txt",
        "c:evil.txt",   "sub/../../evil.txt",    ".."};
    for (const char *name : names) {
        SCOPED_TRACE(name);
        temp_folder t;
        bytes archive = make_record("fine.txt", 2, packed("ok"));
        bytes bad = make_record(name, 4, packed("evil"));
        archive.insert(archive.end(), bad.begin(), bad.end());
        write_file(t.file("a.pck"), archive);
        fs::create_directories(t.file("x/y"));
        command_result r = kvpack("extract --quiet " + t.file("a.pck") + " -C " + t.file("x/y"));
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.output.find("refused"), std::string::npos) << r.output;
        EXPECT_FALSE(fs::exists(t.file("x/evil.txt")) || fs::exists(t.file("evil.txt")));
        EXPECT_FALSE(fs::exists(t.file("x/y/fine.txt")));
    }
}

// A member that cannot be written whole (here the file size limit stops the write midway, as a
// full disk would) leaves the file that stood at its target as it was, and no temporary file.
TEST(Kvpack, ExtractFailingMidwayKeepsTheTarget) {
    temp_folder t;
    make_sources(t.file("src"));
    ASSERT_EQ(kvpack("pack --bare --quiet -o " + t.file("a.pck") + " " + t.file("src")).code, 0);
    write_text(t.file("out/big.log"), "what was there");
    command_result r =
        run_command("trap '' XFSZ; ulimit -f 8; " + std::string(KVPACK_PATH) + " extract --quiet " +
                    t.file("a.pck") + " -C " + t.file("out") + " big.log");
    EXPECT_EQ(r.code, 1) << r.output;
    EXPECT_NE(r.output.find("cannot be written (system error "), std::string::npos) << r.output;
    const bytes kept = read_file(t.file("out/big.log"));
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "what was there");
    for (const auto &entry : fs::directory_iterator(t.file("out")))
        EXPECT_NE(entry.path().filename().string()[0], '~') << entry.path();
}

// Damage of each kind is reported with exit 1; the sound archive passes.
TEST(Kvpack, VerifyFindsDamage) {
    temp_folder t;
    make_sources(t.file("src"));
    ASSERT_EQ(kvpack("pack --bare --quiet -o " + t.file("a.pck") + " " + t.file("src")).code, 0);
    const bytes sound = read_file(t.file("a.pck"));
    const lza_header first = header_at(sound, 0); // Setup.txt
    const size_t second = LZA_HEADER_SIZE + first.name_length + first.packed_size;
    const lza_header big = header_at(sound, second); // big.log
    const size_t big_data = second + LZA_HEADER_SIZE + big.name_length;

    struct damage {
        const char *what;
        size_t offset; // byte to change
        int64_t value; // new byte value; -1: cut the file there; -2: flip bits
    } cases[] = {
        {"second magic", second, 'X'},
        {"packed size too large", 12, (int64_t)(first.packed_size + 1) & 0xFF},
        {"name length beyond 255", 21, 0x01},
        {"file cut short", sound.size() - 10, -1},
        {"stray bytes at the end", sound.size(), 0},
        {"data byte of a member", big_data + big.packed_size / 2, -2},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        bytes broken = sound;
        if (c.value == -1)
            broken.resize(c.offset);
        else if (c.value == -2)
            broken[c.offset] ^= 0x5A;
        else if (c.offset == broken.size())
            broken.resize(broken.size() + 5, 0);
        else
            broken[c.offset] = (unsigned char)c.value;
        write_file(t.file("b.pck"), broken);
        command_result r =
            kvpack("verify --quiet " + t.file("b.pck") + " --against " + t.file("src"));
        EXPECT_EQ(r.code, 1) << r.output;
        EXPECT_NE(r.output.find("damaged"), std::string::npos) << r.output;
        // Without the sources too: a flipped data byte throws the decoder off its record's end.
        EXPECT_EQ(kvpack("verify --quiet " + t.file("b.pck")).code, 1);
    }
}

TEST(Kvpack, HelpAndUsageErrors) {
    for (const char *args :
         {"--help", "pack --help", "list --help", "extract --help", "verify --help"}) {
        SCOPED_TRACE(args);
        command_result r = kvpack(args);
        EXPECT_EQ(r.code, 0);
        EXPECT_NE(r.output.find("usage: kvpack"), std::string::npos);
    }
    for (const char *args : {"", "frobnicate", "list", "list /nonexistent/file.pck"}) {
        SCOPED_TRACE(args);
        command_result r = kvpack(args);
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.output.find("kvpack"), std::string::npos);
    }
}

// FILE that holds no archive, or whose marker leads nowhere: one "kvpack: " line, exit 1.
TEST(Kvpack, ListRefusesWhatHoldsNoArchive) {
    temp_folder t;
    const std::string marker = LZA_MARKER_PREFIX;
    write_text(t.file("plain.txt"), "just some text");
    write_text(t.file("nopck.exe"), "MZ" + marker + "00000000" + std::string(1, '\0'));
    write_text(t.file("beyond.exe"), "MZ" + marker + "00100000" + std::string(1, '\0'));
    write_text(t.file("wrong.exe"), "MZ" + marker + "00000002" + std::string(1, '\0') + "xx");
    struct listing {
        const char *file;
        const char *message;
    } cases[] = {
        {"plain.txt", "neither an archive nor an installer"},
        {"nopck.exe", "nopck.pck"},
        {"beyond.exe", "no LZA! record at offset 0x100000"},
        {"wrong.exe", "no LZA! record at offset 0x2"},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.file);
        command_result r = kvpack("list " + t.file(c.file));
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.output.rfind("kvpack: ", 0), 0u) << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
    }
}

// --pck names the records' file exactly as the installer will: the last '.' of the path, even
// one in a folder name when the file has no extension.
TEST(Kvpack, PckFileIsWhereTheInstallerLooks) {
    temp_folder t;
    make_sources(t.file("src"));
    write_text(t.file("stub.exe"),
               "MZ" + std::string(LZA_MARKER_PREFIX) + "00000000" + std::string(1, '\0'));
    fs::create_directories(t.file("out.v2"));
    struct pck_case {
        const char *output;
        const char *records;
    } cases[] = {
        {"out.v2/setup.exe", "out.v2/setup.pck"},
        {"out.v2/setup", "out.pck"},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.output);
        command_result r = kvpack("pack --quiet --pck --stub " + t.file("stub.exe") + " -o " +
                                  t.file(c.output) + " " + t.file("src"));
        ASSERT_EQ(r.code, 0) << r.output;
        EXPECT_TRUE(fs::exists(t.file(c.records)));
        EXPECT_EQ(kvpack("verify --quiet " + t.file(c.output)).code, 0);
    }
}
