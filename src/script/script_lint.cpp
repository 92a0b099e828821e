// The script checks. The script is prepared exactly as the installer prepares it (with an
// origin map back to the vendor's lines) and read through the installer's own queries, so
// that what a finding says is what the installer does.
#include "script/script_lint.h"

#include "archive/lza_lookup.h"
#include "script/common_types.h"
#include "script/protected_keys.h"
#include "script/script.h"
#include "script/ui_text.h"
#include "state/installer_state.h"
#include "state/text_utf8.h"

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
const int STEP_COUNT = sizeof STEP_WORDS / sizeof STEP_WORDS[0];

// The keys naming the members shown as page texts.
const uint32_t PAGE_TEXTS[] = {KW_WELCOME, KW_LICENSE};

struct region {
    int32_t begin, end; // lines starting in [begin, end) lie inside the list
};

struct lint_run {
    const char *original; // the vendor's text in UTF-8, as the installer reads it
    size_t original_len;
    int encoding;        // text_encoding of the vendor's bytes
    int undefined_line;  // TEXT_ENCODING_UNDEFINED: the line of the first undefined byte
    unsigned undefined;  // and the byte
    char *converted;     // the Windows-1252 text made UTF-8 (owned), or null
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

// add_error of a formatted message.
void add_error_format(lint_run *run, int line, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
void add_error_format(lint_run *run, int line, const char *format, ...) {
    char message[LINT_MESSAGE_CAPACITY];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    add_error(run, line, message);
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

// ---- Suggestions --------------------------------------------------------------------------

char fold(char c) {
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

// Edits (insertions, deletions, changes; case ignored) that turn a into b, counted up to limit.
int edit_distance(const char *a, const char *b, int limit) {
    enum : int { LONGEST = SCRIPT_BRACKET_CAPACITY };
    int la = (int)strlen(a), lb = (int)strlen(b);
    if (la >= LONGEST || lb >= LONGEST) return limit + 1;
    int row[LONGEST + 1];
    for (int j = 0; j <= lb; j++) row[j] = j;
    for (int i = 1; i <= la; i++) {
        int diagonal = row[0], smallest = row[0] = i;
        for (int j = 1; j <= lb; j++) {
            int above = row[j];
            int same = fold(a[i - 1]) == fold(b[j - 1]);
            int best = diagonal + !same;
            if (above + 1 < best) best = above + 1;
            if (row[j - 1] + 1 < best) best = row[j - 1] + 1;
            row[j] = best;
            diagonal = above;
            if (best < smallest) smallest = best;
        }
        if (smallest > limit) return limit + 1;
    }
    return row[lb];
}

// A suggestion for a misspelt word: "; did you mean `word`?" for the nearest of the count
// candidates, when at most a third of word's letters (at least one) need an edit; else "".
struct suggestion {
    char text[SCRIPT_BRACKET_CAPACITY + 24];
};
suggestion suggest(const char *word, const char *const *candidates, int count) {
    suggestion s = {""};
    int limit = (int)strlen(word) / 3, best = limit + 1;
    if (limit < 1) limit = 1, best = 2;
    for (int i = 0; i < count; i++) {
        int d = edit_distance(word, candidates[i], limit);
        if (d < best && d > 0) {
            best = d;
            snprintf(s.text, sizeof s.text, "; did you mean `%s`?", candidates[i]);
        }
    }
    return s;
}

// The words of the table of the given kinds (a bit per keyword_kind_value), at most cap.
int keyword_words(uint32_t kinds, const char **out, int cap) {
    int n = 0;
    for (int i = 0; i < KEYWORD_ROWS && n < cap; i++)
        if (kinds & (1u << keyword_table[i].kind)) out[n++] = keyword_table[i].word;
    return n;
}

// ---- Quotes left open -----------------------------------------------------------------------
// A quote left open makes the installer read the rest of the script as quoted text. Each line
// that ends inside quotes is one error, and lint reads on as if the quote closed at that line's
// end, so that the lines below are checked as written instead of drawing findings that all
// follow from this one.

// Copies the original into out (room for its size and one more character per line) with a
// quote added before the line end of each line that ends inside quotes, as the preparation
// counts them; their offsets in out go into added (room for one per line), ascending. Reports
// each such line. The length of out.
size_t close_open_quotes(lint_run *run, char *out, uint32_t *added, size_t *added_count) {
    const char *o = run->original;
    const size_t n = run->original_len;
    size_t w = 0;
    int in_quote = 0;
    *added_count = 0;
    for (size_t i = 0; i <= n; i++) {
        const int line_end = i == n || o[i] == '\n';
        if (line_end && in_quote) {
            size_t at = w; // before the CR of a CR LF
            if (i < n && i > 0 && o[i - 1] == '\r') at--;
            memmove(out + at + 1, out + at, w - at);
            out[at] = '"';
            added[(*added_count)++] = (uint32_t)at;
            w++;
            in_quote = 0;
            add_error(run, original_line(run, i == n ? (n ? n - 1 : 0) : i),
                      "a quote is not closed on this line: the installer reads the rest of the "
                      "script as quoted text and misreads every line below; close it");
        }
        if (i == n) break;
        if (o[i] == '/' && i + 1 < n && o[i + 1] == '/' && !in_quote) {
            while (i < n && o[i] != '\n') out[w++] = o[i++]; // the comment, quotes and all
            i--;
            continue;
        }
        if (o[i] == '"' && !(i > 0 && o[i - 1] == '\\')) in_quote = !in_quote;
        out[w++] = o[i];
    }
    return w;
}

// Moves each offset of origin (of the text close_open_quotes wrote) back to the original's.
void remove_added_quotes(uint32_t *origin, size_t length, const uint32_t *added, size_t count) {
    for (size_t i = 0; i < length && count; i++) {
        size_t before = 0, hi = count; // added quotes before origin[i]
        while (before < hi) {
            size_t mid = (before + hi) / 2;
            if (added[mid] < origin[i])
                before = mid + 1;
            else
                hi = mid;
        }
        origin[i] -= (uint32_t)before;
    }
}

// ---- Lists left open -------------------------------------------------------------------------
// A list whose closing brace is missing reads on to the next } of the script, another list's or
// none. It is one error, named with the line of its brace, and lint reads on as if the list
// closed before the next list's key (or at the script's end).

// Puts "}" and a line end into the prepared text at pos, the origin map moving along.
void insert_close(lint_run *run, int32_t pos) {
    const char close[2] = {'}', '\n'};
    const int32_t n = run->len;
    const uint32_t origin = run->origin[pos < n ? pos : (n > 0 ? n - 1 : 0)];
    memmove(run->text + pos + 2, run->text + pos, (size_t)(n - pos) + 1);
    memmove(run->origin + pos + 2, run->origin + pos, (size_t)(n - pos) * sizeof(uint32_t));
    for (int k = 0; k < 2; k++) {
        run->text[pos + k] = close[k];
        run->origin[pos + k] = origin;
    }
    run->len = n + 2;
}

// Reports each list left open and closes it in the prepared text (room: two characters for
// each line of the original, and two more).
void close_open_lists(lint_run *run) {
    int32_t open = -1, at_key = 0; // the open list's {, and where the line of the last key starts
    char name[SCRIPT_BRACKET_CAPACITY] = "", last[SCRIPT_BRACKET_CAPACITY] = "";
    int32_t closes[2 * MAX_FINDINGS];
    int count = 0;
    auto report = [&](int32_t close_at) {
        add_error_format(run, line_at(run, open),
                         "the list %s opened at line %d has no closing brace: the installer "
                         "reads its entries on to the next } it finds, another list's or none",
                         name[0] ? name : "{", line_at(run, open));
        if (count < 2 * MAX_FINDINGS) closes[count++] = close_at;
    };
    script_head h;
    for (int32_t pos = 0; run->text[pos]; pos = h.next_line) {
        char head[SCRIPT_BRACKET_CAPACITY];
        uint32_t id = script_read_head(run->text, pos, &h, head, sizeof head);
        int32_t line_start = h.start;
        while (line_start > 0 && run->text[line_start - 1] != '\n') line_start--;
        if (id == KW_OPEN_BRACE) {
            if (open >= 0) report(last[0] == '{' ? line_start : at_key);
            open = h.start;
            text_copy(name, sizeof name, last);
        } else if (id == KW_CLOSE_BRACE) {
            open = -1;
        }
        text_copy(last, sizeof last, head);
        at_key = line_start;
    }
    if (open >= 0) report(run->len);
    for (int k = count - 1; k >= 0; k--) {
        if (closes[k] == run->len && run->len > 0 && run->text[run->len - 1] != '\n') {
            insert_close(run, run->len); // "}" and LF behind the last line, then turned round
            run->text[run->len - 2] = '\n';
            run->text[run->len - 1] = '}';
        } else {
            insert_close(run, closes[k]);
        }
    }
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
            in_quote = 0; // a quote left open is reported and closed here (close_open_quotes)
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

// Unknown first words (with the nearest key suggested), glued braces, values that are read
// only in part.
void check_lines(lint_run *run) {
    const char *t = run->text;
    for (int32_t pos = 0; pos < run->len;) {
        int32_t end = pos;
        while (end < run->len && t[end] != '\n') end++;
        int32_t next = end < run->len ? end + 1 : end;
        if (end == pos || in_field_list(run, pos)) {
            pos = next;
            continue;
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
            const char *words[KEYWORD_ROWS];
            int n = run->count < MAX_FINDINGS
                        ? keyword_words(1u << KW_KIND_SETTING | 1u << KW_KIND_LIST, words,
                                        KEYWORD_ROWS)
                        : 0; // past the last finding kept, no suggestion is read
            add(run, line_at(run, pos),
                "'%s' is not a key the installer knows: it ignores this line%s", show(head).text,
                suggest(head, words, n).text);
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
            if (id != KW_NONE && keyword_kind(id) == KW_KIND_PAGE) {
                pages++;
            } else {
                const char *page_words[8];
                int n = keyword_words(1u << KW_KIND_PAGE, page_words, 8);
                add_error_format(run, line_at(run, h.start),
                                 "'%s' in steps is not a page word: when the wizard comes to it, "
                                 "it keeps showing the page before%s",
                                 show(head).text, suggest(head, page_words, n).text);
            }
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
        if (!is_one_of(id, STEP_WORDS, STEP_COUNT)) {
            const char *step_words[STEP_COUNT];
            for (int k = 0; k < STEP_COUNT; k++) step_words[k] = word_of(STEP_WORDS[k]);
            if (id == KW_NONE)
                add_error_format(run, line,
                                 "'%s' is not an install step: the installer ends the install "
                                 "steps here and runs none of the entries below%s",
                                 show(head).text, suggest(head, step_words, STEP_COUNT).text);
            else
                add_error_format(run, line,
                                 "%s is not an install step: the run stops here as if cancelled "
                                 "and the installation is not completed",
                                 word_of(id));
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
                add_error_format(run, ln,
                                 "the source pattern '%s' matches no packed member: the entry "
                                 "copies nothing",
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

// UTF-8 read as Windows-1252 and saved again: "é" became "Ã©", "–" "â€“". A Latin letter
// that leads a UTF-8 sequence (Â, Ã, Å, â) followed by a character whose Windows-1252 byte is
// a continuation byte (0x80..0xBF) is how it shows. Reported once, at its first line.
void check_mojibake(lint_run *run) {
    const char *o = run->original;
    const size_t n = run->original_len;
    uint32_t first = 0, second = 0;
    for (size_t i = 0; i < n;) {
        size_t len = text_utf8_decode(o + i, n - i, &first);
        if (len == 0) len = 1;
        const size_t next = text_utf8_decode(o + i + len, n - i - len, &second);
        const int lead = first == 0xC2 || first == 0xC3 || first == 0xC5 || first == 0xE2;
        const int byte = next ? text_cp1252_byte(second) : -1;
        const int trail = byte >= 0x80 && byte <= 0xBF;
        if (lead && next && trail) {
            add(run, original_line(run, i),
                "'%.*s' looks like UTF-8 read as Windows-1252 and saved again: the "
                "installer shows it as it stands; save the script as UTF-8 with the "
                "intended characters",
                (int)(len + next), o + i);
            return;
        }
        i += len;
    }
}

// Text in no code page the installer reads: a script or page text that is not valid UTF-8 is
// read as Windows-1252, in which 0x81, 0x8D, 0x8F, 0x90 and 0x9D stand for nothing.
void check_encoding(lint_run *run) {
    if (run->encoding == TEXT_ENCODING_UNDEFINED)
        add_error_format(run, run->undefined_line,
                         "byte 0x%02X makes the script neither UTF-8 nor Windows-1252 text: "
                         "save it as one of the two",
                         run->undefined);
    check_mojibake(run);
    for (uint32_t key : PAGE_TEXTS) {
        char name[FIELD_CAPACITY];
        int32_t at = script_find_key(run->text, key);
        if (at < 0 || !get_value(&run->state, key, name, sizeof name) || !name[0]) continue;
        int found = member_matches(run, name);
        if (found >= 0 && run->members[found].encoding == SCRIPT_ENCODING_INVALID)
            add_error_format(run, line_at(run, at - 1),
                             "'%s' is neither UTF-8 nor Windows-1252 text: save it as one of "
                             "the two",
                             show(name).text);
    }
}

// The language key: a value the installer does not know leaves every text Dutch.
void check_language(lint_run *run) {
    int32_t at = script_find_key(run->text, KW_LANGUAGE);
    char value[FIELD_CAPACITY];
    if (at < 0 || !get_value(&run->state, KW_LANGUAGE, value, sizeof value) ||
        ui_language_of(value) >= 0)
        return;
    static const char *const names[] = {"nl",    "en",      "de",     "fr",
                                        "dutch", "english", "german", "french"};
    add_error_format(run, line_at(run, at - 1),
                     "language '%s' is none the installer speaks (nl, en, de, fr or their "
                     "names): it shows its Dutch texts%s",
                     show(value).text, suggest(value, names, 8).text);
}

// Copy entries whose wildcard pattern also catches setup.txt or a page text: the installer
// copies those into the destination with the product's files.
void check_source_catches(lint_run *run) {
    char line[FIELD_CAPACITY], pattern[FIELD_CAPACITY], page[FIELD_CAPACITY];
    for (int n = 0;; n++) {
        int32_t pos = list_line(&run->state, KW_COPY_FILES, n, line, sizeof line);
        if (pos <= 0) break;
        if (!take_field(line, 1, pattern, sizeof pattern)) continue;
        unquote(pattern);
        expand_placeholders(&run->state, pattern, pattern, sizeof pattern);
        if (!strpbrk(pattern, "*?")) continue; // a file named on purpose
        char caught[3 * SHOWN + 16] = "";
        if (match_member_name(pattern, "setup.txt"))
            text_append(caught, sizeof caught, "setup.txt");
        for (uint32_t key : PAGE_TEXTS)
            if (get_value(&run->state, key, page, sizeof page) && page[0] &&
                match_member_name(pattern, page)) {
                if (caught[0]) text_append(caught, sizeof caught, ", ");
                text_append(caught, sizeof caught, show(page).text);
            }
        if (caught[0])
            add(run, line_at(run, pos),
                "the source pattern '%s' also catches %s: the installer copies %s into the "
                "destination with the product's files",
                show(pattern).text, caught, strchr(caught, ',') ? "them" : "it");
    }
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
    size_t undefined_at = 0;
    run->encoding = text_encoding_of(text, size, &undefined_at);
    if (run->encoding == TEXT_ENCODING_UNDEFINED) {
        run->undefined = (unsigned char)text[undefined_at];
        run->undefined_line = 1;
        for (size_t i = 0; i < undefined_at; i++) run->undefined_line += text[i] == '\n';
    }
    // The checks read the text as the installer will: UTF-8, a Windows-1252 text converted
    // (line ends stay where they were, so every line number is the vendor's).
    if (size <= SCRIPT_MAX_SIZE && run->encoding != TEXT_ENCODING_UTF8) {
        run->converted = static_cast<char *>(malloc(3 * size + 1));
        if (run->converted) text_utf8_from_cp1252(run->converted, 3 * size + 1, text, size);
        run->out_of_memory |= !run->converted;
        text = run->converted ? run->converted : "";
        size = strlen(text);
    } else if (text_has_bom(text, size)) {
        text += 3;
        size -= 3;
    }
    if (size > SCRIPT_MAX_SIZE) {
        add(run, 0, "the script is larger than %u bytes: the installer refuses to load it",
            (unsigned)SCRIPT_MAX_SIZE);
    } else {
        run->original = text;
        run->original_len = size;
        run->members = members;
        run->member_count = members ? member_count : -1;
        for (size_t i = 0; i < size; i++) run->line_end_count += text[i] == '\n';
        // Room for a quote added to each line (close_open_quotes) and a brace and line end
        // added for each (close_open_lists).
        const size_t room = size + 3 * (run->line_end_count + 2);
        run->text = static_cast<char *>(malloc(room));
        run->origin = static_cast<uint32_t *>(malloc(room * sizeof(uint32_t)));
        run->line_ends =
            static_cast<uint32_t *>(malloc((run->line_end_count + 1) * sizeof(uint32_t)));
        uint32_t *added =
            static_cast<uint32_t *>(malloc((run->line_end_count + 1) * sizeof(uint32_t)));
        if (!run->text || !run->origin || !run->line_ends || !added) {
            run->out_of_memory = 1;
        } else {
            for (size_t i = 0, k = 0; i < size; i++)
                if (text[i] == '\n') run->line_ends[k++] = (uint32_t)i;
            size_t added_count = 0;
            size_t copied = close_open_quotes(run, run->text, added, &added_count);
            run->len = (int32_t)script_prepare(run->text, copied, run->origin);
            remove_added_quotes(run->origin, (size_t)run->len, added, added_count);
            close_open_lists(run);
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
            check_encoding(run);
            check_language(run);
            check_source_catches(run);
        }
        free(added);
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
    free(run->converted);
    free(run->text);
    free(run->origin);
    free(run->line_ends);
    free(run);
    return result;
}
