// The registry step against the POSIX store: the keys an entry writes and what it deletes
// first, the error lines (their numbers as the uninstaller's readers know them), the refused
// system keys, injected faults, and the .reg file the simulation keeps.
#include "engine/registry.h"
#include "engine/step.h"
#include "engine/uninstall.h"
#include "engine_support.h"
#include "platform/platform_registry.h"
#include "platform/posix/platform_posix_registry.h"
#include "script/script.h"

#include <vector>

namespace {

// An association list of one or more entries.
std::string list(const char *key, const std::string &entries) {
    return std::string(key) + "\n{\n" + entries + "}\n";
}

const char DOC[] = "\"Kv.Doc\",\".kvd\",\"Kv document\",\"[dest]\\app.exe\",2,"
                   "\"\\\"[dest]\\app.exe\\\" \\\"%1\\\"\",\"\",\"\"\n";

// The keys the store holds, one line each, with " = value" when the default value is set and
// each named value on a line of its own, indented, as the .reg file writes it.
std::string keys() {
    std::vector<char> text(platform_posix_registry_text(nullptr, 0) + 1);
    platform_posix_registry_text(text.data(), text.size());
    std::string out, line;
    const std::string root = "[HKEY_CLASSES_ROOT\\";
    for (const char *p = text.data();; p++) {
        if (*p != '\n' && *p) {
            line += *p;
            continue;
        }
        if (line.compare(0, root.size(), root) == 0) {
            out += line.substr(root.size(), line.size() - root.size() - 1) + "\n";
        } else if (line.compare(0, 3, "@=\"") == 0) {
            out.pop_back();
            out += " = ";
            for (size_t i = 3; i + 1 < line.size(); i++)
                out += line[i] == '\\' ? line[++i] : line[i];
            out += "\n";
        } else if (line[0] == '"' && !out.empty()) {
            out += "  " + line + "\n";
        }
        line.clear();
        if (!*p) break;
    }
    return out;
}

struct registry_test : engine_test {
    void SetUp() override {
        engine_test::SetUp();
        platform_posix_registry_reset();
        platform_registry_faults_reset();
        text_copy(g_state.dest_path, sizeof g_state.dest_path, "C:\\Prog");
        make_native_folder("C:\\Prog");
        step_job();
        create_uninstall_log(&g_state);
        create_error_log(&g_state);
    }
    void TearDown() override {
        EXPECT_EQ(platform_posix_registry_open_keys(), 0) << "every key is closed";
        release_script(&g_state);
        platform_registry_faults_reset();
        platform_posix_registry_reset();
        engine_test::TearDown();
    }
    // Puts the keys of a .reg text into the store.
    void preload(const std::string &reg) {
        if (reg.empty()) return;
        std::string file = root.path + "/before.reg";
        std::string text = "Windows Registry Editor Version 5.00\n\n" + reg;
        write_file(file, bytes(text.begin(), text.end()));
        int bad = 0;
        ASSERT_EQ(platform_posix_registry_load(file.c_str(), &bad), 1) << "line " << bad;
    }
    // The store as a .reg text (without its first line), to be loaded again with more keys.
    std::string keys_as_reg() {
        std::vector<char> text(platform_posix_registry_text(nullptr, 0) + 1);
        platform_posix_registry_text(text.data(), text.size());
        std::string reg = text.data();
        return reg.substr(reg.find('\n') + 1);
    }
    int step(const std::string &script, uint32_t choices = 0) {
        EXPECT_EQ(load_script_text(&g_state, script.data(), script.size()), 1);
        g_state.choice_flags = choices;
        return registry_step(step_job());
    }
    std::string errors() {
        std::string text = read_text("C:\\Prog\\InsErr.log");
        return text.substr(text.find("\r\n") + 2);
    }
    std::string records() {
        std::string text = read_text("C:\\Prog\\Uninstal.log");
        std::string head = "C:\\Prog\\InsErr.log\r\n";
        return text.substr(text.find(head) + head.size());
    }
};

TEST_F(registry_test, EntriesWriteTheirKeysKeepingWhatOthersPutThere) {
    struct row {
        const char *name;
        const char *before; // .reg text of the store before the step
        std::string script;
        uint32_t choices;
        int result;
        const char *keys; // the store afterwards
        const char *errors;
        const char *records;
        int notifications;
    };
    const std::string too_long = "Field Too Long! (" + std::string(64, 'S') + ")\r\n";
    const row rows[] = {
        {"icon and commands expanded, quotes kept, empty print commands write no key", "",
         list("reg_associate", DOC), 0, STEP_DONE,
         R"(.kvd = Kv.Doc
Kv.Doc = Kv document
  "KorvexInstallFolder"="C:\\Prog"
Kv.Doc\DefaultIcon = C:\Prog\app.exe,2
Kv.Doc\shell
Kv.Doc\shell\open
Kv.Doc\shell\open\command = "C:\Prog\app.exe" "%1"
)",
         "", "[REG]\r\nHKEY_CLASSES_ROOT\\.kvd\r\n[REG]\r\nHKEY_CLASSES_ROOT\\Kv.Doc\r\n", 1},
        {"all three commands, a missing icon index is 0", "",
         list("reg_associate", "Kv.Doc,.kvd,Doc,icon.ico,,open,print,printto\n"), 0, STEP_DONE,
         R"(.kvd = Kv.Doc
Kv.Doc = Doc
  "KorvexInstallFolder"="C:\\Prog"
Kv.Doc\DefaultIcon = icon.ico,0
Kv.Doc\shell
Kv.Doc\shell\open
Kv.Doc\shell\open\command = open
Kv.Doc\shell\print
Kv.Doc\shell\print\command = print
Kv.Doc\shell\printto
Kv.Doc\shell\printto\command = printto
)",
         "", nullptr, 1},
        {"an extension without its full stop: nothing made, the next entry still written", "",
         list("reg_associate", "Kv.Txt,xyz,Text\n" + std::string(DOC)), 0, STEP_FAILED,
         R"(.kvd = Kv.Doc
Kv.Doc = Kv document
  "KorvexInstallFolder"="C:\\Prog"
Kv.Doc\DefaultIcon = C:\Prog\app.exe,2
Kv.Doc\shell
Kv.Doc\shell\open
Kv.Doc\shell\open\command = "C:\Prog\app.exe" "%1"
)",
         "Invalid Extension Key! (xyz)\r\n", nullptr, 1},
        {"a borrowed extension keeps what others put there and remembers their class; the "
         "product's earlier class keeps a verb another program added",
         R"([HKEY_CLASSES_ROOT\.KVD]
@="Old.Class"
"Content Type"="text/plain"

[HKEY_CLASSES_ROOT\.kvd\ShellNew]
"NullFile"=""

[HKEY_CLASSES_ROOT\.kvd\OpenWithProgids\Deeper]

[HKEY_CLASSES_ROOT\Kv.Doc\shell\edit\command]
@="other.exe"

[HKEY_CLASSES_ROOT\Kv.Doc\DefaultIcon]
@="C:\\Prog\\old.ico,9"

[HKEY_CLASSES_ROOT\Old.Class]
@="stays"

)",
         list("reg_associate", "Kv.Doc,.kvd,Doc,[dest]\\app.exe,1,run\n"), 0, STEP_DONE,
         R"(.KVD = Kv.Doc
  "Content Type"="text/plain"
  "KorvexPreviousClass"="Old.Class"
