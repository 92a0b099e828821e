// The in-memory registry of the POSIX backend (HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE) and its .reg file form.
#include "platform/platform.h"
#include "platform/platform_registry.h"
#include "platform/posix/platform_faults.h"
#include "platform/posix/platform_posix_paths.h"
#include "platform/posix/platform_posix_registry.h"
#include "platform/posix/posix_text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

platform_registry_fault_plan platform_registry_faults = {nullptr, 0, 0};
int platform_posix_elevated = 0;

namespace {

struct reg_node {
    std::string name;
    reg_node *parent = nullptr;
    int has_default = 0;
    std::string default_value;
    std::vector<std::string> other_values; // named values as their .reg lines, kept as written
    std::vector<std::unique_ptr<reg_node>> children; // sorted as the registry enumerates them
    int deleted = 0;
};

// What a handle may do, as Win32 grants it by the access asked for.
enum : int { MAY_ENUMERATE = 1, MAY_WRITE = 2 };

// The roots, in the order the registry editor exports them.
enum : int { HIVES = 3 };
const int EXPORT_ORDER[HIVES] = {PLATFORM_HKEY_LOCAL_MACHINE, PLATFORM_HKEY_CLASSES_ROOT,
                                 PLATFORM_HKEY_CURRENT_USER};
const char *const HIVE_NAMES[HIVES] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                       "HKEY_LOCAL_MACHINE"};
const char *const HIVE_SHORT_NAMES[HIVES] = {"HKCR", "HKCU", "HKLM"};

struct store {
    std::unique_ptr<reg_node> roots[HIVES] = {std::unique_ptr<reg_node>(new reg_node),
                                              std::unique_ptr<reg_node>(new reg_node),
                                              std::unique_ptr<reg_node>(new reg_node)};
    // Deleted keys live on until the store is emptied, so open handles to them stay valid.
    std::vector<std::unique_ptr<reg_node>> graveyard;
    int open_keys = 0, notifications = 0;
};

store &the_store() {
    static store s;
    return s;
}

} // namespace

struct platform_key {
    reg_node *node; // null for a root's handle
    int rights;
    int hive; // the root a root's handle stands for; -1 for an opened key
};

