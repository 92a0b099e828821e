// The uninstaller's core on simulated drives: which logs it refuses, which records it refuses,
// the order it undoes them in, what it keeps and reports, and its exit codes; and the
// uninstaller program's command line.
#include "engine/uninstall.h"
#include "engine_support.h"
#include "engine/uninstall_entry.h"
#include "platform/platform_registry.h"
#include "platform/posix/platform_remove_posix.h"
#include "script/script.h"
#include "shell/uninstaller_args.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

const char DEST[] = "C:\\Prog";
const char HEADER[] = "UninstallLog created: 06-12-2026 09:05:03.0042\r\n[DEFFOLDER]\r\n";

struct uninstall_test : engine_test {
    uninstall_plan plan = {};
    uninstall_places places = {};
    char message[UNINSTALL_MESSAGE_CAPACITY] = "";
    std::vector<std::string> seen; // progress lines in the order reported
    const char *texts = nullptr;   // the words uninstall_read is given (null: Dutch)

    void SetUp() override {
        engine_test::SetUp();
        platform_remove_faults_reset();
        text_copy(places.programs, sizeof places.programs, "C:\\users\\u\\Start Menu\\Programs");
        text_copy(places.desktop, sizeof places.desktop, "C:\\users\\u\\Desktop");
    }
    void TearDown() override {
        uninstall_release(&plan);
        platform_remove_faults_reset();
        platform_registry_faults_reset();
        engine_test::TearDown();
    }
    // Writes Uninstal.log into DEST with the header for folder and then the records given as
    // alternating kind and text lines.
    void write_log(const std::vector<std::string> &records, const std::string &folder = DEST) {
        make_native_folder(DEST);
        std::string text = HEADER + folder + "\r\n";
        for (const std::string &line : records) text += line + "\r\n";
        write_text(std::string(DEST) + "\\Uninstal.log", text);
    }
    // Reads the log and, as the uninstaller does next, checks it against the entries that name
    // self (none here unless a test sets one up).
    int read(const char *self = "") {
        if (!uninstall_read(&plan, DEST, &places, texts, message, sizeof message)) return 0;
        text_copy(plan.self_path, sizeof plan.self_path, self);
        return uninstall_check_log(&plan, message, sizeof message);
    }
    int perform() {
        return uninstall_perform(
            &plan,
            [](void *context, const uninstall_entry *entry, size_t, size_t) {
                uninstall_test *test = static_cast<uninstall_test *>(context);
                char line[UNINSTALL_LINE_CAPACITY];
                uninstall_describe(test->plan.texts, entry, line, sizeof line);
                test->seen.push_back(line);
            },
            this);
    }
    std::string report() {
        char out[UNINSTALL_REPORT_CAPACITY];
        uninstall_report(&plan, out, sizeof out);
        return out;
    }
    // A key of HKEY_CLASSES_ROOT, with its default value when one is given.
    void make_key(const char *name, const char *value = nullptr) {
        platform_key *key = nullptr;
        ASSERT_EQ(platform_reg_create(nullptr, name, &key), 0u);
        if (value) {
            EXPECT_EQ(platform_reg_set_text(key, "", value), 0u);
        }
        platform_reg_close(key);
    }
    // An entry of the user's list of installed programs whose UninstallString is command.
    void make_listing(const char *name, const char *command) {
        platform_key *key = nullptr;
        std::string path = std::string(UNINSTALL_PARENT_KEY "\\") + name;
        ASSERT_EQ(
            platform_reg_create(platform_reg_root(PLATFORM_HKEY_CURRENT_USER), path.c_str(), &key),
            0u);
        EXPECT_EQ(platform_reg_set_text(key, "UninstallString", command), 0u);
        platform_reg_close(key);
    }
    // A file that begins as a shell link does.
    void write_link(const std::string &path) {
        make_native_folder(path.substr(0, path.rfind('\\')));
        write_text(path, std::string("\x4c\0\0\0\x01\x14\x02\0\0\0\0\0\xc0\0\0\0\0\0\0\x46", 20) +
                             std::string(56, '\0'));
    }
    bool key_exists(const char *name) {
        platform_key *key = nullptr;
        if (platform_reg_open(nullptr, name, PLATFORM_KEY_READ, &key) != 0) return false;
        platform_reg_close(key);
        return true;
    }
};

