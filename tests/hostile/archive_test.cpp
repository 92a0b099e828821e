// Hostile archives: each row an archive an attacker could ship, run through every reader of
// it: the record walk, the install as /S runs it, the extract dialog (/X), and kvpack list,
// verify, extract and simulate. Each row says what must be reported; every row checks that
// nothing appears outside the destination (or the -C folder), that the logs are still the
// installer's own, and that a refused member replaced nothing.
#include "archive/lza_decode.h"
#include "archive/lza_encode.h"
#include "archive/lza_stream.h"
#include "archive/lza_walk.h"
#include "platform/posix/platform_posix_list.h"
#include "run_support.h"
#include "shell/extract.h"
#include "shell/unattended.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

const char SCRIPT[] =
    "windowtitle=\"Vijand\"\r\ndefault_dest_drive=C:\r\n"
    "default_dest_dir=\"Prog\"\r\nsteps\r\n{\r\nfoldersettings\r\nstartinstall\r\n"
    "finished\r\n}\r\n"
    "install_steps\r\n{\r\ncheckdiskspace=\"Ruimte\",\"Te weinig ruimte\"\r\n"
    "copyfiles=\"Bestanden\",\"Kopieren mislukt\"\r\n}\r\n"
    "copy_files\r\n{\r\n\"Alles\",*.*,[dest]\\*.*,overwrite_always\r\n}\r\n";

struct built {
    bytes data;
    std::vector<size_t> offsets; // of each record; setup.txt's is 0
    std::vector<bytes> packed;   // each record's packed data
};

// setup.txt, then the members in order, each packed by our encoder.
built build(const std::vector<packed_member> &members) {
    built b;
    std::vector<packed_member> all = {{"setup.txt", SCRIPT}};
    all.insert(all.end(), members.begin(), members.end());
    for (const packed_member &m : all) {
        lza_byte_buffer out = {};
        if (!m.content.empty()) lza_encode_memory(m.content.data(), m.content.size(), &out);
        b.packed.emplace_back(out.data, out.data + out.size);
        lza_byte_buffer_free(&out);
        b.offsets.push_back(b.data.size());
        bytes record = make_record(m.name, (uint32_t)m.content.size(), b.packed.back());
        b.data.insert(b.data.end(), record.begin(), record.end());
    }
    return b;
}

void put32(bytes &data, size_t at, uint32_t value) {
    for (int i = 0; i < 4; i++) data[at + i] = (unsigned char)(value >> (8 * i));
}

std::string noise(size_t size) {
    std::string text;
    for (uint32_t x = 7; text.size() < size;) {
        x = x * 1103515245u + 12345u;
        text += (char)(' ' + (x >> 16) % 95);
    }
    return text;
}

struct hostile_row {
    const char *what;
    std::vector<packed_member> members;
    // Damages the built archive; returns where the walk must meet the damage, or -1.
    std::function<int64_t(built &)> damage;
    std::vector<std::string> refused; // names the install refuses, and list and verify flag
    bool logs_only;                   // the refusals are the logs' names: /X and extract take them
    std::string first;                // what readme.txt must hold after each unpack, if set
};

int64_t no_damage(built &) {
    return -1;
}

