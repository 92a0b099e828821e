// The uninstaller against what an attacker who can write into the install folder (or forge a
// per-user install's log) plants: a small product installed by kvpack simulate, the row's
// links, log lines and keys, then kvpack simulate --uninstall, the uninstaller's run natively.
// The clean-up copy's flag goes through the same core the Windows program calls. Each row: the
// input, what must not happen, what must be reported.
#include "engine/registry.h"
#include "engine/uninstall_entry.h"
#include "platform/platform_registry.h"
#include "platform/posix/platform_posix_paths.h"
#include "platform/posix/platform_posix_registry.h"
#include "shell/uninstaller_args.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

const char SCRIPT[] = R"(windowtitle="Prog Setup"
default_dest_drive=C:
default_dest_dir="Prog"
programgroupyesno="Menu Start",true
desktopyesno="Bureaublad",true
steps
{
showwelcome
foldersettings
startinstall
finished
}
install_steps
{
checkdiskspace="Ruimte","Te weinig ruimte",break
createfolders="Mappen","Mislukt"
copyfiles="Kopieren","Mislukt",break
startmenu="Menu Start","Mislukt"
desktop="Bureaublad","Mislukt"
registry="Bestandstypen","Mislukt"
}
dir01="[dest]\Docs"
copy_files
{
"Programma",[source]app.exe,[dest]\*.*,overwrite_always
"Verwijderen",[source]kvuninst.exe,[dest]\*.*,overwrite_always
"Handleiding",[source]readme.txt,[dir01]\*.*,overwrite_always
}
reg_associate
{
"Prog.Document",".prg","Prog-document","[dest]\app.exe",0,"\"[dest]\app.exe\" \"%1\"","",""
}
program_group
{
"Prog","Prog.lnk","[dest]\app.exe"
}
desktop_shortcut
{
"","Prog.lnk","[dest]\app.exe"
}
uninstall="Prog","[dest]\kvuninst.exe","Korvex","1.0"
)";

const char DESKTOP[] = "C:\\users\\u\\Desktop";
const char COMMON_DESKTOP[] = "C:\\users\\Public\\Desktop"; // where an elevated install's links go
const char PROGRAMS[] = "C:\\users\\u\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
const char LISTING[] = UNINSTALL_PARENT_KEY "\\Prog";

struct hostile_uninstall : ::testing::Test {
    temp_folder work;
    std::string root, pck, output;
    int code = -1;

    void SetUp() override {
        root = work.file("root");
        fs::create_directories(work.file("product"));
        std::ofstream(work.file("product/setup.txt")) << SCRIPT;
        std::ofstream(work.file("product/app.exe")) << "MZ the program";
        std::ofstream(work.file("product/kvuninst.exe")) << "MZ the uninstaller";
        std::ofstream(work.file("product/readme.txt")) << "lees mij";
        pck = work.file("prog.pck");
        command_result packed = run_command(std::string(KVPACK_PATH) + " pack --bare --quiet -o " +
                                            pck + " " + work.file("product"));
        ASSERT_EQ(packed.code, 0) << packed.output;
    }

