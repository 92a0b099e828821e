// kvpack simulate: runs an installer's real install run natively, with the drives mapped into a
// folder and a scripted user, and prints what the user would see and both logs.
#include "kvpack.h"
#include "kvpack_archive.h"
#include "kvpack_os.h"
#include "kvpack_signature.h"

#include "archive/lza_locate.h"
#include "engine/disk_space.h"
#include "engine/member_table.h"
#include "engine/install_run.h"
#include "platform/platform.h"
#include "platform/posix/platform_posix_paths.h"
#include "platform/posix/platform_posix_registry.h"
#include "platform/posix/platform_posix_ui.h"
#include "platform/posix/platform_shortcut_posix.h"
#include "script/script.h"
#include "shell/destination.h"
#include "shell/wizard.h"
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
    "                        [--answer KEY=VALUE]... [--verbose] [--user NAME] [--elevated]\n"
    "       kvpack simulate --uninstall [FILE] --root DIR [--dest PATH] [--user NAME]\n"
    "                        [--elevated]\n"
    "\n"
    "Walks the wizard of FILE (an installer, a .pck file or a bare archive) page by page as a\n"
    "user pressing Next would, and runs its install steps as the installer would on Windows,\n"
    "with every drive letter mapped into DIR: C:\\Prog\\a.txt is\n"
    "written to DIR/c/Prog/a.txt, \\\\server\\share to DIR/unc/server/share. The logs read as on\n"
    "Windows (C:\\... paths, CR LF). Prints each page passed (its group, the Back and Next\n"
    "captions and states, the folder and the boxes), each step row as it changes, every message\n"
    "box and question with the answer given, the run's result, both logs and the launch.\n"
    "Nothing outside DIR is touched: paths resolve as Windows resolves them (.. stops at a\n"
    "drive's root, rooted and relative paths start at the simulated current folder C:\\),\n"
    "and a link inside DIR that leads out of it is refused as access denied; below the\n"
    "destination, as below the shortcuts' folders, no link is followed at all (\"Refused\n"
    "Link!\"). An installer whose records are in a .pck that differs from the digest it\n"
    "carries is refused with the installer's own message, before anything is read.\n"
    "HKEY_CLASSES_ROOT is DIR/registry.reg, in the registry editor's own format (regedit can\n"
    "import it): read before the run when it exists, written after it. The script's uninstall\n"
    "entry goes there too, under HKEY_CURRENT_USER (HKEY_LOCAL_MACHINE with --elevated).\n"
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
    "  --answer license=agree|decline\n"
    "                      tick the licence page's agree (default) or disagree button; on\n"
    "                      decline the walk goes Back to the first page and cancels\n"
    "  --answer launch=yes|no\n"
    "                      tick or clear the finish page's launch box (default: as the script)\n"
    "  --verbose           also print every change of the status line\n"
    "  --uninstall         instead remove what an earlier simulation installed into the\n"
    "                      destination (--dest, or FILE's default), as kvuninst.exe /S run\n"
    "                      from there would: prints each record undone, the report of what\n"
    "                      stayed, and the uninstaller's exit code (0 all removed, 1 something\n"
    "                      stayed, 2 no usable Uninstal.log); FILE may then be left out\n"
    "  --user NAME         the user whose Start menu and desktop get the shortcuts when\n"
    "                      not elevated: C:\\users\\NAME\\... (default: the login name, as\n"
    "                      in Wine)\n"
    "  --elevated          run as an elevated administrator would: machine-wide, with the\n"
    "                      uninstall entry under HKEY_LOCAL_MACHINE and the shortcuts in\n"
    "                      all users' Start menu and desktop (C:\\ProgramData\\Microsoft\\\n"
    "                      Windows\\Start Menu\\Programs, C:\\users\\Public\\Desktop); with\n"
    "                      --uninstall, those folders may be cleaned too\n"
    "\n"
    "Exit code: 0 when the installation completed, 2 when it failed, was cancelled or the\n"
    "wizard ended without installing, 1 on a usage or archive error; with --uninstall 0 when\n"
    "everything was removed, 2 when not.\n";

