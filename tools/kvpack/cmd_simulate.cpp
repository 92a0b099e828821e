// kvpack simulate: runs an installer's real install run natively, with the drives mapped into a
// folder and a scripted user, and prints what the user would see and both logs.
#include "kvpack.h"
#include "kvpack_archive.h"
#include "kvpack_os.h"

#include "engine/disk_space.h"
#include "engine/member_table.h"
#include "engine/install_run.h"
#include "platform/platform.h"
#include "platform/posix/platform_posix_paths.h"
#include "platform/posix/platform_posix_registry.h"
#include "platform/posix/platform_posix_ui.h"
#include "platform/posix/platform_shortcut_posix.h"
#include "script/script.h"
#include "state/installer_state.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const char usage[] =
    "usage: kvpack simulate FILE --root DIR [--dest PATH] [--option NAME=on|off]...\n"
    "                        [--answer KEY=VALUE]... [--verbose] [--user NAME]\n"
    "       kvpack simulate --uninstall [FILE] --root DIR [--dest PATH] [--user NAME]\n"
    "\n"
    "Runs the install steps of FILE (an installer, a .pck file or a bare archive) as the\n"
    "installer would on Windows, with every drive letter mapped into DIR: C:\\Prog\\a.txt is\n"
    "written to DIR/c/Prog/a.txt, \\\\server\\share to DIR/unc/server/share. The logs read as on\n"
    "Windows (C:\\... paths, CR LF). Prints each step row as it changes, every message box and\n"
    "question with the answer given, the run's result and both logs.\n"
    "HKEY_CLASSES_ROOT is DIR/registry.reg, in the registry editor's own format (regedit can\n"
    "import it): read before the run when it exists, written after it.\n"
    "\n"
    "  --root DIR          folder holding the simulated drives (made when missing)\n"
    "  --dest PATH         destination as typed into the folder box; default: the script's\n"
    "                      default_dest_drive and default_dest_dir\n"
    "  --option NAME=on|off  tick or clear an option box: startmenu, desktop, extrareg\n"
    "                      (default: as the script sets them)\n"
    "  --answer overwrite=yes|no|yes-to-all|no-to-all[,...]\n"
    "                      answers to the overwrite questions, in order; the last one\n"
    "                      repeats (default: no)\n"
    "  --answer cancel-at=STEP[:N]\n"
    "                      press Back and confirm the abort while STEP (checkdiskspace,\n"
    "                      createfolders, copyfiles, ...) runs, at its Nth message pump\n"
    "                      (default 1)\n"
    "  --verbose           also print every change of the status line\n"
    "  --uninstall         instead remove what an earlier simulation installed into the\n"
    "                      destination (--dest, or FILE's default), as kvuninst.exe /S run\n"
    "                      from there would: prints each record undone, the report of what\n"
    "                      stayed, and the uninstaller's exit code (0 all removed, 1 something\n"
    "                      stayed, 2 no usable Uninstal.log); FILE may then be left out\n"
    "  --user NAME         the user whose Start menu and desktop get the shortcuts:\n"
    "                      C:\\users\\NAME\\... (default: the login name, as in Wine)\n"
    "\n"
    "Exit code: 0 when the installation completed, 2 when it failed or was cancelled, 1 on\n"
    "a usage or archive error; with --uninstall 0 when everything was removed, 2 when not.\n";

struct simulation {
    std::vector<int> overwrite_answers; // in order; the last repeats
    size_t next_answer = 0;
    uint32_t cancel_step = 0; // keyword id of the step to cancel in; 0: none
    long cancel_pump = 1;     // at this pump of that step
    long pumps_in_step = 0;
    int32_t counted_step = -1; // step_counter the pumps are counted for
    int verbose = 0;
    int option_set[3] = {-1, -1, -1}; // startmenu, desktop, extrareg: -1 as the script says
};

simulation sim;
int uninstall_wanted; // --uninstall

const char REGISTRY_FILE[] = "registry.reg"; // HKEY_CLASSES_ROOT of the simulated machine

const char *row_state(char c) {
    switch (c) {
    case ROW_WAITING:
        return "waiting";
    case ROW_RUNNING:
        return "running";
    case ROW_DONE:
        return "done";
    case ROW_FAILED:
        return "failed";
    default:
        return "unused";
    }
}

const char *answer_name(int answer) {
    switch (answer) {
    case PLATFORM_OVERWRITE_YES:
        return "yes";
    case PLATFORM_OVERWRITE_YES_TO_ALL:
        return "yes-to-all";
    case PLATFORM_OVERWRITE_NO_TO_ALL:
        return "no-to-all";
    default:
        return "no";
    }
}

int answer_id(const std::string &word) {
    if (word == "yes") return PLATFORM_OVERWRITE_YES;
    if (word == "no") return PLATFORM_OVERWRITE_NO;
    if (word == "yes-to-all") return PLATFORM_OVERWRITE_YES_TO_ALL;
    if (word == "no-to-all") return PLATFORM_OVERWRITE_NO_TO_ALL;
    return 0;
}

