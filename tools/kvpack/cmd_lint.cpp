// kvpack lint: the script checks on their own, before anything is packed.
#include "kvpack.h"
#include "kvpack_lint.h"
#include "kvpack_os.h"

#include <cstring>
#include <string>

namespace fs = std::filesystem;

namespace {

const char usage[] =
    "usage: kvpack lint SCRIPT [--members DIR] [--strict]\n"
    "\n"
    "Checks the setup script SCRIPT for the mistakes the installer passes over in silence:\n"
    "unknown keys, lists that end early or read the wrong braces, install steps that stop\n"
    "the run, fields in the wrong place, folder placeholders that are undefined or cyclic.\n"
    "Each finding names the line of SCRIPT and says what the installer will do with it.\n"
    "kvpack pack runs the same checks.\n"
    "\n"
    "  --members DIR  the folder that will be packed: also check that every member the script\n"
    "                 names or matches is there, and that the licence and welcome texts fit\n"
    "  --strict       report findings as errors and exit with 1 when there are any\n"
    "\n"
    "Some findings are always errors, and kvpack pack stops on them: a step or page word\n"
    "that is not one (with the nearest word suggested), a quote not closed on its line, a\n"
    "list without its closing brace, a copy entry that matches no member (with --members),\n"
    "a script or page text that is neither UTF-8 nor Windows-1252, a language the installer\n"
    "does not speak, an association entry whose class or extension is a key Windows depends\n"
    "on (CLSID, *, exefile, .exe, http, ...) or holds a backslash, and an uninstall line the\n"
    "installer refuses.\n"
    "\n"
    "Exit code: 0 when the script was checked and drew no error (with --strict: no finding\n"
    "at all), 1 else.\n";

// The files below dir, named as kvpack pack names them: relative, joined by backslashes.
int folder_members(const fs::path &dir, std::vector<std::string> *names,
                   std::vector<lint_member> *members, std::vector<fs::path> *paths) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec))
        return kvp_fail("lint: %s is not a folder", kvp_path_display(dir).c_str());
    std::vector<uint64_t> sizes;
    fs::recursive_directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        std::string name;
        for (const fs::path &part : it->path().lexically_relative(dir)) {
            std::string text;
            if (!kvp_path_text(part, &text)) text = "?";
            name += (name.empty() ? "" : "\\") + text;
        }
        names->push_back(name);
        paths->push_back(it->path());
        sizes.push_back(it->file_size(ec));
    }
    if (ec) return kvp_fail("lint: %s: %s", kvp_path_display(dir).c_str(), ec.message().c_str());
    for (size_t i = 0; i < names->size(); i++)
        members->push_back({(*names)[i].c_str(), sizes[i], 0});
    return 0;
}

} // namespace

int cmd_lint(int argc, char **argv) {
    const char *script = nullptr, *dir = nullptr;
    int strict = 0;
    for (int i = 1; i < argc; i++) {
        if (kvp_is_help(argv[i])) return fputs(usage, stdout), 0;
        if (!strcmp(argv[i], "--strict")) {
            strict = 1;
        } else if (!strcmp(argv[i], "--members")) {
            if (i + 1 >= argc) return kvp_fail("lint: --members needs a folder");
            dir = argv[++i];
        } else if (argv[i][0] == '-' || script) {
            return kvp_fail("lint: unexpected argument '%s'", argv[i]);
        } else {
            script = argv[i];
        }
    }
    if (!script) return kvp_fail("lint: no SCRIPT given");
    std::vector<std::string> names;
    std::vector<lint_member> members;
    std::vector<fs::path> paths;
    if (dir && folder_members(kvp_text_path(dir), &names, &members, &paths)) return 1;
    int errors = 0;
    const char *read_as = "";
    const int count = kvp_lint_script(kvp_text_path(script), dir ? &members : nullptr, &paths,
                                      strict, stdout, &errors, nullptr, &read_as);
    if (count < 0) return 1;
    fprintf(stderr, "%s: read as %s\n", script, read_as);
    if (count > 0) fprintf(stderr, "%s: %d finding%s\n", script, count, count == 1 ? "" : "s");
    return (strict && count > 0) || errors > 0 ? 1 : 0;
}