    std::string native(const std::string &windows) {
        char out[PLATFORM_NATIVE_PATH_CAPACITY];
        platform_posix_set_root(root.c_str());
        platform_posix_native_path(windows.c_str(), out, sizeof out);
        platform_posix_set_root(nullptr);
        return out;
    }
    void install(bool elevated) {
        fs::remove_all(root);
        command_result r = run_command(std::string(KVPACK_PATH) + " simulate " + pck + " --root " +
                                       root + " --user u" + (elevated ? " --elevated" : ""));
        ASSERT_EQ(r.code, 0) << r.output;
    }
    // As kvuninst.exe runs: elevated (so all users' Start menu and desktop are open to it too).
    void uninstall() {
        command_result r = run_command(std::string(KVPACK_PATH) + " simulate --uninstall " + pck +
                                       " --root " + root + " --user u --elevated");
        output = r.output;
        size_t at = output.rfind("\nexit ");
        code = at == std::string::npos ? -1 : atoi(output.c_str() + at + 6);
    }
    // Runs edit on the simulated registry, loaded from and saved back to its .reg file.
    template <typename F> void with_registry(F edit) {
        std::string file = root + "/registry.reg";
        ASSERT_GE(platform_posix_registry_load(file.c_str(), nullptr), 0);
        edit();
        ASSERT_EQ(platform_posix_registry_save(file.c_str()), 1);
        platform_posix_registry_reset();
    }
    // Sets a text value of key below root (PLATFORM_HKEY_*), creating the key.
    static void set_value(int hive, const std::string &key, const char *name, const char *text) {
        platform_key *made = nullptr;
        ASSERT_EQ(platform_reg_create(platform_reg_root(hive), key.c_str(), &made), 0u);
        EXPECT_EQ(platform_reg_set_text(made, name, text), 0u);
        platform_reg_close(made);
    }
    bool key_exists(int hive, const std::string &key) {
        bool there = false;
        with_registry([&] {
            platform_key *opened = nullptr;
            there = platform_reg_open(platform_reg_root(hive), key.c_str(), PLATFORM_KEY_READ,
                                      &opened) == 0;
            platform_reg_close(opened);
        });
        return there;
    }
    // The default value of key below root, or "(none)".
    std::string default_of(int hive, const std::string &key) {
        std::string value = "(none)";
        with_registry([&] {
            platform_key *opened = nullptr;
            char text[256];
            if (platform_reg_open(platform_reg_root(hive), key.c_str(), PLATFORM_KEY_READ,
                                  &opened) == 0 &&
                platform_reg_get_text(opened, "", text, sizeof text) == 0)
                value = text;
            platform_reg_close(opened);
        });
        return value;
    }
    // Appends records to the log, as a forger would; with reseal, also puts the new log's
    // digest into the per-user entry, as that user could.
    void forge(const std::string &records, bool reseal) {
        std::string log = native("C:\\Prog\\Uninstal.log");
        std::ofstream(log, std::ios::app) << records;
        if (!reseal) return;
        std::string digest = sha256_hex(read_file(log));
        with_registry([&] {
            set_value(PLATFORM_HKEY_CURRENT_USER, LISTING, UNINSTALL_DIGEST_VALUE, digest.c_str());
        });
    }
    void write(const std::string &windows, const std::string &text) {
        fs::create_directories(fs::path(native(windows)).parent_path());
        std::ofstream(native(windows)) << text;
    }
    bool has(const std::string &windows) { return fs::exists(fs::symlink_status(native(windows))); }
    // What the clean-up copy does when self, a copy of the uninstaller, is started with the flag
    // naming path; 1, 0 or -1 as uninstaller_clean_up answers.
    int clean_up(const char *self, const char *path) {
        uninstaller_args args = {};
        args.cleanup = 1;
        args.cleanup_process = 42;
        text_copy(args.cleanup_path, sizeof args.cleanup_path, path);
        platform_posix_set_root(root.c_str());
        int result = uninstaller_clean_up(&args, self, "C:\\Temp\\");
        platform_posix_set_root(nullptr);
        return result;
    }
};

struct hostile_row {
    const char *input;    // what the attacker controls
    const char *must_not; // what must not happen
    const char *reported; // what the run must print: a report line or the refusal
    int exit;             // the uninstaller's exit code; -1: the row runs the clean-up instead
    bool elevated;        // installed as administrator: the entry stands under HKLM
    void (*plant)(hostile_uninstall &t);  // after the install; a clean-up row also runs it
    bool (*harmed)(hostile_uninstall &t); // true when what must not happen happened
};

const std::string OUTSIDE = "C:\\Elders";
const std::string VICTIM = "C:\\Elders\\victim.txt";