namespace {

char upper(char c) {
    return c >= 'a' && c <= 'z' ? (char)(c - 32) : c;
}

// Registry order: names compared as upper case. <0, 0, >0.
int compare_names(const std::string &a, const std::string &b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; i++) {
        unsigned char x = (unsigned char)upper(a[i]), y = (unsigned char)upper(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

reg_node *child_of(reg_node *node, const std::string &name) {
    for (auto &c : node->children)
        if (compare_names(c->name, name) == 0) return c.get();
    return nullptr;
}

reg_node *add_child(reg_node *node, const std::string &name) {
    size_t at = 0;
    while (at < node->children.size() && compare_names(node->children[at]->name, name) < 0) at++;
    std::unique_ptr<reg_node> made(new reg_node);
    made->name = name;
    made->parent = node;
    reg_node *raw = made.get();
    node->children.insert(node->children.begin() + (long)at, std::move(made));
    return raw;
}

// The levels of a key name; empty when a level is empty ("A\\B", "\A", "A\").
std::vector<std::string> split_name(const char *name) {
    std::vector<std::string> levels;
    std::string level;
    for (const char *p = name;; p++) {
        if (*p == '\\' || *p == 0) {
            if (level.empty()) return {};
            levels.push_back(level);
            level.clear();
            if (!*p) break;
        } else {
            level += *p;
        }
    }
    return levels;
}

std::string full_name(const reg_node *node) {
    std::string name;
    for (; node && node->parent; node = node->parent)
        name = node->name + (name.empty() ? "" : "\\") + name;
    return name;
}

// The error the fault plan gives operation on the key node / name, or 0.
uint32_t injected(uint32_t operation, const reg_node *node, const char *name) {
    const platform_registry_fault_plan &f = platform_registry_faults;
    if (!f.key || !f.key[0] || !(f.operations & operation)) return 0;
    std::string full = full_name(node);
    if (name && name[0]) full += (full.empty() ? "" : "\\") + std::string(name);
    if (full.find(f.key) == std::string::npos) return 0;
    return f.error ? f.error : PLATFORM_ERROR_ACCESS_DENIED;
}

// The node a parent handle stands for (null: HKEY_CLASSES_ROOT); null when it was deleted.
reg_node *parent_node(platform_key *parent) {
    reg_node *node = !parent             ? the_store().roots[PLATFORM_HKEY_CLASSES_ROOT].get()
                     : parent->hive >= 0 ? the_store().roots[parent->hive].get()
                                         : parent->node;
    return node->deleted ? nullptr : node;
}

platform_key *new_handle(reg_node *node, int rights) {
    the_store().open_keys++;
    return new platform_key{node, rights, -1};
}

void bury(reg_node *node) {
    node->deleted = 1;
    for (auto &c : node->children) bury(c.get());
}

} // namespace

namespace {

// The store's own operations, which loading a .reg file uses as well: the fault points are
// in the calls of the seam below.
uint32_t store_open(platform_key *parent, const char *name, int access, platform_key **key) {
    *key = nullptr;
    reg_node *node = parent_node(parent);
    if (!node) return PLATFORM_ERROR_KEY_DELETED;
    if (uint32_t e = injected(PLATFORM_REG_OP_OPEN, node, name)) return e;
    if (name && name[0]) {
        std::vector<std::string> levels = split_name(name);
        if (levels.empty()) return PLATFORM_ERROR_FILE_NOT_FOUND;
        for (const std::string &level : levels)
            if (!(node = child_of(node, level))) return PLATFORM_ERROR_FILE_NOT_FOUND;
    }
    *key = new_handle(node, MAY_ENUMERATE);
    (void)access; // both kinds of access may enumerate; neither may write
    return PLATFORM_OK;
}

uint32_t store_create(platform_key *parent, const char *name, platform_key **key) {
    *key = nullptr;
    reg_node *node = parent_node(parent);
    if (!node) return PLATFORM_ERROR_KEY_DELETED;
    if (parent && !(parent->rights & MAY_WRITE)) return PLATFORM_ERROR_ACCESS_DENIED;
    if (uint32_t e = injected(PLATFORM_REG_OP_CREATE, node, name)) return e;
    std::vector<std::string> levels = split_name(name ? name : "");
    if (levels.empty())
        return name && name[0] ? PLATFORM_ERROR_BAD_PATHNAME : PLATFORM_ERROR_BADKEY;
    for (const std::string &level : levels) {
        if (level.size() > 255) return PLATFORM_ERROR_INVALID_PARAMETER;
        reg_node *next = child_of(node, level);
        node = next ? next : add_child(node, level);
    }
    *key = new_handle(node, MAY_WRITE);
    return PLATFORM_OK;
}

uint32_t store_set_default(platform_key *key, const char *text) {
    reg_node *node = parent_node(key);
    if (!node) return PLATFORM_ERROR_KEY_DELETED;
    if (key && !(key->rights & MAY_WRITE)) return PLATFORM_ERROR_ACCESS_DENIED;
    if (uint32_t e = injected(PLATFORM_REG_OP_SET, node, nullptr)) return e;
    node->has_default = 1;
    node->default_value = text ? text : "";
    return PLATFORM_OK;
}

uint32_t store_enum_subkey(platform_key *key, uint32_t index, char *name, size_t cap) {
    reg_node *node = parent_node(key);
    if (!node) return PLATFORM_ERROR_KEY_DELETED;
    if (key && !(key->rights & MAY_ENUMERATE)) return PLATFORM_ERROR_ACCESS_DENIED;
    if (uint32_t e = injected(PLATFORM_REG_OP_ENUM, node, nullptr)) return e;
    if (index >= node->children.size()) return PLATFORM_ERROR_NO_MORE_ITEMS;
    const std::string &child = node->children[index]->name;
    if (!name || child.size() >= cap) return PLATFORM_ERROR_MORE_DATA;
    memcpy(name, child.c_str(), child.size() + 1);
    return PLATFORM_OK;
}

uint32_t store_delete(platform_key *parent, const char *name) {
    reg_node *node = parent_node(parent);
    if (!node) return PLATFORM_ERROR_KEY_DELETED;
    if (uint32_t e = injected(PLATFORM_REG_OP_DELETE, node, name)) return e;
    std::vector<std::string> levels = split_name(name ? name : "");
    if (levels.empty()) return PLATFORM_ERROR_BADKEY;
    for (const std::string &level : levels)
        if (!(node = child_of(node, level))) return PLATFORM_ERROR_FILE_NOT_FOUND;
    if (!node->children.empty()) return PLATFORM_ERROR_ACCESS_DENIED;
    auto &siblings = node->parent->children;
    for (size_t i = 0; i < siblings.size(); i++) {
        if (siblings[i].get() != node) continue;
        bury(node);
        the_store().graveyard.push_back(std::move(siblings[i]));
        siblings.erase(siblings.begin() + (long)i);
        break;
    }
    return PLATFORM_OK;
}

} // namespace

// Each call of the seam passes its fault point, then does what the store does.
uint32_t platform_reg_open(platform_key *parent, const char *name, int access, platform_key **key) {
    *key = nullptr;
    if (uint32_t e = platform_fault_point(PLATFORM_CALL_REG_OPEN)) return e;
    return store_open(parent, name, access, key);
}

uint32_t platform_reg_create(platform_key *parent, const char *name, platform_key **key) {
    *key = nullptr;
    if (uint32_t e = platform_fault_point(PLATFORM_CALL_REG_CREATE)) return e;
    return store_create(parent, name, key);
}

uint32_t platform_reg_set_default(platform_key *key, const char *text) {
    if (uint32_t e = platform_fault_point(PLATFORM_CALL_REG_SET)) return e;
    return store_set_default(key, text);
}

uint32_t platform_reg_enum_subkey(platform_key *key, uint32_t index, char *name, size_t cap) {
    if (uint32_t e = platform_fault_point(PLATFORM_CALL_REG_ENUM)) return e;
    return store_enum_subkey(key, index, name, cap);
}

uint32_t platform_reg_delete(platform_key *parent, const char *name) {
    if (uint32_t e = platform_fault_point(PLATFORM_CALL_REG_DELETE)) return e;
    return store_delete(parent, name);
}

void platform_reg_close(platform_key *key) {
    if (!key || key->hive >= 0) return;
    the_store().open_keys--;
    delete key;
}

void platform_reg_notify_associations(void) {
    the_store().notifications++;
}

platform_key *platform_reg_root(int root) {
    static platform_key roots[HIVES] = {{nullptr, MAY_ENUMERATE | MAY_WRITE, 0},
                                        {nullptr, MAY_ENUMERATE | MAY_WRITE, 1},
                                        {nullptr, MAY_ENUMERATE | MAY_WRITE, 2}};
    return root >= 0 && root < HIVES ? &roots[root] : nullptr;
}

// ---- The .reg file -------------------------------------------------------------------------

namespace {

const char REG_HEADER[] = "Windows Registry Editor Version 5.00";
const char REG_HEADER_ANSI[] = "REGEDIT4";

std::string quoted(const std::string &value) {
    std::string out = "\"";
    for (char c : value) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

void export_node(const char *root, const reg_node *node, std::string *out) {
    for (const auto &c : node->children) {
        *out += "[" + std::string(root) + "\\" + full_name(c.get()) + "]\n";
        if (c->has_default) *out += "@=" + quoted(c->default_value) + "\n";
        for (const std::string &line : c->other_values) *out += line + "\n";
        *out += "\n";
        export_node(root, c.get(), out);
    }
}

std::string export_text() {
    std::string text = std::string(REG_HEADER) + "\n\n";
    for (int hive : EXPORT_ORDER)
        export_node(HIVE_NAMES[hive], the_store().roots[hive].get(), &text);
    return text;
}

// The name of a named value's .reg line ("Name"=...), as written between its quotes.
std::string value_name_of(const std::string &line) {
    std::string name;
    for (size_t i = 1; i < line.size() && line[i] != '"'; i++) {
        if (line[i] == '\\' && i + 1 < line.size()) i++;
        name += line[i];
    }
    return name;
}

// Sets the named value of node to its .reg form data (what follows the =), replacing a value of
// the same name (ignoring case) where it stands, else adding it at the end.
void set_named_value(reg_node *node, const std::string &name, const std::string &data) {
    std::string line = quoted(name) + "=" + data;
    for (std::string &old : node->other_values) {
        if (compare_names(value_name_of(old), name) != 0) continue;
        old = line;
        return;
    }
    node->other_values.push_back(line);
}

// The file's text as UTF-8 with LF line ends: UTF-16LE (with its byte order mark), UTF-8 (with
// its mark) or ANSI (Windows-1252).
std::string decode_file(const std::string &bytes) {
    std::string text;
    if (bytes.size() >= 2 && (unsigned char)bytes[0] == 0xFF && (unsigned char)bytes[1] == 0xFE) {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            uint32_t u = (unsigned char)bytes[i] | (unsigned)(unsigned char)bytes[i + 1] << 8;
            uint32_t low =
                i + 3 < bytes.size()
                    ? ((unsigned char)bytes[i + 2] | (unsigned)(unsigned char)bytes[i + 3] << 8)
                    : 0;
            if (u >= 0xD800 && u < 0xDC00 && low >= 0xDC00 && low < 0xE000) {
                u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
            posix_utf8_append(&text, u);
        }
    } else if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text = bytes.substr(3);
    } else {
        text = posix_cp1252_to_utf8(bytes.data(), bytes.size());
    }
    std::string lf;
    for (char c : text)
        if (c != '\r') lf += c;
    return lf;
}

// The root and key of a "[...]" line into *hive and *name ("" for the root itself). 1 when it
// lies below one of the roots kept (by its full or short name), else 0.
int key_of_line(const std::string &inside, int *hive, std::string *name) {
    for (int h = 0; h < HIVES; h++) {
        for (const char *root : {HIVE_NAMES[h], HIVE_SHORT_NAMES[h]}) {
            size_t n = strlen(root);
            if (inside.size() < n || compare_names(inside.substr(0, n), root) != 0) continue;
            *hive = h;
            if (inside.size() == n) return *name = "", 1;
            if (inside[n] != '\\') continue;
            *name = inside.substr(n + 1);
            return 1;
        }
    }
    return 0;
}

// The text of a quoted .reg string that starts at text[at]; 0 when it is not one.
int unquoted(const std::string &text, size_t at, std::string *out) {
    if (at >= text.size() || text[at] != '"') return 0;
    out->clear();
    for (size_t i = at + 1; i < text.size(); i++) {
        if (text[i] == '"') return 1;
        if (text[i] == '\\' && i + 1 < text.size()) i++;
        *out += text[i];
    }
    return 0;
}

void delete_tree(platform_key *root, reg_node *node) {
    while (!node->children.empty()) {
        reg_node *last = node->children.back().get();
        delete_tree(root, last);
        store_delete(root, full_name(last).c_str());
    }
}

// Applies the lines of text to the store. 0, or the 1-based line that is not understood.
int apply_text(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t lf = text.find('\n', start);
        if (lf == std::string::npos) lf = text.size();
        lines.push_back(text.substr(start, lf - start));
        start = lf + 1;
    }
    size_t i = 0;
    while (i < lines.size() && lines[i].empty()) i++;
    if (i == lines.size() || (lines[i] != REG_HEADER && lines[i] != REG_HEADER_ANSI))
        return (int)i + 1;
    reg_node *current = nullptr;
    for (i++; i < lines.size(); i++) {
        const std::string &line = lines[i];
        if (line.empty() || line[0] == ';') continue;
        int number = (int)i + 1;
        if (line[0] == '[') {
            size_t close = line.rfind(']');
            if (close == std::string::npos) return number;
            int remove = line[1] == '-';
            std::string name;
            int hive = PLATFORM_HKEY_CLASSES_ROOT;
            if (!key_of_line(line.substr(1 + remove, close - 1 - remove), &hive, &name))
                return number;
            current = nullptr;
            if (name.empty()) {
                if (!remove) current = the_store().roots[hive].get();
                continue;
            }
            platform_key *root = platform_reg_root(hive), *key = nullptr;
            if (remove) {
                if (store_open(root, name.c_str(), PLATFORM_KEY_READ, &key) == 0) {
                    delete_tree(root, key->node);
                    store_delete(root, name.c_str());
                }
            } else if (store_create(root, name.c_str(), &key) == 0) {
                current = key->node;
            } else {
                return number;
            }
            platform_reg_close(key);
            continue;
        }
        if (!current) return number;
        if (line[0] == '@') {
            std::string value;
            if (line == "@=-") {
                current->has_default = 0;
                current->default_value.clear();
            } else if (line.compare(0, 2, "@=") == 0 && unquoted(line, 2, &value)) {
                current->has_default = 1;
                current->default_value = value;
            } else {
                return number;
            }
            continue;
        }
        if (line[0] != '"') return number;
        std::string value = line; // a named value, with its continuation lines
        while (value.back() == '\\' && i + 1 < lines.size()) value += "\n" + lines[++i];
        current->other_values.push_back(value);
    }
    return 0;
}

// Opens the .reg file at the host path native_path with flags, as a stream of mode, through the
// backend's resolver: with a root set the file must lie below it, and a link planted as the
// file or on its way cannot lead out of it. Null when it cannot be opened; *missing is then 1
// when it is simply not there.
FILE *open_reg_file(const char *native_path, int flags, const char *mode, int *missing) {
    *missing = 0;
    platform_posix_place place;
    if (!platform_posix_place_open(native_path,
                                   PLATFORM_POSIX_FOLLOW_LAST | PLATFORM_POSIX_HOST_PATH, &place))
        return nullptr;
    int fd = place.dir == -1 ? -1
                             : openat(place.dir, place.name,
                                      flags | O_CLOEXEC | (place.nofollow ? O_NOFOLLOW : 0), 0644);
    *missing = place.missing || (fd < 0 && errno == ENOENT);
    platform_posix_place_close(&place);
    FILE *f = fd >= 0 ? fdopen(fd, mode) : nullptr;
    if (fd >= 0 && !f) close(fd);
    return f;
}

} // namespace

void platform_posix_registry_reset(void) {
    store &s = the_store();
    for (std::unique_ptr<reg_node> &root : s.roots) {
        bury(root.get());
        s.graveyard.push_back(std::move(root));
        root.reset(new reg_node);
    }
    s.open_keys = s.notifications = 0;
}

int platform_posix_registry_load(const char *native_path, int *bad_line) {
    platform_posix_registry_reset();
    if (bad_line) *bad_line = 0;
    int missing = 0;
    FILE *f = open_reg_file(native_path, O_RDONLY, "rb", &missing);
    if (!f) return missing ? 0 : -1;
    std::string bytes;
    char portion[4096];
    size_t got;
    while ((got = fread(portion, 1, sizeof portion, f)) > 0) bytes.append(portion, got);
    int failed = ferror(f);
    fclose(f);
    int line = failed ? 0 : apply_text(decode_file(bytes));
    if (failed || line) {
        platform_posix_registry_reset();
        if (bad_line) *bad_line = line;
        return -1;
    }
    return 1;
}

int platform_posix_registry_save(const char *native_path) {
    std::string text = export_text(), bytes = "\xFF\xFE";
    const auto unit = [&bytes](uint32_t u) {
        bytes += (char)(u & 0xFF);
        bytes += (char)(u >> 8);
    };
    for (size_t i = 0, n; i < text.size(); i += n) {
        uint32_t u = 0;
        n = posix_utf8_next(text.data() + i, text.size() - i, &u);
        if (u == '\n') unit('\r');
        if (u >= 0x10000) {
            unit(0xD800 + ((u - 0x10000) >> 10));
            u = 0xDC00 + ((u - 0x10000) & 0x3FF);
        }
        unit(u);
    }
    int missing = 0;
    FILE *f = open_reg_file(native_path, O_WRONLY | O_CREAT | O_TRUNC, "wb", &missing);
    if (!f) return 0;
    size_t written = fwrite(bytes.data(), 1, bytes.size(), f);
    int closed = fclose(f) == 0; // always closed, even after a short write
    return closed && written == bytes.size();
}

size_t platform_posix_registry_text(char *out, size_t cap) {
    std::string text = export_text();
    if (out && cap) {
        size_t n = text.size() < cap - 1 ? text.size() : cap - 1;
        memcpy(out, text.data(), n);
        out[n] = 0;
    }
    return text.size();
}

int platform_posix_registry_open_keys(void) {
    return the_store().open_keys;
}

int platform_posix_registry_notifications(void) {
    return the_store().notifications;
}

namespace {

// The node of key for a write of a value; null with *error set when it may not be written.
reg_node *writable_node(platform_key *key, uint32_t *error) {
    reg_node *node = parent_node(key);
    *error = !node                               ? PLATFORM_ERROR_KEY_DELETED
             : key && !(key->rights & MAY_WRITE) ? PLATFORM_ERROR_ACCESS_DENIED
                                                 : injected(PLATFORM_REG_OP_SET, node, nullptr);
    return *error ? nullptr : node;
}

} // namespace

uint32_t platform_reg_set_text(platform_key *key, const char *name, const char *text) {
    if (uint32_t e = platform_fault_point(PLATFORM_CALL_REG_SET)) return e;
    if (!name || !name[0]) return store_set_default(key, text);
    uint32_t error = 0;
    reg_node *node = writable_node(key, &error);
    if (node) set_named_value(node, name, quoted(text ? text : ""));
    return error;
}

uint32_t platform_reg_set_number(platform_key *key, const char *name, uint32_t number) {
    if (uint32_t e = platform_fault_point(PLATFORM_CALL_REG_SET)) return e;
    if (!name || !name[0]) return PLATFORM_ERROR_INVALID_PARAMETER; // the default is text here
    uint32_t error = 0;
    reg_node *node = writable_node(key, &error);
    char data[16];
    snprintf(data, sizeof data, "dword:%08x", (unsigned)number);
    if (node) set_named_value(node, name, data);
    return error;
}

int platform_process_elevated(void) {
    if (platform_fault_point(PLATFORM_CALL_ELEVATION)) return 0; // a failed query: not elevated
    return platform_posix_elevated;
}

uint32_t platform_reg_get_text(platform_key *key, const char *name, char *out, size_t cap) {
    if (cap == 0) return PLATFORM_ERROR_MORE_DATA;
    out[0] = 0;
    reg_node *node = parent_node(key);
    if (!node) return PLATFORM_ERROR_KEY_DELETED;
    if (uint32_t e = injected(PLATFORM_REG_OP_OPEN, node, nullptr)) return e;
    std::string text;
    if (!name || !name[0]) {
        if (!node->has_default) return PLATFORM_ERROR_FILE_NOT_FOUND;
        text = node->default_value;
    } else {
        const std::string *line = nullptr;
        for (const std::string &value : node->other_values)
            if (compare_names(value_name_of(value), name) == 0) line = &value;
        if (!line) return PLATFORM_ERROR_FILE_NOT_FOUND;
        size_t at = 1; // past the quoted name as written, then its =
        while (at < line->size() && (*line)[at] != '"') at += (*line)[at] == '\\' ? 2 : 1;
        if (!unquoted(*line, at + 2, &text)) return PLATFORM_ERROR_INVALID_DATA;
    }
    if (text.size() >= cap) return PLATFORM_ERROR_MORE_DATA;
    memcpy(out, text.c_str(), text.size() + 1);
    return PLATFORM_OK;
}

uint32_t platform_reg_counts(platform_key *key, uint32_t *subkeys, uint32_t *values) {
    *subkeys = *values = 0;
    reg_node *node = parent_node(key);
    if (!node) return PLATFORM_ERROR_KEY_DELETED;
    *subkeys = (uint32_t)node->children.size();
    *values = (uint32_t)node->other_values.size() + (node->has_default ? 1u : 0u);
    return PLATFORM_OK;
}

uint32_t platform_reg_delete_value(platform_key *key, const char *name) {
    if (uint32_t e = platform_fault_point(PLATFORM_CALL_REG_DELETE)) return e;
    reg_node *node = parent_node(key);
    if (!node) return PLATFORM_ERROR_KEY_DELETED;
    if (key && !(key->rights & MAY_WRITE)) return PLATFORM_ERROR_ACCESS_DENIED;
    if (uint32_t e = injected(PLATFORM_REG_OP_DELETE, node, nullptr)) return e;
    if (!name || !name[0]) {
        if (!node->has_default) return PLATFORM_ERROR_FILE_NOT_FOUND;
        node->has_default = 0;
        node->default_value.clear();
        return PLATFORM_OK;
    }
    std::vector<std::string> &values = node->other_values;
    for (size_t i = 0; i < values.size(); i++) {
        if (compare_names(value_name_of(values[i]), name) != 0) continue;
        values.erase(values.begin() + (long)i);
        return PLATFORM_OK;
    }
    return PLATFORM_ERROR_FILE_NOT_FOUND;
}
