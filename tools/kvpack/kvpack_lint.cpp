// Reading the script and printing the findings of script_lint.
#include "kvpack_lint.h"

#include "kvpack.h"
#include "kvpack_os.h"

#include <string>

namespace {

struct printer {
    FILE *out;
    std::string name;
    const char *severity;
    int errors; // findings that are errors whatever the severity asked for
};

void print_finding(void *context, const lint_finding *f) {
    printer *p = static_cast<printer *>(context);
    const char *severity = f->error ? "error" : p->severity;
    p->errors += f->error;
    if (f->line > 0)
        fprintf(p->out, "%s:%d: %s: %s\n", p->name.c_str(), f->line, severity, f->message);
    else
        fprintf(p->out, "%s: %s: %s\n", p->name.c_str(), severity, f->message);
}

} // namespace

int kvp_lint_script(const std::filesystem::path &path, const std::vector<lint_member> *members,
                    int strict, FILE *out, int *errors) {
    const std::string name = kvp_path_display(path);
    FILE *f = kvp_open(path, "rb");
    if (!f) return kvp_fail("%s: cannot be opened", name.c_str()), -1;
    std::string text;
    char portion[1 << 16];
    size_t got;
    while ((got = fread(portion, 1, sizeof portion, f)) > 0) text.append(portion, got);
    const int failed = ferror(f);
    fclose(f);
    if (failed) return kvp_fail("%s: cannot be read", name.c_str()), -1;
    printer p = {out, name, strict ? "error" : "warning", 0};
    const int count = script_lint(text.data(), text.size(), members ? members->data() : nullptr,
                                  members ? (int)members->size() : -1, print_finding, &p);
    if (count < 0) return kvp_fail("%s: out of memory while checking", name.c_str()), -1;
    if (errors) *errors = p.errors;
    return count;
}
