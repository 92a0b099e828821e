// The uninstall entry of Windows' list of installed programs against the POSIX store: its values,
// the root chosen by elevation, the "[REG]" record with that root, refusals, an older entry
// replaced whole, faults with their error lines, and HKCU/HKLM keys through the .reg file.
#include "engine/registry.h"
#include "engine/step.h"
#include "engine/uninstall_entry.h"
#include "engine_support.h"
#include "platform/platform_registry.h"
#include "platform/posix/platform_posix_registry.h"
#include "script/script.h"

#include <vector>

namespace {

const std::string ENTRY_KEY =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Korvex Demo";

std::string store_text() {
    std::vector<char> text(platform_posix_registry_text(nullptr, 0) + 1);
    platform_posix_registry_text(text.data(), text.size());
    return text.data();
}

// The lines of one key as the store exports it ("" when it is not there).
std::string key_block(const std::string &root, const std::string &key) {
    std::string text = store_text(), head = "[" + root + "\\" + key + "]\n";
    size_t at = text.find(head);
    if (at == std::string::npos) return "";
    std::string block;
    for (at += head.size(); at < text.size() && text[at] != '\n';) {
        size_t end = text.find('\n', at);
        block += text.substr(at, end + 1 - at);
        at = end + 1;
    }
    return block;
}

struct uninstall_entry_test : engine_test {
    void SetUp() override {
        engine_test::SetUp();
        platform_registry_faults_reset();
        platform_posix_elevated = 0;
        text_copy(g_state.dest_path, sizeof g_state.dest_path, "C:\\Korvex Demo");
        make_native_folder("C:\\Korvex Demo");
        step_job();
        create_uninstall_log(&g_state);
        create_error_log(&g_state);
    }
    void TearDown() override {
        EXPECT_EQ(platform_posix_registry_open_keys(), 0) << "every key is closed";
        release_script(&g_state);
        platform_registry_faults_reset();
        platform_posix_elevated = 0;
        engine_test::TearDown();
    }
    void preload(const std::string &reg) {
        std::string file = root.path + "/before.reg";
        std::string text = "Windows Registry Editor Version 5.00\n\n" + reg;
        write_file(file, bytes(text.begin(), text.end()));
        int bad = 0;
        ASSERT_EQ(platform_posix_registry_load(file.c_str(), &bad), 1) << "line " << bad;
    }
    std::string errors() {
        std::string text = read_text("C:\\Korvex Demo\\InsErr.log");
        return text.substr(text.find("\r\n") + 2);
    }
    std::string records() {
        std::string text = read_text("C:\\Korvex Demo\\Uninstal.log");
        std::string head = "InsErr.log\r\n";
        return text.substr(text.find(head) + head.size());
    }
};

const char FULL_VALUES[] = R"("DisplayName"="Korvex Demo"
"UninstallString"="\"C:\\Korvex Demo\\kvuninst.exe\""
"QuietUninstallString"="\"C:\\Korvex Demo\\kvuninst.exe\" /S"
"InstallLocation"="C:\\Korvex Demo"
"DisplayIcon"="C:\\Korvex Demo\\kvuninst.exe"
"Publisher"="Korvex"
"DisplayVersion"="1.2"
"EstimatedSize"=dword:00000003
"NoModify"=dword:00000001
"NoRepair"=dword:00000001
)";

