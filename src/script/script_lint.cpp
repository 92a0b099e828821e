// The script checks. The script is prepared exactly as the installer prepares it (with an
// origin map back to the vendor's lines) and read through the installer's own queries, so
// that what a finding says is what the installer does.
#include "script/script_lint.h"

#include "archive/lza_lookup.h"
#include "script/common_types.h"
#include "script/protected_keys.h"
#include "script/script.h"
#include "state/installer_state.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

enum : size_t { FIELD_CAPACITY = SCRIPT_TOKEN_CAPACITY, SHOWN = 60 };
enum : int { MAX_FINDINGS = 1000 }; // a script that draws more is reported in part

// The lists whose entries are read field by field: their lines are entries, not keys.
const uint32_t FIELD_LISTS[] = {
    KW_COPY_FILES,           KW_REG_ASSOCIATE,        KW_REG_ASSOCIATE_01,
    KW_REG_ASSOCIATE_01 + 1, KW_REG_ASSOCIATE_01 + 2, KW_REG_ASSOCIATE_01 + 3,
    KW_REG_ASSOCIATE_05,     KW_PROGRAM_GROUP,        KW_DESKTOP_SHORTCUT,
};
const int FIELD_LIST_COUNT = sizeof FIELD_LISTS / sizeof FIELD_LISTS[0];

const uint32_t STEP_WORDS[] = {KW_CHECKDISKSPACE, KW_COPYFILES, KW_CREATEFOLDERS,
                               KW_REGISTRY,       KW_STARTMENU, KW_DESKTOP};

struct region {
    int32_t begin, end; // lines starting in [begin, end) lie inside the list
};

struct lint_run {
    const char *original;
    size_t original_len;
    uint32_t *line_ends; // offsets of the original's LFs, ascending
    size_t line_end_count;
    char *text; // prepared
    uint32_t *origin;
    int32_t len;
    installer_state state;
    const lint_member *members;
    int member_count; // < 0: unknown
    region field_lists[FIELD_LIST_COUNT];
    region steps, install_steps;
    lint_finding *findings;
    int count, capacity, out_of_memory, left_out;
};

// A value as a message shows it: its first line, at most SHOWN characters, "..." when cut.
struct shown_text {
    char text[SHOWN + 4];
};
shown_text show(const char *value) {
    shown_text t;
    size_t n = 0;
    while (value[n] && n < SHOWN && (unsigned char)value[n] >= 0x20) n++;
    memcpy(t.text, value, n);
    strcpy(t.text + n, value[n] ? "..." : "");
    return t;
}

int is_one_of(uint32_t id, const uint32_t *ids, size_t n) {
    for (size_t i = 0; i < n; i++)
        if (ids[i] == id) return 1;
    return 0;
}

// 1-based line of an offset of the original text.
int original_line(const lint_run *run, size_t offset) {
    size_t lo = 0, hi = run->line_end_count; // LFs before offset
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        if (run->line_ends[mid] < offset)
            lo = mid + 1;
        else
            hi = mid;
    }
    return (int)lo + 1;
}

// 1-based original line of a position of the prepared text.
int line_at(const lint_run *run, int32_t pos) {
    if (run->len == 0) return 1;
    if (pos >= run->len) pos = run->len - 1;
    if (pos < 0) pos = 0;
    return original_line(run, run->origin[pos]);
}

void add(lint_run *run, int line, const char *format, ...) __attribute__((format(printf, 3, 4)));
void add(lint_run *run, int line, const char *format, ...) {
    if (run->out_of_memory) return;
    if (run->count == MAX_FINDINGS) {
        run->left_out++;
        return;
    }
    if (run->count == run->capacity) {
        int capacity = run->capacity ? 2 * run->capacity : 16;
        void *grown = realloc(run->findings, (size_t)capacity * sizeof(lint_finding));
        if (!grown) {
            run->out_of_memory = 1;
            return;
        }
        run->findings = static_cast<lint_finding *>(grown);
        run->capacity = capacity;
    }
    lint_finding *f = &run->findings[run->count++];
    f->line = line;
    f->error = 0;
    va_list args;
    va_start(args, format);
    vsnprintf(f->message, sizeof f->message, format, args);
    va_end(args);
}

// add of message, marking the finding as an error.
void add_error(lint_run *run, int line, const char *message) {
    int before = run->count;
    add(run, line, "%s", message);
    if (run->count > before) run->findings[run->count - 1].error = 1;
}