TEST_F(uninstall_test, LogsThatAreNotThisFoldersAreRefusedWhole) {
    struct row {
        const char *what;
        std::string text; // "" with missing: no file at all
        bool missing;
        const char *expected; // part of the message; null: accepted
    } rows[] = {
        {"no log", "", true, "ontbreekt"},
        {"empty", "", false, "te kort"},
        {"other text", "Hallo\r\nwereld\r\nen meer\r\n", false, "de kop ontbreekt"},
        {"other folder", std::string(HEADER) + "C:\\Elders\r\n", false,
         "hoort bij de map C:\\Elders, niet bij C:\\Prog"},
        {"prefix of ours", std::string(HEADER) + "C:\\Pro\r\n", false, "hoort bij de map"},
        {"drive root", "", false, nullptr}, // filled below: needs its own folder
        {"unknown kind", std::string(HEADER) + "C:\\Prog\r\n[DIR]\r\nC:\\Prog\\a\r\n", false,
         "regel 4 is geen soort"},
        {"kind without text", std::string(HEADER) + "C:\\Prog\r\n[FILE]\r\n", false,
         "regel 4 staat alleen"},
        {"line too long",
         std::string(HEADER) + "C:\\Prog\r\n[FILE]\r\nC:\\Prog\\" + std::string(600, 'a') + "\r\n",
         false, "regel 5 is ongeldig"},
        {"NUL in a line",
         std::string(HEADER) + "C:\\Prog\r\n[FILE]\r\nC:\\Prog\\a" + std::string(1, '\0') + "b\r\n",
         false, "regel 5 is ongeldig"},
        {"case and backslash", std::string(HEADER) + "c:\\PROG\\\r\n", false, nullptr},
        {"LF only, blank lines",
         std::string("UninstallLog created: x\n\n[DEFFOLDER]\nC:\\Prog\n") +
             "[FILE]\n\nC:\\Prog\\a\n",
         false, nullptr},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        std::string folder = DEST;
        make_native_folder(DEST);
        std::filesystem::remove(native(std::string(DEST) + "\\Uninstal.log"));
        if (std::string(r.what) == "drive root") {
            folder = "D:";
            make_native_folder("D:\\");
            write_text("D:\\Uninstal.log", std::string(HEADER) + "D:\r\n");
        } else if (!r.missing) {
            write_text(std::string(DEST) + "\\Uninstal.log", r.text);
        }
        int ok = uninstall_read(&plan, folder.c_str(), &places, nullptr, message, sizeof message);
        if (std::string(r.what) == "drive root") {
            EXPECT_EQ(ok, 0);
            EXPECT_NE(std::string(message).find("hoofdmap"), std::string::npos) << message;
        } else if (!r.expected) {
            EXPECT_EQ(ok, 1) << message;
        } else {
            EXPECT_EQ(ok, 0);
            EXPECT_NE(std::string(message).find(r.expected), std::string::npos) << message;
            EXPECT_EQ(plan.count, 0u);
        }
        uninstall_release(&plan);
    }
}

TEST_F(uninstall_test, PathsBelowAFolder) {
    struct row {
        const char *path, *folder;
        int below;
    } rows[] = {
        {"C:\\Prog\\a.txt", "C:\\Prog", 1},    {"c:\\prog\\Docs\\a.txt", "C:\\Prog\\", 1},
        {"C:\\Prog", "C:\\Prog", 0},           {"C:\\Prog\\", "C:\\Prog", 0},
        {"C:\\Program\\a.txt", "C:\\Prog", 0}, {"C:\\Prog\\..\\Windows\\x.dll", "C:\\Prog", 0},
        {"C:\\Prog\\Docs\\..", "C:\\Prog", 0}, {"C:\\Prog\\.\\a", "C:\\Prog", 0},
        {"C:\\Prog\\. .\\a", "C:\\Prog", 0},   {"C:\\Prog\\a/../../b", "C:\\Prog", 0},
        {"C:\\Prog\\a:stream", "C:\\Prog", 0}, {"C:\\Prog\\*.*", "C:\\Prog", 0},
        {"C:\\Prog\\.hidden", "C:\\Prog", 1},  {"C:\\Prog\\Docs\\", "C:\\Prog", 1},
        {"D:\\Prog\\a", "C:\\Prog", 0},        {"C:\\Prog\\a", "", 0},
    };
    for (const row &r : rows)
        EXPECT_EQ(uninstall_path_below(r.path, r.folder), r.below) << r.path << " in " << r.folder;
}

