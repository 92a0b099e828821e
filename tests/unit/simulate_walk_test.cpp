// kvpack simulate walks the wizard's pages as a user pressing Next would: the pages it prints,
// the answers to the licence and the launch box, and scripts whose pages end early or are none.
#include "archive/lza_format.h"
#include "run_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const char BASE[] =
    "default_dest_dir=Demo\n"
    "license=license.txt\n"
    "launchyesno=\"Nu starten\",true\n"
    "launchfile,\"[dest]\\license.txt\",\"[dest]\"\n"
    "install_steps\n{\ncheckdiskspace=\"Ruimte\",\"Vol\",break\n"
    "copyfiles=\"Kopieren\",\"Fout\",break\n}\n"
    "copy_files\n{\n\"Tekst\",[source]license.txt,[dest]\\*.*,overwrite_always\n}\n";

TEST(SimulateWalk, PagesAnswersAndEnds) {
    struct {
        const char *what;
        const char *steps; // the steps list
        const char *args;  // further arguments
        int code;
        std::vector<std::string> lines; // in this order in the output
        const char *absent;
    } cases[] = {
        {"every page",
         "steps\n{\nshowwelcome\nshowlicense\nfoldersettings\nstartinstall\nfinished\n}\n",
         "",
         0,
         {"page 1 showlicense: group 5010, back \"&<  Vorige\", next \"Volgende  &>\" disabled",
          "  licence agreed", "page 2 foldersettings", "  folder \"C:\\Demo\"", "  box 5003 hidden",
          "  box 5004 hidden", "  box 5008 hidden",
          "page 3 startinstall: group 6000, back \"&<  Vorige\", next \"&Start installatie\" "
          "hidden",
          "page 3 startinstall: group 6000, back \"&<  Vorige\" hidden, next \"Voltooien\"",
          "page 4 finished", "  box 5031 ticked   \"Nu starten\"", "result 2 (complete)",
          "wizard ended with 1", "launch C:\\Demo\\license.txt in \"C:\\Demo\""},
         "none"},
        {"launch box cleared",
         "steps\n{\nshowwelcome\nshowlicense\nfoldersettings\nstartinstall\nfinished\n}\n",
         "--answer launch=no",
         0,
         {"  box 5031 ticked   \"Nu starten\"", "  launch box cleared", "wizard ended with 1"},
         "launch C:"},
        {"licence declined",
         "steps\n{\nshowwelcome\nshowlicense\nfoldersettings\nstartinstall\nfinished\n}\n",
         "--answer license=decline",
         2,
         {"  licence declined", "back pressed (Next cannot be pressed)", "page 0 showwelcome",
          "result none (the wizard ended without installing)", "wizard ended with 0"},
         "row "},
        {"ends with the start page",
         "steps\n{\nfoldersettings\nstartinstall\n}\n",
         "",
         0,
         {"page 0 foldersettings: group 5000, back \"Annuleren\", next \"&Start installatie\"",
          "result 2 (complete)", "wizard ended with 1", "launch C:\\Demo\\license.txt"},
         "finished"},
        {"no page lines",
         "",
         "",
         2,
         {"page 0: none (nothing on screen changes)", "result none", "wizard ended with 1"},
         "row "},
    };
    temp_folder dir;
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::string product = dir.file("product");
        std::filesystem::remove_all(product);
        std::filesystem::create_directories(product);
        std::string script = std::string(BASE) + c.steps;
        write_file(product + "/setup.txt", bytes(script.begin(), script.end()));
        std::string licence = "Licentie\n";
        write_file(product + "/license.txt", bytes(licence.begin(), licence.end()));
        std::string pck = dir.file("demo.pck"), root = dir.file("root");
        std::filesystem::remove_all(root);
        ASSERT_EQ(
            run_command(std::string(KVPACK_PATH) + " pack --bare --quiet -o " + pck + " " + product)
                .code,
            0);
        command_result r = run_command(std::string(KVPACK_PATH) + " simulate " + pck + " --root " +
                                       root + " " + c.args);
        EXPECT_EQ(r.code, c.code) << r.output;
        size_t at = 0;
        for (const std::string &line : c.lines) {
            size_t found = r.output.find(line, at);
            EXPECT_NE(found, std::string::npos) << line << "\n" << r.output;
            if (found != std::string::npos) at = found + line.size();
        }
        EXPECT_EQ(r.output.find(c.absent), std::string::npos) << r.output;
    }
    // An installer: the archive behind a stub, found at the offset its marker names.
    std::string stub = std::string("MZ stub ") + std::string(300, 'x') + LZA_MARKER_PREFIX +
                       "00000000" + '\0' + "tail";
    write_file(dir.file("stub.exe"), bytes(stub.begin(), stub.end()));
    std::string exe = dir.file("setup.exe");
    ASSERT_EQ(run_command(std::string(KVPACK_PATH) + " pack --quiet --stub " +
                          dir.file("stub.exe") + " -o " + exe + " " + dir.file("product"))
                  .code,
              0);
    command_result r =
        run_command(std::string(KVPACK_PATH) + " simulate " + exe + " --root " + dir.file("root2"));
    EXPECT_EQ(r.code, 2) << r.output; // the last case's script: no pages, nothing installed
    EXPECT_NE(r.output.find("wizard ended with 1"), std::string::npos) << r.output;
}

// An uninstall line put into install_steps by mistake (the packer refuses such a script, so the
// archive is made here): the run stops there as cancelled, and simulate says so.
TEST(SimulateWalk, AnEntryThatIsNoStepCancelsTheRun) {
    const std::string script = "default_dest_dir=Demo\n"
                               "steps\n{\nfoldersettings\nstartinstall\nfinished\n}\n"
                               "install_steps\n{\ncheckdiskspace=\"Ruimte\",\"Vol\",break\n"
                               "uninstall=\"Demo\",\"[dest]\\kvuninst.exe\"\n"
                               "copyfiles=\"Kopieren\",\"Fout\",break\n}\n";
    temp_folder dir;
    std::string pck = dir.file("demo.pck");
    write_file(pck, pack_members({{"setup.txt", script}}));
    command_result r =
        run_command(std::string(KVPACK_PATH) + " simulate " + pck + " --root " + dir.file("root"));
    EXPECT_EQ(r.code, 2) << r.output;
    EXPECT_NE(r.output.find("row 2 failed  Demo"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("result -1 (cancelled)"), std::string::npos) << r.output;
}

} // namespace
