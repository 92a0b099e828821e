// kvpack simulate stays inside its root: Windows paths resolve as Windows resolves them before
// they are mapped (".." never climbs above a drive or a share, rooted and relative paths start
// at the simulated current folder), and no link inside the root leads out of it. First the
// resolver on its own, then one simulated install per class of hostile script or planted link,
// run from a folder of its own that must stay empty.
#include "engine/area.h"
#include "platform/platform.h"
#include "platform/posix/platform_posix_paths.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

TEST(confine, WindowsPathsResolveAsWindowsResolvesThem) {
    struct row {
        const char *current, *path, *full; // full "": refused as an invalid name
    };
    const row rows[] = {
        {"C:\\", "C:\\..\\x", "C:\\x"},
        {"C:\\Prog", "\\Temp\\x.txt", "C:\\Temp\\x.txt"},
        {"D:\\Work", "\\Temp\\x.txt", "D:\\Temp\\x.txt"},
        {"C:\\Prog", "x.txt", "C:\\Prog\\x.txt"},
        {"C:\\Prog", "..\\..\\..\\x.txt", "C:\\x.txt"},
        {"C:\\Prog", "C:x.txt", "C:\\Prog\\x.txt"},
        {"C:\\Prog", "d:x.txt", "d:\\x.txt"},
        {"C:\\", "C:/a//b/./c/", "C:\\a\\b\\c"},
        {"C:\\", "C:\\a.\\b. . ", "C:\\a\\b"},
        {"C:\\", "C:\\a\\.. ", "C:\\a"},
        {"C:\\", "C:", "C:\\"},
        {"C:\\", "\\\\srv\\share\\..\\..\\x", "\\\\srv\\share\\x"},
        {"\\\\srv\\share\\dir", "\\x", "\\\\srv\\share\\x"},
        {"C:\\", "C:\\a\\...\\b", ""},
        {"C:\\", "C:\\a<b", ""},
        {"C:\\", "C:\\a\\b:stream", ""},
        {"C:\\", "\\\\?\\C:\\x", ""},
        {"C:\\", "\\\\.\\PhysicalDrive0", ""},
        {"C:\\", "\\\\..\\share\\x", ""},
        {"C:\\", "", ""},
    };
    temp_folder dir;
    ASSERT_EQ(platform_posix_set_root(dir.path.c_str()), 1);
    for (const row &r : rows) {
        SCOPED_TRACE(std::string(r.current) + " + " + r.path);
        ASSERT_EQ(platform_posix_set_current_folder(r.current), 1);
        char full[PLATFORM_NATIVE_PATH_CAPACITY];
        EXPECT_EQ(platform_posix_full_path(r.path, full, sizeof full), r.full[0] ? 1 : 0);
        EXPECT_STREQ(full, r.full);
        char native[PLATFORM_NATIVE_PATH_CAPACITY];
        int mapped = platform_posix_native_path(r.path, native, sizeof native);
        EXPECT_EQ(mapped, r.full[0] ? 1 : 0);
        if (mapped) {
            EXPECT_EQ(std::string(native).rfind(dir.path + "/", 0), 0u) << native;
        } else {
            EXPECT_EQ(platform_last_error(), (uint32_t)PLATFORM_ERROR_INVALID_NAME);
        }
    }
    platform_posix_set_root(nullptr);
}