// What decides whether a key points into the installation: the program its command or icon
// names, below the destination.
TEST(uninstall_commands, TheProgramACommandOrIconNames) {
    struct row {
        const char *text, *program;
        int below; // the program lies below C:\Prog
    } rows[] = {
        {"\"C:\\Prog\\app.exe\" \"%1\"", "C:\\Prog\\app.exe", 1},
        {"C:\\Prog\\app.exe \"%1\"", "C:\\Prog\\app.exe", 1},
        {"C:\\Prog Files\\app.exe /p %1", "C:\\Prog Files\\app.exe", 0},
        {"C:\\Prog\\My App\\app.exe,-101", "C:\\Prog\\My App\\app.exe", 1},
        {"  \"C:\\Prog\\a,1.exe\",1", "C:\\Prog\\a,1.exe", 1},
        {"C:\\Prog\\app.exe,x", "C:\\Prog\\app.exe,x", 1},
        {"C:\\Prog\\..\\windows\\notepad.exe %1", "C:\\Prog\\..\\windows\\notepad.exe", 0},
        {"\"C:\\windows\\system32\\notepad.exe\" \"%1\"", "C:\\windows\\system32\\notepad.exe", 0},
        {"%SystemRoot%\\system32\\shell32.dll,-152", "%SystemRoot%\\system32\\shell32.dll", 0},
        {",0", "", 0},
        {"\"C:\\Prog\\open", "C:\\Prog\\open", 1},
    };
    for (const row &r : rows) {
        char program[UNINSTALL_COMMAND_CAPACITY];
        uninstall_command_program(r.text, program, sizeof program);
        EXPECT_STREQ(program, r.program) << r.text;
        EXPECT_EQ(uninstall_path_below(program, "C:\\Prog"), r.below) << r.text;
        EXPECT_EQ(uninstall_command_names(r.text, r.program), r.program[0] != 0) << r.text;
    }
}

TEST_F(uninstall_test, RecordsAreUndoneNewestFirstAndEverythingGoes) {
    write_log({"[FILE]",   "C:\\Prog\\InsErr.log",
               "[FOLDER]", "C:\\Prog\\Docs",
               "[FOLDER]", "C:\\Prog\\Docs\\Extra",
               "[FILE]",   "C:\\Prog\\app.exe",
               "[FILE]",   "C:\\Prog\\Docs\\Extra\\a.txt",
               "[FILE]",   "C:\\Prog\\gone.txt",
               "[FOLDER]", "C:\\users\\u\\Start Menu\\Programs\\Prog",
               "[FILE]",   "C:\\users\\u\\Start Menu\\Programs\\Prog\\App.lnk",
               "[FILE]",   "C:\\users\\u\\Desktop\\App.lnk",
               "[REG]",    "HKEY_CLASSES_ROOT\\.prg",
               "[REG]",    "HKEY_CLASSES_ROOT\\Prog.Document",
               "[REG]",    "HKEY_CURRENT_USER\\" UNINSTALL_PARENT_KEY "\\Prog"});
    for (const char *file :
         {"C:\\Prog\\InsErr.log", "C:\\Prog\\app.exe", "C:\\Prog\\Docs\\Extra\\a.txt"}) {
        std::string path = file;
        make_native_folder(path.substr(0, path.rfind('\\')));
        write_text(path, "x");
    }
    write_link("C:\\users\\u\\Start Menu\\Programs\\Prog\\App.lnk");
    write_link("C:\\users\\u\\Desktop\\App.lnk");
    make_key(".prg", "Prog.Document");
    make_key("Prog.Document\\shell\\open\\command", "\"C:\\Prog\\app.exe\" \"%1\"");
    make_key("Other.Document");
    // The product's entry in the list of installed programs names the running uninstaller.
    make_listing("Prog", "\"C:\\Prog\\kvuninst.exe\"");

    ASSERT_EQ(read("C:\\Prog\\kvuninst.exe"), 1) << message;
    EXPECT_EQ(plan.refused, 0u);
    EXPECT_EQ(perform(), UNINSTALL_EXIT_OK);
    std::vector<std::string> expected = {
        "Verwijderd: HKEY_CURRENT_USER\\" UNINSTALL_PARENT_KEY "\\Prog",
        "Verwijderd: HKEY_CLASSES_ROOT\\Prog.Document",
        "Verwijderd: HKEY_CLASSES_ROOT\\.prg",
        "Verwijderd: C:\\users\\u\\Desktop\\App.lnk",
        "Verwijderd: C:\\users\\u\\Start Menu\\Programs\\Prog\\App.lnk",
        "Verwijderd: C:\\users\\u\\Start Menu\\Programs\\Prog",
        "Was al weg: C:\\Prog\\gone.txt",
        "Verwijderd: C:\\Prog\\Docs\\Extra\\a.txt",
        "Verwijderd: C:\\Prog\\app.exe",
        "Verwijderd: C:\\Prog\\Docs\\Extra",
        "Verwijderd: C:\\Prog\\Docs",
        "Verwijderd: C:\\Prog\\InsErr.log",
    };
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(report(), "");
    EXPECT_FALSE(exists(DEST));
    EXPECT_TRUE(exists("C:\\users\\u\\Start Menu\\Programs")); // the special folders stay
    EXPECT_TRUE(exists("C:\\users\\u\\Desktop"));
    EXPECT_FALSE(key_exists("Prog.Document"));
    EXPECT_FALSE(key_exists(".prg"));
    EXPECT_TRUE(key_exists("Other.Document")); // not named: not touched
}