struct simulation {
    std::vector<int> overwrite_answers; // in order; the last repeats
    size_t next_answer = 0;
    uint32_t cancel_step = 0; // keyword id of the step to cancel in; 0: none
    long cancel_pump = 1;     // at this pump of that step
    long pumps_in_step = 0;
    int32_t counted_step = -1; // step_counter the pumps are counted for
    int verbose = 0;
    int option_set[3] = {-1, -1, -1}; // startmenu, desktop, extrareg: -1 as the script says
    int decline = 0;                  // the licence's disagree button instead of agree
    int launch = -1;                  // the launch box: -1 as the script says
    int run_page_printed = 0;         // the start page was printed at the run's first pump
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

void print_page(int index);

void on_pump(void *) {
    if (!sim.run_page_printed) {
        sim.run_page_printed = 1;
        print_page(g_state.current_page); // the start page, as the run begins
    }
    if (!sim.cancel_step || g_state.cancel_requested || g_state.step_counter <= 0) return;
    if (g_state.step_counter != sim.counted_step) {
        sim.counted_step = g_state.step_counter;
        sim.pumps_in_step = 0;
    }
    if (list_item_id(&g_state, KW_INSTALL_STEPS, g_state.step_counter - 1) != sim.cancel_step)
        return;
    if (++sim.pumps_in_step == sim.cancel_pump) {
        printf("back pressed\n");
        wizard_command(nullptr, &g_state, IDC_BACK);
    }
}

void on_item(int item, const char *text, void *) {
    if (item >= IDC_STEP_ROW_FIRST && item <= IDC_STEP_ROW_LAST) {
        int unused = text[0] == ROW_NONE;
        printf("row %d %-7s %s\n", item - IDC_STEP_ROW_FIRST + 1, row_state(unused ? 0 : text[0]),
               unused ? "" : text + 1);
    } else if (item == IDC_STATUS_LINE && sim.verbose) {
        printf("status %s\n", text);
    }
}

// A button as the page shows it: caption, and hidden or disabled when it is.
std::string button(int item) {
    std::string out = "\"" + std::string(platform_ui_text(item)) + "\"";
    if (!platform_item_visible(nullptr, item)) out += " hidden";
    for (const platform_ui_item &it : platform_ui_view.items)
        if (it.id == item && !it.enabled) out += " disabled";
    return out;
}

// A check box as the page shows it: ticked or clear with its caption, or hidden (the script
// uses neither its key nor what it switches).
void print_box(int item) {
    if (!platform_item_visible(nullptr, item))
        printf("  box %d hidden\n", item);
    else
        printf("  box %d %-8s \"%s\"\n", item,
               platform_is_checked(nullptr, item) ? "ticked" : "clear", platform_ui_text(item));
}

void print_page(int index) {
    uint32_t page = list_item_id(&g_state, KW_STEPS, index);
    if (!page_group(page)) {
        printf("page %d: none (nothing on screen changes)\n", index);
        return;
    }
    printf("page %d %s: group %d, back %s, next %s\n", index, keyword_word(page), page_group(page),
           button(IDC_BACK).c_str(), button(IDC_NEXT).c_str());
    if (page == KW_FOLDERSETTINGS) {
        printf("  folder \"%s\"\n", platform_ui_text(IDC_FOLDER_EDIT));
        print_box(IDC_STARTMENU_BOX);
        print_box(IDC_DESKTOP_BOX);
        print_box(IDC_EXTRAREG_BOX);
    } else if (page == KW_FINISHED) {
        print_box(IDC_LAUNCH_BOX);
    }
}

int enabled_and_shown(int item) {
    for (const platform_ui_item &it : platform_ui_view.items)
        if (it.id == item) return it.enabled && it.visible;
    return 0;
}

// Ticks a radio button as a click does: its partner is cleared, and the wizard hears of it.
void click_radio(int item, int partner) {
    platform_ui_tick(item, 1);
    platform_ui_tick(partner, 0);
    wizard_command(nullptr, &g_state, item);
}

// How a run that went back to the page before ended; the wizard keeps no more than that page.
// A confirmed abort, and an install_steps entry that is no step (the run stops there as it
// stops for an abort), make a cancelled run; anything else a failed one.
int unfinished_result(void) {
    if (g_state.cancel_requested) return STEP_CANCELLED;
    // The counter has passed the entry that ended the run.
    uint32_t last = g_state.step_counter >= 2
                        ? list_item_id(&g_state, KW_INSTALL_STEPS, g_state.step_counter - 2)
                        : KW_NONE;
    return last != KW_NONE && !install_step_known(last) ? STEP_CANCELLED : STEP_FAILED;
}

// Presses Next page after page, answering the licence and launch box as asked, until the
// wizard ends or cannot go on. The install run's result, or -2 when no run took place.
int walk_pages(void) {
    int result = -2;
    for (int presses = 0; presses < 256 && !platform_ui_view.ended; presses++) {
        int index = g_state.current_page;
        uint32_t page = list_item_id(&g_state, KW_STEPS, index);
        if (page == KW_SHOWLICENSE) {
            click_radio(sim.decline ? IDC_DISAGREE : IDC_AGREE,
                        sim.decline ? IDC_AGREE : IDC_DISAGREE);
            printf("  licence %s\n", sim.decline ? "declined" : "agreed");
        }
        if (page == KW_FINISHED && sim.launch >= 0) {
            platform_ui_tick(IDC_LAUNCH_BOX, sim.launch);
            printf("  launch box %s\n", sim.launch ? "ticked" : "cleared");
        }
        if (page_group(page) && !enabled_and_shown(IDC_NEXT)) {
            // A person cannot press Next: back to the first page and cancel there.
            printf("back pressed (Next cannot be pressed)\n");
            while (!platform_ui_view.ended && presses++ < 256) {
                wizard_command(nullptr, &g_state, IDC_BACK);
                if (!platform_ui_view.ended) print_page(g_state.current_page);
            }
            break;
        }
        int runs = platform_ui_view.timer_starts;
        printf("next pressed\n");
        sim.run_page_printed = 0;
        wizard_command(nullptr, &g_state, IDC_NEXT);
        if (platform_ui_view.timer_starts != runs) {
            result = g_state.current_page == index + 1 ? RUN_COMPLETE : unfinished_result();
            print_page(g_state.current_page);
            if (result != RUN_COMPLETE) break; // the page before is back: a person changes it
            continue;
        }
        if (!platform_ui_view.ended) print_page(g_state.current_page);
    }
    return result;
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
    if (key == "license" && (value == "agree" || value == "decline")) {
        sim.decline = value == "decline";
        return 0;
    }
    if (key == "launch" && (value == "yes" || value == "no")) {
        sim.launch = value == "yes";
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

// 1 when the archive of installer file is its own records or a .pck that matches the digest
// the stub carries, as the stub checks it before reading a record; else 0, after the stub's
// message (the archive stays held open in g_state.archive_guard, as the stub holds it).
int pck_as_packed(const char *file) {
    std::string digits;
    int count = 0;
    if (g_state.archive_offset != 0 ||
        kvp_pck_digest_marker(kvp_text_path(file), &digits, &count) != 1 || count == 0 ||
        lza_check_archive_digest(&g_state, digits.c_str()) > 0)
        return 1;
    wizard_say_archive_changed(&g_state);
    return 0;
}

} // namespace

// cmd_simulate_uninstall.cpp: the uninstaller's run on the simulated drives, worded by texts (a
// script with its language and text_un_ keys, as the packed uninstaller carries them; null:
// Dutch); its exit code.
int simulate_uninstall(const char *root, const std::string &dest, const char *registry_name,
                       const char *texts);

int cmd_simulate(int argc, char **argv) {
    const char *file = nullptr, *root = nullptr, *dest = nullptr;
    sim = simulation();
    platform_posix_elevated = 0;
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
        else if (arg == "--elevated")
            platform_posix_elevated = 1;
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
    if (uninstall_wanted && dest) return simulate_uninstall(root, dest, REGISTRY_FILE, nullptr);
    if (!file) return kvp_fail("simulate: no FILE given");

    kvp_archive archive;
    if (!kvp_archive_open(kvp_text_path(file), &archive)) return 1;
    memset(&g_state, 0, sizeof g_state);
    text_copy(g_state.archive_path, sizeof g_state.archive_path, archive.path.c_str());
    g_state.archive_offset = (uint32_t)archive.offset;
    kvp_archive_close(&archive);
    if (uninstall_wanted) { // the folder the installer would have installed into
        if (!load_script(&g_state)) return kvp_fail("simulate: %s: no setup.txt member", file);
        read_default_dest(&g_state);
        std::string folder = g_state.dest_path;
        // The script words the run as the packed uninstaller's copy of its texts would.
        int code = simulate_uninstall(root, folder, REGISTRY_FILE, g_state.script_text);
        release_script(&g_state);
        return code;
    }

    // From here on every path the run names stays inside the root; the one file outside it
    // that the run may read is its archive.
    std::error_code ec;
    std::filesystem::path absolute_root = std::filesystem::absolute(root, ec);
    if (!ec) std::filesystem::create_directories(absolute_root, ec);
    if (ec || !platform_posix_set_root(absolute_root.string().c_str()) ||
        !platform_posix_make_folders("C:\\") ||
        !platform_posix_allow_host_file(g_state.archive_path))
        return kvp_fail("simulate: cannot use %s as the root", root);

    std::string registry = (absolute_root / REGISTRY_FILE).string();
    int bad_line = 0;
    if (platform_posix_registry_load(registry.c_str(), &bad_line) < 0) {
        platform_posix_set_root(nullptr);
        if (!bad_line) return kvp_fail("simulate: %s cannot be read", registry.c_str());
        return kvp_fail("simulate: %s:%d: not a .reg file of HKEY_CLASSES_ROOT", registry.c_str(),
                        bad_line);
    }

    platform_ui_reset();
    platform_ui.message_box = on_message;
    platform_ui.ask_overwrite = on_question;
    platform_ui.pump = on_pump;
    platform_ui.item_text = on_item;
    platform_ui_open_wizard();
    const int changed = !pck_as_packed(file);
    if (changed || !wizard_init_located(nullptr, &g_state, nullptr)) {
        release_archive_guard(&g_state);
        platform_posix_registry_reset();
        platform_ui_reset();
        platform_posix_set_root(nullptr);
        platform_posix_set_user(nullptr);
        if (changed)
            return kvp_fail("simulate: %s: the .pck differs from the digest the stub carries",
                            file);
        return kvp_fail("simulate: %s: no setup.txt member", file);
    }
    static const int boxes[] = {IDC_STARTMENU_BOX, IDC_DESKTOP_BOX, IDC_EXTRAREG_BOX};
    for (int i = 0; i < 3; i++)
        if (sim.option_set[i] >= 0) platform_ui_tick(boxes[i], sim.option_set[i]);
    if (dest) platform_ui_type(IDC_FOLDER_EDIT, dest);
    printf("destination %s\n", platform_ui_text(IDC_FOLDER_EDIT));
    print_page(g_state.current_page);

    int result = walk_pages();
    int saved = 1;
    if (result == -2) {
        printf("result none (the wizard ended without installing)\n");
    } else {
        static const char *const outcomes[] = {"cancelled", "failed", "stopped", "complete"};
        printf("result %d (%s)\n", result,
               outcomes[result + 1 < 0 || result + 1 > 3 ? 2 : result + 1]);
        std::string logs = g_state.dest_path;
        fflush(stdout);
        saved = platform_posix_registry_save(registry.c_str());
        print_log(logs, "Uninstal.log");
        print_log(logs, "InsErr.log");
    }
    if (platform_ui_view.ended) printf("wizard ended with %d\n", platform_ui_view.result);
    platform_ui_view.log[0] = 0;
    wizard_destroy(nullptr, &g_state);
    const char *open = strstr(platform_ui_view.log, "open ");
    if (open) {
        std::string line(open + 5, strcspn(open + 5, "\n"));
        size_t bar = line.find('|');
        printf("launch %s in \"%s\"\n", line.substr(0, bar).c_str(),
               bar == std::string::npos ? "" : line.substr(bar + 1).c_str());
    }
    fflush(stdout);
    platform_posix_registry_reset();
    platform_ui_reset();
    platform_posix_set_root(nullptr);
    if (!saved) return kvp_fail("simulate: %s cannot be written", registry.c_str());
    platform_posix_set_user(nullptr);
    return result == RUN_COMPLETE ? 0 : 2;
}
