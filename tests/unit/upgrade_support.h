// What the upgrade tests share: a product in two versions, installed unattended as setup.exe /S
// runs it (elevated, machine-wide), an earlier log written by hand, the product's entry sealed
// with a chosen digest, and the uninstaller run natively over the destination.
#pragma once

#include "archive/lza_sha256.h"
#include "engine/uninstall.h"
#include "engine/uninstall_entry.h"
#include "platform/platform_registry.h"
#include "run_support.h"
#include "shell/unattended.h"

#include <map>
#include <regex>

inline const std::string DEST = "C:\\Prog";
inline const std::string PROGRAMS = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
inline const std::string ENTRY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Prog";

// The product: its text files asked about, its data never replaced, its uninstaller always; a
// file type, a Start-menu link and an entry in the list of installed programs.
inline std::string product_script(const std::string &version, const std::string &text_mode) {
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

inline std::string record(const std::string &kind, const std::string &text) {
    return kind + "\r\n" + text + "\r\n";
}

inline std::string earlier_header(const std::string &folder = DEST) {
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

inline std::vector<packed_member> version(int v) {
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
