// The packer's script checks: a clean script draws nothing, each mistake draws its finding
// on the vendor's own line.
#include "script/script.h"
#include "script/script_lint.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char *const CLEAN =
    "// Demo product\n"
    "windowtitle=\"Demo Setup\"\n"
    "license=license.txt\n"
    "welcome=welcome.txt\n"
    "bitmap=banner.bmp\n"
    "default_dest_dir=\"Demo\"\n"
    "programgroupyesno=\"Start menu\",true\n"
    "desktopyesno=\"Desktop\",false\n"
    "launchyesno=\"Start Demo\",TRUE\n"
    "launchfile,\"[dest]\\demo.exe\",\"[dest]\"\n"
    "folders\n{\n\tdir01=\"[dest]\\Docs\"\n}\n"
    "steps\n{\n\tshowwelcome\n\tshowlicense\n\n\tfoldersettings\n\tstartinstall\n\tfinished\n}\n"
    "install_steps\n{\n"
    "\tcheckdiskspace=\"Checking\",\"No room\",break\n"
    "\tcreatefolders=\"Folders\",\"Cannot create\",break\n"
    "\tcopyfiles=\"Copying\",\"Copy failed\"\n"
    "\tregistry=\"Registering\",\"Registry failed\"\n"
    "\tstartmenu=\"Shortcuts\",\"Shortcut failed\"\n"
    "}\n"
    "copy_files\n{\n"
    "\t\"Program\", [source]demo.exe, [dest]\\*.*, overwrite_ask, vital\n"
    "\t\"Docs\", [source]read*.txt, [dir01]\\*.*, overwrite_always\n"
    "}\n"
    "reg_associate\n{\n"
    "\t\"Demo.Doc\",\".demo\",\"Demo document\",\"[dest]\\demo.exe\",0,"
    "\"\\\"[dest]\\demo.exe\\\" \\\"%1\\\"\",\"\",\"\"\n"
    "}\n"
    "program_group\n{\n"
    "\t\"Demo\",\"Demo.lnk\",\"[dest]\\demo.exe\",\"[dest]\",\"[dest]\\demo.exe\",0,\"Demo\"\n"
    "\t\"Demo\",\"Readme.lnk\",\"[dir01]\\readme.txt\"\n"
    "}\n";

const lint_member MEMBERS[] = {
    {"demo.exe", 1000, 0},   {"license.txt", 500, 0}, {"welcome.txt", 300, 0},
    {"banner.bmp", 5000, 0}, {"readme.txt", 100, 0},
};

std::vector<lint_finding> lint(const std::string &script, const lint_member *members = MEMBERS,
                               int count = 5) {
    std::vector<lint_finding> found;
    int n = script_lint(
        script.data(), script.size(), members, count,
        [](void *context, const lint_finding *f) {
            static_cast<std::vector<lint_finding> *>(context)->push_back(*f);
        },
        &found);
    EXPECT_EQ(n, (int)found.size());
    return found;
}

int line_of(const std::string &script, const std::string &needle) {
    size_t at = script.find(needle);
    if (at == std::string::npos) return -1;
    int line = 1;
    for (size_t i = 0; i < at; i++) line += script[i] == '\n';
    return line;
}

std::string all(const std::vector<lint_finding> &found) {
    std::string text;
    for (auto &f : found) text += std::to_string(f.line) + ": " + f.message + "\n";
    return text;
}

} // namespace

TEST(ScriptLint, CleanScriptDrawsNothing) {
    EXPECT_EQ(all(lint(CLEAN)), "");
    std::string crlf;
    for (const char *p = CLEAN; *p; p++) {
        if (*p == '\n') crlf += '\r';
        crlf += *p;
    }
    EXPECT_EQ(all(lint(crlf)), "");
    EXPECT_EQ(all(lint(CLEAN, nullptr, -1)), ""); // members unknown
}

