// A forged earlier Uninstal.log, planted in a folder prepared for an elevated install: the
// install carries into its own log (which its seal then vouches for) only what stands and is
// allowed, so a later uninstall cannot be handed another program's files, links or keys.
#include "upgrade_support.h"

namespace {

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