TEST_F(uninstall_test, ForeignRecordsAreRefusedAndLeftAlone) {
    struct row {
        const char *kind, *text;
        bool file; // a file to create at text, which must survive
    } rows[] = {
        {"[FILE]", "C:\\Windows\\system.ini", true},
        {"[FILE]", "C:\\Prog\\..\\Windows\\win.ini", false},
        {"[FILE]", "C:\\Program Files\\other.exe", true},
        {"[FILE]", "C:\\users\\u\\Desktop", false},
        {"[FOLDER]", "C:\\users\\u\\Start Menu\\Programs", false},
        {"[FOLDER]", "C:\\users\\u\\Start Menu", false},
        {"[FOLDER]", "C:\\Prog", false},
        {"[REG]", "HKEY_LOCAL_MACHINE\\Software\\Prog", false},
        {"[REG]", "HKEY_LOCAL_MACHINE\\" UNINSTALL_PARENT_KEY, false},
        {"[REG]", "HKEY_CURRENT_USER\\" UNINSTALL_PARENT_KEY "\\Prog\\Sub", false},
        {"[REG]", "HKEY_CLASSES_ROOT\\CLSID", false},
        {"[REG]", "HKEY_CLASSES_ROOT\\exefile", false},
        {"[REG]", "HKEY_CLASSES_ROOT\\Prog.Document\\shell", false},
        {"[REG]", "HKEY_CLASSES_ROOT\\", false},
    };
    std::vector<std::string> records;
    for (const row &r : rows) {
        records.push_back(r.kind);
        records.push_back(r.text);
        if (r.file) {
            std::string path = r.text;
            make_native_folder(path.substr(0, path.rfind('\\')));
            write_text(path, "keep");
        }
    }
    records.insert(records.end(), {"[FILE]", "C:\\Prog\\app.exe"});
    write_log(records);
    write_text("C:\\Prog\\app.exe", "x");
    make_native_folder("C:\\users\\u\\Start Menu\\Programs");
    make_native_folder("C:\\users\\u\\Desktop");
    make_key("CLSID\\{0}");
    make_key("exefile");
    make_key("Prog.Document\\shell");

    ASSERT_EQ(read(), 1) << message;
    EXPECT_EQ(plan.refused, sizeof rows / sizeof rows[0]);
    EXPECT_EQ(perform(), UNINSTALL_EXIT_INCOMPLETE);
    EXPECT_FALSE(exists("C:\\Prog\\app.exe"));
    EXPECT_FALSE(exists(DEST)); // the permitted record went, and the folder with it
    EXPECT_TRUE(exists("C:\\Windows\\system.ini"));
    EXPECT_TRUE(exists("C:\\Program Files\\other.exe"));
    EXPECT_TRUE(exists("C:\\users\\u\\Start Menu\\Programs"));
    EXPECT_TRUE(exists("C:\\users\\u\\Desktop"));
    EXPECT_TRUE(key_exists("CLSID\\{0}"));
    EXPECT_TRUE(key_exists("exefile"));
    EXPECT_TRUE(key_exists("Prog.Document\\shell"));
    std::string text = report();
    for (const row &r : rows)
        EXPECT_NE(text.find(std::string("Geweigerd, buiten de installatie: ") + r.text + "\r\n"),
                  std::string::npos)
            << r.text;
}