TEST_F(uninstall_entry_test, TheRegistryStepWritesTheEntry) {
    const std::string line = "uninstall=\"Korvex Demo\",\"[dest]\\kvuninst.exe\",Korvex,\"1.2\"\n";
    struct row {
        const char *name;
        std::string script;
        int elevated;
        const char *before; // .reg text loaded first
        platform_registry_fault_plan fault;
        int result;
        const char *root;   // where the entry must stand; null: nowhere
        const char *values; // its lines as exported
        std::string errors;
        std::string records; // after InsErr.log's record
    };
    const std::string user_record = "[REG]\r\nHKEY_CURRENT_USER\\" + ENTRY_KEY + "\r\n",
                      machine_record = "[REG]\r\nHKEY_LOCAL_MACHINE\\" + ENTRY_KEY + "\r\n";
    const std::string create_failed =
        "RegCreateKeyEx(7) Failed: 5 (HKEY_CURRENT_USER\\" + ENTRY_KEY + ")\r\n";
    const row rows[] = {
        {"per user: every value, the size rounded up",
         line,
         0,
         "",
         {},
         STEP_DONE,
         "HKEY_CURRENT_USER",
         FULL_VALUES,
         "",
         user_record},
        {"elevated: machine-wide",
         line,
         1,
         "",
         {},
         STEP_DONE,
         "HKEY_LOCAL_MACHINE",
         FULL_VALUES,
         "",
         machine_record},
        {"no publisher and no version: those values are left off",
         "uninstall=\"Korvex Demo\",\"[dest]\\kvuninst.exe\"\n",
         0,
         "",
         {},
         STEP_DONE,
         "HKEY_CURRENT_USER",
         R"("DisplayName"="Korvex Demo"
"UninstallString"="\"C:\\Korvex Demo\\kvuninst.exe\""
"QuietUninstallString"="\"C:\\Korvex Demo\\kvuninst.exe\" /S"
"InstallLocation"="C:\\Korvex Demo"
"DisplayIcon"="C:\\Korvex Demo\\kvuninst.exe"
"EstimatedSize"=dword:00000003
"NoModify"=dword:00000001
"NoRepair"=dword:00000001
)",
         "",
         user_record},
        {"an older entry goes whole, its extra value and subkey with it",
         line,
         0,
         "[HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KORVEX DEMO\\Old]\n"
         "[HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KORVEX DEMO]\n"
         "\"ModifyPath\"=\"old.exe\"\n",
         {},
         STEP_DONE,
         "HKEY_CURRENT_USER",
         FULL_VALUES,
         "",
         user_record},
        {"a display name with a backslash is refused: nothing is made",
         "uninstall=\"Korvex\\Demo\",\"[dest]\\kvuninst.exe\"\n",
         0,
         "",
         {},
         STEP_FAILED,
         nullptr,
         nullptr,
         "Invalid Uninstall Entry! (Korvex\\Demo)\r\n",
         ""},
        {"no uninstaller is refused",
         "uninstall=\"Korvex Demo\"\n",
         0,
         "",
         {},
         STEP_FAILED,
         nullptr,
         nullptr,
         "Invalid Uninstall Entry! (Korvex Demo)\r\n",
         ""},
        {"the key cannot be made",
         line,
         0,
         "",
         {"Uninstall", PLATFORM_REG_OP_CREATE, 0},
         STEP_FAILED,
         nullptr,
         nullptr,
         create_failed,
         ""},
        {"a value cannot be set: the key made stays recorded",
         line,
         0,
         "",
         {"Korvex Demo", PLATFORM_REG_OP_SET, 0},
         STEP_FAILED,
         "HKEY_CURRENT_USER",
         "",
         "RegSetValueEx(7) Failed: 5 ('DisplayName'='Korvex Demo')\r\n",
         user_record},
        {"a failed association does not keep the entry from being written",
         "reg_associate\n{\nKv.Doc,kvd,Doc\n}\n" + line,
         0,
         "",
         {},
         STEP_FAILED,
         "HKEY_CURRENT_USER",
         FULL_VALUES,
         "Invalid Extension Key! (kvd)\r\n",
         user_record},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.name);
        SetUp();
        if (r.before[0]) preload(r.before);
        platform_posix_elevated = r.elevated;
        platform_registry_faults = r.fault;
        g_state.bytes_copied = 2049;
        ASSERT_EQ(load_script_text(&g_state, r.script.data(), r.script.size()), 1);
        EXPECT_EQ(registry_step(step_job()), r.result);
        platform_registry_faults_reset();
        for (const char *root : {"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"}) {
            std::string block = key_block(root, ENTRY_KEY);
            if (r.root && !strcmp(root, r.root))
                EXPECT_EQ(block, r.values) << root;
            else
                EXPECT_EQ(store_text().find(std::string(root) + "\\" + ENTRY_KEY),
                          std::string::npos)
                    << root;
        }
        EXPECT_EQ(errors(), r.errors);
        EXPECT_EQ(records(), r.records);
        TearDown();
    }
    SetUp(); // the fixture's own TearDown follows
}