.KVD\OpenWithProgids
.KVD\OpenWithProgids\Deeper
.KVD\ShellNew
  "NullFile"=""
Kv.Doc = Doc
  "KorvexInstallFolder"="C:\\Prog"
Kv.Doc\DefaultIcon = C:\Prog\app.exe,1
Kv.Doc\shell
Kv.Doc\shell\edit
Kv.Doc\shell\edit\command = other.exe
Kv.Doc\shell\open
Kv.Doc\shell\open\command = run
Old.Class = stays
)",
         "", "[REG]\r\nHKEY_CLASSES_ROOT\\.kvd\r\n[REG]\r\nHKEY_CLASSES_ROOT\\Kv.Doc\r\n", 1},
        {"a class of the product's name that another program owns is refused untouched, and the "
         "extension with it; an empty class is filled",
         "[HKEY_CLASSES_ROOT\\.kvd]\n@=\"Old.Class\"\n\n"
         "[HKEY_CLASSES_ROOT\\Kv.Doc\\shell\\open\\command]\n@=\"C:\\\\Other\\\\x.exe %1\"\n\n"
         "[HKEY_CLASSES_ROOT\\Kv.Empty]\n\n",
         list("reg_associate", "Kv.Doc,.kvd,Doc,[dest]\\app.exe\nKv.Empty,.kve,E\n"), 0,
         STEP_FAILED,
         R"(.kvd = Old.Class
.kve = Kv.Empty
Kv.Doc
Kv.Doc\shell
Kv.Doc\shell\open
Kv.Doc\shell\open\command = C:\Other\x.exe %1
Kv.Empty = E
  "KorvexInstallFolder"="C:\\Prog"
Kv.Empty\DefaultIcon = ,0
Kv.Empty\shell
)",
         "Refused Foreign Class! (Kv.Doc)\r\n",
         "[REG]\r\nHKEY_CLASSES_ROOT\\.kve\r\n[REG]\r\nHKEY_CLASSES_ROOT\\Kv.Empty\r\n", 1},
        {"the class an install of the product made in another folder is the product's",
         "[HKEY_CLASSES_ROOT\\Kv.Doc]\n@=\"Doc\"\n\"KorvexInstallFolder\"=\"C:\\\\Elders\"\n\n"
         "[HKEY_CLASSES_ROOT\\Kv.Doc\\DefaultIcon]\n@=\"C:\\\\Elders\\\\app.exe,0\"\n\n",
         list("reg_associate", "Kv.Doc,.kvd,Doc,[dest]\\app.exe\n"), 0, STEP_DONE,
         ".kvd = Kv.Doc\nKv.Doc = Doc\n  \"KorvexInstallFolder\"=\"C:\\\\Prog\"\n"
         "Kv.Doc\\DefaultIcon = C:\\Prog\\app.exe,0\nKv.Doc\\shell\n",
         "", nullptr, 1},
        {"extrareg01 clear: only reg_associate", "",
         list("reg_associate", "A.Doc,.a,A\n") + list("reg_associate_01", "B.Doc,.b,B\n"), 0,
         STEP_DONE,
         ".a = A.Doc\nA.Doc = A\n  \"KorvexInstallFolder\"=\"C:\\\\Prog\"\nA.Doc\\DefaultIcon = "
         ",0\nA.Doc\\shell\n",
         "", "[REG]\r\nHKEY_CLASSES_ROOT\\.a\r\n[REG]\r\nHKEY_CLASSES_ROOT\\A.Doc\r\n", 1},
        {"extrareg01 ticked: both lists", "",
         list("reg_associate", "A.Doc,.a,A\n") + list("reg_associate_01", "B.Doc,.b,B\n"),
         CHOICE_EXTRAREG, STEP_DONE,
         ".a = A.Doc\n.b = B.Doc\nA.Doc = A\n  "
         "\"KorvexInstallFolder\"=\"C:\\\\Prog\"\nA.Doc\\DefaultIcon = ,0\nA.Doc\\shell\nB.Doc = "
         "B\n  \"KorvexInstallFolder\"=\"C:\\\\Prog\"\nB.Doc\\DefaultIcon = ,0\nB.Doc\\shell\n",
         "",
         "[REG]\r\nHKEY_CLASSES_ROOT\\.a\r\n[REG]\r\nHKEY_CLASSES_ROOT\\A.Doc\r\n"
         "[REG]\r\nHKEY_CLASSES_ROOT\\.b\r\n[REG]\r\nHKEY_CLASSES_ROOT\\B.Doc\r\n",
         2},
        {"only the second list, ticked", "", list("reg_associate_01", "B.Doc,.b,B\n"),
         CHOICE_EXTRAREG, STEP_DONE,
         ".b = B.Doc\nB.Doc = B\n  \"KorvexInstallFolder\"=\"C:\\\\Prog\"\nB.Doc\\DefaultIcon = "
         ",0\nB.Doc\\shell\n",
         "", nullptr, 1},
        {"no list: nothing touched", "", "windowtitle=x\n", CHOICE_EXTRAREG, STEP_DONE, "", "", "",
         0},
        {"an empty list fails", "", list("reg_associate", ""), 0, STEP_FAILED, "", "", "", 0},
        {"a first entry without an extension fails", "", list("reg_associate", "A.Doc\n"), 0,
         STEP_FAILED, "", "", "", 0},
        {"a blank line ends the list", "", list("reg_associate", "A.Doc,.a,A\n\nB.Doc,.b,B\n"), 0,
         STEP_DONE,
         ".a = A.Doc\nA.Doc = A\n  \"KorvexInstallFolder\"=\"C:\\\\Prog\"\nA.Doc\\DefaultIcon = "
         ",0\nA.Doc\\shell\n",
         "", nullptr, 1},
        {"the first list fails: the second is not processed", "",
         list("reg_associate", "A.Doc,a,A\n") + list("reg_associate_01", "B.Doc,.b,B\n"),
         CHOICE_EXTRAREG, STEP_FAILED, "", "Invalid Extension Key! (a)\r\n", "", 0},
        {"system keys and backslashes are refused before anything is deleted",
         "[HKEY_CLASSES_ROOT\\CLSID\\{0001}\\InprocServer32]\n@=\"x.dll\"\n\n"
         "[HKEY_CLASSES_ROOT\\.exe]\n@=\"exefile\"\n\n",
         list("reg_associate", "CLSID,.kvd,D\nKv.Exe,.EXE,E\nexefile,.kvx,X\nA\\B,.kvb,B\n"
                               "Kv.Star,*,S\nKv.Dot,.kvd\\sub,S\nHTTP,.kvh,H\n,.kve,E\n" +
                                   std::string(DOC)),
         0, STEP_FAILED,
         R"(.exe = exefile
.kvd = Kv.Doc
CLSID
CLSID\{0001}
CLSID\{0001}\InprocServer32 = x.dll
Kv.Doc = Kv document
  "KorvexInstallFolder"="C:\\Prog"
Kv.Doc\DefaultIcon = C:\Prog\app.exe,2
Kv.Doc\shell
Kv.Doc\shell\open
Kv.Doc\shell\open\command = "C:\Prog\app.exe" "%1"
)",
         "Refused System Key! (CLSID)\r\nRefused System Key! (.EXE)\r\n"
         "Refused System Key! (exefile)\r\nRefused System Key! (A\\B)\r\n"
         "Invalid Extension Key! (*)\r\nRefused System Key! (.kvd\\sub)\r\n"
         "Refused System Key! (HTTP)\r\nRefused System Key! ()\r\n",
         "[REG]\r\nHKEY_CLASSES_ROOT\\.kvd\r\n[REG]\r\nHKEY_CLASSES_ROOT\\Kv.Doc\r\n", 1},
        {"a field beyond its capacity refuses the entry", "",
         list("reg_associate", std::string(64, 'S') + ",.kvd,D\n" + std::string(DOC)), 0,
         STEP_FAILED, nullptr, too_long.c_str(), nullptr, 1},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.name);
        SetUp();
        preload(r.before);
        EXPECT_EQ(step(r.script, r.choices), r.result);
        if (r.keys) {
            EXPECT_EQ(keys(), r.keys);
        }
        EXPECT_EQ(errors(), r.errors);
        if (r.records) {
            EXPECT_EQ(records(), r.records);
        }
        EXPECT_EQ(platform_posix_registry_notifications(), r.notifications);
        TearDown();
    }
}