int in_region(const region &r, int32_t pos) {
    return pos >= r.begin && pos < r.end;
}

int in_field_list(const lint_run *run, int32_t pos) {
    for (const region &r : run->field_lists)
        if (in_region(r, pos)) return 1;
    return 0;
}

const char *word_of(uint32_t id) {
    const char *w = keyword_word(id);
    return w ? w : "?";
}

// The list of key: where its entries lie, after checking the braces that frame them.
region list_region(lint_run *run, uint32_t key) {
    region r = {-1, -1};
    int32_t at = script_find_key(run->text, key);
    if (at < 0) return r;
    script_head first;
    if (script_read_head(run->text, at, &first, nullptr, 0) != KW_OPEN_BRACE)
        add(run, line_at(run, at - 1),
            "no { follows %s: the installer takes the next braces of the script for its "
            "entries, which may belong to another list or be missing",
            word_of(key));
    int32_t open, close;
    if (!find_braces(run->text, at, &open, &close) || open >= close) return r;
    if (run->text[open] != '\n')
        add(run, line_at(run, open - 1),
            "text stands behind the { of %s (a comment there joins the next line): the "
            "installer misreads the first entry",
            word_of(key));
    r.begin = open;
    r.end = close;
    return r;
}

// ---- Checks on the vendor's original text ---------------------------------------------------

int blank(char c) {
    return c == ' ' || c == '\t';
}

// Blanks that the preparation removes between two word characters, and comments behind
// content, which take their line end with them and join the next line on.
void check_original(lint_run *run) {
    const char *o = run->original;
    size_t n = run->original_len;
    int in_quote = 0;
    size_t line_start = 0;
    for (size_t i = 0; i < n; i++) {
        char c = o[i];
        if (c == '\n') {
            line_start = i + 1;
        } else if (c == '/' && i + 1 < n && o[i + 1] == '/' && !in_quote) {
            int content = 0;
            for (size_t j = line_start; j < i; j++)
                if (!blank(o[j]) && o[j] != '\r') content = 1;
            size_t end = i;
            while (end < n && o[end] != '\n') end++;
            // Comment lines below vanish with their line ends too: the join reaches the first
            // line that is not one.
            size_t next = end + 1;
            for (;;) {
                while (next < n && blank(o[next])) next++;
                if (!(next + 1 < n && o[next] == '/' && o[next + 1] == '/')) break;
                while (next < n && o[next] != '\n') next++;
                next++;
            }
            int next_has_text = next < n && o[next] != '\n' && o[next] != '\r';
            if (content && next_has_text)
                add(run, original_line(run, i),
                    "a comment behind text takes its line end with it: the installer joins "
                    "line %d onto this line, so that line's key is never found",
                    original_line(run, next));
            i = end; // the loop steps over the line end
            line_start = end + 1;
        } else if (c == '"') {
            if (!(i > 0 && o[i - 1] == '\\')) in_quote = !in_quote;
        } else if (blank(c) && !in_quote && i > line_start) {
            size_t k = i;
            while (k < n && blank(o[k])) k++;
            char before = o[i - 1], after = k < n ? o[k] : 0;
            // A brace behind the blank is reported as a glued brace.
            if (before && is_word_char(before) && after && is_word_char(after) && after != '{' &&
                after != '}') {
                size_t ws = i, we = k;
                while (ws > line_start && o[ws - 1] && is_word_char(o[ws - 1]) && i - ws < 30) ws--;
                while (we < n && o[we] && is_word_char(o[we]) && we - k < 30) we++;
                add(run, original_line(run, i),
                    "the blank in '%.*s' is removed: the installer reads '%.*s%.*s'; quote a "
                    "value that holds blanks",
                    (int)(we - ws), o + ws, (int)(i - ws), o + ws, (int)(we - k), o + k);
            }
            i = k - 1;
        }
    }
}

// ---- Checks on the prepared lines -----------------------------------------------------------