TEST(UninstallSize, KilobytesRoundedUp) {
    struct {
        int64_t bytes;
        uint32_t kb;
    } cases[] = {{0, 0},         {-5, 0},   {1, 1},
                 {1024, 1},      {1025, 2}, {INT64_C(4398046511104), UINT32_MAX},
                 {3 << 20, 3072}};
    for (auto &c : cases) EXPECT_EQ(uninstall_size_kb(c.bytes), c.kb) << c.bytes;
}

TEST_F(uninstall_entry_test, UserAndMachineKeysGoThroughTheRegFile) {
    platform_key *key = nullptr;
    ASSERT_EQ(
        platform_reg_create(platform_reg_root(PLATFORM_HKEY_LOCAL_MACHINE), "Software\\Kv", &key),
        0u);
    EXPECT_EQ(platform_reg_set_text(key, "Name", "a \"b\" \\c"), 0u);
    EXPECT_EQ(platform_reg_set_number(key, "Size", 0xabcdef), 0u);
    EXPECT_EQ(platform_reg_set_number(key, "SIZE", 7), 0u); // the same value, ignoring case
    EXPECT_EQ(platform_reg_set_text(key, "", "default"), 0u);
    EXPECT_EQ(platform_reg_set_number(key, "", 1), PLATFORM_ERROR_INVALID_PARAMETER);
    platform_reg_close(key);
    ASSERT_EQ(
        platform_reg_create(platform_reg_root(PLATFORM_HKEY_CURRENT_USER), "Software\\Kv", &key),
        0u);
    platform_reg_close(key);
    ASSERT_EQ(platform_reg_create(nullptr, ".kvd", &key), 0u);
    platform_reg_close(key);
    platform_reg_close(platform_reg_root(PLATFORM_HKEY_CURRENT_USER)); // closing a root: nothing
    // The roots are apart: HKEY_CLASSES_ROOT's handle is the null parent's.
    EXPECT_EQ(platform_reg_open(platform_reg_root(PLATFORM_HKEY_CLASSES_ROOT), "Software",
                                PLATFORM_KEY_READ, &key),
              PLATFORM_ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(platform_reg_open(platform_reg_root(PLATFORM_HKEY_CLASSES_ROOT), ".KVD",
                                PLATFORM_KEY_READ, &key),
              0u);
    platform_reg_close(key);
    const std::string expected = "Windows Registry Editor Version 5.00\n\n"
                                 "[HKEY_LOCAL_MACHINE\\Software]\n\n"
                                 "[HKEY_LOCAL_MACHINE\\Software\\Kv]\n@=\"default\"\n"
                                 "\"Name\"=\"a \\\"b\\\" \\\\c\"\n\"SIZE\"=dword:00000007\n\n"
                                 "[HKEY_CLASSES_ROOT\\.kvd]\n\n"
                                 "[HKEY_CURRENT_USER\\Software]\n\n"
                                 "[HKEY_CURRENT_USER\\Software\\Kv]\n\n";
    EXPECT_EQ(store_text(), expected);
    std::string file = root.path + "/out.reg";
    ASSERT_EQ(platform_posix_registry_save(file.c_str()), 1);
    ASSERT_EQ(platform_posix_registry_load(file.c_str(), nullptr), 1);
    EXPECT_EQ(store_text(), expected);
    // The short root names load too, and a removal reaches the root it names.
    preload("[HKLM\\Software\\Kv]\n\"N\"=dword:00000001\n[HKCU\\Software\\Kv]\n"
            "[-HKEY_CURRENT_USER\\Software\\Kv]\n");
    EXPECT_EQ(store_text(), "Windows Registry Editor Version 5.00\n\n"
                            "[HKEY_LOCAL_MACHINE\\Software]\n\n"
                            "[HKEY_LOCAL_MACHINE\\Software\\Kv]\n\"N\"=dword:00000001\n\n"
                            "[HKEY_CURRENT_USER\\Software]\n\n");
}

} // namespace