const hostile_row ROWS[] = {
    {"the installed Docs folder replaced by a symlink to another folder",
     "the file of the same name behind the link is deleted",
     "Geweigerd, via een koppeling: C:\\Prog\\Docs\\readme.txt", 1, false,
     [](hostile_uninstall &t) {
         t.write("C:\\Elders\\readme.txt", "van een ander");
         fs::remove_all(t.native("C:\\Prog\\Docs"));
         fs::create_directory_symlink(t.native(OUTSIDE), t.native("C:\\Prog\\Docs"));
     },
     [](hostile_uninstall &t) {
         return !t.has("C:\\Elders\\readme.txt") || t.has("C:\\Prog\\Docs");
     }},
    {"the installed app.exe replaced by a symlink to another file",
     "the link's target is deleted (the link itself goes)", "Verwijderd: C:\\Prog\\app.exe", 0,
     false,
     [](hostile_uninstall &t) {
         t.write(VICTIM, "van een ander");
         fs::remove(t.native("C:\\Prog\\app.exe"));
         fs::create_symlink(t.native(VICTIM), t.native("C:\\Prog\\app.exe"));
     },
     [](hostile_uninstall &t) { return !t.has(VICTIM) || t.has("C:\\Prog\\app.exe"); }},
    {"a forged log line naming a user's document on the desktop", "the document is deleted",
     "Geweigerd, geen snelkoppeling: C:\\users\\u\\Desktop\\Belangrijk.docx", 1, false,
     [](hostile_uninstall &t) {
         t.write(std::string(DESKTOP) + "\\Belangrijk.docx", "mijn werk");
         t.forge("[FILE]\r\nC:\\users\\u\\Desktop\\Belangrijk.docx\r\n", true);
     },
     [](hostile_uninstall &t) {
         return !t.has(std::string(DESKTOP) + "\\Belangrijk.docx") ||
                t.has(std::string(DESKTOP) + "\\Prog.lnk");
     }},
    {"the installed Start-menu link overwritten by a user's notes", "the notes are deleted",
     "Geweigerd, geen snelkoppeling: C:\\users\\u\\AppData\\Roaming\\Microsoft\\Windows\\Start "
     "Menu\\Programs\\Prog\\Prog.lnk",
     1, false,
     [](hostile_uninstall &t) { t.write(std::string(PROGRAMS) + "\\Prog\\Prog.lnk", "notities"); },
     [](hostile_uninstall &t) { return !t.has(std::string(PROGRAMS) + "\\Prog\\Prog.lnk"); }},
    {"forged lines naming HKCR\\.txt and Wine's own txtfile",
     "a class or extension that does not point into the folder is deleted",
     "Geweigerd, niet van deze installatie: HKEY_CLASSES_ROOT\\txtfile", 1, false,
     [](hostile_uninstall &t) {
         t.with_registry([] {
             hostile_uninstall::set_value(PLATFORM_HKEY_CLASSES_ROOT, ".txt", "", "txtfile");
             hostile_uninstall::set_value(PLATFORM_HKEY_CLASSES_ROOT,
                                          "txtfile\\shell\\open\\command", "",
                                          "C:\\windows\\notepad.exe %1");
         });
         t.forge("[REG]\r\nHKEY_CLASSES_ROOT\\.txt\r\n[REG]\r\nHKEY_CLASSES_ROOT\\txtfile\r\n",
                 true);
     },
     [](hostile_uninstall &t) {
         return !t.key_exists(PLATFORM_HKEY_CLASSES_ROOT, "txtfile\\shell\\open\\command") ||
                !t.key_exists(PLATFORM_HKEY_CLASSES_ROOT, ".txt") ||
                t.key_exists(PLATFORM_HKEY_CLASSES_ROOT, "Prog.Document");
     }},
    {"a forged line naming another product's uninstall entry", "the other entry is deleted",
     "Geweigerd, niet van deze installatie: HKEY_CURRENT_USER\\" UNINSTALL_PARENT_KEY "\\Ander", 1,
     false,
     [](hostile_uninstall &t) {
         t.with_registry([] {
             hostile_uninstall::set_value(PLATFORM_HKEY_CURRENT_USER,
                                          UNINSTALL_PARENT_KEY "\\Ander", "UninstallString",
                                          "\"C:\\Ander\\uninst.exe\"");
         });
         t.forge("[REG]\r\nHKEY_CURRENT_USER\\" UNINSTALL_PARENT_KEY "\\Ander\r\n", true);
     },
     [](hostile_uninstall &t) {
         return !t.key_exists(PLATFORM_HKEY_CURRENT_USER, UNINSTALL_PARENT_KEY "\\Ander") ||
                t.key_exists(PLATFORM_HKEY_CURRENT_USER, LISTING);
     }},
    {"a line added to the log of an elevated install", "anything at all is removed",
     "Het verwijderlog C:\\Prog\\Uninstal.log is na de installatie gewijzigd", 2, true,
     [](hostile_uninstall &t) {
         t.write(std::string(DESKTOP) + "\\Belangrijk.docx", "mijn werk");
         t.forge("[FILE]\r\nC:\\users\\u\\Desktop\\Belangrijk.docx\r\n", false);
     },
     [](hostile_uninstall &t) {
         return !t.has("C:\\Prog\\app.exe") || !t.has(std::string(COMMON_DESKTOP) + "\\Prog.lnk") ||
                !t.key_exists(PLATFORM_HKEY_LOCAL_MACHINE, LISTING);
     }},
    {"a forged line naming a document on all users' desktop, resealed",
     "the document is deleted by the elevated uninstaller",
     "Geweigerd, geen snelkoppeling: C:\\users\\Public\\Desktop\\Belangrijk.docx", 1, false,
     [](hostile_uninstall &t) {
         t.write(std::string(COMMON_DESKTOP) + "\\Belangrijk.docx", "ons werk");
         t.forge("[FILE]\r\nC:\\users\\Public\\Desktop\\Belangrijk.docx\r\n", true);
     },
     [](hostile_uninstall &t) {
         return !t.has(std::string(COMMON_DESKTOP) + "\\Belangrijk.docx");
     }},
    {"the class an extension is to be given back to, forged to exefile",
     "the extension's files become programs", "Teruggegeven: HKEY_CLASSES_ROOT\\.prg", 0, false,
     [](hostile_uninstall &t) {
         t.with_registry([] {
             hostile_uninstall::set_value(PLATFORM_HKEY_CLASSES_ROOT, ".prg",
                                          REGISTRY_PREVIOUS_CLASS_VALUE, "exefile");
         });
     },
     [](hostile_uninstall &t) {
         return t.default_of(PLATFORM_HKEY_CLASSES_ROOT, ".prg") != "(none)" ||
                t.key_exists(PLATFORM_HKEY_CLASSES_ROOT, "Prog.Document");
     }},
    {"the clean-up flag naming a file of the uninstaller's size but other bytes",
     "that file is deleted", "cleanup 0", -1, false,
     [](hostile_uninstall &t) {
         t.write("C:\\Temp\\kvuninst-42\\kvuninst.exe", "MZ the uninstaller");
         t.write("C:\\Prog\\kvuninst.exe", "MZ somebody's file");
         t.output = "cleanup " + std::to_string(t.clean_up("C:\\Temp\\kvuninst-42\\kvuninst.exe",
                                                           "C:\\Prog\\kvuninst.exe"));
     },
     [](hostile_uninstall &t) { return !t.has("C:\\Prog\\kvuninst.exe"); }},
    {"the clean-up flag typed by hand, from a copy outside its temporary folder",
     "the file it names is deleted, though it is the same program", "cleanup 0", -1, false,
     [](hostile_uninstall &t) {
         t.write("C:\\users\\u\\Downloads\\kvuninst.exe", "MZ the uninstaller");
         t.output = "cleanup " + std::to_string(t.clean_up("C:\\users\\u\\Downloads\\kvuninst.exe",
                                                           "C:\\Prog\\kvuninst.exe"));
     },
     [](hostile_uninstall &t) { return !t.has("C:\\Prog\\kvuninst.exe"); }},
};

TEST_F(hostile_uninstall, ForgedLogsPlantedLinksAndTheCleanUpFlag) {
    for (const hostile_row &row : ROWS) {
        SCOPED_TRACE(row.input);
        install(row.elevated);
        output.clear();
        row.plant(*this);
        if (row.exit >= 0) {
            uninstall();
            EXPECT_EQ(code, row.exit) << output;
        }
        EXPECT_NE(output.find(row.reported), std::string::npos) << output;
        EXPECT_FALSE(row.harmed(*this)) << row.must_not << "\n" << output;
    }
    // And the flag as the uninstaller really hands over: its own copy goes, and the emptied
    // destination with it.
    install(false);
    fs::remove_all(native("C:\\Prog"));
    write("C:\\Prog\\kvuninst.exe", "MZ the uninstaller");
    write("C:\\Temp\\kvuninst-42\\kvuninst.exe", "MZ the uninstaller");
    EXPECT_EQ(clean_up("C:\\Temp\\kvuninst-42\\kvuninst.exe", "C:\\Prog\\kvuninst.exe"), 1);
    EXPECT_FALSE(has("C:\\Prog"));
}

} // namespace