// Install, what other programs do meanwhile, uninstall: the extension goes back to whoever
// owned it, a key the install made goes unless someone else lives there now, and nothing of
// another program is lost.
TEST_F(registry_test, FileTypesAreBorrowedAndGivenBack) {
    const char *const wri_owned = R"([HKEY_CLASSES_ROOT\.wri]
@="wrifile"
"Content Type"="application/x-mswrite"

[HKEY_CLASSES_ROOT\.wri\ShellNew]
"NullFile"=""

[HKEY_CLASSES_ROOT\wrifile\shell\open\command]
@="\"C:\\Program Files\\wordpad.exe\" \"%1\""

)";
    struct row {
        const char *name;
        const char *extension;
        const char *before;    // .reg text of the store before the first install
        int installs;          // the same install run this many times
        int result;            // of each registry step
        const char *meanwhile; // .reg text applied after the installs
        const char *after;     // the keys once uninstalled; null: as before the install
        int exit;              // the uninstaller's
    };
    const row rows[] = {
        {"owned by another class: borrowed, given back with its values and subkeys", ".wri",
         wri_owned, 1, STEP_DONE, "", nullptr, UNINSTALL_EXIT_OK},
        {"installed twice, the log naming the key twice: the first install's memory of the owner "
         "stays, and the owner gets it back once",
         ".wri", wri_owned, 2, STEP_DONE, "", nullptr, UNINSTALL_EXIT_OK},
        {"new: made, and deleted", ".kvd", "", 1, STEP_DONE, "", nullptr, UNINSTALL_EXIT_OK},
        {"a key without a default value, only a subkey: that is what it gets back", ".kvd",
         "[HKEY_CLASSES_ROOT\\.kvd\\ShellNew]\n\n", 1, STEP_DONE, "", nullptr, UNINSTALL_EXIT_OK},
        {"made, then another program added a subkey: only the product's value goes", ".kvd", "", 1,
         STEP_DONE, "[HKEY_CLASSES_ROOT\\.kvd\\OpenWithProgids]\n\"Other.Type\"=\"\"\n\n",
         ".kvd\n.kvd\\OpenWithProgids\n  \"Other.Type\"=\"\"\n", UNINSTALL_EXIT_OK},
        {"taken over by another program after the install: left alone, the class still goes",
         ".wri", wri_owned, 1, STEP_DONE, "[HKEY_CLASSES_ROOT\\.wri]\n@=\"Other.Type\"\n\n",
         R"(.wri = Other.Type
  "Content Type"="application/x-mswrite"
  "KorvexPreviousClass"="wrifile"
.wri\ShellNew
  "NullFile"=""
wrifile
wrifile\shell
wrifile\shell\open
wrifile\shell\open\command = "C:\Program Files\wordpad.exe" "%1"
)",
         UNINSTALL_EXIT_INCOMPLETE},
        {"a foreign class of the product's name: not written, not deleted", ".kvd",
         "[HKEY_CLASSES_ROOT\\Kv.Doc\\shell\\open\\command]\n@=\"C:\\\\Other\\\\x.exe\"\n\n", 1,
         STEP_FAILED, "", nullptr, UNINSTALL_EXIT_OK},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.name);
        SetUp();
        preload(r.before);
        const std::string before = keys();
        std::string extension = r.extension;
        for (int i = 0; i < r.installs; i++) {
            EXPECT_EQ(step(list("reg_associate", "Kv.Doc," + extension + ",Doc,[dest]\\app.exe\n")),
                      r.result);
            // A later version's script spells the extension in capitals: the log names the key
            // once more.
            for (char &c : extension) c = (char)toupper((unsigned char)c);
        }
        if (r.meanwhile[0]) preload(keys_as_reg() + r.meanwhile);

        uninstall_plan plan = {};
        char message[UNINSTALL_MESSAGE_CAPACITY];
        ASSERT_EQ(uninstall_read(&plan, "C:\\Prog", nullptr, nullptr, message, sizeof message), 1)
            << message;
        ASSERT_EQ(uninstall_check_log(&plan, message, sizeof message), 1) << message;
        EXPECT_EQ(uninstall_perform(&plan, nullptr, nullptr), r.exit);
        uninstall_release(&plan);
        EXPECT_EQ(keys(), r.after ? r.after : before);
        TearDown();
    }
}