// Prints text with its line breaks shown as " | ", on one line.
void print_flat(const char *label, const char *text) {
    std::string flat;
    for (const char *p = text; *p; p++) {
        if (*p == '\n')
            flat += " | ";
        else if (*p != '\r')
            flat += *p;
    }
    printf("%s%s\n", label, flat.c_str());
}

int on_message(const char *text, const char *caption, uint32_t style, void *) {
    printf("message [%s] ", caption);
    print_flat("", text);
    return (style & 0xF) == PLATFORM_MB_YESNO ? PLATFORM_IDYES : PLATFORM_IDOK;
}

int on_question(const platform_overwrite_question *q, void *) {
    int answer = PLATFORM_OVERWRITE_NO;
    if (!sim.overwrite_answers.empty()) {
        size_t i = sim.next_answer < sim.overwrite_answers.size()
                       ? sim.next_answer++
                       : sim.overwrite_answers.size() - 1;
        answer = sim.overwrite_answers[i];
    }
    print_flat("question ", q->message);
    printf("answer %s\n", answer_name(answer));
    return answer;
}

void on_pump(void *) {
    if (!sim.cancel_step || g_state.cancel_requested || g_state.step_counter <= 0) return;
    if (g_state.step_counter != sim.counted_step) {
        sim.counted_step = g_state.step_counter;
        sim.pumps_in_step = 0;
    }
    if (list_item_id(&g_state, KW_INSTALL_STEPS, g_state.step_counter - 1) != sim.cancel_step)
        return;
    if (++sim.pumps_in_step == sim.cancel_pump) {
        printf("back pressed: abort confirmed\n");
        g_state.cancel_requested = 1;
    }
}

void on_item(int item, const char *text, void *) {
    if (item >= IDC_STEP_ROW_FIRST && item <= IDC_STEP_ROW_LAST) {
        int unused = !strcmp(text, ROW_UNUSED);
        printf("row %d %-7s %s\n", item - IDC_STEP_ROW_FIRST + 1, row_state(unused ? 0 : text[0]),
               unused ? "" : text + 1);
    } else if (item == IDC_STATUS_LINE && sim.verbose) {
        printf("status %s\n", text);
    }
}

// Ticks box as the script's key line says (field 1 is true); extrareg01 only when present.
void tick_from_script(uint32_t key, int item, int forced) {
    char word[SCRIPT_EXPAND_CAPACITY];
    int ticked = get_field(&g_state, key, 1, word, sizeof word) && lookup_keyword(word) == KW_TRUE;
    platform_ui_tick(item, forced >= 0 ? forced : ticked);
}

// The destination the folder page would show: default_dest_drive ("C:" when empty) and the
// program's own folder below it.
std::string default_destination() {
    char drive[DRIVE_CAPACITY], dir[DIR_CAPACITY];
    get_value(&g_state, KW_DEFAULT_DEST_DRIVE, drive, sizeof drive);
    get_value(&g_state, KW_DEFAULT_DEST_DIR, dir, sizeof dir);
    std::string dest = drive[0] ? drive : "C:";
    if (dest.back() != '\\' && dir[0] != '\\') dest += '\\';
    return dest + dir;
}

void print_log(const std::string &dest, const char *name) {
    std::string path = dest + "\\" + name;
    printf("--- %s ---\n", path.c_str());
    platform_file *file = platform_open_read(path.c_str());
    if (!file) {
        printf("(not written)\n");
        return;
    }
    char buffer[4096];
    long n;
    while ((n = platform_read(file, buffer, sizeof buffer)) > 0)
        fwrite(buffer, 1, (size_t)n, stdout);
    platform_close(file);
}

int parse_answer(const std::string &arg) {
    size_t eq = arg.find('=');
    std::string key = arg.substr(0, eq), value = eq == std::string::npos ? "" : arg.substr(eq + 1);
    if (key == "overwrite") {
        size_t start = 0;
        while (start <= value.size()) {
            size_t comma = value.find(',', start);
            std::string word =
                value.substr(start, comma == std::string::npos ? comma : comma - start);
            int id = answer_id(word);
            if (!id) return kvp_fail("simulate: unknown overwrite answer '%s'", word.c_str());
            sim.overwrite_answers.push_back(id);
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
        return 0;
    }
    if (key == "cancel-at") {
        size_t colon = value.find(':');
        std::string step = value.substr(0, colon);
        sim.cancel_step = lookup_keyword(step.c_str());
        if (!sim.cancel_step) return kvp_fail("simulate: unknown step '%s'", step.c_str());
        if (colon != std::string::npos) sim.cancel_pump = atol(value.c_str() + colon + 1);
        if (sim.cancel_pump < 1) return kvp_fail("simulate: bad pump count in '%s'", value.c_str());
        return 0;
    }
    return kvp_fail("simulate: unknown answer '%s'", arg.c_str());
}

int parse_option(const std::string &arg) {
    static const char *const names[] = {"startmenu", "desktop", "extrareg"};
    size_t eq = arg.find('=');
    std::string name = arg.substr(0, eq), value = eq == std::string::npos ? "" : arg.substr(eq + 1);
    for (int i = 0; i < 3; i++) {
        if (name != names[i]) continue;
        if (value != "on" && value != "off")
            return kvp_fail("simulate: option %s wants on or off", names[i]);
        sim.option_set[i] = value == "on";
        return 0;
    }
    return kvp_fail("simulate: unknown option '%s'", name.c_str());
}

} // namespace