// Unknown first words, glued braces, unclosed quotes, values that are read only in part.
void check_lines(lint_run *run) {
    const char *t = run->text;
    int quote_reported = 0;
    for (int32_t pos = 0; pos < run->len;) {
        int32_t end = pos;
        while (end < run->len && t[end] != '\n') end++;
        int32_t next = end < run->len ? end + 1 : end;
        if (end == pos || in_field_list(run, pos)) {
            pos = next;
            continue;
        }
        // Quote balance as the preparation counts it.
        int quotes = 0;
        for (int32_t i = pos; i < end; i++)
            if (t[i] == '"' && !(i > 0 && t[i - 1] == '\\')) quotes++;
        if ((quotes & 1) && !quote_reported) {
            quote_reported = 1;
            add(run, line_at(run, pos),
                "a quote is not closed: the installer reads the rest of the script as quoted "
                "text, so later comments, tabs and blanks stay and lines are misread");
        }
        char head[SCRIPT_BRACKET_CAPACITY];
        script_head h;
        uint32_t id = script_read_head(t, pos, &h, head, sizeof head);
        int own_region = in_region(run->steps, pos) || in_region(run->install_steps, pos);
        if (h.start >= end || own_region) {
            pos = next;
            continue;
        }
        size_t hl = strlen(head);
        int brace_behind = hl > 1 && (head[hl - 1] == '{' || head[hl - 1] == '}');
        int brace_before = hl > 1 && (head[0] == '{' || head[0] == '}');
        if (id == KW_NONE && (brace_behind || brace_before)) {
            char key[SCRIPT_BRACKET_CAPACITY];
            text_copy(key, hl, head + (brace_before ? 1 : 0));
            if (lookup_keyword(key) != KW_NONE)
                add(run, line_at(run, pos),
                    "the brace is glued to %s: the installer reads '%s' as an unknown word and "
                    "ignores the line; put the brace on a line of its own",
                    key, head);
            else
                add(run, line_at(run, pos),
                    "'%s' is not a key the installer knows: it ignores this line", show(head).text);
        } else if (id == KW_NONE) {
            add(run, line_at(run, pos),
                "'%s' is not a key the installer knows: it ignores this line", show(head).text);
        } else if (keyword_kind(id) == KW_KIND_SETTING && t[h.end] == '=' && id != KW_LAUNCHFILE &&
                   id != KW_STEPS && id != KW_INSTALL_STEPS) {
            char value[FIELD_CAPACITY];
            size_t used = next_token(t + h.end, value, sizeof value);
            char after = t[h.end + (int32_t)used];
            if (after && after != '\n' && after != ',')
                add(run, line_at(run, pos),
                    "only '%s' is read as the value of %s and the rest of the line is "
                    "ignored; quote a value that holds more than one word or placeholder",
                    show(value).text, head);
        }
        pos = next;
    }
}

// The steps list and the page count.
void check_pages(lint_run *run) {
    const char *t = run->text;
    int32_t steps_at = script_find_key(t, KW_STEPS);
    if (steps_at < 0) {
        add(run, 0,
            "the script has no steps list: the wizard shows no page and never runs "
            "the install steps");
        return;
    }
    int pages = 0, has_start = 0;
    if (run->steps.begin >= 0) {
        script_head h;
        for (int32_t pos = run->steps.begin; pos < run->steps.end - 1; pos = h.next_line) {
            char head[SCRIPT_BRACKET_CAPACITY];
            uint32_t id = script_read_head(t, pos, &h, head, sizeof head);
            if (h.start >= run->steps.end - 1) break;
            if (id == KW_STARTINSTALL) has_start = 1;
            if (id != KW_NONE && keyword_kind(id) == KW_KIND_PAGE)
                pages++;
            else
                add(run, line_at(run, h.start),
                    "'%s' in steps is not a page word: when the wizard comes to it, it keeps "
                    "showing the page before",
                    show(head).text);
        }
    }
    if (!has_start)
        add(run, line_at(run, steps_at - 1),
            "the steps list has no startinstall page: the installer never runs the install "
            "steps");
    count_pages(&run->state);
    if (run->state.page_count == pages) return;
    script_head h;
    for (int32_t pos = 0; t[pos]; pos = h.next_line) {
        uint32_t id = script_read_head(t, pos, &h, nullptr, 0);
        if (id != KW_NONE && keyword_kind(id) == KW_KIND_PAGE && !in_region(run->steps, h.start))
            add(run, line_at(run, h.start),
                "%s heads a line outside the steps list and still counts as a page: the wizard "
                "counts %d pages for %d in steps, so Next stays on the last page instead of "
                "closing",
                word_of(id), run->state.page_count, pages);
    }
}

// A keyword that is no step in install_steps (an uninstall line put there by mistake): the run,
// in the wizard and under /S alike, stops there as cancelled, so the product is never
// installed whole. An error: no installer built from such a script can complete.
void report_no_step(lint_run *run, int line, uint32_t id) {
    char message[LINT_MESSAGE_CAPACITY];
    snprintf(message, sizeof message,
             "%s is not an install step: the run stops here as if cancelled and the "
             "installation is not completed",
             word_of(id));
    add_error(run, line, message);
}

