// Reading the script and printing the findings of script_lint.
#include "kvpack_lint.h"

#include "archive/lza_lookup.h"
#include "kvpack.h"
#include "kvpack_os.h"
#include "script/script.h"
#include "state/installer_state.h"
#include "state/text_utf8.h"

#include <initializer_list>
#include <memory>
#include <string>
#include <cstring>

namespace {

// Reads path whole into text. 1 read, 0 a read failed, -1 it does not open.
int read_text(const std::filesystem::path &path, std::string *text) {
    FILE *f = kvp_open(path, "rb");
    if (!f) return -1;
    char portion[1 << 16];
    size_t got;
    while ((got = fread(portion, 1, sizeof portion, f)) > 0) text->append(portion, got);
    const int failed = ferror(f);
    fclose(f);
    return !failed;
}

struct printer {
    FILE *out;
    std::string name;
    const char *severity;
    int errors;              // findings that are errors whatever the severity asked for
    std::string first_error; // the first of them: "NAME:LINE: message"
};

void print_finding(void *context, const lint_finding *f) {
    printer *p = static_cast<printer *>(context);
    const char *severity = f->error ? "error" : p->severity;
    const std::string where = f->line > 0 ? p->name + ":" + std::to_string(f->line) : p->name;
    if (f->error && !p->errors++) p->first_error = where + ": " + f->message;
    fprintf(p->out, "%s: %s: %s\n", where.c_str(), severity, f->message);
}

// The page texts the script names (welcome, license) among members: how their bytes read.
void read_page_encodings(const std::string &script, std::vector<lint_member> *members,
                         const std::vector<std::filesystem::path> &paths) {
    std::unique_ptr<installer_state> state(new installer_state());
    if (!load_script_text(state.get(), script.data(), script.size())) return;
    std::vector<char> name(SCRIPT_TOKEN_CAPACITY);
    for (uint32_t key : {KW_WELCOME, KW_LICENSE}) {
        if (!get_value(state.get(), key, name.data(), name.size())) continue;
        for (size_t i = 0; i < members->size() && i < paths.size(); i++) {
            lint_member &m = (*members)[i];
            if (m.encoding || m.size > SCRIPT_PAGE_TEXT_MAX ||
                !match_member_name(name.data(), m.name))
                continue;
            std::string text;
            if (read_text(paths[i], &text) == 1)
                m.encoding = script_encoding(text.data(), text.size(), nullptr);
        }
    }
    release_script(state.get());
}

} // namespace

int kvp_lint_script(const std::filesystem::path &path, std::vector<lint_member> *members,
                    const std::vector<std::filesystem::path> *member_paths, int strict, FILE *out,
                    int *errors, std::string *first_error, const char **read_as) {
    const std::string name = kvp_path_display(path);
    std::string text;
    const int got = read_text(path, &text);
    if (got < 0) return kvp_fail("%s: cannot be opened", name.c_str()), -1;
    if (got == 0) return kvp_fail("%s: cannot be read", name.c_str()), -1;
    if (members && member_paths) read_page_encodings(text, members, *member_paths);
    const size_t size = strnlen(text.data(), text.size()); // the installer stops at a NUL
    if (read_as)
        *read_as = text_encoding_of(text.data(), size, nullptr) != TEXT_ENCODING_UTF8
                       ? "Windows-1252"
                   : text_has_bom(text.data(), size) ? "UTF-8 with a byte order mark"
                                                     : "UTF-8";
    printer p = {out, name, strict ? "error" : "warning", 0, {}};
    const int count = script_lint(text.data(), text.size(), members ? members->data() : nullptr,
                                  members ? (int)members->size() : -1, print_finding, &p);
    if (count < 0) return kvp_fail("%s: out of memory while checking", name.c_str()), -1;
    if (errors) *errors = p.errors;
    if (first_error) *first_error = p.first_error;
    return count;
}