TEST(ScriptLint, EachMistakeDrawsItsFinding) {
    struct {
        const char *find, *replace; // applied to the clean script once
        const char *anchor;         // text on the line the finding names (after the edit)
        int delta;                  // lines below the anchor
        const char *says;
    } cases[] = {
        {"windowtitle", "text_selectfolder=\"x\"\nwindowtitle", "text_selectfolder", 0,
         "not a key the installer knows"},
        {"copy_files\n{", "copy_files{", "copy_files{", 0, "glued to copy_files"},
        {"\tstartinstall\n", "", "steps", 0, "no startinstall"},
        {"windowtitle", "finished=\"x\"\nwindowtitle", "finished=", 0, "counts as a page"},
        {"\tcopyfiles=", "\tcopyfile=", "copyfile=", 0, "not an install step"},
        {"\tcopyfiles=", "\tshowwelcome\n\tcopyfiles=", "\tshowwelcome\n\tcopyfiles", 0,
         "as if cancelled"},
        {"\tcheckdiskspace=\"Checking\",\"No room\",break\n", "", "\tcopyfiles=", 0,
         "without checkdiskspace"},
        {"\tcopyfiles=", "\tregistry=\"x\"\n\tcopyfiles=", "\tregistry=\"Registering", 0,
         "already heads line"},
        {"launchfile,", "launchfile=", "launchfile=", 0, "starts '[dest]'"},
        {"\"Desktop\",false", "\"Desktop\",yes", "desktopyesno", 0, "neither true nor false"},
        {"\"Docs\",", "\"Docs, manuals\",", "\"Docs, manuals", 0, "description holds a comma"},
        {"[source]read*.txt", "\"[source]read*.txt\"", "\"[source]read*.txt", 0,
         "pattern is quoted"},
        {"[source]read*.txt", "[source]*.pdf", "*.pdf", 0, "matches no packed member"},
        {", overwrite_always", "", "\"Docs\"", 0, "no overwrite policy"},
        {", overwrite_always", ",overwrite_sometimes", "\"Docs\"", 0, "is not one"},
        {"license=license.txt", "license=licence.txt", "licence.txt", 0,
         "no packed member is named 'licence.txt'"},
        {"bitmap=banner.bmp", "bitmap=\"banner.gif\"", "banner.gif", 0, "gradient"},
        {"[dir01]\\*.*", "[dir02]\\*.*", "[dir02]", 0, "dir02 is not defined"},
        {"dir01=\"[dest]\\Docs\"", "dir01=\"[dir03]\"\ndir03=\"[dir01]\"", "dir01=", 0, "cycle"},
        {"\".demo\"", "\"demo\"", "\"demo\"", 0, "lacks the full stop"},
        {"\t\"Demo\",\"Readme.lnk\"", "\n\t\"Demo\",\"Readme.lnk\"", "\"Demo.lnk\"", 1,
         "blank line ends the program_group list"},
        {"\t\"Demo\",\"Readme.lnk\"", "\t\"Demo\"\n\t\"Demo\",\"Readme.lnk\"", "\"Demo.lnk\"", 1,
         "lacks a shortcut name"},
        {"\"Demo Setup\"", "\"Demo Setup\" // the caption", "windowtitle", 0,
         "joins line 3 onto this line"},
        {"default_dest_dir=\"Demo\"", "default_dest_dir=Demo App", "default_dest_dir", 0,
         "reads 'DemoApp'"},
        {"dir01=\"[dest]\\Docs\"", "dir01=[dest]\\Docs", "dir01", 0, "only '[dest]' is read"},
        {"windowtitle=\"Demo Setup\"", "windowtitle=\"Demo Setup", "windowtitle", 0,
         "quote is not closed"},
        {"program_group\n{", "program_group", "program_group", 0, "no { follows program_group"},
        {"copy_files\n{\n", "copy_files\n{ // files\n", "copy_files", 1,
         "text stands behind the {"},
        {"folders\n{\n", "folders\n{ // the folders\n", "folders", 1, "glued to dir01"},
        {"steps\n", "stepz\n", "stepz", 0, "no steps list"},
        {"install_steps\n", "", "steps", 0, "no install_steps list"},
        {"[dest]\\*.*", "[dest]\\..\\..\\*.*", "\"Program\"", 0, "climbs out of [dest]"},
        {"[dir01]\\*.*", "[dir01]\\..\\..\\*.*", "\"Docs\", [source]", 0, "climbs out of [dest]"},
        {"dir01=\"[dest]\\Docs\"", "dir01=\"[dest]\\.\\..\\Docs\"", "dir01=", 0,
         "dir01 '[dest]\\.\\..\\Docs' climbs out"},
        {"[dest]\\*.*", "\\Temp\\*.*", "\"Program\"", 0, "is rooted"},
        {"[dest]\\*.*", "Temp/*.*", "\"Program\"", 0, "is relative"},
        {"\t\"Demo\",\"Demo.lnk\"", "\t\"..\\..\\Startup\",\"Demo.lnk\"", "Demo.lnk", 0,
         "climbs out of the Start menu's Programs folder"},
        {"\"Readme.lnk\"", "\"..\\..\\Readme.lnk\"", "Readme.lnk", 0, "climbs out of the Start"},
    };
    for (auto &c : cases) {
        std::string script = CLEAN;
        size_t at = script.find(c.find);
        ASSERT_NE(at, std::string::npos) << c.find;
        script.replace(at, strlen(c.find), c.replace);
        auto found = lint(script);
        int line = line_of(script, c.anchor) + c.delta;
        bool hit = false;
        for (auto &f : found)
            if (strstr(f.message, c.says) && (f.line == line || f.line == 0)) hit = true;
        EXPECT_TRUE(hit) << "expected on line " << line << ": " << c.says << "\ngot:\n"
                         << all(found);
    }
}