TEST_F(registry_test, ProgressBarRunsOverEachList) {
    std::string script = list("reg_associate", "A.Doc,.a,A\nB.Doc,.b,B\nC.Doc,.c,C\n") +
                         list("reg_associate_01", "D.Doc,.d,D\n\n");
    EXPECT_EQ(step(script, CHOICE_EXTRAREG), STEP_DONE);
    EXPECT_EQ(platform_ui_view.progress_max, 2); // the second list's entries, its blank line too
    EXPECT_EQ(platform_ui_view.progress_pos, 1);
    EXPECT_GE(platform_ui_view.drains, 4);
}

TEST_F(registry_test, InjectedFaultsLogTheirLines) {
    const char *const before = "[HKEY_CLASSES_ROOT\\.kvd\\Old]\n\n[HKEY_CLASSES_ROOT\\Kv.Doc]\n\n";
    struct row {
        const char *key;
        uint32_t operations, error;
        int preloaded;
        const char *errors;
        const char *records; // null: not compared
    };
    const row rows[] = {
        // An extension that cannot be read could not be given back: it is left as it is.
        {".kvd", PLATFORM_REG_OP_OPEN, 5, 1, "RegOpenKeyEx(1) Failed: 5 (.kvd)\r\n", ""},
        // Its earlier class (none) is remembered before its default value changes.
        {".kvd", PLATFORM_REG_OP_SET, 5, 1,
         "RegSetValueEx(1) Failed: 5 ('KorvexPreviousClass'='')\r\n",
         "[REG]\r\nHKEY_CLASSES_ROOT\\.kvd\r\n"},
        {".kvd", PLATFORM_REG_OP_CREATE, 1450, 0, "RegCreateKeyEx(1) Failed: 1450 (.kvd)\r\n", ""},
        {".kvd", PLATFORM_REG_OP_SET, 5, 0, "RegSetValueEx(1) Failed: 5 ('.kvd'='Kv.Doc')\r\n",
         "[REG]\r\nHKEY_CLASSES_ROOT\\.kvd\r\n"},
        // The class is judged before the extension is touched.
        {"Kv.Doc", PLATFORM_REG_OP_OPEN, 5, 1, "RegOpenKeyEx(2) Failed: 5 (Kv.Doc)\r\n", ""},
        {"Kv.Doc", PLATFORM_REG_OP_CREATE, 5, 0, "RegCreateKeyEx(2) Failed: 5 (Kv.Doc)\r\n",
         "[REG]\r\nHKEY_CLASSES_ROOT\\.kvd\r\n"},
        {"Kv.Doc", PLATFORM_REG_OP_SET, 5, 0,
         "RegSetValueEx(2) Failed: 5 ('Kv.Doc'='Kv document')\r\nAssociationRegistry Failed: 5\r\n",
         "[REG]\r\nHKEY_CLASSES_ROOT\\.kvd\r\n[REG]\r\nHKEY_CLASSES_ROOT\\Kv.Doc\r\n"},
        {"DefaultIcon", PLATFORM_REG_OP_CREATE, 5, 0,
         "RegCreateKeyEx(3) Failed: 5 (DefaultIcon)\r\nAssociationRegistry Failed: 5\r\n", nullptr},
        {"DefaultIcon", PLATFORM_REG_OP_SET, 5, 0,
         "RegSetValueEx(3) Failed: 5 (DefaultIcon=C:\\Prog\\app.exe,2)\r\n"
         "AssociationRegistry Failed: 5\r\n",
         nullptr},
        {"Kv.Doc\\shell", PLATFORM_REG_OP_CREATE, 5, 0, "AssociationRegistry Failed: 5\r\n",
         nullptr},
        {"open\\command", PLATFORM_REG_OP_CREATE, 5, 0,
         "RegCreateKeyEx(4) Failed: 5 (open\\command)\r\nAssociationRegistry Failed: 5\r\n",
         nullptr},
        {"print\\command", PLATFORM_REG_OP_CREATE, 5, 0,
         "RegCreateKeyEx(4) Failed: 5 (print\\command)\r\nAssociationRegistry Failed: 5\r\n",
         nullptr}, // a later command key that succeeds does not hide the failure
        {"printto\\command", PLATFORM_REG_OP_CREATE, 5, 0,
         "RegCreateKeyEx(6) Failed: 5 (printto\\command)\r\nAssociationRegistry Failed: 5\r\n",
         nullptr},
        {"command", PLATFORM_REG_OP_SET, 5, 0, "", nullptr}, // a command's value does not count
    };
    const std::string script =
        list("reg_associate", "Kv.Doc,.kvd,\"Kv document\",[dest]\\app.exe,2,open,print,printto\n");
    for (const row &r : rows) {
        SCOPED_TRACE(std::string(r.key) + " " + std::to_string(r.operations));
        SetUp();
        if (r.preloaded) preload(before);
        platform_registry_faults = {r.key, r.operations, r.error};
        EXPECT_EQ(step(script), r.errors[0] ? STEP_FAILED : STEP_DONE);
        EXPECT_EQ(errors(), r.errors);
        if (r.records) {
            EXPECT_EQ(records(), r.records);
        }
        TearDown();
    }
}