// install_steps: only the six step words, and the member table before the copy.
void check_install_steps(lint_run *run) {
    const char *t = run->text;
    if (script_find_key(t, KW_INSTALL_STEPS) < 0) {
        add(run, 0, "the script has no install_steps list: the installation copies nothing");
        return;
    }
    if (run->install_steps.begin < 0) return;
    int seen_check = 0, seen_copy = 0;
    script_head h;
    for (int32_t pos = run->install_steps.begin; pos < run->install_steps.end - 1;
         pos = h.next_line) {
        char head[SCRIPT_BRACKET_CAPACITY];
        uint32_t id = script_read_head(t, pos, &h, head, sizeof head);
        if (h.start >= run->install_steps.end - 1) break;
        int line = line_at(run, h.start);
        if (!is_one_of(id, STEP_WORDS, sizeof STEP_WORDS / sizeof STEP_WORDS[0])) {
            if (id == KW_NONE)
                add(run, line,
                    "'%s' is not an install step: the installer ends the install steps here "
                    "and runs none of the entries below",
                    show(head).text);
            else
                report_no_step(run, line, id);
            return;
        }
        if (id == KW_CHECKDISKSPACE) seen_check = 1;
        if (id == KW_COPYFILES) {
            seen_copy = 1;
            if (!seen_check)
                add(run, line,
                    "copyfiles runs without checkdiskspace before it: the member table is then "
                    "empty and the copy finds no members to copy");
        }
        if (script_find_key(t, id) != h.end)
            add(run, line,
                "%s already heads line %d: the installer takes this step's texts from there",
                word_of(id), line_at(run, script_find_key(t, id) - 1));
    }
    if (!seen_copy && run->field_lists[0].begin >= 0)
        add(run, line_at(run, run->field_lists[0].begin - 1),
            "copy_files has entries but install_steps has no copyfiles step: nothing is copied");
}

void check_launch_and_options(lint_run *run) {
    const char *t = run->text;
    int32_t at = script_find_key(t, KW_LAUNCHFILE);
    if (at >= 0 && t[at] == '=') {
        char program[FIELD_CAPACITY];
        get_field(&run->state, KW_LAUNCHFILE, 1, program, sizeof program);
        add(run, line_at(run, at - 1),
            "launchfile is written with '=': the installer takes the text after the first comma "
            "and starts '%s'; write launchfile,\"file\",\"folder\"",
            show(program).text);
    }
    const uint32_t options[] = {KW_PROGRAMGROUPYESNO, KW_DESKTOPYESNO, KW_LAUNCHYESNO,
                                KW_EXTRAREG01};
    for (uint32_t key : options) {
        int32_t line_at_key = script_find_key(t, key);
        if (line_at_key < 0) continue;
        char field[FIELD_CAPACITY];
        get_field(&run->state, key, 1, field, sizeof field);
        uint32_t id = lookup_keyword(field);
        if (id != KW_TRUE && id != KW_FALSE)
            add(run, line_at(run, line_at_key - 1),
                "field 1 of %s is '%s', neither true nor false: the box starts unticked",
                word_of(key), show(field).text);
    }
}

int member_matches(const lint_run *run, const char *pattern) {
    for (int i = 0; i < run->member_count; i++)
        if (run->members[i].name && match_member_name(pattern, run->members[i].name)) return i;
    return -1;
}