TEST_F(uninstall_test, WhatStaysIsReportedAndTheExitCodeSaysSo) {
    struct row {
        const char *what;
        int keep_self;      // the uninstaller's file cannot be removed by the process
        bool user_file;     // a file the user added to Docs
        const char *busy;   // a path in use
        const char *reg;    // a key whose deletion fails
        int exit;           // expected exit code
        const char *report; // expected report
        bool dest_left;     // the destination folder is still there
    } rows[] = {
        {"clean", 0, false, nullptr, nullptr, UNINSTALL_EXIT_OK, "", false},
        {"self kept for later", 1, false, nullptr, nullptr, UNINSTALL_EXIT_OK, "", true},
        {"user file", 0, true, nullptr, nullptr, UNINSTALL_EXIT_INCOMPLETE,
         "Map bewaard, want niet leeg: C:\\Prog\\Docs\r\nMap bewaard, want niet leeg: C:\\Prog\r\n",
         true},
        {"file in use", 0, false, "app.exe", nullptr, UNINSTALL_EXIT_INCOMPLETE,
         "Niet verwijderd, in gebruik: C:\\Prog\\app.exe\r\nBewaard om later opnieuw te "
         "verwijderen: C:\\Prog\\Uninstal.log\r\nMap bewaard, want niet leeg: C:\\Prog\r\n",
         true},
        {"key refuses", 0, false, nullptr, "Prog.Document", UNINSTALL_EXIT_INCOMPLETE,
         "Registersleutel niet verwijderd (fout 5): HKEY_CLASSES_ROOT\\Prog.Document\r\nBewaard "
         "om later opnieuw te verwijderen: C:\\Prog\\Uninstal.log\r\nMap bewaard, want niet "
         "leeg: C:\\Prog\r\n",
         true},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        write_log({"[FOLDER]", "C:\\Prog\\Docs", "[FILE]", "C:\\Prog\\app.exe", "[FILE]",
                   "C:\\Prog\\Docs\\a.txt", "[FILE]", "C:\\Prog\\kvuninst.exe", "[REG]",
                   "HKEY_CLASSES_ROOT\\Prog.Document"});
        make_native_folder("C:\\Prog\\Docs");
        for (const char *file :
             {"C:\\Prog\\app.exe", "C:\\Prog\\Docs\\a.txt", "C:\\Prog\\kvuninst.exe"})
            write_text(file, "x");
        if (r.user_file) write_text("C:\\Prog\\Docs\\mine.txt", "mine");
        make_key("Prog.Document\\DefaultIcon", "C:\\Prog\\app.exe,0");
        platform_remove_faults.busy = r.busy;
        platform_registry_faults = {r.reg, PLATFORM_REG_OP_DELETE, 0};

        ASSERT_EQ(read(), 1) << message;
        text_copy(plan.self_path, sizeof plan.self_path, "C:\\Prog\\kvuninst.exe");
        plan.keep_self = r.keep_self;
        EXPECT_EQ(perform(), r.exit);
        EXPECT_EQ(report(), r.report);
        EXPECT_EQ(exists(DEST), r.dest_left);
        bool retry = r.busy || r.reg; // a failed removal keeps the log and the uninstaller
        EXPECT_EQ(exists("C:\\Prog\\Uninstal.log"), retry);
        EXPECT_EQ(exists("C:\\Prog\\kvuninst.exe"), r.keep_self == 1 || retry);
        EXPECT_EQ(plan.folder_state == UNINSTALL_DEFERRED, r.keep_self == 1);
        EXPECT_EQ(exists("C:\\Prog\\Docs\\mine.txt"), r.user_file);

        uninstall_release(&plan);
        platform_remove_faults_reset();
        platform_registry_faults_reset();
        if (retry) { // once free, a second run finishes the work
            ASSERT_EQ(read(), 1) << message;
            text_copy(plan.self_path, sizeof plan.self_path, "C:\\Prog\\kvuninst.exe");
            EXPECT_EQ(perform(), UNINSTALL_EXIT_OK);
            EXPECT_FALSE(exists(DEST));
            EXPECT_FALSE(key_exists("Prog.Document"));
            uninstall_release(&plan);
        }
        platform_posix_registry_reset();
        std::error_code ec;
        std::filesystem::remove_all(native(DEST), ec);
    }
}

} // namespace

