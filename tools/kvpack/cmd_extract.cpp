// kvpack extract: decodes members into files below a folder.
#include "archive/lza_lookup.h"
#include "engine/folders.h"
#include "kvpack.h"
#include "kvpack_archive.h"
#include "kvpack_os.h"
#include "platform/platform.h"
#include "state/text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char usage[] =
    "usage: kvpack extract FILE [-C DIR] [--quiet] [PATTERN...]\n"
    "\n"
    "Unpacks the members of FILE (an installer, .pck file or bare archive) whose names match\n"
    "any PATTERN (the installer's wildcards: * and ? within a name part, case ignored;\n"
    "default: every member) into DIR (default: the current folder). Backslashes in member\n"
    "names become folders. A member whose name would leave DIR (.., an absolute path, a\n"
    "drive letter, a stream or a device name) or would name the same file as an earlier one\n"
    "(names differing only in case or trailing dots and blanks) is refused, and nothing is\n"
    "extracted. Each member is written beside its target under a temporary name and replaces\n"
    "it only when complete, so a failure leaves what was there.\n";

struct file_sink {
    platform_file *file;
    uint32_t error; // the system error of a failed write, kept where it happened
};

int write_portion(void *context, const unsigned char *data, size_t size) {
    file_sink *sink = static_cast<file_sink *>(context);
    if (platform_write(sink->file, data, size) == (long)size) return 1;
    sink->error = platform_last_error();
    return 0;
}

int matches_any(const std::vector<const char *> &patterns, const std::string &name) {
    if (patterns.empty()) return 1;
    for (const char *p : patterns)
        if (match_member_name(p, name.c_str())) return 1;
    return 0;
}

int extract_member(kvp_archive *archive, const kvp_record &r, const fs::path &dir,
                   kvp_progress *progress, unsigned *part_counter) {
    fs::path relative;
    std::string why;
    if (!kvp_member_path(r.name, &relative, &why))
        return kvp_fail("member '%s' %s: refused", r.name.c_str(), why.c_str());
    const fs::path target = dir / relative;
    const std::string shown = kvp_path_display(target);
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    if (ec)
        return kvp_fail("%s: %s", kvp_path_display(target.parent_path()).c_str(),
                        ec.message().c_str());
    // The core's file functions, as the installer fills its files: backslashes separate.
    std::string text;
    if (!kvp_path_text(target, &text) || text.size() >= PATH_CAPACITY)
        return kvp_fail("%s: path not representable in %u bytes", shown.c_str(),
                        (unsigned)PATH_CAPACITY - 1);
    std::replace(text.begin(), text.end(), '/', '\\');
    char part[PATH_CAPACITY];
    if (!make_part_path(text.c_str(), part, part_counter))
        return kvp_fail("%s: no free temporary name beside it", shown.c_str());
    file_sink sink = {platform_create_write(part), 0};
    if (!sink.file)
        return kvp_fail("%s: cannot be created (system error %u)", part,
                        (unsigned)platform_last_error());
    progress->label = r.name;
    int ok = kvp_archive_decode(archive, &r, write_portion, &sink, progress, nullptr);
    platform_close(sink.file);
    if (ok && !platform_move_replace(part, text.c_str())) {
        sink.error = platform_last_error();
        ok = 0;
    }
    if (ok) return 0;
    platform_delete_file(part);
    return kvp_fail("%s: cannot be written (system error %u); what was there stays", shown.c_str(),
                    (unsigned)sink.error);
}

} // namespace

int cmd_extract(int argc, char **argv) {
    const char *file = nullptr;
    fs::path dir = ".";
    int quiet = 0;
    std::vector<const char *> patterns;
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        if (kvp_is_help(a)) return fputs(usage, stdout), 0;
        if (!strcmp(a, "-C")) {
            if (++i >= argc) return kvp_fail("extract: -C needs a folder");
            dir = kvp_text_path(argv[i]);
        } else if (!strcmp(a, "--quiet") || !strcmp(a, "-q")) {
            quiet = 1;
        } else if (a[0] == '-' && a[1] != 0) {
            return kvp_fail("extract: unknown option '%s'", a);
        } else if (!file) {
            file = a;
        } else {
            patterns.push_back(a);
        }
    }
    if (!file) return kvp_fail("extract: no FILE given");
    kvp_archive archive;
    if (!kvp_archive_open(kvp_text_path(file), &archive)) return 1;

    // Walk first: a damaged archive or a refused name stops us before anything is written.
    std::vector<kvp_record> chosen;
    std::vector<int> used(patterns.size(), 0);
    kvp_record r;
    int result, failed = 0;
    uint64_t total = 0;
    while ((result = kvp_archive_next(&archive, &r)) == 1) {
        for (size_t k = 0; k < patterns.size(); k++)
            if (match_member_name(patterns[k], r.name.c_str())) used[k] = 1;
        if (!matches_any(patterns, r.name)) continue;
        chosen.push_back(r);
        total += r.header.unpacked_size;
    }
    if (result < 0) failed = kvp_fail("%s: %s", archive.path.c_str(), archive.error.c_str());
    lza_name_set seen = {};
    if (!failed && !lza_name_set_init(&seen, chosen.size()))
        failed = kvp_fail("no memory for the member names");
    for (size_t i = 0; !failed && i < chosen.size(); i++) {
        int32_t earlier = -1;
        const lza_path_refusal why =
            kvp_name_refusal(chosen[i].name, 0, &seen, (int32_t)i, &earlier);
        const std::string as = earlier >= 0 ? " ('" + chosen[earlier].name + "')" : "";
        if (why != LZA_PATH_ACCEPTED)
            failed = kvp_fail("member '%s' %s%s: refused", chosen[i].name.c_str(),
                              lza_path_refusal_text(why), as.c_str());
    }
    lza_name_set_free(&seen);
    for (size_t k = 0; !failed && k < patterns.size(); k++)
        if (!used[k]) failed = kvp_fail("no member matches '%s'", patterns[k]);
    kvp_progress progress;
    kvp_progress_start(&progress, total, quiet);
    unsigned part_counter = 0;
    for (size_t i = 0; !failed && i < chosen.size(); i++)
        failed = extract_member(&archive, chosen[i], dir, &progress, &part_counter);
    kvp_progress_end(&progress);
    kvp_archive_close(&archive);
    if (!failed && !quiet)
        printf("%zu members extracted to %s\n", chosen.size(), kvp_path_display(dir).c_str());
    return failed;
}