void check_copy_files(lint_run *run) {
    char line[FIELD_CAPACITY], field[FIELD_CAPACITY];
    for (int n = 0;; n++) {
        int32_t pos = list_line(&run->state, KW_COPY_FILES, n, line, sizeof line);
        if (pos <= 0) break;
        if (!line[0]) continue; // an empty entry has no source pattern and is passed over
        int ln = line_at(run, pos);
        take_field(line, 0, field, sizeof field);
        size_t fl = strlen(field);
        if (field[0] == '"' && (fl < 2 || field[fl - 1] != '"')) {
            char shifted[FIELD_CAPACITY];
            take_field(line, 1, shifted, sizeof shifted);
            add(run, ln,
                "the description holds a comma: the installer cuts it there and every later "
                "field moves one place (the source pattern becomes '%s')",
                show(shifted).text);
        }
        if (!take_field(line, 1, field, sizeof field)) {
            add(run, ln, "the entry has no source pattern: the installer skips it");
            continue;
        }
        if (field[0] == '"')
            add(run, ln,
                "the source pattern is quoted: the disk-space check does not unquote it and "
                "counts none of its bytes, while the copy does copy them");
        if (run->member_count >= 0) {
            unquote(field);
            expand_placeholders(&run->state, field, field, sizeof field);
            if (member_matches(run, field) < 0)
                add(run, ln,
                    "the source pattern '%s' matches no packed member: the entry copies "
                    "nothing",
                    show(field).text);
        }
        if (!take_field(line, 2, field, sizeof field))
            add(run, ln, "the entry has no target: the installer passes over its members");
        int has_policy = take_field(line, 3, field, sizeof field);
        uint32_t policy = lookup_keyword(field);
        if (policy != KW_OVERWRITE_ALWAYS && policy != KW_OVERWRITE_NEVER &&
            policy != KW_OVERWRITE_ASK)
            add(run, ln, "%s%s%s: the installer asks before overwriting, as with overwrite_ask",
                has_policy ? "the overwrite policy '" : "the entry has no overwrite policy",
                show(has_policy ? field : "").text, has_policy ? "' is not one" : "");
    }
}

// An association entry whose class or extension names a key the system depends on: the
// installer would delete that key's whole tree, so it refuses the entry.
void check_protected_keys(lint_run *run, const char *line, int ln) {
    static const char *const names[] = {"class", "extension"};
    char field[FIELD_CAPACITY];
    for (int n = 0; n < 2; n++) {
        take_field(line, n, field, sizeof field);
        unquote(field);
        if (!is_protected_class_key(field)) continue;
        char message[LINT_MESSAGE_CAPACITY];
        if (!field[0])
            snprintf(message, sizeof message,
                     "the %s is empty and names HKEY_CLASSES_ROOT itself: the installer refuses "
                     "the entry",
                     names[n]);
        else
            snprintf(message, sizeof message,
                     "the %s '%s' is a key Windows depends on or holds a backslash: the "
                     "installer refuses the entry rather than delete that key with all its "
                     "subkeys",
                     names[n], show(field).text);
        add_error(run, ln, message);
    }
}

// Associations that take a type Windows or a common program owns. The installer borrows the
// extension and the uninstaller gives it back, but meanwhile every user's files of that type
// open with the product.
void check_common_types(lint_run *run) {
    const uint32_t lists[] = {KW_REG_ASSOCIATE, KW_REG_ASSOCIATE_01};
    char line[FIELD_CAPACITY], field[FIELD_CAPACITY];
    for (uint32_t key : lists) {
        for (int n = 0;; n++) {
            int32_t pos = list_line(&run->state, key, n, line, sizeof line);
            // The list ends at an entry without a class or an extension (reported elsewhere).
            if (pos <= 0 || !take_field(line, 0, field, sizeof field) ||
                !take_field(line, 1, field, sizeof field))
                break;
            unquote(field);
            if (is_common_file_type(field))
                add(run, line_at(run, pos),
                    "the extension '%s' is a type that Windows or a common program owns: the "
                    "installation takes it from that program for every user until the uninstall "
                    "gives it back; register a type of the product's own",
                    show(field).text);
        }
    }
}

// Association and shortcut lists stop at the first entry that lacks a required field, a
// blank line included; what stands below it is never processed.
void check_stopping_lists(lint_run *run) {
    struct {
        uint32_t key;
        int first, second; // the two fields without which the list ends
        const char *names;
        int is_association;
    } lists[] = {
        {KW_REG_ASSOCIATE, 0, 1, "SysName and Extension", 1},
        {KW_REG_ASSOCIATE_01, 0, 1, "SysName and Extension", 1},
        {KW_PROGRAM_GROUP, 1, 2, "a shortcut name and target", 0},
        {KW_DESKTOP_SHORTCUT, 1, 2, "a shortcut name and target", 0},
    };
    char line[FIELD_CAPACITY], field[FIELD_CAPACITY];
    for (auto &l : lists) {
        int stopped_at = 0, stopped_blank = 0;
        for (int n = 0;; n++) {
            int32_t pos = list_line(&run->state, l.key, n, line, sizeof line);
            if (pos <= 0) break;
            if (stopped_at) {
                if (!line[0]) continue;
                add(run, stopped_at,
                    "%s ends the %s list: the installer never processes the entries below it",
                    stopped_blank ? "this blank line"
                                  : "this entry lacks one of its first fields "
                                    "and",
                    word_of(l.key));
                break;
            }
            if (!take_field(line, l.first, field, sizeof field) ||
                !take_field(line, l.second, field, sizeof field)) {
                stopped_at = line_at(run, pos);
                stopped_blank = !line[0];
                if (!stopped_blank)
                    add(run, stopped_at, "the entry lacks %s: the installer stops the %s list here",
                        l.names, word_of(l.key));
                continue;
            }
            if (l.is_association) {
                take_field(line, 1, field, sizeof field);
                unquote(field);
                if (field[0] != '.')
                    add(run, line_at(run, pos),
                        "the extension '%s' lacks the full stop: the installer logs an error "
                        "and registers nothing for this entry",
                        show(field).text);
                check_protected_keys(run, line, line_at(run, pos));
            }
        }
    }
}