TEST(ScriptLint, MemberTextTooLongToShow) {
    lint_member members[5];
    std::copy(MEMBERS, MEMBERS + 5, members);
    members[1].size = 9000; // longer than the text buffer: shown whole
    EXPECT_EQ(lint(CLEAN, members, 5).size(), 0u);
    members[1].size = (1u << 20) + 1;
    auto found = lint(CLEAN, members, 5);
    ASSERT_EQ(found.size(), 1u) << all(found);
    EXPECT_EQ(found[0].line, 3);
    EXPECT_NE(strstr(found[0].message, "shows only the first 1048576"), nullptr);
}

TEST(ScriptLint, FindingsAreBoundedAndOrdered) {
    std::string script;
    for (int i = 0; i < 3000; i++) script += "typo" + std::to_string(i) + "\n";
    auto found = lint(script);
    ASSERT_GT(found.size(), 1000u);
    for (size_t i = 1; i + 1 < found.size(); i++) EXPECT_LE(found[i - 1].line, found[i].line);
    EXPECT_NE(strstr(found.back().message, "left out"), nullptr);
    EXPECT_EQ(script_lint(nullptr, 0, nullptr, -1, nullptr, nullptr), 2); // no lists at all
}

TEST(ScriptLint, ProtectedAssociationKeysAreErrors) {
    struct {
        const char *entry; // replaces the clean script's association entry
        int errors;        // error findings on its line
    } cases[] = {
        {"\"CLSID\",\".demo\",\"x\"", 1},
        {"\"Demo.Doc\",\".EXE\",\"x\"", 1},
        {"\"*\",\".lnk\",\"x\"", 2},
        {"\"Demo\\Doc\",\".demo\",\"x\"", 1},
        {"exefile,.msi,x", 2},
        {"\"Demo.Exe\",\".exe2\",\"x\"", 0},
        {"\"CLSIDs\",\".demo\",\"x\"", 0},
        {"\"\",\".demo\",\"x\"", 1},
    };
    const std::string clean = CLEAN;
    const std::string entry = "\t\"Demo.Doc\",\".demo\",\"Demo document\"";
    for (auto &c : cases) {
        std::string script = clean;
        size_t at = script.find(entry);
        ASSERT_NE(at, std::string::npos);
        size_t end = script.find('\n', at);
        script.replace(at, end - at, std::string("\t") + c.entry);
        int line = line_of(script, c.entry), errors = 0;
        for (auto &f : lint(script))
            if (f.error && f.line == line && strstr(f.message, "refuses the entry")) errors++;
        EXPECT_EQ(errors, c.errors) << c.entry << "\n" << all(lint(script));
    }
    for (auto &f : lint(CLEAN)) EXPECT_EQ(f.error, 0);
}

// A keyword that is no step stops the run as cancelled: an error. An unknown word only ends the
// list early: a warning, as before. Types of Windows or common programs: a warning, unless the
// type is a protected key (an error of its own).
TEST(ScriptLint, NoStepsAndCommonTypes) {
    const std::string clean = CLEAN;
    const std::string step = "\tcopyfiles=\"Copying\",\"Copy failed\"\n";
    const std::string entry = "\t\"Demo.Doc\",\".demo\",";
    struct {
        const std::string &find;
        std::string insert; // put before find
        std::string entry;  // or, when insert is empty, replaces the association's start
        const char *says;
        int error; // -1: no such finding at all
    } cases[] = {
        {step, "\tuninstall=\"Demo\",\"[dest]\\kvuninst.exe\"\n", "",
         "uninstall is not an install step", 1},
        {step, "\tshowwelcome\n", "", "showwelcome is not an install step", 1},
        {step, "\tcopyfile=\"x\"\n", "", "'copyfile' is not an install step", 1},
        {entry, "", "\t\"Demo.Doc\",\".txt\",", "Windows or a common program owns", 0},
        {entry, "", "\t\"Demo.Doc\",\".ZIP\",", "Windows or a common program owns", 0},
        {entry, "", "\t\"Demo.Doc\",\".Docx\",", "Windows or a common program owns", 0},
        {entry, "", "\t\"Demo.Doc\",\".zipx\",", "Windows or a common program owns", -1},
        {entry, "", "\t\"Demo.Doc\",\".exe\",", "Windows or a common program owns", -1},
        {entry, "", "\t\"Demo.Doc\",\"txt\",", "Windows or a common program owns", -1},
    };
    for (auto &c : cases) {
        std::string script = clean, anchor = c.insert.empty() ? c.entry : c.insert + c.find;
        size_t at = script.find(c.find);
        ASSERT_NE(at, std::string::npos);
        if (c.insert.empty())
            script.replace(at, c.find.size(), c.entry);
        else
            script.insert(at, c.insert);
        int line = line_of(script, anchor), hits = 0, error = -1;
        for (auto &f : lint(script))
            if (f.line == line && strstr(f.message, c.says)) hits++, error = f.error;
        EXPECT_EQ(hits, c.error < 0 ? 0 : 1) << anchor << "\n" << all(lint(script));
        EXPECT_EQ(error, c.error) << anchor;
    }
}