TEST_F(registry_test, DeleteKeyTree) {
    preload(
        "[HKEY_CLASSES_ROOT\\T\\a\\x]\n\n[HKEY_CLASSES_ROOT\\T\\b]\n\n[HKEY_CLASSES_ROOT\\U]\n\n");
    EXPECT_EQ(delete_key_tree(nullptr, ""), PLATFORM_ERROR_BADKEY);
    EXPECT_EQ(delete_key_tree(nullptr, nullptr), PLATFORM_ERROR_BADKEY);
    EXPECT_EQ(delete_key_tree(nullptr, "Missing"), PLATFORM_ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(delete_key_tree(nullptr, "t"), 0u);
    EXPECT_EQ(keys(), "U\n");
}

TEST_F(registry_test, RegFileRoundTrip) {
    // ANSI text with code page 1252 characters (held as UTF-8), a named value kept as written,
    // a removal.
    const std::string reg = "REGEDIT4\r\n\r\n[HKEY_CLASSES_ROOT\\.kvd]\r\n@=\"Kv \\\"Doc\\\" \x80 "
                            "\xe9\\\\x\"\r\n\"Multi\"=hex(7):41,00,\\\r\n  00,00\r\n\r\n"
                            "[HKCR\\Gone\\Sub]\r\n\r\n[-HKEY_CLASSES_ROOT\\Gone]\r\n\r\n"
                            "; a comment\r\n[HKEY_CLASSES_ROOT\\Empty]\r\n@=\"\"\r\n";
    std::string file = root.path + "/in.reg", saved = root.path + "/out.reg";
    write_file(file, bytes(reg.begin(), reg.end()));
    ASSERT_EQ(platform_posix_registry_load(file.c_str(), nullptr), 1);
    const std::string expected = "Windows Registry Editor Version 5.00\n\n"
                                 "[HKEY_CLASSES_ROOT\\.kvd]\n@=\"Kv \\\"Doc\\\" € é\\\\x\"\n"
                                 "\"Multi\"=hex(7):41,00,\\\n  00,00\n\n"
                                 "[HKEY_CLASSES_ROOT\\Empty]\n@=\"\"\n\n";
    char text[512];
    platform_posix_registry_text(text, sizeof text);
    EXPECT_EQ(std::string(text), expected);

    // Saved as the registry editor exports: UTF-16LE with its mark and CR LF; read back alike.
    ASSERT_EQ(platform_posix_registry_save(saved.c_str()), 1);
    bytes out = read_file(saved);
    ASSERT_GE(out.size(), 8u);
    EXPECT_EQ(out[0], 0xFF);
    EXPECT_EQ(out[1], 0xFE);
    EXPECT_EQ(std::string(out.begin() + 2, out.begin() + 8), std::string("W\0i\0n\0", 6));
    std::string euro("\xac\x20", 2), crlf("\r\0\n\0", 4);
    EXPECT_NE(std::string(out.begin(), out.end()).find(euro), std::string::npos);
    EXPECT_NE(std::string(out.begin(), out.end()).find(crlf), std::string::npos);
    ASSERT_EQ(platform_posix_registry_load(saved.c_str(), nullptr), 1);
    platform_posix_registry_text(text, sizeof text);
    EXPECT_EQ(std::string(text), expected);

    // Files that are not .reg files of the roots kept are refused with their line.
    struct bad {
        const char *text;
        int line;
    } bads[] = {
        {"hello\n", 1},
        {"REGEDIT4\n\n[HKEY_USERS\\Software]\n", 3}, // HKLM and HKCU are kept, other roots not
        {"REGEDIT4\n@=\"no key\"\n", 2},
        {"REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\n@=unquoted\n", 3},
        {"REGEDIT4\n[HKEY_CLASSES_ROOT\\A\\\\B]\n", 2},
    };
    for (const bad &b : bads) {
        write_file(file, bytes(b.text, b.text + strlen(b.text)));
        int line = -1;
        EXPECT_EQ(platform_posix_registry_load(file.c_str(), &line), -1) << b.text;
        EXPECT_EQ(line, b.line) << b.text;
        EXPECT_EQ(keys(), "");
    }
    EXPECT_EQ(platform_posix_registry_load((root.path + "/none.reg").c_str(), nullptr), 0);
}

TEST_F(registry_test, StoreAnswersAsWin32) {
    platform_key *a = nullptr, *b = nullptr, *c = nullptr;
    ASSERT_EQ(platform_reg_create(nullptr, "A\\B", &a), 0u);
    EXPECT_EQ(platform_reg_delete(nullptr, "A"), PLATFORM_ERROR_ACCESS_DENIED); // has a subkey
    ASSERT_EQ(platform_reg_open(nullptr, "a", PLATFORM_KEY_READ, &b), 0u);
    EXPECT_EQ(platform_reg_create(b, "C", &c), PLATFORM_ERROR_ACCESS_DENIED); // read access
    char name[4];
    EXPECT_EQ(platform_reg_enum_subkey(b, 0, name, sizeof name), 0u);
    EXPECT_STREQ(name, "B");
    EXPECT_EQ(platform_reg_enum_subkey(b, 1, name, sizeof name), PLATFORM_ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(platform_reg_enum_subkey(a, 0, name, sizeof name), PLATFORM_ERROR_ACCESS_DENIED);
    EXPECT_EQ(platform_reg_delete(nullptr, "a\\B"), 0u);
    EXPECT_EQ(platform_reg_set_default(a, "x"), PLATFORM_ERROR_KEY_DELETED);
    EXPECT_EQ(platform_reg_open(nullptr, "A\\B", PLATFORM_KEY_READ, &c),
              PLATFORM_ERROR_FILE_NOT_FOUND);
    platform_reg_close(a);
    platform_reg_close(b);
    EXPECT_EQ(keys(), "A\n");
}

} // namespace