void check_members(lint_run *run) {
    if (run->member_count < 0) return;
    struct {
        uint32_t key;
        int is_text;
        const char *effect;
    } named[] = {
        {KW_LICENSE, 1, "the licence page stays empty"},
        {KW_WELCOME, 1, "the welcome page stays empty"},
        {KW_BITMAP, 0, "the banner is painted as a gradient"},
        {KW_BITMAP16, 0, "the banner is painted as a gradient on displays of 7 or fewer bits"},
    };
    char name[FIELD_CAPACITY];
    for (auto &m : named) {
        int32_t at = script_find_key(run->text, m.key);
        if (at < 0 || !get_value(&run->state, m.key, name, sizeof name) || !name[0]) continue;
        int ln = line_at(run, at - 1);
        int found = member_matches(run, name);
        if (found < 0) {
            add(run, ln, "no packed member is named '%s': %s", show(name).text, m.effect);
        } else if (m.is_text && run->members[found].size > SCRIPT_PAGE_TEXT_MAX) {
            add(run, ln, "'%s' holds %llu bytes: the installer shows only the first %u",
                show(name).text, (unsigned long long)run->members[found].size,
                (unsigned)SCRIPT_PAGE_TEXT_MAX);
        }
    }
}

// Folder placeholders that are used but not defined, and folder keys in a cycle.
void check_folders(lint_run *run) {
    const char *t = run->text;
    int defined[SCRIPT_FOLDER_KEYS];
    for (int k = 0; k < (int)SCRIPT_FOLDER_KEYS; k++)
        defined[k] = script_find_key(t, KW_DIR01 + (uint32_t)k) >= 0;
    int last_line[SCRIPT_FOLDER_KEYS] = {};
    for (int32_t i = 0; i < run->len; i++) {
        if (t[i] != '[') continue;
        char word[SCRIPT_BRACKET_CAPACITY];
        int32_t j = i;
        while (j < run->len && t[j] != ']' && j - i < (int32_t)sizeof word - 2) j++;
        size_t n = (size_t)(j - i + (t[j] == ']' ? 1 : 0));
        text_copy(word, n + 1 < sizeof word ? n + 1 : sizeof word, t + i);
        uint32_t id = lookup_keyword(word);
        if (id < KW_PH_DIR01 || id > KW_PH_DIR09) continue;
        int k = (int)(id - KW_PH_DIR01), ln = line_at(run, i);
        if (!defined[k] && last_line[k] != ln) {
            last_line[k] = ln;
            add(run, ln,
                "%s is used but %s is not defined: the installer leaves '%s' in the text as "
                "written",
                word_of(id), word_of(KW_DIR01 + (uint32_t)k), word_of(id));
        }
    }
    for (int k = 0; k < (int)SCRIPT_FOLDER_KEYS; k++) {
        if (!defined[k] || expand_folder_key(&run->state, KW_PH_DIR01 + (uint32_t)k, nullptr, 0))
            continue;
        add(run, line_at(run, script_find_key(t, KW_DIR01 + (uint32_t)k) - 1),
            "%s is defined in a cycle of folder keys: the installer treats %s as undefined and "
            "does not create the folder",
            word_of(KW_DIR01 + (uint32_t)k), word_of(KW_PH_DIR01 + (uint32_t)k));
    }
}

// ---- Paths that leave their base -------------------------------------------------------------
// A path the script names is read after its placeholders are expanded, with [dest] kept as the
// word itself, so that [dir01]\..\x is judged by where dir01 leads. Windows resolves ".." before
// the file is made: a path that climbs above its base lands beside it, and one that starts
// neither at a placeholder nor at a drive or share lands where the installer's current folder
// happens to be.

