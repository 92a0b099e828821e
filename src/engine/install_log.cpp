// Uninstal.log and InsErr.log.
//
// The uninstaller expects each kind/text pair at most once, so an append must know whether the
// pair is already in the file. Reading the file back for every append would make a run cost the
// square of its records; instead the lines written in this run are kept in an index beside the
// file, which answers exactly as a scan of the file would while these hold:
//   1. every line written is plain: 1..511 bytes without CR or LF (one line for the reader);
//   2. the file still has the size our last write left (nobody else wrote to it);
//   3. the kind asked for never stands at a text position (as a header line or record text),
//      so the scan, which skips the line after a matching kind, cannot fall out of step.
// When any of them fails the append scans the file line by line as the uninstaller reads it.
//
// Both files stay open for appending while the run goes on (reopened only around a scan, or
// after an open failed), opened so that every write lands at the file's end and readers may
// look meanwhile. Nothing is held back: a record is written to the file, one write, before the
// append returns and so before the file it names is created; a run cut off at any point leaves
// a log that names everything it made.
//
// Every byte written to Uninstal.log also goes into a running SHA-256, which the install keeps
// in the product's uninstall entry once the run has ended: a log changed afterwards, or by
// anyone else during the run, no longer matches it.
#include "engine/install_log.h"

#include "archive/lza_sha256.h"
#include "archive/lza_member_path.h"
#include "engine/area.h"
#include "platform/platform.h"
#include "platform/platform_confine.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char UNINSTALL_NAME[] = "Uninstal.log";
const char ERROR_NAME[] = "InsErr.log";

// The log every operation works on: the running install's, bound for the length of the run.
install_log *bound;

// The index of Uninstal.log's lines (install_log_index) holds keys "R<kind>\n<text>" for the
// records and "T<line>" for every line at a text position.

// Writes size bytes of data to the log's Uninstal.log and hashes what went out. 1 when written
// whole.
int write_hashed(install_log *log, const char *data, size_t size) {
    long n = platform_write(log->uninstall, data, size);
    if (n > 0) lza_sha256_add(&log->written, data, (size_t)n);
    if (n < 0) log->written_known = 0; // how much went out is not known
    return n == (long)size;
}

uint64_t key_hash(const char *key) {
    uint64_t h = 14695981039346656037ull;
    for (; *key; key++) h = (h ^ (unsigned char)*key) * 1099511628211ull;
    return h;
}

void index_clear(install_log_index *index) {
    for (size_t i = 0; i < index->capacity; i++) platform_free(index->slots[i]);
    platform_free(index->slots);
    memset(index, 0, sizeof *index);
}

// Slot of key: where it is, or the free slot where it would go.
size_t index_slot(const install_log_index *index, const char *key) {
    size_t mask = index->capacity - 1;
    size_t i = (size_t)key_hash(key) & mask;
    while (index->slots[i] && strcmp(index->slots[i], key) != 0) i = (i + 1) & mask;
    return i;
}

int index_grow(install_log_index *index) {
    size_t capacity = index->capacity ? index->capacity * 2 : 256;
    char **old = index->slots;
    size_t old_capacity = index->capacity;
    index->slots = static_cast<char **>(platform_alloc(capacity, sizeof *index->slots));
    if (!index->slots) {
        index->slots = old;
        return 0;
    }
    index->capacity = capacity;
    for (size_t i = 0; i < old_capacity; i++)
        if (old[i]) index->slots[index_slot(index, old[i])] = old[i];
    platform_free(old);
    return 1;
}

// The key tag + first [+ "\n" + second] in a fresh block; null when memory is short.
char *make_key(char tag, const char *first, const char *second) {
    size_t a = strlen(first), b = second ? strlen(second) + 1 : 0;
    char *key = static_cast<char *>(platform_alloc(a + b + 2, 1));
    if (!key) return nullptr;
    key[0] = tag;
    memcpy(key + 1, first, a);
    if (second) {
        key[1 + a] = '\n';
        memcpy(key + 2 + a, second, b - 1);
    }
    key[1 + a + b] = 0;
    return key;
}