const hostile_row rows[] = {
    {"a sound archive",
     {{"readme.txt", "first"}, {"sub\\b.txt", "bee"}},
     no_damage,
     {},
     false,
     "first"},
    {"forward slashes climb out",
     {{"a/b/../../../x.txt", "evil"}, {"../../windows/x.txt", "evil"}},
     no_damage,
     {"a/b/../../../x.txt", "../../windows/x.txt"},
     false,
     ""},
    {"parent parts",
     {{"..\\x.txt", "evil"}, {"sub\\..\\..\\x.txt", "evil"}, {"...\\x.txt", "e"}},
     no_damage,
     {"..\\x.txt", "sub\\..\\..\\x.txt", "...\\x.txt"},
     false,
     ""},
    {"drives",
     {{"C:\\x.txt", "evil"}, {"c:x.txt", "evil"}},
     no_damage,
     {"C:\\x.txt", "c:x.txt"},
     false,
     ""},
    {"roots",
     {{"\\x.txt", "evil"}, {"/x.txt", "evil"}, {"\\\\srv\\share\\x.txt", "evil"}},
     no_damage,
     {"\\x.txt", "/x.txt", "\\\\srv\\share\\x.txt"},
     false,
     ""},
    {"streams",
     {{"readme.txt:evil", "evil"}, {"x.txt::$DATA", "evil"}},
     no_damage,
     {"readme.txt:evil", "x.txt::$DATA"},
     false,
     ""},
    {"devices, superscript and console ones included",
     {{"CON", "e"},
      {"nul.txt", "e"},
      {"Aux .log", "e"},
      {"Com1 . .txt", "e"},
      {"COM\xB9.txt", "e"},
      {"COM\xC2\xB2", "e"},
      {"lpt\xB3.dat", "e"},
      {"conin$", "e"},
      {"CONOUT$.txt", "e"}},
     no_damage,
     {"CON", "nul.txt", "Aux .log", "Com1 . .txt", "COM\xB9.txt", "COM\xC2\xB2", "lpt\xB3.dat",
      "conin$", "CONOUT$.txt"},
     false,
     ""},
    {"names equal but for case",
     {{"readme.txt", "first"}, {"README.TXT", "later"}},
     no_damage,
     {"README.TXT"},
     false,
     "first"},
    {"names equal but for trailing dots and blanks",
     {{"readme.txt", "first"}, {"readme.txt.", "later"}, {"readme.txt ", "later"}},
     no_damage,
     {"readme.txt.", "readme.txt "},
     false,
     "first"},
    {"the logs' own names",
     {{"Uninstal.log", "[FILE]\r\nC:\\Windows\\win.ini\r\n"},
      {"INSERR.LOG.", "e"},
      {"sub\\uninstal.log ", "e"}},
     no_damage,
     {"Uninstal.log", "INSERR.LOG.", "sub\\uninstal.log "},
     true,
     ""},
    {"2 GiB declared from 3 KB",
     {{"readme.txt", "first"}, {"big.bin", noise(3000)}, {"after.txt", "after"}},
     [](built &b) {
         put32(b.data, b.offsets[2] + 8, 0x80000000u);
         return (int64_t)b.offsets[2];
     },
     {},
     false,
     ""},
    {"a middle record without its magic",
     {{"readme.txt", "first"}, {"b.txt", "bee"}, {"c.txt", "sea"}},
     [](built &b) {
         b.data[b.offsets[2]] = 'X';
         return (int64_t)b.offsets[2];
     },
     {},
     false,
     ""},
    {"a name running past the file",
     {{"readme.txt", "first"}, {"z.txt", "zed"}},
     [](built &b) {
         b.data[b.offsets[2] + 20] = 255;
         return (int64_t)b.offsets[2];
     },
     {},
     false,
     ""},
    {"packed data longer than its record says",
     {{"readme.txt", "first"}, {"long.txt", noise(20000)}, {"after.txt", "after"}},
     [](built &b) {
         const uint32_t half = (uint32_t)b.packed[2].size() / 2;
         put32(b.data, b.offsets[2] + 12, half);
         return (int64_t)(b.offsets[2] + LZA_HEADER_SIZE + sizeof "long.txt" + half);
     },
     {},
     false,
     ""},
};

// Every regular file below folder, as paths relative to it.
std::vector<std::string> files_below(const std::string &folder) {
    std::vector<std::string> found;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->is_regular_file()) found.push_back(fs::relative(it->path(), folder).string());
    return found;
}

// The files below folder that lie outside every allowed prefix.
std::vector<std::string> outside(const std::string &folder, std::vector<std::string> allowed) {
    std::vector<std::string> stray;
    for (const std::string &f : files_below(folder)) {
        bool ok = false;
        for (const std::string &a : allowed) ok = ok || f.rfind(a, 0) == 0;
        if (!ok) stray.push_back(f);
    }
    return stray;
}

