// kvpack lint and the checks of kvpack pack, run as a program: the demo product's script is
// clean, findings name the file and line, --strict turns them into a failure.
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// The vectors lie in tests/vectors of the source tree.
const std::string DEMO = vectors_dir() + "/../../examples/demo";

command_result kvpack(const std::string &args) {
    return run_command(KVPACK_PATH " " + args);
}

// The demo product as it is packed: its texts and pictures, and a program in place of the
// demo.exe that the Windows build makes.
void stage_demo(const std::string &dir) {
    fs::create_directories(dir);
    for (const char *name : {"setup.txt", "license.txt", "welcome.txt", "readme.txt", "banner.bmp"})
        fs::copy_file(DEMO + "/" + name, dir + "/" + name);
    write_file(dir + "/demo.exe", bytes(2048, 'x'));
}

} // namespace

TEST(KvpackLint, DemoScriptIsClean) {
    temp_folder t;
    stage_demo(t.file("demo"));
    command_result r = kvpack("lint --strict " + DEMO + "/setup.txt");
    EXPECT_EQ(r.code, 0) << r.output;
    EXPECT_EQ(r.output, DEMO + "/setup.txt: read as UTF-8\n");
    r = kvpack("lint --strict --members " + t.file("demo") + " " + t.file("demo/setup.txt"));
    EXPECT_EQ(r.code, 0) << r.output;
    EXPECT_EQ(r.output, t.file("demo/setup.txt") + ": read as UTF-8\n");
    r = kvpack("pack --strict --bare --quiet -o " + t.file("demo.pck") + " " + t.file("demo"));
    EXPECT_EQ(r.code, 0) << r.output;
    EXPECT_EQ(r.output, "");
}

TEST(KvpackLint, FindingsNameTheLineAndStrictFails) {
    temp_folder t;
    stage_demo(t.file("demo"));
    std::string script = "// comment line\r\nwindowtitle=\"x\"\r\ntext_selectfolder=\"y\"\r\n"
                         "steps\r\n{\r\nstartinstall\r\n}\r\ninstall_steps\r\n{\r\n}\r\n"
                         "license=absent.txt\r\n";
    write_file(t.file("demo/setup.txt"), bytes(script.begin(), script.end()));

    command_result r = kvpack("lint " + t.file("demo/setup.txt"));
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.output.find(t.file("demo/setup.txt") + ":3: warning: 'text_selectfolder'"),
              std::string::npos)
        << r.output;
    EXPECT_EQ(r.output.find("absent.txt"), std::string::npos) << "members unknown: " << r.output;

    r = kvpack("lint --strict --members " + t.file("demo") + " " + t.file("demo/setup.txt"));
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.output.find(":11: error: no packed member is named 'absent.txt'"),
              std::string::npos)
        << r.output;

    // pack prints the same findings as warnings and packs; with --strict it writes nothing.
    r = kvpack("pack --bare --quiet -o " + t.file("a.pck") + " " + t.file("demo"));
    EXPECT_EQ(r.code, 0) << r.output;
    EXPECT_NE(r.output.find(":3: warning:"), std::string::npos) << r.output;
    EXPECT_TRUE(fs::exists(t.file("a.pck")));
    r = kvpack("pack --strict --bare --quiet -o " + t.file("b.pck") + " " + t.file("demo"));
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.output.find("kvpack: pack: 2 script findings with --strict"), std::string::npos)
        << r.output;
    EXPECT_FALSE(fs::exists(t.file("b.pck")));
}

TEST(KvpackLint, ProtectedKeysAreErrorsEvenWithoutStrict) {
    temp_folder t;
    stage_demo(t.file("demo"));
    std::string script = "steps\r\n{\r\nstartinstall\r\n}\r\ninstall_steps\r\n{\r\n}\r\n"
                         "reg_associate\r\n{\r\n\"CLSID\",\".kvd\",\"x\"\r\n}\r\n";
    write_file(t.file("demo/setup.txt"), bytes(script.begin(), script.end()));
    command_result r = kvpack("lint " + t.file("demo/setup.txt"));
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.output.find(":10: error: the class 'CLSID' is a key Windows depends on"),
              std::string::npos)
        << r.output;
    r = kvpack("pack --bare --quiet -o " + t.file("a.pck") + " " + t.file("demo"));
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.output.find("kvpack: pack: 1 script error, the first: " + t.file("demo/setup.txt") +
                            ":10: the class 'CLSID'"),
              std::string::npos)
        << r.output;
    EXPECT_FALSE(fs::exists(t.file("a.pck")));
}

TEST(KvpackLint, UsageErrors) {
    EXPECT_EQ(kvpack("lint").code, 1);
    EXPECT_EQ(kvpack("lint a.txt b.txt").code, 1);
    EXPECT_EQ(kvpack("lint --members").code, 1);
    EXPECT_EQ(kvpack("lint /nonexistent/setup.txt").code, 1);
    EXPECT_EQ(kvpack("lint --members /nonexistent " + DEMO + "/setup.txt").code, 1);
    command_result r = kvpack("lint --help");
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.output.find("usage: kvpack lint"), std::string::npos);
    EXPECT_NE(kvpack("--help").output.find("lint"), std::string::npos);
}