int index_has(const install_log_index *index, char tag, const char *first, const char *second) {
    if (index->capacity == 0) return 0;
    char *key = make_key(tag, first, second);
    if (!key) return -1;
    int found = index->slots[index_slot(index, key)] != nullptr;
    platform_free(key);
    return found;
}

// Adds a key; a failure (memory) makes the index unusable rather than wrong.
void index_add(install_log_index *index, char tag, const char *first, const char *second) {
    if (!index->usable) return;
    if ((index->used + 1) * 2 > index->capacity && !index_grow(index)) {
        index->usable = 0;
        return;
    }
    char *key = make_key(tag, first, second);
    if (!key) {
        index->usable = 0;
        return;
    }
    size_t slot = index_slot(index, key);
    if (index->slots[slot]) {
        platform_free(key);
        return;
    }
    index->slots[slot] = key;
    index->used++;
}

int is_plain_line(const char *text) {
    size_t n = strnlen(text, LOG_LINE_CAPACITY);
    return n > 0 && n < LOG_LINE_CAPACITY && !strpbrk(text, "\r\n");
}

// Reads a file's lines as the uninstaller does: up to and including an LF, at most 511 bytes
// at a time, trailing CR and LF removed, empty lines passed over.
struct line_reader {
    platform_file *file;
    unsigned char buffer[4096];
    long pos, end;
};

int reader_byte(line_reader *r) {
    if (r->pos == r->end) {
        r->end = platform_read(r->file, r->buffer, sizeof r->buffer);
        r->pos = 0;
        if (r->end <= 0) {
            r->end = 0;
            return -1;
        }
    }
    return r->buffer[r->pos++];
}

// The next non-empty line into line (LOG_LINE_CAPACITY bytes). 1, or 0 at the end of the file.
int read_log_line(line_reader *r, char *line) {
    for (;;) {
        size_t n = 0;
        int c = 0;
        while (n < LOG_LINE_CAPACITY - 1 && (c = reader_byte(r)) >= 0) {
            line[n++] = (char)c;
            if (c == '\n') break;
        }
        if (n == 0) return 0;
        while (n > 0 && (line[n - 1] == '\r' || line[n - 1] == '\n')) n--;
        line[n] = 0;
        if (n > 0) return 1;
    }
}

// 1 when the scan of the file at path finds kind followed by text, 0 when not, -1 when the
// file does not open.
int scan_for_record(const char *path, const char *kind, const char *text) {
    line_reader reader;
    reader.file = platform_open_read(path);
    if (!reader.file) return -1;
    reader.pos = reader.end = 0;
    char line[LOG_LINE_CAPACITY];
    int found = 0;
    while (!found && read_log_line(&reader, line)) {
        if (strcmp(line, kind) != 0) continue;
        if (!read_log_line(&reader, line)) break;
        found = strcmp(line, text) == 0;
    }
    platform_close(reader.file);
    return found;
}

// The path of the log named name in the log's folder. 1, or 0 when it does not fit.
int log_path(const install_log *log, const char *name, char *out) {
    int n = snprintf(out, LOG_PATH_CAPACITY, "%s\\%s", log->folder, name);
    return n > 0 && (size_t)n < LOG_PATH_CAPACITY;
}

// Opens the log at path, in log's folder, as mode says (platform_confined_mode): never through
// a link that someone planted under the log's name before the install.
platform_file *open_log(const install_log *log, const char *path, int mode) {
    area_target at;
    if (!area_target_of(log->folder, path, &at)) return nullptr;
    return platform_confined_open(at.root, at.path, mode);
}

// Writes all size bytes; 1 when they were written whole.
int write_all(platform_file *file, const char *data, size_t size) {
    return platform_write(file, data, size) == (long)size;
}

enum : size_t { LOG_TITLE_CAPACITY = 128 };