TEST(ScriptLint, UninstallLine) {
    const std::string good = "uninstall=\"Demo\",\"[dest]\\kvuninst.exe\",\"Korvex\",\"1.0\"\n";
    EXPECT_EQ(all(lint(CLEAN + good)), "");
    struct {
        std::string line;           // appended to the clean script
        const char *find, *replace; // then applied once ("" find: nothing)
        const char *says;
        int error;
    } cases[] = {
        {"uninstall=\"Korvex\\Demo\",x.exe\n", "", "", "holds a backslash", 1},
        {"uninstall=\"\",x.exe\n", "", "", "is empty", 1},
        {"uninstall=\"" + std::string(256, 'n') + "\",x.exe\n", "", "", "longer than 255", 1},
        {"uninstall=\"Demo\"\n", "", "", "names no uninstaller", 1},
        {"uninstall=\"Demo\",\"\"\n", "", "", "names no uninstaller", 1},
        {good, "\tregistry=\"Registering\",\"Registry failed\"\n", "", "no registry step", 0},
        {good, "\tcopyfiles=\"Copying\",\"Copy failed\"\n",
         "\tregistry=\"R\",\"F\"\n\tcopyfiles=\"Copying\",\"Copy failed\"\n", "as 0 KB", 0},
    };
    for (auto &c : cases) {
        std::string script = CLEAN + c.line;
        if (c.find[0]) {
            size_t at = script.find(c.find);
            ASSERT_NE(at, std::string::npos) << c.find;
            script.replace(at, strlen(c.find), c.replace);
        }
        int line = line_of(script, "uninstall="), hits = 0;
        auto found = lint(script);
        for (auto &f : found)
            if (strstr(f.message, c.says) && f.line == line && f.error == c.error) hits++;
        EXPECT_EQ(hits, 1) << c.says << "\ngot:\n" << all(found);
    }
}