TEST(confine, LinksInsideTheRootAreFollowedOnlyWhileTheyStayInside) {
    temp_folder dir;
    const std::string root = dir.file("root"), outside = dir.file("outside");
    fs::create_directories(root + "/c/data");
    fs::create_directories(outside);
    write_file(outside + "/victim.txt", bytes{'v'});
    fs::create_directory_symlink(root + "/c/data", root + "/c/in");
    fs::create_directory_symlink(outside, root + "/c/out");
    fs::create_directory_symlink("../../outside", root + "/c/relative");
    fs::create_symlink(outside + "/victim.txt", root + "/c/victim.txt");
    fs::create_symlink(outside + "/new.txt", root + "/c/dangling.txt");
    fs::create_symlink("loop", root + "/c/loop");
    ASSERT_EQ(platform_posix_set_root(root.c_str()), 1);

    struct row {
        const char *path;
        const char *native; // below the root; null: refused with access denied
    };
    const row rows[] = {
        {"C:\\in\\x.txt", "/c/data/x.txt"},    {"C:\\in\\..\\in\\x", "/c/data/x"},
        {"C:\\out\\victim.txt", nullptr},      {"C:\\out\\sub\\new.txt", nullptr},
        {"C:\\relative\\victim.txt", nullptr}, {"C:\\loop\\x", nullptr},
        {"C:\\victim.txt", "/c/victim.txt"}, // the last part itself is not followed
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.path);
        char native[PLATFORM_NATIVE_PATH_CAPACITY];
        platform_set_last_error(0);
        ASSERT_EQ(platform_posix_native_path(r.path, native, sizeof native), r.native ? 1 : 0);
        if (r.native)
            EXPECT_EQ(native, root + r.native);
        else
            EXPECT_EQ(platform_last_error(), (uint32_t)PLATFORM_ERROR_ACCESS_DENIED);
    }
    // Whatever the operation, a link out is refused; removing the link removes the link only.
    EXPECT_EQ(platform_open_read("C:\\victim.txt"), nullptr);
    EXPECT_EQ(platform_create_write("C:\\dangling.txt"), nullptr);
    EXPECT_EQ(platform_open_append("C:\\out\\victim.txt"), nullptr);
    EXPECT_EQ(platform_make_folder("C:\\out\\made"), 0);
    EXPECT_EQ(platform_path_exists("C:\\out\\victim.txt"), 0);
    EXPECT_EQ(platform_move_replace("C:\\in\\x.txt", "C:\\out\\victim.txt"), 0);
    uint64_t free_bytes = 0;
    EXPECT_EQ(platform_free_space("C:\\out", &free_bytes), 0);
    EXPECT_EQ(platform_last_error(), (uint32_t)PLATFORM_ERROR_ACCESS_DENIED);
    EXPECT_EQ(platform_delete_file("C:\\out\\victim.txt"), 0);
    EXPECT_EQ(platform_delete_file("C:\\victim.txt"), 1);
    // A host path below the root is taken as it stands, but never with ".." in it.
    char native[PLATFORM_NATIVE_PATH_CAPACITY];
    EXPECT_EQ(
        platform_posix_native_path((root + "/c/../../outside/x").c_str(), native, sizeof native),
        0);
    platform_file *through = platform_create_write((root + "/c/in/host.txt").c_str());
    EXPECT_NE(through, nullptr);
    platform_close(through);
    EXPECT_TRUE(fs::exists(root + "/c/data/host.txt"));
    platform_posix_set_root(nullptr);

    EXPECT_EQ(read_file(outside + "/victim.txt"), bytes{'v'});
    EXPECT_FALSE(fs::exists(outside + "/new.txt"));
    EXPECT_FALSE(fs::exists(outside + "/made"));
    EXPECT_TRUE(fs::is_symlink(root + "/c/out"));
}

TEST(confine, TargetsSplitAtTheAreaAsWindowsResolvesThem) {
    // Below the area the write is confined to it, with the names Windows resolves; a ".." that
    // climbs, or another place, confines it to its own folder only.
    struct row {
        const char *target, *root, *path;
    };
    const row rows[] = {
        {"C:\\Dest\\a.txt", "C:\\Dest", "C:\\Dest\\a.txt"},
        {"c:\\dest\\Sub\\a.txt", "C:\\Dest", "C:\\Dest\\Sub\\a.txt"},
        {"C:\\Dest/Sub//./a.txt. ", "C:\\Dest", "C:\\Dest\\Sub\\a.txt"},
        {"C:\\Dest\\lnk.\\a.txt", "C:\\Dest", "C:\\Dest\\lnk\\a.txt"},
        {"C:\\Dest\\...\\a.txt", "C:\\Dest\\...", "C:\\Dest\\...\\a.txt"},
        {"C:\\Dest\\Sub\\..\\a.txt", "C:\\Dest\\Sub\\..", "C:\\Dest\\Sub\\..\\a.txt"},
        {"C:\\Destination\\a.txt", "C:\\Destination", "C:\\Destination\\a.txt"},
        {"D:\\a.txt", "D:\\", "D:\\a.txt"},
        {"\\a.txt", "\\.", "\\.\\a.txt"},
        {"a.txt", ".", ".\\a.txt"},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.target);
        area_target t;
        ASSERT_EQ(area_target_of("C:\\Dest", r.target, &t), 1);
        EXPECT_STREQ(t.root, r.root);
        EXPECT_STREQ(t.path, r.path);
    }
}