// Creates the log name anew and writes its header: the first line, "<title> created: <local
// time>" (also left in first, without its CR LF), then the text rest. The header goes out in one
// write, and a log whose header did not go out whole is removed again: a log that does not
// begin with its header would be misread by the uninstaller, and records appended to it lost.
// Returns the open file (the caller closes it) or null.
platform_file *create_log(install_log *log, installer_state *state, const char *name,
                          const char *title, const char *rest, char *path, char *first) {
    text_copy(log->folder, sizeof log->folder, state->dest_path);
    if (!log_path(log, name, path)) return nullptr;
    platform_file *file = open_log(log, path, PLATFORM_CONFINED_TRUNCATE);
    if (!file) return nullptr;
    platform_time t;
    platform_local_time(&t);
    int n = snprintf(first, LOG_TITLE_CAPACITY, "%s created: %02d-%02d-%04d %02d:%02d:%02d.%04d",
                     title, t.day, t.month, t.year, t.hour, t.minute, t.second, t.milliseconds);
    char header[LOG_TITLE_CAPACITY + LOG_PATH_CAPACITY + 32];
    int size = snprintf(header, sizeof header, "%s\r\n%s", first, rest);
    if (n <= 0 || (size_t)n >= LOG_TITLE_CAPACITY || size <= 0 || (size_t)size >= sizeof header ||
        !write_all(file, header, (size_t)size)) {
        uint32_t error = platform_last_error();
        platform_close(file);
        area_target at;
        if (area_target_of(log->folder, path, &at)) area_discard_part(&at, at.path);
        platform_set_last_error(error);
        return nullptr;
    }
    return file;
}

// Writes the record kind, CR LF, text, CR LF at the end of the log's open Uninstal.log (one
// write when memory allows) and keeps the index in step. 1 when written whole.
int write_record(install_log *log, const char *kind, const char *text) {
    size_t a = strlen(kind), b = strlen(text);
    char *record = static_cast<char *>(platform_alloc(a + b + 4, 1));
    int ok = 0;
    if (record) {
        memcpy(record, kind, a);
        memcpy(record + a, "\r\n", 2);
        memcpy(record + a + 2, text, b);
        memcpy(record + a + 2 + b, "\r\n", 2);
        ok = write_hashed(log, record, a + b + 4);
        platform_free(record);
    } else {
        ok = write_hashed(log, kind, a) && write_hashed(log, "\r\n", 2) &&
             write_hashed(log, text, b) && write_hashed(log, "\r\n", 2);
    }
    install_log_index *index = &log->index;
    int64_t size = platform_file_size(log->uninstall);
    if (!ok || size < 0 || !is_plain_line(kind) || !is_plain_line(text)) {
        index->usable = 0;
    } else if (index->usable) {
        index->size = size;
        index_add(index, 'R', kind, text);
        index_add(index, 'T', text, nullptr);
    }
    return ok;
}

// What the index says of kind / text in the file at path, now of size bytes: 1 present,
// 0 absent, -1 when it cannot tell (a rule at the top is broken) and the file must be scanned.
int index_lookup(install_log_index *index, const char *path, int64_t size, const char *kind,
                 const char *text) {
    if (!index->usable) return -1;
    if (size != index->size || strcmp(index->path, path) != 0) { // not the file we wrote
        index->usable = 0;
        return -1;
    }
    if (!is_plain_line(kind) || !is_plain_line(text)) return -1;
    if (index_has(index, 'T', kind, nullptr) != 0) return -1;
    return index_has(index, 'R', kind, text);
}

} // namespace

install_log *install_log_bind(install_log *log) {
    install_log *before = bound;
    bound = log;
    return before;
}

void install_log_close(install_log *log) {
    if (!log) return;
    platform_close(log->uninstall);
    platform_close(log->errors);
    index_clear(&log->index);
    memset(log, 0, sizeof *log);
}

void install_log_close_files(void) {
    if (!bound) return;
    platform_close(bound->uninstall);
    platform_close(bound->errors);
    bound->uninstall = bound->errors = nullptr;
}

void install_log_reset(void) {
    install_log_close(bound);
}

