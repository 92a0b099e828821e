// Hostile archives: each row an archive an attacker could ship, run through every reader of
// it: the record walk, the install as /S runs it, the extract dialog (/X), and kvpack list,
// verify, extract and simulate. Each row says what must be reported; every row checks that
// nothing appears outside the destination (or the -C folder), that the logs are still the
// installer's own, and that the sound members arrive whole, never written over by another.
#include "archive/lza_decode.h"
#include "archive/lza_encode.h"
#include "archive/lza_stream.h"
#include "archive/lza_walk.h"
#include "platform/posix/platform_posix_list.h"
#include "run_support.h"
#include "shell/extract.h"
#include "shell/unattended.h"
#include "state/text_utf8.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// A stored name as the logs and lists show it: in UTF-8, a Windows-1252 name converted.
std::string shown(const std::string &name) {
    char out[LZA_NAME_TEXT_CAPACITY];
    text_utf8_read(out, sizeof out, name.data(), name.size());
    return out;
}

const char SCRIPT[] = "default_dest_drive=C:\r\ndefault_dest_dir=\"Prog\"\r\n"
                      "steps\r\n{\r\nfoldersettings\r\nstartinstall\r\nfinished\r\n}\r\n"
                      "install_steps\r\n{\r\ncheckdiskspace=\"Ruimte\",\"Te weinig ruimte\"\r\n"
                      "copyfiles=\"Bestanden\",\"Kopieren mislukt\"\r\n}\r\n"
                      "copy_files\r\n{\r\n\"Alles\",*.*,[dest]\\*.*,overwrite_always\r\n}\r\n";

// Packed first in every archive, after setup.txt; each must arrive whole wherever it may.
const std::vector<packed_member> SOUND = {{"readme.txt", "first"}, {"sub\\b.txt", "bee"}};

struct built {
    bytes data;
    std::vector<size_t> offsets; // of each record
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

// Damage done to the record "v.txt" (3000 bytes of noise) that follows the sound members, with
// "after.txt" behind it.
enum damage_kind { INTACT, HUGE_CLAIM, NO_MAGIC, NAME_PAST_END, DATA_PAST_RECORD };

// Builds the row's archive; returns where the walk must meet damage, or -1.
int64_t damaged_archive(damage_kind kind, const std::vector<std::string> &refused, built *b) {
    std::vector<packed_member> members = SOUND;
    for (const std::string &name : refused)
        members.push_back({name, "evil!"}); // as long as "first": /X lists them after it
    if (kind != INTACT) members.insert(members.end(), {{"v.txt", noise(3000)}, {"after.txt", "a"}});
    *b = build(members);
    const size_t v = b->offsets[1 + SOUND.size()];
    switch (kind) {
    case INTACT:
        return -1;
    case HUGE_CLAIM: // 2 GiB from about 3 KB
        put32(b->data, v + 8, 0x80000000u);
        return (int64_t)v;
    case NO_MAGIC:
        b->data[v] = 'X';
        return (int64_t)v;
    case NAME_PAST_END:
        b->data[v + 20] = 255;
        return (int64_t)v;
    case DATA_PAST_RECORD: // the record claims half its data: the rest is no record
        put32(b->data, v + 12, (uint32_t)b->packed[1 + SOUND.size()].size() / 2);
        return (int64_t)(v + LZA_HEADER_SIZE + sizeof "v.txt" +
                         b->packed[1 + SOUND.size()].size() / 2);
    }
    return -1;
}

struct hostile_row {
    const char *what;
    std::vector<std::string> refused; // members the install refuses by name, list and verify flag
    damage_kind damage;
    bool logs_only; // the refusals are the logs' names: /X and extract take them
};

const hostile_row rows[] = {
    {"a sound archive", {}, INTACT, false},
    {"forward slashes climb out", {"a/b/../../../x.txt", "../../windows/x.txt"}, INTACT, false},
    {"parent parts", {"..\\x.txt", "sub\\..\\..\\x.txt", "...\\x.txt"}, INTACT, false},
    {"drives, roots and streams",
     {"C:\\x.txt", "c:x.txt", "\\x.txt", "/x.txt", "\\\\srv\\share\\x.txt", "readme.txt:evil",
      "x.txt::$DATA"},
     INTACT,
     false},
    {"devices, superscript and console ones included",
     {"CON", "nul.txt", "Aux .log", "Com1 . .txt", "COM\xB9.txt", "COM\xC2\xB2", "lpt\xB3.dat",
      "conin$", "CONOUT$.txt", "COM0", "lpt0.txt"},
     INTACT,
     false},
    {"names equal but for case, trailing dots and blanks",
     {"README.TXT", "readme.txt.", "readme.txt "},
     INTACT,
     false},
    {"the logs' own names", {"Uninstal.log", "INSERR.LOG.", "sub\\uninstal.log "}, INTACT, true},
    {"2 GiB declared from 3 KB", {}, HUGE_CLAIM, false},
    {"a middle record without its magic", {}, NO_MAGIC, false},
    {"a name running past the file", {}, NAME_PAST_END, false},
    {"packed data longer than its record says", {}, DATA_PAST_RECORD, false},
};

// The files below folder outside every allowed prefix, as paths relative to it.
std::vector<std::string> outside(const std::string &folder, std::vector<std::string> allowed) {
    std::vector<std::string> stray;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const std::string f = fs::relative(it->path(), folder).string();
        bool ok = !it->is_regular_file();
        for (const std::string &a : allowed) ok = ok || f.rfind(a, 0) == 0;
        if (!ok) stray.push_back(f);
    }
    return stray;
}

