// Installs over earlier installs: one log across them, the product's own files replaced under
// /S and the user's kept, EstimatedSize from the finished log, and a forged earlier log that
// hands the new log nothing it may not carry.
#include "archive/lza_sha256.h"
#include "engine/uninstall.h"
#include "engine/uninstall_entry.h"
#include "platform/platform_registry.h"
#include "run_support.h"
#include "shell/unattended.h"

#include <map>
#include <regex>

namespace {

const std::string DEST = "C:\\Prog";
const std::string PROGRAMS = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
const std::string ENTRY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Prog";

// The product: its text files asked about, its data never replaced, its uninstaller always; a
// file type, a Start-menu link and an entry in the list of installed programs.
std::string product_script(const std::string &version, const std::string &text_mode) {
    return "steps\n{\nshowwelcome\nstartinstall\n}\n"
           "programgroupyesno=\"Menu\",true\n"
           "install_steps\n{\n"
           "checkdiskspace=\"Ruimte\",\"Te weinig\"\n"
           "copyfiles=\"Bestanden\",\"Kopieren mislukt\"\n"
           "registry=\"Register\",\"Mislukt\"\n"
           "startmenu=\"Menu\",\"Mislukt\"\n}\n"
           "copy_files\n{\n"
           "\"Teksten\",[source]*.txt,[dest]\\*.*," +
           text_mode +
           "\n"
           "\"Data\",[source]big.dat,[dest]\\*.*,overwrite_never\n"
           "\"Verwijderprogramma\",[source]kvuninst.exe,[dest]\\*.*,overwrite_always\n}\n"
           "reg_associate\n{\n\"Prog.Doc\",\".pgd\",\"Document\",\"[dest]\\kvuninst.exe\",0,"
           "\"\\\"[dest]\\kvuninst.exe\\\" \\\"%1\\\"\",\"\",\"\"\n}\n"
           "program_group\n{\n\"Prog\",\"Prog.lnk\",\"[dest]\\a.txt\",\"[dest]\",\"\",0,\"\"\n}\n"
           "uninstall=\"Prog\",\"[dest]\\kvuninst.exe\",\"Korvex\",\"" +
           version + "\"\n";
}

std::string record(const std::string &kind, const std::string &text) {
    return kind + "\r\n" + text + "\r\n";
}

std::string earlier_header(const std::string &folder = DEST) {
    return "UninstallLog created: 01-12-2026 10:00:00.0000\r\n[DEFFOLDER]\r\n" + folder + "\r\n";
}

struct upgrade_test : run_test {
    void SetUp() override {
        run_test::SetUp();
        platform_posix_elevated = 1; // as setup.exe runs: machine-wide
    }
    void TearDown() override {
        platform_posix_elevated = 0;
        run_test::TearDown();
    }
    // Writes text to the file at path, making its folder first.
    void put(const std::string &path, const std::string &text) {
        make_native_folder(path.substr(0, path.rfind('\\')));
        write_text(path, text);
    }
    // setup.exe command_line (/S ...) with members and script packed as its archive.
    int install(const std::string &command_line, std::vector<packed_member> members,
                const std::string &script) {
        members.push_back({"setup.txt", script});
        std::string archive = root.path + "/setup.pck";
        write_file(archive, pack_members(members));
        text_copy(g_state.archive_path, sizeof g_state.archive_path, archive.c_str());
        g_state.archive_offset = 0;
        unattended_command command;
        parse_unattended_command((command_line + " /D=" + DEST).c_str(), &command);
        return unattended_install_located(&g_state, &command);
    }
    // The uninstaller as kvuninst.exe /S runs it over DEST; its exit code.
    int uninstall() {
        uninstall_plan plan = {};
        uninstall_places places = {};
        uninstall_find_places(&places);
        char message[UNINSTALL_MESSAGE_CAPACITY];
        int code = UNINSTALL_EXIT_BAD_LOG;
        if (uninstall_read(&plan, DEST.c_str(), &places, nullptr, message, sizeof message)) {
            text_copy(plan.self_path, sizeof plan.self_path, (DEST + "\\kvuninst.exe").c_str());
            if (uninstall_check_log(&plan, message, sizeof message))
                code = uninstall_perform(&plan, nullptr, nullptr);
        }
        uninstall_release(&plan);
        return code;
    }
    // The product's entry under HKEY_LOCAL_MACHINE, naming the uninstaller, sealed with the
    // digest of text (none when empty).
    void make_entry(const std::string &sealed_text) {
        platform_key *key = nullptr;
        ASSERT_EQ(platform_reg_create(platform_reg_root(PLATFORM_HKEY_LOCAL_MACHINE), ENTRY.c_str(),
                                      &key),
                  0u);
        platform_reg_set_text(key, "UninstallString", ("\"" + DEST + "\\kvuninst.exe\"").c_str());
        if (!sealed_text.empty()) {
            lza_sha256 sha;
            unsigned char digest[32];
            char hex[UNINSTALL_DIGEST_TEXT_CAPACITY];
            lza_sha256_start(&sha);
            lza_sha256_add(&sha, sealed_text.data(), sealed_text.size());
            lza_sha256_finish(&sha, digest);
            uninstall_digest_text(digest, hex);
            platform_reg_set_text(key, UNINSTALL_DIGEST_VALUE, hex);
        }
        platform_reg_close(key);
    }
    // Each kind / text pair of the log and how often it stands there.
    std::map<std::string, int> pairs() {
        std::map<std::string, int> found;
        std::string text = records();
        for (size_t at = 0; at < text.size();) {
            size_t mid = text.find("\r\n", at), end = text.find("\r\n", mid + 2);
            if (mid == std::string::npos || end == std::string::npos) break;
            found[text.substr(at, end - at)]++;
            at = end + 2;
        }
        return found;
    }
};

std::vector<packed_member> version(int v) {
    std::vector<packed_member> m = {
        {"a.txt", std::string(3000 + 100 * v, (char)('a' + v))},
        {"b.txt", "bravo " + std::to_string(v)},
        {"big.dat", std::string(5000, (char)('0' + v))},
        {"kvuninst.exe", "MZ uninstaller " + std::to_string(v)},
    };
    if (v == 1) m.push_back({"old.txt", "only version 1 has me"});
    if (v == 2) m.push_back({"c.txt", "charlie, new in version 2"});
    return m;
}

// Version 1, the user's own files, version 2 over it with /S, the uninstaller: version 2's
// files replaced version 1's, the user's stayed, one log named both versions once each, and
// nothing of either is left but what the user put there.
TEST_F(upgrade_test, TwoVersionsOneLogOneUninstall) {
    ASSERT_EQ(install("/S", version(1), product_script("1.0", "overwrite_ask")), UNATTENDED_OK)
        << read_text(DEST + "\\InsErr.log");
    write_text(DEST + "\\notes.txt", "the user's notes");
    write_text(DEST + "\\c.txt", "the user's c.txt, there before version 2 brought one");
    ASSERT_EQ(install("/S", version(2), product_script("2.0", "overwrite_ask")), UNATTENDED_OK)
        << read_text(DEST + "\\InsErr.log");

    EXPECT_EQ(read_text(DEST + "\\a.txt"), version(2)[0].content) << "the product's: replaced";
    EXPECT_EQ(read_text(DEST + "\\b.txt"), "bravo 2");
    EXPECT_EQ(read_text(DEST + "\\big.dat"), version(1)[2].content) << "overwrite_never";
    EXPECT_EQ(read_text(DEST + "\\c.txt"), "the user's c.txt, there before version 2 brought one");
    EXPECT_EQ(errors(DEST), "Kept Existing File! (" + DEST + "\\c.txt)\r\n");
    std::map<std::string, int> named = pairs();
    for (const auto &p : named) EXPECT_EQ(p.second, 1) << p.first;
    for (const char *file : {"a.txt", "b.txt", "big.dat", "kvuninst.exe", "old.txt"})
        EXPECT_EQ(named.count("[FILE]\r\n" + DEST + "\\" + file), 1u) << file;
    EXPECT_EQ(named.count("[FILE]\r\n" + DEST + "\\c.txt"), 0u) << "the user's";
    EXPECT_EQ(named.count("[FILE]\r\n" + PROGRAMS + "\\Prog\\Prog.lnk"), 1u);

    // EstimatedSize: every file the log names, big.dat that version 2 did not copy included.
    uintmax_t bytes = 0;
    for (const auto &p : named)
        if (p.first.rfind("[FILE]\r\n", 0) == 0) bytes += read_text(p.first.substr(8)).size();
    char registry[65536];
    platform_posix_registry_text(registry, sizeof registry);
    std::smatch size;
    std::string text = registry;
    ASSERT_TRUE(std::regex_search(text, size, std::regex("\"EstimatedSize\"=dword:([0-9a-f]+)")));
    EXPECT_EQ(std::stoul(size[1], nullptr, 16), (bytes + 1023) / 1024);
    EXPECT_GT(bytes, 8000u);

    EXPECT_EQ(uninstall(), UNINSTALL_EXIT_INCOMPLETE) << "the user's files keep the folder";
    for (const char *file :
         {"a.txt", "b.txt", "big.dat", "kvuninst.exe", "old.txt", "InsErr.log", "Uninstal.log"})
        EXPECT_FALSE(exists(DEST + "\\" + file)) << file;
    EXPECT_EQ(read_text(DEST + "\\notes.txt"), "the user's notes");
    EXPECT_TRUE(exists(DEST + "\\c.txt"));
    EXPECT_FALSE(exists(PROGRAMS + "\\Prog"));
    platform_posix_registry_text(registry, sizeof registry);
    EXPECT_EQ(std::string(registry).find("Prog"), std::string::npos) << registry;
}

// The overwrite rule of /S: the earlier log's files are the product's and replaced, any other
// is kept and logged; /O replaces all; overwrite_never and overwrite_always as always.
TEST_F(upgrade_test, UnattendedOverwriteFollowsTheEarlierLog) {
    const std::string kept = "Kept Existing File! (" + DEST + "\\a.txt)\r\n";
    struct row {
        const char *name, *command;
        std::string named; // the earlier log's record of a.txt; "": none
        const char *mode;
        bool replaced;
        std::string errors;
    } rows[] = {
        {"named: the product's", "/S", DEST + "\\a.txt", "overwrite_ask", true, ""},
        {"named in other case", "/S", "c:\\Prog\\a.txt", "overwrite_ask", true, ""},
        {"not named: the user's", "/S", "", "overwrite_ask", false, kept},
        {"/O replaces the user's too", "/S /O", "", "overwrite_ask", true, ""},
        {"overwrite_never keeps the product's", "/S", DEST + "\\a.txt", "overwrite_never", false,
         ""},
        {"overwrite_always replaces the user's", "/S", "", "overwrite_always", true, ""},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.name);
        SetUp();
        put(DEST + "\\a.txt", "there before");
        std::string earlier = earlier_header();
        if (!r.named.empty()) earlier += record("[FILE]", r.named);
        put(DEST + "\\Uninstal.log", earlier);
        EXPECT_EQ(install(r.command, version(2), product_script("2.0", r.mode)), UNATTENDED_OK);
        EXPECT_EQ(read_text(DEST + "\\a.txt") != "there before", r.replaced);
        EXPECT_EQ(errors(DEST), r.errors);
        TearDown();
    }
    SetUp();
}

