// kvpack simulate --uninstall: the uninstaller's run natively, on the simulated drives and
// registry that an earlier kvpack simulate installed into, as kvuninst.exe /S would do it when
// started from the destination folder.
#include "kvpack.h"

#include "engine/uninstall.h"
#include "platform/posix/platform_posix_paths.h"
#include "platform/posix/platform_posix_registry.h"
#include "platform/posix/platform_shortcut_posix.h"
#include "script/script_keywords.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

const char UNINSTALLER_NAME[] = "kvuninst.exe"; // the file the vendor ships beside the log

// context: the texts the run is worded in.
void on_progress(void *context, const uninstall_entry *entry, size_t, size_t) {
    char line[UNINSTALL_LINE_CAPACITY];
    uninstall_describe(static_cast<const char *>(context), entry, line, sizeof line);
    printf("%s\n", line);
}

} // namespace

int simulate_uninstall(const char *root, const std::string &dest, const char *registry_name,
                       const char *texts) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(root) / "c", ec);
    if (ec || !platform_posix_set_root(std::filesystem::absolute(root).string().c_str()))
        return kvp_fail("simulate: cannot use %s as the root", root);
    std::string registry = (std::filesystem::path(root) / registry_name).string();
    int bad_line = 0;
    if (platform_posix_registry_load(registry.c_str(), &bad_line) < 0)
        return kvp_fail("simulate: %s:%d: not a .reg file of HKEY_CLASSES_ROOT", registry.c_str(),
                        bad_line);

    uninstall_places places = {};
    uninstall_find_places(&places);
    uninstall_plan plan;
    char message[UNINSTALL_MESSAGE_CAPACITY];
    printf("uninstall %s\n", dest.c_str());
    int code = UNINSTALL_EXIT_BAD_LOG;
    int ok = uninstall_read(&plan, dest.c_str(), &places, texts, message, sizeof message);
    if (ok) {
        text_copy(plan.self_path, sizeof plan.self_path, plan.folder);
        text_append(plan.self_path, sizeof plan.self_path, "\\");
        text_append(plan.self_path, sizeof plan.self_path, UNINSTALLER_NAME);
        ok = uninstall_check_log(&plan, message, sizeof message);
    }
    if (!ok) {
        char caption[UNINSTALL_LINE_CAPACITY];
        uninstall_text(texts, KW_TEXT_UN_FAILED_TITLE, caption, sizeof caption);
        printf("message [%s] %s\n", caption, message);
    } else {
        code = uninstall_perform(&plan, on_progress, (void *)plan.texts);
        static char report[UNINSTALL_REPORT_CAPACITY];
        if (uninstall_report(&plan, report, sizeof report)) {
            printf("report\n");
            for (const char *p = report; *p; p++) // its CR LF line ends as the terminal's
                if (*p != '\r') putchar(*p);
            if (report[strlen(report) - 1] != '\n') putchar('\n');
        }
    }
    uninstall_release(&plan);
    printf("exit %d\n", code);
    fflush(stdout);
    int saved = platform_posix_registry_save(registry.c_str());
    platform_posix_registry_reset();
    platform_posix_set_root(nullptr);
    platform_posix_set_user(nullptr);
    if (!saved) return kvp_fail("simulate: %s cannot be written", registry.c_str());
    return code == UNINSTALL_EXIT_OK ? 0 : 2;
}