command_result kvpack(const std::string &args) {
    return run_command(std::string(KVPACK_PATH) + " " + args);
}

size_t count_of(const std::string &text, const std::string &what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

struct hostile_archive : run_test, ::testing::WithParamInterface<size_t> {
    void TearDown() override {
        platform_list_reset();
        run_test::TearDown();
    }
};

TEST_P(hostile_archive, IsRefusedOrReportedAndWritesNothingOutside) {
    const hostile_row &row = rows[GetParam()];
    built b = build(row.members);
    const int64_t damage_at = row.damage(b);
    const bool damaged = damage_at >= 0;
    const bool refused = !row.refused.empty();
    write_file(root.path + "/setup.pck", b.data);

    // The walk: damage where the row put it, and only there.
    lza_stream *stream = lza_stream_open_memory(b.data.data(), b.data.size());
    lza_walk walk;
    lza_walk_start(&walk, stream, 0, (int64_t)b.data.size());
    lza_record record;
    int records = 0, found;
    while ((found = lza_walk_next(&walk, &record)) == 1) records++;
    EXPECT_EQ(found, damaged ? -1 : 0);
    EXPECT_EQ(walk.damage_offset, damage_at);
    if (!damaged) {
        EXPECT_EQ(records, (int)b.offsets.size());
    }
    lza_stream_close(stream);

    // The install, unattended: refused by name, damage logged, the exit code says so.
    text_copy(g_state.archive_path, sizeof g_state.archive_path,
              (root.path + "/setup.pck").c_str());
    ASSERT_EQ(load_script_text(&g_state, SCRIPT, sizeof SCRIPT - 1), 1);
    platform_ui_type(IDC_FOLDER_EDIT, "C:\\Prog");
    g_state.unattended = 1;
    const int result = run();
    const int exit_code = unattended_exit_code(result, g_state.messages_logged);
    EXPECT_EQ(exit_code, damaged || refused ? 1 : 0);
    const std::string log = errors();
    for (const std::string &name : row.refused)
        EXPECT_EQ(count_of(log, "Refused Member Name! (" + name + ")\r\n"), 1u) << name << log;
    if (damaged) {
        EXPECT_NE(log.find("Archive Damaged: record at " + std::to_string(damage_at) + "\r\n"),
                  std::string::npos)
            << log;
    }
    EXPECT_EQ(outside(root.path, {"setup.pck", "c/Prog/"}), std::vector<std::string>{});
    EXPECT_EQ(read_text("C:\\Prog\\Uninstal.log").rfind("UninstallLog created: ", 0), 0u);
    EXPECT_EQ(read_text("C:\\Prog\\InsErr.log").rfind("ErrorLog created: ", 0), 0u);
    if (!row.first.empty()) {
        EXPECT_EQ(read_text("C:\\Prog\\readme.txt"), row.first);
    }
    release_member_table(&g_state);
    g_state.unattended = 0;

    // /X: the damage told, each refused name named, nothing written over an earlier member.
    messages.clear();
    const int listed = extract_fill_list(nullptr);
    EXPECT_EQ(messages.size(), damaged ? 1u : 0u);
    if (damaged && !messages.empty()) {
        EXPECT_EQ(messages[0].text, EXTRACT_TEXT_DAMAGED);
    }
    for (int i = 0; i < listed; i++) platform_list_select(nullptr, IDC_MEMBER_LIST, i, 1);
    messages.clear();
    const int unpacked = extract_unpack(nullptr, "C:\\Out");
    EXPECT_EQ(unpacked, !refused || row.logs_only);
    const std::string failures = messages.empty() ? "" : messages[0].text;
    for (const std::string &name : row.refused) {
        if (!row.logs_only) {
            EXPECT_NE(failures.find("\n" + name + ": "), std::string::npos) << name << failures;
        }
    }
    EXPECT_EQ(outside(root.path, {"setup.pck", "c/Prog/", "c/Out/"}), std::vector<std::string>{});
    if (!row.first.empty()) {
        EXPECT_EQ(read_text("C:\\Out\\readme.txt"), row.first);
    }

    // kvpack: list flags, verify refuses, extract writes all or nothing, and only below -C.
    temp_folder t;
    const std::string file = t.file("hostile.pck");
    write_file(file, b.data);
    command_result r = kvpack("list " + file);
    EXPECT_EQ(r.code, damaged ? 1 : 0) << r.output;
    EXPECT_EQ(count_of(r.output, "the installer refuses it"), row.refused.size()) << r.output;
    char where[40];
    snprintf(where, sizeof where, "record at 0x%llX", (unsigned long long)damage_at);
    if (damaged) {
        EXPECT_NE(r.output.find(where), std::string::npos) << r.output;
    }
    r = kvpack("verify --quiet " + file);
    EXPECT_EQ(r.code, damaged || refused ? 1 : 0) << r.output;
    r = kvpack("extract --quiet " + file + " -C " + t.file("out"));
    const bool extract_refuses = damaged || (refused && !row.logs_only);
    EXPECT_EQ(r.code, extract_refuses ? 1 : 0) << r.output;
    if (extract_refuses) {
        EXPECT_FALSE(fs::exists(t.file("out/setup.txt")));
    } else if (!row.first.empty()) {
        EXPECT_EQ(read_file(t.file("out/readme.txt")), bytes(row.first.begin(), row.first.end()));
    }
    r = kvpack("simulate " + file + " --root " + t.file("sim"));
    const std::string sim_log = [&] {
        bytes text = read_file(t.file("sim/c/Prog/InsErr.log"));
        return std::string(text.begin(), text.end());
    }();
    for (const std::string &name : row.refused) {
        EXPECT_EQ(count_of(sim_log, "Refused Member Name! (" + name + ")"), 1u) << name << sim_log;
    }
    if (damaged) {
        EXPECT_NE(sim_log.find("Archive Damaged: record at "), std::string::npos) << sim_log;
    }
    EXPECT_EQ(outside(t.path, {"hostile.pck", "out/", "sim/c/Prog/", "sim/registry.reg"}),
              std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(rows, hostile_archive,
                         ::testing::Range((size_t)0, sizeof rows / sizeof rows[0]),
                         [](const ::testing::TestParamInfo<size_t> &info) {
                             std::string name;
                             for (const char *p = rows[info.param].what; *p; p++)
                                 name += isalnum((unsigned char)*p) ? *p : '_';
                             return name;
                         });

// What may follow the last record: nothing, or a signed installer's certificate table behind
// up to seven zero bytes that align it to 8. Anything else is damage where it begins.
TEST(hostile_walk, OnlyASignaturesTableMayFollowTheRecords) {
    const bytes records = build({{"readme.txt", "first"}}).data;
    auto entry = [](uint32_t length, uint16_t revision, uint16_t type) {
        bytes e(length < 8 ? 8 : length, 'c');
        put32(e, 0, length);
        e[4] = (unsigned char)revision, e[5] = (unsigned char)(revision >> 8);
        e[6] = (unsigned char)type, e[7] = (unsigned char)(type >> 8);
        return e;
    };
    const size_t pad = (8 - records.size() % 8) % 8;
    ASSERT_GT(pad, 0u); // the rows below need the records to end off an 8-byte boundary
    struct trailer_case {
        const char *what;
        bytes tail;
        int result; // of the walk's end: 0 the end, -1 damage
        lza_damage damage;
    } cases[] = {
        {"nothing", {}, 0, LZA_DAMAGE_NONE},
        {"padding and a PKCS#7 table",
         [&] {
             bytes t(pad, 0), e = entry(40, 0x0200, 2);
             t.insert(t.end(), e.begin(), e.end());
             return t;
         }(),
         0, LZA_DAMAGE_NONE},
        {"two entries, the last unaligned",
         [&] {
             bytes t(pad, 0), e = entry(16, 0x0100, 1), f = entry(13, 0x0200, 2);
             t.insert(t.end(), e.begin(), e.end());
             t.insert(t.end(), f.begin(), f.end());
             return t;
         }(),
         0, LZA_DAMAGE_NONE},
        {"padding without a table", bytes(pad, 0), -1, LZA_DAMAGE_NO_RECORD},
        {"a table without its padding", entry(40, 0x0200, 2), -1, LZA_DAMAGE_NO_RECORD},
        {"a table that claims more than the file",
         [&] {
             bytes t(pad, 0), e = entry(40, 0x0200, 2);
             put32(e, 0, 41);
             t.insert(t.end(), e.begin(), e.end());
             return t;
         }(),
         -1, LZA_DAMAGE_NO_RECORD},
        {"bytes behind the table",
         [&] {
             bytes t(pad, 0), e = entry(40, 0x0200, 2);
             t.insert(t.end(), e.begin(), e.end());
             t.resize(t.size() + 8, 'x');
             return t;
         }(),
         -1, LZA_DAMAGE_NO_RECORD},
        {"an unknown revision",
         [&] {
             bytes t(pad, 0), e = entry(40, 0x0300, 2);
             t.insert(t.end(), e.begin(), e.end());
             return t;
         }(),
         -1, LZA_DAMAGE_NO_RECORD},
        {"a header cut short", {'L', 'Z', 'A', '!', 1, 0, 1, 0}, -1, LZA_DAMAGE_SHORT},
    };
    for (const trailer_case &c : cases) {
        SCOPED_TRACE(c.what);
        bytes file = records;
        file.insert(file.end(), c.tail.begin(), c.tail.end());
        lza_stream *stream = lza_stream_open_memory(file.data(), file.size());
        lza_walk walk;
        lza_walk_start(&walk, stream, 0, (int64_t)file.size());
        lza_record record;
        int records_seen = 0, found;
        while ((found = lza_walk_next(&walk, &record)) == 1) records_seen++;
        EXPECT_EQ(records_seen, 2);
        EXPECT_EQ(found, c.result);
        EXPECT_EQ(walk.damage, c.damage);
        EXPECT_EQ(walk.damage_offset, c.result < 0 ? (int64_t)records.size() : -1);
        lza_stream_close(stream);
    }
}

// A record's decoder never reads the bytes behind its record: a member whose packed_size is
// cut decodes exactly as when its record ends the file, whatever follows it, and it says how
// far beyond its data it went.
TEST(hostile_decoder, NeverReadsPastItsRecord) {
    built b = build({{"long.txt", noise(20000)}, {"after.txt", noise(5000)}});
    const bytes &packed = b.packed[1];
    const uint32_t cut = (uint32_t)packed.size() / 2;
    const bytes alone = make_record("long.txt", 20000, bytes(packed.begin(), packed.begin() + cut));
    put32(b.data, b.offsets[1] + 12, cut);
    auto decode = [](const bytes &file, size_t offset, int64_t *gap) {
        lza_stream *s = lza_stream_open_memory(file.data(), file.size());
        lza_reader *r = lza_open(s, (int64_t)offset);
        bytes out(20000);
        const size_t got = r ? lza_read(out.data(), 1, out.size(), r) : 0;
        out.resize(got);
        *gap = lza_read_gap(r);
        lza_close(r);
        lza_stream_close(s);
        return out;
    };
    int64_t gap_inside = 0, gap_alone = 0;
    const bytes inside = decode(b.data, b.offsets[1], &gap_inside);
    EXPECT_EQ(inside.size(), 20000u);
    EXPECT_TRUE(inside == decode(alone, 0, &gap_alone));
    EXPECT_EQ(gap_inside, gap_alone);
    EXPECT_GT(gap_inside, 16);
}

} // namespace