// A forged earlier log, planted in a folder prepared for an elevated install: what it may
// carry depends on whether the product's entry vouches for it; nothing foreign is carried.
TEST_F(upgrade_test, ForgedEarlierLogsCarryOnlyWhatStands) {
    const std::string link = PROGRAMS + "\\Other\\Other.lnk";
    const std::string body =
        record("[FILE]", DEST + "\\here.txt") +            // stands
        record("[FILE]", DEST + "\\gone.txt") +            // no longer exists
        record("[FOLDER]", DEST + "\\Docs") +              // stands
        record("[FILE]", "C:\\Windows\\win.ini") +         // outside the allowed areas
        record("[FILE]", DEST + "\\via\\x.txt") +          // behind a link
        record("[REG]", "HKEY_CLASSES_ROOT\\txtfile") +    // another program's class
        record("[REG]", "HKEY_CLASSES_ROOT\\Old.Class") +  // points into the destination
        record("[REG]", "HKEY_CLASSES_ROOT\\Gone.Class") + // no longer exists
        record("[FILE]", link) +                           // a shell link of another product
        record("[FILE]", DEST + "\\a.txt");                // written again by this run
    const std::string stands = record("[FILE]", DEST + "\\here.txt") +
                               record("[FOLDER]", DEST + "\\Docs") +
                               record("[REG]", "HKEY_CLASSES_ROOT\\Old.Class");
    const std::string a_txt = record("[FILE]", DEST + "\\a.txt");
    const std::string kept = "Kept Existing File! (" + DEST + "\\a.txt)\r\n";
    enum { NO_ENTRY, SEALED, CHANGED };
    struct row {
        const char *name;
        std::string folder; // the earlier log's [DEFFOLDER]
        int entry;
        std::string carried, errors;
    } rows[] = {
        {"no entry vouches: the destination's records", DEST, NO_ENTRY, stands + a_txt, ""},
        {"sealed by the entry: the link too", DEST, SEALED, stands + record("[FILE]", link) + a_txt,
         ""},
        {"changed since it was sealed: nothing", DEST, CHANGED, "",
         "Refused Changed Log! (" + DEST + "\\Uninstal.log)\r\n" + kept},
        {"the log of another folder: nothing", "C:\\Elders", NO_ENTRY, "", kept},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.name);
        SetUp();
        const std::string earlier = earlier_header(r.folder) + body;
        put(DEST + "\\Uninstal.log", earlier);
        put(DEST + "\\here.txt", "here");
        put(DEST + "\\a.txt", "there before");
        make_native_folder(DEST + "\\Docs");
        put("C:\\Windows\\win.ini", "[fonts]");
        put("C:\\Elders\\x.txt", "elsewhere");
        std::filesystem::create_directory_symlink(native("C:\\Elders"), native(DEST + "\\via"));
        const char shell_link[] = "L\0\0\0\x01\x14\x02\0\0\0\0\0\xC0\0\0\0\0\0\0F";
        put(link, std::string(shell_link, 20) + std::string(60, '\0'));
        platform_key *key = nullptr;
        platform_reg_create(nullptr, "txtfile\\shell\\open\\command", &key);
        platform_reg_set_default(key, "notepad.exe %1");
        platform_reg_close(key);
        platform_reg_create(nullptr, "Old.Class\\DefaultIcon", &key);
        platform_reg_set_default(key, (DEST + "\\old.exe,0").c_str());
        platform_reg_close(key);
        if (r.entry != NO_ENTRY) make_entry(r.entry == SEALED ? earlier : earlier + " ");

        EXPECT_EQ(install("/S", {{"a.txt", "product"}},
                          "steps\n{\nstartinstall\n}\ninstall_steps\n{\n"
                          "checkdiskspace=\"Ruimte\",\"Te weinig\"\n"
                          "copyfiles=\"Bestanden\",\"Mislukt\"\n}\ncopy_files\n{\n"
                          "\"T\",[source]a.txt,[dest]\\*.*,overwrite_ask\n}\n"
                          "uninstall=\"Prog\",\"[dest]\\kvuninst.exe\"\n"),
                  UNATTENDED_OK);
        EXPECT_EQ(records(), r.carried);
        EXPECT_EQ(errors(), r.errors);
        EXPECT_EQ(read_text(DEST + "\\a.txt"), r.carried.empty() ? "there before" : "product");
        TearDown();
    }
    SetUp();
}

} // namespace