const char DEST_WORD[] = "[dest]";

// 1 when the backslash- or slash-separated parts of text climb above where they start.
int climbs_out(const char *text) {
    int depth = 0;
    for (const char *p = text; *p;) {
        size_t n = strcspn(p, "\\/");
        if (n == 2 && p[0] == '.' && p[1] == '.') {
            if (--depth < 0) return 1;
        } else if (n > 0 && !(n == 1 && p[0] == '.')) {
            depth++;
        }
        p += n;
        if (*p) p++;
    }
    return 0;
}

// Checks a copy target or folder (what names it, and the value as written) against [dest].
void check_based_path(lint_run *run, int ln, const char *what, const char *value) {
    char expanded[FIELD_CAPACITY];
    text_copy(run->state.dest_path, sizeof run->state.dest_path, DEST_WORD);
    expand_placeholders(&run->state, value, expanded, sizeof expanded);
    run->state.dest_path[0] = 0;
    const char *t = expanded;
    int drive = ((t[0] | 0x20) >= 'a' && (t[0] | 0x20) <= 'z' && t[1] == ':');
    int separator = t[0] == '\\' || t[0] == '/';
    if (!strncmp(t, DEST_WORD, sizeof DEST_WORD - 1)) {
        if (climbs_out(t + sizeof DEST_WORD - 1))
            add(run, ln,
                "%s '%s' climbs out of [dest] with '..': Windows resolves it to a place outside "
                "the destination folder (a warning: a folder beside it, [dest]\\..\\Shared, "
                "may be meant)",
                what, show(value).text);
    } else if (!t[0] || t[0] == '[' || drive || (separator && (t[1] == '\\' || t[1] == '/'))) {
        return; // an undefined folder (reported elsewhere), a drive or a share
    } else {
        add(run, ln,
            "%s '%s' is %s: Windows puts it %s the installer's current folder, which the "
            "installer does not choose; start it at [dest], a folder placeholder or a drive",
            what, show(value).text, separator ? "rooted" : "relative",
            separator ? "on the drive of" : "below");
    }
}

// Copy targets, folder keys and shortcut groups that leave their base.
void check_path_bases(lint_run *run) {
    char line[FIELD_CAPACITY], field[FIELD_CAPACITY];
    for (int n = 0;; n++) {
        int32_t pos = list_line(&run->state, KW_COPY_FILES, n, line, sizeof line);
        if (pos <= 0) break;
        if (!line[0] || !take_field(line, 2, field, sizeof field)) continue;
        unquote(field);
        check_based_path(run, line_at(run, pos), "the target", field);
    }
    for (uint32_t k = 0; k < SCRIPT_FOLDER_KEYS; k++) {
        int32_t at = script_find_key(run->text, KW_DIR01 + k);
        char raw[FIELD_CAPACITY];
        if (at < 0 || !get_value(&run->state, KW_DIR01 + k, raw, sizeof raw)) continue;
        check_based_path(run, line_at(run, at - 1), word_of(KW_DIR01 + k), raw);
    }
    // A group and the link's name below it are joined to the special folder as they stand.
    const struct {
        uint32_t key;
        const char *folder;
    } groups[] = {{KW_PROGRAM_GROUP, "the Start menu's Programs folder"},
                  {KW_DESKTOP_SHORTCUT, "the desktop"}};
    for (auto &g : groups) {
        for (int n = 0;; n++) {
            int32_t pos = list_line(&run->state, g.key, n, line, sizeof line);
            if (pos <= 0) break;
            char group[FIELD_CAPACITY], name[FIELD_CAPACITY], joined[2 * FIELD_CAPACITY];
            if (!take_field(line, 1, name, sizeof name)) continue;
            take_field(line, 0, group, sizeof group);
            unquote(group);
            unquote(name);
            snprintf(joined, sizeof joined, "%s\\%s", group, name);
            if (climbs_out(joined))
                add(run, line_at(run, pos),
                    "the shortcut '%s' climbs out of %s with '..': Windows makes it outside "
                    "that folder, where the user does not look for it",
                    show(joined).text, g.folder);
        }
    }
}