int create_uninstall_log(installer_state *state) {
    install_log *log = bound;
    if (!log) return 0;
    char path[LOG_PATH_CAPACITY], first[LOG_TITLE_CAPACITY], rest[LOG_PATH_CAPACITY + 32];
    platform_close(log->uninstall);
    log->uninstall = nullptr;
    index_clear(&log->index);
    log->written_known = 0;
    snprintf(rest, sizeof rest, "[DEFFOLDER]\r\n%s\r\n", state->dest_path);
    platform_file *file = create_log(log, state, UNINSTALL_NAME, "UninstallLog", rest, path, first);
    if (!file) return 0;
    lza_sha256_start(&log->written); // the header went out whole, in one write
    lza_sha256_add(&log->written, first, strlen(first));
    lza_sha256_add(&log->written, "\r\n", 2);
    lza_sha256_add(&log->written, rest, strlen(rest));
    log->written_known = 1;
    int64_t size = platform_file_size(file);
    platform_close(file);

    // Every header line stands at a text position for the scan.
    install_log_index *index = &log->index;
    text_copy(index->path, sizeof index->path, path);
    index->size = size;
    index->usable = size >= 0 && is_plain_line(log->folder);
    index_add(index, 'T', first, nullptr);
    index_add(index, 'T', "[DEFFOLDER]", nullptr);
    index_add(index, 'T', log->folder, nullptr);
    return 1;
}

int create_error_log(installer_state *state) {
    install_log *log = bound;
    if (!log) return 0;
    char path[LOG_PATH_CAPACITY], first[LOG_TITLE_CAPACITY];
    platform_close(log->errors);
    log->errors = nullptr;
    platform_file *file = create_log(log, state, ERROR_NAME, "ErrorLog", "", path, first);
    if (!file) return 0;
    // Recorded while the line is already out: the record reaches Uninstal.log either way.
    append_uninstall_record(LOG_KIND_FILE, path);
    platform_close(file);
    return 1;
}

int append_uninstall_record(const char *kind, const char *text) {
    install_log *log = bound;
    if (!log || !log->folder[0]) return 1;
    if (!kind || !text) return 0;
    char path[LOG_PATH_CAPACITY];
    if (!log_path(log, UNINSTALL_NAME, path)) return 0;
    if (!log->uninstall) log->uninstall = open_log(log, path, PLATFORM_CONFINED_APPEND);
    if (!log->uninstall) return 0;
    int present = index_lookup(&log->index, path, platform_file_size(log->uninstall), kind, text);
    if (present < 0) { // scanned with the file closed, as the uninstaller would read it
        platform_close(log->uninstall);
        log->uninstall = nullptr;
        present = scan_for_record(path, kind, text);
        if (present != 0) return present == 1;
        log->uninstall = open_log(log, path, PLATFORM_CONFINED_APPEND);
        if (!log->uninstall) return 0;
    }
    return present == 1 || write_record(log, kind, text);
}

int append_error_line(const char *text) {
    install_log *log = bound;
    if (!log || !log->folder[0]) return 1;
    char path[LOG_PATH_CAPACITY];
    if (!log_path(log, ERROR_NAME, path)) return 0;
    if (!log->errors) log->errors = open_log(log, path, PLATFORM_CONFINED_APPEND);
    if (!log->errors) return 0;
    return write_all(log->errors, text ? text : "", text ? strlen(text) : 0) &&
           write_all(log->errors, "\r\n", 2);
}

int append_error_format(const char *format, ...) {
    char message[LOG_MESSAGE_CAPACITY];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    return append_error_line(message);
}

int uninstall_log_digest(unsigned char digest[32]) {
    if (!bound) return 0;
    lza_sha256 copy = bound->written; // the run may go on writing after this look
    lza_sha256_finish(&copy, digest);
    return bound->written_known;
}

int is_log_file_name(const char *path) {
    const char *part = path;
    for (const char *p = path; *p; p++)
        if (*p == '\\' || *p == '/') part = p + 1;
    char key[LZA_MEMBER_PATH_CAPACITY], log_key[LZA_MEMBER_PATH_CAPACITY];
    if (!lza_member_key(part, key, sizeof key)) return 0;
    const char *const names[] = {UNINSTALL_NAME, ERROR_NAME};
    for (const char *name : names)
        if (lza_member_key(name, log_key, sizeof log_key) && !strcmp(key, log_key)) return 1;
    return 0;
}