TEST(ScriptLint, MistakesThePackerRefusesAreErrorsWithTheirLine) {
    struct {
        const char *find, *replace; // applied to the clean script once ("" find: appended)
        const char *anchor;         // text on the line the finding names (after the edit)
        const char *says;           // "": the script draws no finding
        int error;                  // the finding is an error
        int findings;               // all findings the script draws (-1: all on that line)
    } cases[] = {
        {"\tcopyfiles=", "\tcopyfile=", "copyfile=",
         "'copyfile' is not an install step: the installer ends the install steps here and runs "
         "none of the entries below; did you mean `copyfiles`?",
         1, 1},
        {"\tregistry=", "\tregistri=", "registri=", "did you mean `registry`?", 1, 1},
        {"\tcopyfiles=", "\tbreak\n\tcopyfiles=", "\tbreak\n", "as if cancelled", 1, 1},
        {"\tfoldersettings", "\tfoldersetings", "foldersetings",
         "'foldersetings' in steps is not a page word: when the wizard comes to it, it keeps "
         "showing the page before; did you mean `foldersettings`?",
         1, 1},
        // One error for a quote left open; the lines below it are read as written.
        {"windowtitle=\"Demo Setup\"", "windowtitle=\"Demo Setup", "windowtitle",
         "a quote is not closed on this line", 1, 1},
        {"\t\"Program\", [source]demo.exe", "\t\"Program\", \"[source]demo.exe", "\"Program\"",
         "a quote is not closed on this line", 1, -1},
        {"[source]demo.exe", "[source]demo2.exe", "demo2.exe",
         "the source pattern 'demo2.exe' matches no packed member", 1, 1},
        {"", "language=englisch\n", "language=",
         "language 'englisch' is none the installer speaks (nl, en, de, fr or their names): it "
         "shows its Dutch texts; did you mean `english`?",
         1, 1},
        {"", "language=klingon\n", "language=", "it shows its Dutch texts\n", 1, 1},
        {"", "text_next=\"Weiter \x81>\"\n", "text_next", "byte 0x81 makes the script", 1, 1},
        {"", "text_next=\"Suivant \x8D>\"\r\n", "text_next", "byte 0x8D", 1, 1},
        {"[source]read*.txt", "[source]*.txt", "[source]*.txt",
         "the source pattern '*.txt' also catches setup.txt, welcome.txt, license.txt: the "
         "installer copies them into the destination",
         0, 1},
        {"windowtitle", "windowtitel", "windowtitel",
         "'windowtitel' is not a key the installer knows: it ignores this line; did you mean "
         "`windowtitle`?",
         0, 1},
        {"windowtitle", "xyzzy", "xyzzy", "ignores this line\n", 0, 1}, // nothing near enough
        {"[source]read*.txt", "[source]*.exe", "", "", 0, 0},           // no text caught
        {"", "language=EN\ntext_un_title=\"Remove\"\n", "", "", 0, 0},
        {"", "language=deutsch\n", "", "", 0, 0},
        {"", "text_next=\"Weiter \xFC>\"\n", "", "", 0, 0},     // Windows-1252
        {"", "text_next=\"Weiter \xC3\xBC>\"\n", "", "", 0, 0}, // UTF-8
    };
    for (auto &c : cases) {
        const std::string script = edited(CLEAN, c.find, c.replace);
        auto found = lint(script);
        std::string got = all(found);
        int line = line_of(script, c.anchor), hits = 0;
        if (c.findings >= 0) {
            EXPECT_EQ((int)found.size(), c.findings) << c.replace << "\n" << got;
        } else {
            for (auto &f : found) EXPECT_EQ(f.line, line) << got; // nothing on other lines
        }
        if (!c.says[0]) continue;
        for (auto &f : found)
            if (f.line == line && f.error == c.error &&
                (std::string(f.message) + "\n").find(c.says) != std::string::npos)
                hits++;
        EXPECT_EQ(hits, 1) << c.says << " on line " << line << "\n" << got;
    }
}

TEST(ScriptLint, AListWithoutItsClosingBraceIsNamedAlone) {
    struct {
        const char *find, *replace; // applied once to the clean script
        const char *list, *anchor;  // the list named, and its brace's line
    } cases[] = {
        // The installer reads copy_files on to reg_associate's brace; lint reads on as if it
        // closed before reg_associate.
        {"overwrite_always\n}\n", "overwrite_always\n", "copy_files", "copy_files\n{"},
        // The script's last list, its last line without a line end: nothing closes it.
        {"\"[dir01]\\readme.txt\"\n}\n", "\"[dir01]\\readme.txt\"", "program_group",
         "program_group\n{"},
        {"\tfinished\n}\n", "\tfinished\n", "steps", "steps\n{"},
    };
    for (auto &c : cases) {
        const std::string script = edited(CLEAN, c.find, c.replace);
        const int line = line_of(script, c.anchor) + 1;
        auto found = lint(script);
        ASSERT_EQ(found.size(), 1u) << all(found);
        EXPECT_EQ(found[0].line, line);
        EXPECT_EQ(found[0].error, 1);
        EXPECT_EQ(std::string(found[0].message),
                  std::string("the list ") + c.list + " opened at line " + std::to_string(line) +
                      " has no closing brace: the installer reads its entries on to the next } "
                      "it finds, another list's or none");
    }
}

TEST(ScriptLint, PageTextsOutsideEveryEncodingAreErrors) {
    lint_member members[5];
    std::copy(MEMBERS, MEMBERS + 5, members);
    members[2].encoding = SCRIPT_ENCODING_CP1252;  // welcome.txt
    members[1].encoding = SCRIPT_ENCODING_INVALID; // license.txt
    auto found = lint(CLEAN, members, 5);
    ASSERT_EQ(found.size(), 1u) << all(found);
    EXPECT_EQ(found[0].line, line_of(CLEAN, "license="));
    EXPECT_EQ(found[0].error, 1);
    EXPECT_NE(strstr(found[0].message, "'license.txt' is neither UTF-8 nor Windows-1252"), nullptr);
}