TEST(KvpackLint, PackRefusesAScriptWithAnErrorNamingItsLineUnlessForced) {
    struct {
        const char *find, *replace; // applied once to the demo's setup.txt ("": appended)
        const char *anchor;         // text on the line named (after the edit)
        const char *says;
    } cases[] = {
        {"\tcopyfiles=", "\tcopyfile=", "copyfile=",
         "'copyfile' is not an install step: the installer ends the install steps here and runs "
         "none of the entries below; did you mean `copyfiles`?"},
        {"installeren\"\r\n", "installeren\r\n",
         "windowtitle=", "a quote is not closed on this line"},
        {"overwrite_never\r\n}\r\n", "overwrite_never\r\n", "copy_files\r\n{",
         "has no closing brace"},
        {"[source]demo.exe", "[source]demo2.exe", "demo2.exe",
         "the source pattern 'demo2.exe' matches no packed member"},
        {"", "text_next=\"Weiter \x9D>\"\r\n", "text_next=\"Weiter", "byte 0x9D"},
        {"", "language=englisch\r\n", "language=englisch", "did you mean `english`?"},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.replace);
        temp_folder t;
        stage_demo(t.file("demo"));
        const bytes original = read_file(DEMO + "/setup.txt");
        const std::string script =
            edited(std::string(original.begin(), original.end()), c.find, c.replace);
        write_file(t.file("demo/setup.txt"), bytes(script.begin(), script.end()));
        size_t at = script.find(c.anchor);
        ASSERT_NE(at, std::string::npos);
        int line = 1 + (int)std::count(script.begin(), script.begin() + (long)at, '\n');
        if (std::string(c.anchor).find('{') != std::string::npos) line++; // the brace's line

        command_result r =
            kvpack("pack --bare --quiet -o " + t.file("a.pck") + " " + t.file("demo"));
        EXPECT_EQ(r.code, 1) << r.output;
        const std::string first =
            "kvpack: pack: 1 script error, the first: " + t.file("demo/setup.txt") + ":" +
            std::to_string(line) + ": ";
        EXPECT_NE(r.output.find(first), std::string::npos) << first << "\n" << r.output;
        EXPECT_NE(r.output.find(c.says), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("; nothing written (--force packs anyway)"), std::string::npos);
        EXPECT_FALSE(fs::exists(t.file("a.pck")));

        r = kvpack("pack --force --bare --quiet -o " + t.file("b.pck") + " " + t.file("demo"));
        EXPECT_EQ(r.code, 0) << r.output;
        EXPECT_NE(r.output.find(":" + std::to_string(line) + ": error: "), std::string::npos)
            << r.output;
        EXPECT_TRUE(fs::exists(t.file("b.pck")));
    }
    EXPECT_EQ(kvpack("pack --force --strict --bare -o x.pck " + DEMO).code, 1);
}

TEST(KvpackLint, SaysHowItReadsTheScriptAndWarnsOfTextSavedTwice) {
    // A valid script in each form; the first line of its output says how it was read.
    const struct {
        const char *name;
        std::string bytes;
        const char *read_as;
        const char *finding; // "" when none
    } rows[] = {
        {"utf-8", "windowtitle=\"Ça coûte – 中文\"\n", "UTF-8", ""},
        {"with a mark", "\xEF\xBB\xBFwindowtitle=\"Straße\"\n", "UTF-8 with a byte order mark", ""},
        {"windows-1252", "windowtitle=\"ge\xEFnstalleerd \x96 \x80\"\n", "Windows-1252", ""},
        {"utf-8 read as 1252, saved as 1252", "windowtitle=\"\xC3\xA9t\xE9\"\n", "Windows-1252",
         ":1: warning: 'Ã©' looks like UTF-8 read as Windows-1252"},
        {"utf-8 read as 1252, saved as utf-8",
         "\n\nwindowtitle=\"caf\xC3\x83\xC2\xA9 \xC3\xA2\xE2\x82\xAC\xE2\x80\x9C\"\n", "UTF-8",
         ":3: warning: 'Ã©' looks like UTF-8 read as Windows-1252"},
        {"undefined byte", "windowtitle=\"a\"\nwelcome=\"\x81\"\n", "Windows-1252",
         ":2: error: byte 0x81 makes the script neither UTF-8 nor Windows-1252 text"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        temp_folder t;
        write_file(t.file("setup.txt"), bytes(row.bytes.begin(), row.bytes.end()));
        command_result r = kvpack("lint " + t.file("setup.txt"));
        EXPECT_NE(r.output.find(t.file("setup.txt") + ": read as " + row.read_as + "\n"),
                  std::string::npos)
            << r.output;
        if (row.finding[0])
            EXPECT_NE(r.output.find(t.file("setup.txt") + row.finding), std::string::npos)
                << r.output;
        else
            EXPECT_EQ(r.output.find("UTF-8 read as"), std::string::npos) << r.output;
    }
}