// The uninstall line (this product's addition): what the registry step refuses, and scripts in
// which it never writes the entry or writes it before the size is known.
void check_uninstall(lint_run *run) {
    const char *t = run->text;
    int32_t at = script_find_key(t, KW_UNINSTALL);
    if (at < 0) return;
    int ln = line_at(run, at - 1);
    char name[FIELD_CAPACITY], uninstaller[FIELD_CAPACITY];
    get_value(&run->state, KW_UNINSTALL, name, sizeof name);
    if (!name[0] || strlen(name) > 255 || strchr(name, '\\')) {
        char message[LINT_MESSAGE_CAPACITY];
        snprintf(message, sizeof message,
                 "the display name '%s' is empty, longer than 255 characters or holds a "
                 "backslash: it names the uninstall entry's key, so the installer refuses the "
                 "entry",
                 show(name).text);
        add_error(run, ln, message);
    }
    if (!get_field(&run->state, KW_UNINSTALL, 1, uninstaller, sizeof uninstaller) ||
        !uninstaller[0])
        add_error(run, ln,
                  "uninstall names no uninstaller in field 1: the installer refuses the entry");
    int registry = -1, copy = -1;
    for (int k = 0;; k++) {
        uint32_t id = list_item_id(&run->state, KW_INSTALL_STEPS, k);
        if (id == KW_NONE) break;
        if (id == KW_REGISTRY && registry < 0) registry = k;
        if (id == KW_COPYFILES && copy < 0) copy = k;
    }
    if (registry < 0)
        add(run, ln, "install_steps has no registry step: the uninstall entry is never written");
    else if (copy > registry)
        add(run, ln,
            "the registry step runs before copyfiles: the uninstall entry's size is written "
            "as 0 KB");
}

// Orders the findings by line, keeping the order of the checks within a line.
void sort_by_line(lint_finding *findings, int count) {
    for (int i = 1; i < count; i++) {
        lint_finding moving = findings[i];
        int j = i;
        for (; j > 0 && findings[j - 1].line > moving.line; j--) findings[j] = findings[j - 1];
        findings[j] = moving;
    }
}

} // namespace

int script_lint(const char *text, size_t size, const lint_member *members, int member_count,
                lint_report_fn report, void *context) {
    lint_run *run = static_cast<lint_run *>(calloc(1, sizeof(lint_run)));
    if (!run) return -1;
    size = text ? strnlen(text, size) : 0;
    if (size > SCRIPT_MAX_SIZE) {
        add(run, 0, "the script is larger than %u bytes: the installer refuses to load it",
            (unsigned)SCRIPT_MAX_SIZE);
    } else {
        run->original = text;
        run->original_len = size;
        run->members = members;
        run->member_count = members ? member_count : -1;
        run->text = static_cast<char *>(malloc(size + 1));
        run->origin = static_cast<uint32_t *>(malloc((size + 1) * sizeof(uint32_t)));
        for (size_t i = 0; i < size; i++) run->line_end_count += text[i] == '\n';
        run->line_ends =
            static_cast<uint32_t *>(malloc((run->line_end_count + 1) * sizeof(uint32_t)));
        if (!run->text || !run->origin || !run->line_ends) {
            run->out_of_memory = 1;
        } else {
            for (size_t i = 0, k = 0; i < size; i++)
                if (text[i] == '\n') run->line_ends[k++] = (uint32_t)i;
            if (size) memcpy(run->text, text, size);
            run->len = (int32_t)script_prepare(run->text, size, run->origin);
            run->state.script_text = run->text;
            for (int i = 0; i < FIELD_LIST_COUNT; i++)
                run->field_lists[i] = list_region(run, FIELD_LISTS[i]);
            run->steps = list_region(run, KW_STEPS);
            run->install_steps = list_region(run, KW_INSTALL_STEPS);
            check_original(run);
            check_lines(run);
            check_pages(run);
            check_install_steps(run);
            check_launch_and_options(run);
            check_copy_files(run);
            check_stopping_lists(run);
            check_members(run);
            check_folders(run);
            check_uninstall(run);
            check_path_bases(run);
            check_common_types(run);
        }
    }
    int result = run->out_of_memory ? -1 : run->count;
    sort_by_line(run->findings, run->count);
    for (int i = 0; i < run->count && report; i++) report(context, &run->findings[i]);
    if (run->left_out && report && result >= 0) {
        lint_finding more = {0, "", 0};
        snprintf(more.message, sizeof more.message, "%d more findings were left out",
                 run->left_out);
        report(context, &more);
        result++;
    }
    free(run->findings);
    free(run->text);
    free(run->origin);
    free(run->line_ends);
    free(run);
    return result;
}