const char SCRIPT[] = "default_dest_dir=Prog\n"
                      "programgroupyesno=\"Menu\",true\n"
                      "steps\n{\nfoldersettings\nstartinstall\n}\n"
                      "install_steps\n{\n"
                      "checkdiskspace=\"Ruimte\",\"Te weinig ruimte\"\n"
                      "createfolders=\"Mappen\",\"Mappen mislukt\"\n"
                      "copyfiles=\"Kopieren\",\"Kopieren mislukt\"\n"
                      "startmenu=\"Menu\",\"Menu mislukt\"\n"
                      "}\n"
                      "copy_files\n{\n\"Tekst\",[source]x.txt,%s,overwrite_always\n}\n"
                      "program_group\n{\n\"%s\",\"L.lnk\",\"[dest]\\x.txt\",\"\",\"\",0,\"\"\n}\n";

const char PROGRAMS[] = "/c/users/u/AppData/Roaming/Microsoft/Windows/Start Menu/Programs";

// Plants what a row needs below the root, items separated by ';': "P/" a folder, "P>" a link to
// the outside folder, "P>F" a link to file F outside, "P>/Q" a link to Q below the root. A '+'
// at the start of P stands for the Start menu's Programs folder.
void plant(const std::string &items, const std::string &root, const std::string &outside) {
    for (size_t at = 0; at < items.size();) {
        size_t end = items.find(';', at);
        std::string item = items.substr(at, end == std::string::npos ? end : end - at);
        at = end == std::string::npos ? items.size() : end + 1;
        if (item[0] == '+') item = PROGRAMS + item.substr(1);
        size_t arrow = item.find('>');
        fs::path link = root + item.substr(0, arrow);
        fs::create_directories(arrow == std::string::npos ? link : link.parent_path());
        if (arrow == std::string::npos) continue;
        std::string to = item.substr(arrow + 1);
        fs::create_symlink(to[0] == '/' ? root + to : outside + "/" + to, link);
    }
}