namespace {

TEST(uninstaller_args_test, CommandLines) {
    struct row {
        const char *line;
        int ok, silent;
        const char *title;
        int cleanup;
        uint32_t process;
        const char *path;
    } rows[] = {
        {"", 1, 0, "", 0, 0, ""},
        {"/S", 1, 1, "", 0, 0, ""},
        {"  /s  ", 1, 1, "", 0, 0, ""},
        {"/SX /Silent", 1, 0, "", 0, 0, ""},
        {"/T=Korvex Demo", 1, 0, "Korvex Demo", 0, 0, ""},
        {"/T=Korvex Demo /S", 1, 1, "Korvex Demo", 0, 0, ""},
        {"/S /t=\"Demo /2\" /X", 1, 1, "Demo /2", 0, 0, ""},
        {"/Q /T= /S", 1, 1, "", 0, 0, ""},
        {"\"/T=Korvex Demo\" \"/S\"", 1, 1, "Korvex Demo", 0, 0, ""},
        {"\"/T=Open", 1, 0, "Open", 0, 0, ""},
        {"/_KVCLEANUP=42 C:\\Demo Program\\kvuninst.exe", 1, 0, "", 1, 42,
         "C:\\Demo Program\\kvuninst.exe"},
        {"/_kvcleanup=7 C:\\a /S", 1, 0, "", 1, 7, "C:\\a /S"},
        {"/_KVCLEANUP= C:\\a", 0, 0, "", 0, 0, ""},
        {"/_KVCLEANUP=42", 0, 0, "", 0, 0, ""},
        {"/_KVCLEANUP=99999999999 C:\\a", 0, 0, "", 0, 0, ""},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.line);
        uninstaller_args args;
        EXPECT_EQ(parse_uninstaller_args(r.line, &args), r.ok);
        EXPECT_EQ(args.silent, r.silent);
        EXPECT_STREQ(args.title, r.title);
        EXPECT_EQ(args.cleanup, r.cleanup);
        EXPECT_EQ(args.cleanup_process, r.process);
        EXPECT_STREQ(args.cleanup_path, r.path);
    }
}

} // namespace