// cmd_simulate_uninstall.cpp: the uninstaller's run on the simulated drives; its exit code.
int simulate_uninstall(const char *root, const std::string &dest, const char *registry_name);

int cmd_simulate(int argc, char **argv) {
    const char *file = nullptr, *root = nullptr, *dest = nullptr;
    sim = simulation();
    uninstall_wanted = 0;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (kvp_is_help(argv[i])) return fputs(usage, stdout), 0;
        int has_value = i + 1 < argc;
        if (arg == "--root" && has_value)
            root = argv[++i];
        else if (arg == "--dest" && has_value)
            dest = argv[++i];
        else if (arg == "--answer" && has_value) {
            if (parse_answer(argv[++i])) return 1;
        } else if (arg == "--option" && has_value) {
            if (parse_option(argv[++i])) return 1;
        } else if (arg == "--verbose")
            sim.verbose = 1;
        else if (arg == "--uninstall")
            uninstall_wanted = 1;
        else if (arg == "--user" && has_value) {
            if (!platform_posix_set_user(argv[++i]))
                return kvp_fail("simulate: '%s' cannot be a user name", argv[i]);
        } else if (arg[0] == '-' || file)
            return kvp_fail("simulate: unexpected argument '%s'", argv[i]);
        else
            file = argv[i];
    }
    if (!root) return kvp_fail("simulate: no --root DIR given");
    if (uninstall_wanted && dest) return simulate_uninstall(root, dest, REGISTRY_FILE);
    if (!file) return kvp_fail("simulate: no FILE given");

    kvp_archive archive;
    if (!kvp_archive_open(kvp_text_path(file), &archive)) return 1;
    memset(&g_state, 0, sizeof g_state);
    text_copy(g_state.archive_path, sizeof g_state.archive_path, archive.path.c_str());
    g_state.archive_offset = (uint32_t)archive.offset;
    kvp_archive_close(&archive);
    if (!load_script(&g_state)) return kvp_fail("simulate: %s: no setup.txt member", file);
    if (uninstall_wanted) {
        std::string folder = default_destination();
        release_script(&g_state);
        return simulate_uninstall(root, folder, REGISTRY_FILE);
    }

    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(root) / "c", ec);
    if (ec || !platform_posix_set_root(std::filesystem::absolute(root).string().c_str()))
        return kvp_fail("simulate: cannot use %s as the root", root);

    std::string registry = (std::filesystem::path(root) / REGISTRY_FILE).string();
    int bad_line = 0;
    if (platform_posix_registry_load(registry.c_str(), &bad_line) < 0)
        return kvp_fail("simulate: %s:%d: not a .reg file of HKEY_CLASSES_ROOT", registry.c_str(),
                        bad_line);

    platform_ui_reset();
    platform_ui.message_box = on_message;
    platform_ui.ask_overwrite = on_question;
    platform_ui.pump = on_pump;
    platform_ui.item_text = on_item;
    tick_from_script(KW_PROGRAMGROUPYESNO, IDC_STARTMENU_BOX, sim.option_set[0]);
    tick_from_script(KW_DESKTOPYESNO, IDC_DESKTOP_BOX, sim.option_set[1]);
    char present[SCRIPT_EXPAND_CAPACITY];
    if (get_value(&g_state, KW_EXTRAREG01, present, sizeof present) || sim.option_set[2] >= 0)
        tick_from_script(KW_EXTRAREG01, IDC_EXTRAREG_BOX, sim.option_set[2]);
    std::string typed = dest ? dest : default_destination();
    platform_ui_type(IDC_FOLDER_EDIT, typed.c_str());
    printf("destination %s\n", typed.c_str());

    int result = install_run(nullptr, &g_state);
    static const char *const outcomes[] = {"cancelled", "failed", "stopped", "complete"};
    printf("result %d (%s)\n", result, outcomes[result + 1 < 0 || result + 1 > 3 ? 2 : result + 1]);
    std::string logs = g_state.dest_path;
    fflush(stdout);
    int saved = platform_posix_registry_save(registry.c_str());
    platform_posix_registry_reset();
    print_log(logs, "Uninstal.log");
    print_log(logs, "InsErr.log");
    fflush(stdout);
    release_member_table(&g_state);
    release_script(&g_state);
    platform_ui_reset();
    platform_posix_set_root(nullptr);
    if (!saved) return kvp_fail("simulate: %s cannot be written", registry.c_str());
    platform_posix_set_user(nullptr);
    return result == RUN_COMPLETE ? 0 : 2;
}
