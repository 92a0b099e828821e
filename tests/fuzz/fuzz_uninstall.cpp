// Arbitrary bytes as Uninstal.log, in a simulated destination that holds a file, a folder and a
// symbolic link to a folder outside the simulated drives, beside classes of the product and of
// the system: the reader, the path rules, the key judgements and the removal must neither
// crash, nor trip a sanitizer, nor remove what lies behind the link (the target file is checked
// after every run). The same bytes also go through the command and shell-link readers.
#include "engine/uninstall.h"
#include "engine/uninstall_checks.h"
#include "engine/uninstall_entry.h"
#include "platform/platform_registry.h"
#include "platform/posix/platform_posix_paths.h"
#include "platform/posix/platform_posix_registry.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char DEST[] = "C:\\Prog";

// The sandbox, made once: ROOT/c is drive C:, OUTSIDE beside it holds the file no run may
// remove.
struct sandbox {
    char root[256], outside[300], victim[320];
};

const sandbox &the_sandbox() {
    static sandbox s;
    if (s.root[0]) return s;
    snprintf(s.root, sizeof s.root, "/tmp/kv_fuzz_uninstall.XXXXXX");
    if (!mkdtemp(s.root)) abort();
    snprintf(s.outside, sizeof s.outside, "%s/outside", s.root);
    snprintf(s.victim, sizeof s.victim, "%s/victim.txt", s.outside);
    mkdir(s.outside, 0755);
    platform_posix_set_root(s.root);
    atexit([] { std::filesystem::remove_all(the_sandbox().root); });
    return s;
}

void write_native(const char *path, const void *data, size_t size) {
    FILE *f = fopen(path, "wb");
    if (!f) abort();
    fwrite(data, 1, size, f);
    fclose(f);
}

// Lays out what every run starts from: the destination with a file, a folder and a link out of
// the drives, the special folders, the victim, and the log itself.
void lay_out(const sandbox &s, const uint8_t *data, size_t size) {
    char path[512];
    static const char *const folders[] = {"/c",
                                          "/c/Prog",
                                          "/c/Prog/Docs",
                                          "/c/users",
                                          "/c/users/u",
                                          "/c/users/u/Desktop",
                                          "/c/users/u/Programs"};
    for (const char *folder : folders) {
        snprintf(path, sizeof path, "%s%s", s.root, folder);
        mkdir(path, 0755);
    }
    snprintf(path, sizeof path, "%s/c/Prog/app.exe", s.root);
    write_native(path, "MZ", 2);
    snprintf(path, sizeof path, "%s/c/Prog/lnk", s.root);
    if (symlink(s.outside, path) != 0 && errno != EEXIST) abort();
    write_native(s.victim, "keep", 4);
    snprintf(path, sizeof path, "%s/c/Prog/Uninstal.log", s.root);
    write_native(path, data, size);

    platform_posix_registry_reset();
    const char *const keys[][2] = {
        {"Prog.Document\\DefaultIcon", "C:\\Prog\\app.exe,1"},
        {".prg", "Prog.Document"},
        {"txtfile\\shell\\open\\command", "\"C:\\windows\\notepad.exe\" \"%1\""},
        {".txt", "txtfile"},
    };
    for (const auto &k : keys) {
        platform_key *key = nullptr;
        if (platform_reg_create(nullptr, k[0], &key) == 0) platform_reg_set_text(key, "", k[1]);
        platform_reg_close(key);
    }
}

void on_progress(void *, const uninstall_entry *entry, size_t, size_t) {
    char line[UNINSTALL_LINE_CAPACITY];
    uninstall_describe(nullptr, entry, line, sizeof line);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const sandbox &s = the_sandbox();

    // The bytes as one command or icon text, and as the head of a link file.
    char text[UNINSTALL_COMMAND_CAPACITY], program[UNINSTALL_COMMAND_CAPACITY];
    size_t n = size < sizeof text - 1 ? size : sizeof text - 1;
    memcpy(text, data, n);
    text[n] = 0;
    uninstall_command_program(text, program, sizeof program);
    uninstall_command_names(text, "C:\\Prog\\kvuninst.exe");
    uninstall_path_below(text, DEST);
    uninstall_is_shell_link(data, size);
    int root = 0;
    uninstall_listing_key(text, &root);

    // The bytes as the log of C:\Prog.
    lay_out(s, data, size);
    uninstall_places places = {"C:\\users\\u\\Programs", "C:\\users\\u\\Desktop",
                               "C:\\ProgramData\\Programs", "C:\\users\\Public\\Desktop"};
    uninstall_plan plan;
    char message[UNINSTALL_MESSAGE_CAPACITY];
    if (uninstall_read(&plan, DEST, &places, nullptr, message, sizeof message)) {
        text_copy(plan.self_path, sizeof plan.self_path, "C:\\Prog\\kvuninst.exe");
        if (uninstall_check_log(&plan, message, sizeof message)) {
            uninstall_perform(&plan, on_progress, nullptr);
            static char report[UNINSTALL_REPORT_CAPACITY];
            uninstall_report(&plan, report, sizeof report);
        }
    }
    uninstall_release(&plan);
    struct stat st;
    if (stat(s.victim, &st) != 0) abort(); // a record reached through the link
    return 0;
}