TEST(confine, SimulatedInstallsNeverWriteOutsideTheRoot) {
    struct row {
        const char *what;
        const char *target, *group; // the copy entry's target, the program group's folder
        const char *planted;        // see plant()
        int code;
        const char *inside;   // a file below the root afterwards ("!" first: never made), or ""
        const char *reported; // in kvpack's output (both logs are printed), or ""
    };
    const row rows[] = {
        {"..\\ out of [dest]", "[dest]\\..\\..\\..\\..\\..\\x.txt", "Demo", "", 0, "/c/x.txt", ""},
        {"C:\\..\\..\\x", "C:\\..\\..\\x.txt", "Demo", "", 0, "/c/x.txt", ""},
        {"rooted", "\\Temp\\x.txt", "Demo", "/c/Temp/", 0, "/c/Temp/x.txt", ""},
        {"relative", "x.txt", "Demo", "", 0, "/c/x.txt", ""},
        {"a group out of Programs", "[dest]\\x.txt", "..\\..\\..\\..\\..\\..\\..\\..\\x", "", 0,
         "/c/x/L.lnk", ""},
        // Below the destination no link is followed, wherever it leads, as on Windows.
        {"a folder link out in [dest]", "[dest]\\lnk\\x.txt", "Demo", "/c/Prog/lnk>", 0, "",
         "Refused Link! (C:\\Prog\\lnk\\x.txt)"},
        {"a folder link in [dest] to the root's own", "[dest]\\lnk\\x.txt", "Demo",
         "/c/Data/;/c/Prog/lnk>/c/Data", 0, "!/c/Data/x.txt",
         "Refused Link! (C:\\Prog\\lnk\\x.txt)"},
        {"a file link out as the target", "[dest]\\x.txt", "Demo", "/c/Prog/x.txt>victim.txt", 0,
         "", "Refused Link! (C:\\Prog\\x.txt)"},
        {"InsErr.log a link to a new file inside", "[dest]\\x.txt", "Demo",
         "/c/Data/;/c/Prog/InsErr.log>/c/Data/log.txt", 0, "!/c/Data/log.txt",
         "InsErr.log ---\n(not written)"},
        {"[dest] is a link out", "[dest]\\x.txt", "Demo", "/c/Prog>", 0, "", "(not written)"},
        {"registry.reg is a link out", "[dest]\\x.txt", "Demo", "/registry.reg>victim.txt", 1, "",
         "registry.reg cannot be read"},
        {"Programs is a link out", "[dest]\\x.txt", "Demo", "+>", 0, "/c/Prog/x.txt",
         "Link: Special folder 2 unavailable"},
        {"the group is a link out", "[dest]\\x.txt", "Demo", "+/Demo>", 0, "/c/Prog/x.txt",
         "Refused Link! (C:\\users\\u\\AppData\\Roaming\\Microsoft\\Windows\\Start "
         "Menu\\Programs\\Demo)"},
        {"the link file is a link out", "[dest]\\x.txt", "Demo", "+/Demo/L.lnk>victim.txt", 0,
         "/c/Prog/x.txt", "Programs\\Demo\\L.lnk)"},
    };
    temp_folder dir;
    const std::string product = dir.file("product"), pck = dir.file("demo.pck");
    fs::create_directories(product);
    write_file(product + "/x.txt", bytes{'x'});
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        char script[sizeof SCRIPT + 256];
        snprintf(script, sizeof script, SCRIPT, r.target, r.group);
        write_file(product + "/setup.txt", bytes(script, script + strlen(script)));
        ASSERT_EQ(run_command(KVPACK_PATH " pack --bare --quiet -o " + pck + " " + product).code,
                  0);
        const std::string root = dir.file("root"), outside = dir.file("outside"),
                          cwd = dir.file("cwd");
        for (const std::string &d : {root, outside, cwd}) fs::remove_all(d);
        fs::create_directories(outside);
        fs::create_directories(cwd);
        write_file(outside + "/victim.txt", bytes{'v'});
        plant(r.planted, root, outside);

        // Relative paths for the packer's own folder and root: neither may matter.
        command_result out = run_command(
            "cd '" + cwd + "' && " KVPACK_PATH " simulate ../demo.pck --root ../root --user u");
        EXPECT_EQ(out.code, r.code) << out.output;
        if (r.inside[0]) {
            const bool made = r.inside[0] != '!';
            EXPECT_EQ(fs::exists(root + (r.inside + !made)), made) << r.inside << "\n"
                                                                   << out.output;
        }
        EXPECT_NE(out.output.find(r.reported), std::string::npos) << out.output;
        EXPECT_TRUE(fs::is_empty(cwd)) << "the packer's own folder was written";
        std::vector<std::string> left;
        for (const auto &e : fs::recursive_directory_iterator(outside))
            left.push_back(e.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{"victim.txt"}) << out.output;
        EXPECT_EQ(read_file(outside + "/victim.txt"), bytes{'v'});
        std::vector<std::string> top;
        for (const auto &e : fs::directory_iterator(dir.path))
            top.push_back(e.path().filename().string());
        std::sort(top.begin(), top.end());
        EXPECT_EQ(top, (std::vector<std::string>{"cwd", "demo.pck", "outside", "product", "root"}));
    }
}

} // namespace