TEST_F(uninstall_test, SpeaksTheLanguageAndTextsItWasPackedWith) {
    struct row {
        const char *words; // the lines kvpack pack writes into the uninstaller; null: none
        const char *missing, *removed, *failed, *report;
    } rows[] = {
        {nullptr, "Het bestand C:\\Prog\\Uninstal.log ontbreekt of kan niet worden gelezen.",
         "Verwijderd: C:\\Prog\\app.exe", "Mislukt (fout 5): HKEY_CLASSES_ROOT\\Prog.Document",
         "Registersleutel niet verwijderd (fout 5): HKEY_CLASSES_ROOT\\Prog.Document\r\n"
         "Map bewaard, want niet leeg: C:\\Prog\\Docs\r\n"
         "Bewaard om later opnieuw te verwijderen: C:\\Prog\\Uninstal.log\r\n"
         "Map bewaard, want niet leeg: C:\\Prog\r\n"},
        {"language=\"en\"\r\n", "The file C:\\Prog\\Uninstal.log is missing or cannot be read.",
         "Removed: C:\\Prog\\app.exe", "Failed (error 5): HKEY_CLASSES_ROOT\\Prog.Document",
         "Registry key not removed (error 5): HKEY_CLASSES_ROOT\\Prog.Document\r\n"
         "Folder kept, as it is not empty: C:\\Prog\\Docs\r\n"
         "Kept to be removed in a later run: C:\\Prog\\Uninstal.log\r\n"
         "Folder kept, as it is not empty: C:\\Prog\r\n"},
        {"language=\"fr\"\r\ntext_un_removed=\"Parti\"\r\ntext_un_not_empty=\"Gard\xE9 : %s\"\r\n",
         "Le fichier C:\\Prog\\Uninstal.log est absent ou illisible.", "Parti : C:\\Prog\\app.exe",
         "É"
         "chec (erreur 5) : HKEY_CLASSES_ROOT\\Prog.Document",
         "Clé de registre non supprimé"
         "e (erreur 5) : HKEY_CLASSES_ROOT\\Prog.Document\r\n"
         "Gardé : C:\\Prog\\Docs\r\n"
         "Conservé pour une nouvelle suppression plus tard : C:\\Prog\\Uninstal.log\r\n"
         "Gardé : C:\\Prog\r\n"},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.words ? r.words : "none");
        installer_state words = {};
        if (r.words) {
            ASSERT_EQ(load_script_text(&words, r.words, strlen(r.words)), 1);
        }
        texts = words.script_text;
        make_native_folder(DEST);
        EXPECT_EQ(read(), 0);
        EXPECT_STREQ(message, r.missing);
        uninstall_release(&plan);

        write_log({"[FOLDER]", "C:\\Prog\\Docs", "[FILE]", "C:\\Prog\\app.exe", "[FILE]",
                   "C:\\Prog\\Docs\\a.txt", "[REG]", "HKEY_CLASSES_ROOT\\Prog.Document"});
        make_native_folder("C:\\Prog\\Docs");
        for (const char *file :
             {"C:\\Prog\\app.exe", "C:\\Prog\\Docs\\a.txt", "C:\\Prog\\Docs\\mine.txt"})
            write_text(file, "x");
        make_key("Prog.Document\\DefaultIcon", "C:\\Prog\\app.exe,0");
        platform_registry_faults = {"Prog.Document", PLATFORM_REG_OP_DELETE, 0};
        seen.clear();
        ASSERT_EQ(read(), 1) << message;
        EXPECT_EQ(perform(), UNINSTALL_EXIT_INCOMPLETE);
        EXPECT_NE(std::find(seen.begin(), seen.end(), r.removed), seen.end()) << seen[0];
        EXPECT_NE(std::find(seen.begin(), seen.end(), r.failed), seen.end()) << seen[0];
        EXPECT_EQ(report(), r.report);

        uninstall_release(&plan);
        release_script(&words);
        platform_registry_faults_reset();
        platform_posix_registry_reset();
        std::error_code ec;
        std::filesystem::remove_all(native(DEST), ec);
    }
}

TEST_F(uninstall_test, EachLineOfALogIsUtf8OrTheAnsiCodePageOfAnEarlierVersion) {
    // This version writes UTF-8; an earlier one wrote the machine's code page (Windows-1252
    // here). One log can hold both when an install of this version went into an older one's.
    const struct {
        const char *stored; // the record as the log holds it
        const char *file;   // the file it names, in UTF-8
    } rows[] = {
        {"C:\\Prog\\Ünïcödé ĞŞ.txt", "C:\\Prog\\Ünïcödé ĞŞ.txt"},
        {"C:\\Prog\\caf\xE9 \x80.txt", "C:\\Prog\\café €.txt"},
        {"C:\\Prog\\Straße\\中文.txt", "C:\\Prog\\Straße\\中文.txt"},
        {"C:\\Prog\\\xC3\xA9\xE9.txt", "C:\\Prog\\Ã©é.txt"}, // one 1252 byte: the line is 1252
    };
    std::vector<std::string> records = {"[FOLDER]", "C:\\Prog\\Straße"};
    for (const auto &row : rows) {
        records.push_back("[FILE]");
        records.push_back(row.stored);
        make_native_folder(std::string(row.file).substr(0, std::string(row.file).rfind('\\')));
        write_text(row.file, "x");
    }
    write_log(records);
    ASSERT_EQ(read(), 1) << message;
    EXPECT_EQ(perform(), UNINSTALL_EXIT_OK);
    std::vector<std::string> expected;
    for (int i = 3; i >= 0; i--) expected.push_back(std::string("Verwijderd: ") + rows[i].file);
    expected.push_back("Verwijderd: C:\\Prog\\Straße");
    EXPECT_EQ(seen, expected);
    EXPECT_FALSE(exists(DEST));

    // A line of 511 bytes is within a log line's bounds, but not its UTF-8 (a cut path would
    // name another file): the log is refused, at that line.
    uninstall_release(&plan);
    write_log({"[FILE]", "C:\\Prog\\" + std::string(400, '\xE9')});
    EXPECT_EQ(read(), 0);
    EXPECT_NE(std::string(message).find("regel 5"), std::string::npos) << message;
}