size_t count_of(const std::string &text, const std::string &what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

std::string file_text(const std::string &path) {
    const bytes b = read_file(path);
    return std::string(b.begin(), b.end());
}

command_result kvpack(const std::string &args) {
    return run_command(std::string(KVPACK_PATH) + " " + args);
}

struct hostile_archive : run_test, ::testing::WithParamInterface<size_t> {
    void TearDown() override {
        platform_list_reset();
        run_test::TearDown();
    }
};

TEST_P(hostile_archive, IsRefusedOrReportedAndWritesNothingOutside) {
    const hostile_row &row = rows[GetParam()];
    built b;
    const int64_t damage_at = damaged_archive(row.damage, row.refused, &b);
    const bool damaged = damage_at >= 0, refused = !row.refused.empty();
    write_file(root.path + "/setup.pck", b.data);

    // The walk: damage where the row put it, and only there.
    lza_stream *stream = lza_stream_open_memory(b.data.data(), b.data.size());
    lza_walk walk;
    lza_walk_start(&walk, stream, 0, (int64_t)b.data.size());
    lza_record record;
    while (lza_walk_next(&walk, &record) == 1) {
    }
    EXPECT_EQ(walk.damage_offset, damage_at);
    lza_stream_close(stream);

    // The install, unattended: refused by name, damage logged, the exit code says so.
    text_copy(g_state.archive_path, sizeof g_state.archive_path,
              (root.path + "/setup.pck").c_str());
    ASSERT_EQ(load_script_text(&g_state, SCRIPT, sizeof SCRIPT - 1), 1);
    install_request request = {};
    text_copy(request.dest, sizeof request.dest, "C:\\Prog");
    request.answers = INSTALL_NO_TO_ALL;
    request.unattended = 1;
    const int result = install_run(&g_state, &request, nullptr);
    EXPECT_EQ(unattended_exit_code(result, g_state.messages_logged), damaged || refused ? 1 : 0);
    const std::string log = errors();
    for (const std::string &name : row.refused)
        EXPECT_EQ(count_of(log, "Refused Member Name! (" + shown(name) + ")\r\n"), 1u)
            << name << log;
    EXPECT_EQ(count_of(log, "Archive Damaged: record at " + std::to_string(damage_at) + "\r\n"),
              damaged ? 1u : 0u)
        << log;
    EXPECT_EQ(outside(root.path, {"setup.pck", "c/Prog/"}), std::vector<std::string>{});
    EXPECT_EQ(read_text("C:\\Prog\\Uninstal.log").rfind("UninstallLog created: ", 0), 0u);
    EXPECT_EQ(read_text("C:\\Prog\\InsErr.log").rfind("ErrorLog created: ", 0), 0u);
    if (!damaged) {
        EXPECT_EQ(read_text("C:\\Prog\\readme.txt"), "first");
        EXPECT_EQ(read_text("C:\\Prog\\b.txt"), "bee");
    }
    release_member_table(&g_state);

    // /X: the damage told, each refused name named, nothing written over an earlier member.
    messages.clear();
    const int listed = extract_fill_list(nullptr);
    ASSERT_EQ(messages.size(), damaged ? 1u : 0u);
    EXPECT_EQ(damaged ? messages[0].text : "",
              damaged ? "Het archief is beschadigd: niet alle bestanden konden worden getoond."
                      : "");
    for (int i = 0; i < listed; i++) platform_list_select(nullptr, IDC_MEMBER_LIST, i, 1);
    messages.clear();
    extract_session session;
    extract_session_start(&session);
    EXPECT_EQ(extract_unpack(nullptr, &session, "C:\\Out"), !refused || row.logs_only);
    const std::string failures = messages.empty() ? "" : messages[0].text;
    for (const std::string &name : row.refused)
        EXPECT_EQ(count_of(failures, "\n" + shown(name) + ": "), row.logs_only ? 0u : 1u) << name;
    EXPECT_EQ(outside(root.path, {"setup.pck", "c/Prog/", "c/Out/"}), std::vector<std::string>{});
    EXPECT_EQ(read_text("C:\\Out\\readme.txt"), "first");
    EXPECT_EQ(read_text("C:\\Out\\sub\\b.txt"), "bee");

    // kvpack: list flags, verify refuses, extract writes all or nothing, and only below -C;
    // simulate (the install's own copy step) logs as the install does.
    temp_folder t;
    const std::string file = t.file("hostile.pck");
    write_file(file, b.data);
    command_result r = kvpack("list " + file);
    EXPECT_EQ(r.code, damaged ? 1 : 0) << r.output;
    EXPECT_EQ(count_of(r.output, "the installer refuses it"), row.refused.size()) << r.output;
    char where[40];
    snprintf(where, sizeof where, "record at 0x%llX", (unsigned long long)damage_at);
    EXPECT_EQ(r.output.find(where) != std::string::npos, damaged) << r.output;
    EXPECT_EQ(kvpack("verify --quiet " + file).code, damaged || refused ? 1 : 0);
    r = kvpack("extract --quiet " + file + " -C " + t.file("out"));
    const bool extract_refuses = damaged || (refused && !row.logs_only);
    EXPECT_EQ(r.code, extract_refuses ? 1 : 0) << r.output;
    EXPECT_EQ(fs::exists(t.file("out")), !extract_refuses);
    EXPECT_EQ(file_text(t.file("out/readme.txt")), extract_refuses ? "" : "first");
    kvpack("simulate " + file + " --root " + t.file("sim"));
    const std::string sim_log = file_text(t.file("sim/c/Prog/InsErr.log"));
    for (const std::string &name : row.refused)
        EXPECT_EQ(count_of(sim_log, "Refused Member Name! (" + shown(name) + ")"), 1u) << name;
    EXPECT_EQ(count_of(sim_log, "Archive Damaged: record at "), damaged ? 1u : 0u) << sim_log;
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
// up to seven zero bytes that align it to 8 (entries: length, revision, type, each aligned).
// Anything else is damage where it begins. The tails assume records ending off an 8-byte
// boundary, which the assertion checks.
TEST(hostile_walk, OnlyASignaturesTableMayFollowTheRecords) {
    const bytes records = build(SOUND).data;
    const size_t pad = (8 - records.size() % 8) % 8;
    ASSERT_GT(pad, 0u);
    auto table = [&](size_t zeros, std::vector<std::pair<uint32_t, uint32_t>> entries) {
        bytes t(zeros, 0); // each entry: its length and its revision, type 2 (PKCS#7)
        for (auto &e : entries) {
            bytes entry(e.first < 8 ? 8 : e.first > 64 ? 64 : e.first, 'c'); // 64 at most there
            put32(entry, 0, e.first);
            put32(entry, 4, e.second | 2u << 16);
            t.insert(t.end(), entry.begin(), entry.end());
        }
        return t;
    };
    const struct {
        const char *what;
        bytes tail;
        lza_damage damage; // LZA_DAMAGE_NONE: the end of the archive
    } cases[] = {
        {"nothing", {}, LZA_DAMAGE_NONE},
        {"padding and a table", table(pad, {{40, 0x200}}), LZA_DAMAGE_NONE},
        {"two entries, the last unaligned", table(pad, {{16, 0x100}, {13, 0x200}}),
         LZA_DAMAGE_NONE},
        {"padding without a table", table(pad, {}), LZA_DAMAGE_NO_RECORD},
        {"a table without its padding", table(0, {{40, 0x200}}), LZA_DAMAGE_NO_RECORD},
        {"an unknown revision", table(pad, {{40, 0x300}}), LZA_DAMAGE_NO_RECORD},
        {"a table longer than the file", table(pad, {{4000, 0x200}}), LZA_DAMAGE_NO_RECORD},
        {"bytes behind the table", table(pad, {{40, 0x200}, {0, 0}}), LZA_DAMAGE_NO_RECORD},
        {"a header cut short", {'L', 'Z', 'A', '!', 1, 0, 1, 0}, LZA_DAMAGE_SHORT},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        bytes file = records;
        file.insert(file.end(), c.tail.begin(), c.tail.end());
        lza_stream *stream = lza_stream_open_memory(file.data(), file.size());
        lza_walk walk;
        lza_walk_start(&walk, stream, 0, (int64_t)file.size());
        lza_record record;
        int seen = 0, found;
        while ((found = lza_walk_next(&walk, &record)) == 1) seen++;
        EXPECT_EQ(seen, 3);
        EXPECT_EQ(found, c.damage == LZA_DAMAGE_NONE ? 0 : -1);
        EXPECT_EQ(walk.damage, c.damage);
        EXPECT_EQ(walk.damage_offset, found < 0 ? (int64_t)records.size() : -1);
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
    put32(b.data, b.offsets[1] + 12, cut);
    const bytes alone = make_record("long.txt", 20000, bytes(packed.begin(), packed.begin() + cut));
    auto decode = [](const bytes &file, size_t offset, int64_t *gap) {
        lza_stream *s = lza_stream_open_memory(file.data(), file.size());
        lza_reader *r = lza_open(s, (int64_t)offset);
        bytes out(20000);
        out.resize(r ? lza_read(out.data(), 1, out.size(), r) : 0);
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
