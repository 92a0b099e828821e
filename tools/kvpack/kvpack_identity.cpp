// The vendor's identity: read from the script and the icon file, and written into the
// resources of the stub and of our uninstaller; and verify's view of a rewritten uninstaller.
#include "kvpack_identity.h"

#include "archive/lza_lookup.h"
#include "kvpack_os.h"
#include "kvpack_pe_resources.h"
#include "kvpack_version_info.h"
#include "resource_ids.h"
#include "script/script.h"
#include "script/ui_text.h"
#include "state/installer_state.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace fs = std::filesystem;

namespace {

enum : uint32_t { PROGRAM_ICON = 107 }; // the stubs' IDI_PROGRAM: Explorer's icon of the file
enum : size_t {
    ICON_HEADER = 6,           // ICONDIR and GRPICONDIR
    ICON_ENTRY = 16,           // ICONDIRENTRY in the file
    GROUP_ENTRY = 14,          // GRPICONDIRENTRY in the resource
    MAX_ICON_IMAGES = 256,     // far beyond what any icon holds
    MAX_ICON_FILE = 16u << 20, // 16 MiB
    MAX_PROGRAM = 16u << 20,   // members larger than this are not our uninstaller
    BITMAP_INFO_HEADER = 40,   // BITMAPINFOHEADER's size, its first field
};
const unsigned char png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
const char16_t uninstaller_name[] = u"kvuninst.exe";

uint16_t get16(const unsigned char *p) {
    return (uint16_t)(p[0] | p[1] << 8);
}
uint32_t get32(const unsigned char *p) {
    return (uint32_t)get16(p) | (uint32_t)get16(p + 2) << 16;
}
void put16(std::vector<unsigned char> *out, uint32_t v) {
    out->push_back((unsigned char)v);
    out->push_back((unsigned char)(v >> 8));
}

// "kvpack: warning: " and subject followed by text, as one line on stderr.
void warn(const std::string &subject, const std::string &text) {
    fprintf(stderr, "kvpack: warning: %s%s\n", subject.c_str(), text.c_str());
}

// Reads path whole when it holds at most limit bytes. 1 read, 0 larger, -1 unreadable.
int read_whole(const fs::path &path, size_t limit, std::vector<unsigned char> *bytes) {
    FILE *f = kvp_open(path, "rb");
    if (!f) return -1;
    bytes->clear();
    unsigned char portion[1 << 16];
    size_t got;
    while (bytes->size() <= limit && (got = fread(portion, 1, sizeof portion, f)) > 0)
        bytes->insert(bytes->end(), portion, portion + got);
    const int failed = ferror(f);
    fclose(f);
    return failed ? -1 : bytes->size() <= limit;
}

// 1 when path starts as a Windows program does.
int starts_as_program(const fs::path &path) {
    FILE *f = kvp_open(path, "rb");
    if (!f) return 0;
    unsigned char head[2] = {0, 0};
    const size_t got = fread(head, 1, sizeof head, f);
    fclose(f);
    return got == 2 && head[0] == 'M' && head[1] == 'Z';
}

int write_whole(const fs::path &path, const std::vector<unsigned char> &bytes) {
    FILE *f = kvp_open(path, "wb");
    if (!f) return 0;
    const int ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

// An 8-bit name (a file or member name) as UTF-16, by the script's rule.
std::u16string name_utf16(const std::string &name) {
    return kvp_text_utf16(name, kvp_text_is_utf8(name.data(), name.size()));
}

int same_ascii_name(const std::u16string &a, const char16_t *b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; i++) {
        const char16_t x = a[i] >= u'A' && a[i] <= u'Z' ? (char16_t)(a[i] + 32) : a[i];
        if (x != b[i]) return 0;
    }
    return i == a.size() && !b[i];
}

int is(const kvp_resource &r, uint32_t type) {
    return r.type.name.empty() && r.type.id == type;
}
int is_program_group(const kvp_resource &r) {
    return is(r, KVP_RT_GROUP_ICON) && r.name.name.empty() && r.name.id == PROGRAM_ICON;
}

// The RT_ICON ids a group's data names (entries past its end are not read).
std::vector<uint32_t> group_members(const kvp_resource &group) {
    std::vector<uint32_t> ids;
    const std::vector<unsigned char> &d = group.data;
    if (d.size() < ICON_HEADER) return ids;
    const size_t count = get16(&d[4]);
    for (size_t k = 0; k < count && ICON_HEADER + GROUP_ENTRY * (k + 1) <= d.size(); k++)
        ids.push_back(get16(&d[ICON_HEADER + GROUP_ENTRY * k + 12]));
    return ids;
}

uint32_t first_language(const std::vector<kvp_resource> &r, int (*pick)(const kvp_resource &)) {
    for (const kvp_resource &x : r)
        if (pick(x)) return x.language;
    return r.empty() ? 0 : r.front().language;
}

// Group 107 and the images only it uses give way to the identity's icon.
void replace_program_icon(std::vector<kvp_resource> *r, const std::vector<kvp_icon_image> &icon) {
    const uint32_t language = first_language(*r, is_program_group);
    std::vector<uint32_t> dropped, kept;
    for (const kvp_resource &x : *r)
        if (is(x, KVP_RT_GROUP_ICON))
            for (uint32_t id : group_members(x))
                (is_program_group(x) ? dropped : kept).push_back(id);
    auto contains = [](const std::vector<uint32_t> &v, uint32_t id) {
        for (uint32_t x : v)
            if (x == id) return 1;
        return 0;
    };
    std::vector<kvp_resource> out;
    uint32_t next_id = 1;
    for (kvp_resource &x : *r) {
        const int image = is(x, KVP_RT_ICON) && x.name.name.empty();
        if (is_program_group(x) ||
            (image && contains(dropped, x.name.id) && !contains(kept, x.name.id)))
            continue;
        if (image && x.name.id >= next_id) next_id = x.name.id + 1;
        out.push_back(std::move(x));
    }
    kvp_resource group = {{KVP_RT_GROUP_ICON, {}}, {PROGRAM_ICON, {}}, language, 0, {}};
    put16(&group.data, 0);
    put16(&group.data, 1);
    put16(&group.data, (uint32_t)icon.size());
    for (const kvp_icon_image &image : icon) {
        const uint32_t id = next_id++;
        out.push_back({{KVP_RT_ICON, {}}, {id, {}}, language, 0, image.data});
        const unsigned char head[4] = {image.width, image.height, image.colors, 0};
        group.data.insert(group.data.end(), head, head + 4);
        put16(&group.data, image.planes);
        put16(&group.data, image.bit_count);
        put16(&group.data, (uint32_t)image.data.size());
        put16(&group.data, (uint32_t)(image.data.size() >> 16));
        put16(&group.data, id);
    }
    out.push_back(std::move(group));
    *r = std::move(out);
}

// The version resource of the identity for a program in role, keeping its InternalName.
void replace_version(std::vector<kvp_resource> *r, const kvp_identity &identity, const char *role,
                     const std::string &original_filename) {
    std::u16string internal;
    std::vector<kvp_resource> out;
    for (kvp_resource &x : *r) {
        if (!is(x, KVP_RT_VERSION)) {
            out.push_back(std::move(x));
            continue;
        }
        if (internal.empty())
            kvp_version_find(x.data.data(), x.data.size(), u"InternalName", &internal);
    }
    const uint32_t language =
        first_language(*r, [](const kvp_resource &x) { return is(x, KVP_RT_VERSION); });
    std::u16string description = identity.product + u" " + kvp_text_utf16(role, 0);
    kvp_text_cut(&description, KVP_VERSION_TEXT_MAX);
    std::u16string file_name = name_utf16(original_filename);
    kvp_text_cut(&file_name, KVP_VERSION_TEXT_MAX);
    std::vector<kvp_version_string> strings;
    auto add = [&](const char16_t *key, const std::u16string &value) {
        if (!value.empty()) strings.push_back({key, value});
    };
    add(u"CompanyName", identity.publisher);
    add(u"FileDescription", description);
    add(u"FileVersion", identity.version);
    add(u"InternalName", internal);
    if (!identity.publisher.empty()) {
        std::u16string copyright = u"Copyright (C) " + identity.publisher;
        kvp_text_cut(&copyright, KVP_VERSION_TEXT_MAX);
        add(u"LegalCopyright", copyright);
    }
    add(u"OriginalFilename", file_name);
    add(u"ProductName", identity.product);
    add(u"ProductVersion", identity.version);
    uint16_t numbers[4];
    kvp_version_numbers(identity.version_text.c_str(), numbers);
    out.push_back(
        {{KVP_RT_VERSION, {}}, {1, {}}, language, 0, kvp_version_build(numbers, strings)});
    *r = std::move(out);
}

// The uninstaller's resource of its words is texts, in place of any there.
void replace_texts(std::vector<kvp_resource> *r, const std::string &texts) {
    const uint32_t language = r->empty() ? 0 : r->front().language;
    std::vector<kvp_resource> out;
    for (kvp_resource &x : *r)
        if (!(is(x, KVP_RT_RCDATA) && x.name.name.empty() && x.name.id == IDR_UNINSTALL_TEXTS))
            out.push_back(std::move(x));
    out.push_back({{KVP_RT_RCDATA, {}},
                   {IDR_UNINSTALL_TEXTS, {}},
                   language,
                   0,
                   {texts.begin(), texts.end()}});
    *r = std::move(out);
}

// The script lines that give the uninstaller the script's words: its language and every
// text_un_ key it sets, each value quoted again (a quote inside as \"). "" when it sets none.
std::string uninstaller_lines(const char *script) {
    std::string lines;
    std::vector<char> value(SCRIPT_TOKEN_CAPACITY);
    auto add = [&](uint32_t key) {
        if (!script_value(script, key, value.data(), value.size())) return;
        lines += keyword_word(key);
        lines += "=\"";
        for (const char *c = value.data(); *c; c++) {
            if (*c == '"') lines += '\\';
            lines += *c;
        }
        lines += "\"\r\n";
    };
    add(KW_LANGUAGE);
    for (const ui_text_row *row = ui_text_uninstaller; row->key; row++) add(row->key);
    return lines;
}

// Reads the resources of image when they can be rebuilt. 1 with pe and resources set.
int open_program(const std::vector<unsigned char> &image, kvp_pe_layout *pe,
                 std::vector<kvp_resource> *resources, std::string *why) {
    return kvp_pe_read(image.data(), image.size(), pe, why) &&
           kvp_pe_resources_last(*pe, image.size(), why) &&
           kvp_resources_read(image.data(), image.size(), *pe, resources, why);
}

// 1 when a and b are the same program but for what kvp_identity_apply changes: the resource
// section and, in the headers, its sizes, SizeOfImage, SizeOfInitializedData, the checksum and
// the resource directory's size.
int same_but_identity(const std::vector<unsigned char> &a, const std::vector<unsigned char> &b) {
    kvp_pe_layout pa, pb;
    std::string why;
    if (!kvp_pe_read(a.data(), a.size(), &pa, &why) || !kvp_pe_read(b.data(), b.size(), &pb, &why))
        return 0;
    if (pa.resource_section < 0 || pa.resource_section != pb.resource_section ||
        pa.sections.size() != pb.sections.size())
        return 0;
    const kvp_pe_section &ra = pa.sections[(size_t)pa.resource_section];
    const kvp_pe_section &rb = pb.sections[(size_t)pb.resource_section];
    if (ra.raw_offset > a.size() || ra.raw_offset > b.size() || ra.raw_offset != rb.raw_offset ||
        ra.header_at != rb.header_at || pa.checksum_at != pb.checksum_at ||
        pa.directories_at != pb.directories_at)
        return 0;
    std::vector<unsigned char> head(b.begin(), b.begin() + ra.raw_offset);
    for (size_t at : {pa.initialized_data_at, pa.size_of_image_at, pa.checksum_at,
                      pa.directories_at + 20, ra.header_at + 8, ra.header_at + 16})
        memcpy(&head[at], &a[at], 4);
    return memcmp(head.data(), a.data(), ra.raw_offset) == 0;
}

struct memory_sink {
    std::vector<unsigned char> bytes;
    size_t limit;
};
int collect(void *context, const unsigned char *data, size_t size) {
    memory_sink *s = static_cast<memory_sink *>(context);
    if (s->bytes.size() + size > s->limit) return 0;
    s->bytes.insert(s->bytes.end(), data, data + size);
    return 1;
}

} // namespace

kvp_identity::~kvp_identity() {
    std::error_code ec;
    for (const fs::path &p : scratch) fs::remove(p, ec);
}

int kvp_icon_read(const unsigned char *data, size_t size, std::vector<kvp_icon_image> *images,
                  std::string *why) {
    images->clear();
    if (size < ICON_HEADER || get16(data) != 0 || get16(data + 2) != 1)
        return *why = "not an icon file (.ico)", 0;
    const size_t count = get16(data + 4);
    if (count == 0) return *why = "the icon file holds no image", 0;
    if (count > MAX_ICON_IMAGES) return *why = "the icon file holds more than 256 images", 0;
    if (ICON_HEADER + ICON_ENTRY * count > size)
        return *why =
                   "the icon file's " + std::to_string(count) + " image entries run past its end",
               0;
    for (size_t k = 0; k < count; k++) {
        const unsigned char *e = data + ICON_HEADER + ICON_ENTRY * k;
        const uint64_t bytes = get32(e + 8), at = get32(e + 12);
        const std::string which = "the icon file's image " + std::to_string(k + 1);
        if (at + bytes > size) return *why = which + " lies outside the file", 0;
        if (at < ICON_HEADER + ICON_ENTRY * count)
            return *why = which + " overlaps the directory", 0;
        const unsigned char *d = data + at;
        const int png = bytes >= 8 && !memcmp(d, png_signature, 8);
        const int bitmap = bytes >= BITMAP_INFO_HEADER && get32(d) == BITMAP_INFO_HEADER;
        if (!png && !bitmap) return *why = which + " is neither a bitmap nor a PNG", 0;
        kvp_icon_image image = {e[0], e[1], e[2], get16(e + 4), get16(e + 6), {d, d + bytes}};
        if (image.planes == 0) image.planes = 1;
        if (image.bit_count == 0) image.bit_count = png ? 32 : get16(d + 14);
        images->push_back(std::move(image));
    }
    return 1;
}

int kvp_identity_from_script(const char *text, size_t size, kvp_identity *identity) {
    std::unique_ptr<installer_state> state(new installer_state());
    if (!load_script_text(state.get(), text, size)) return 0;
    std::vector<char> value(SCRIPT_TOKEN_CAPACITY);
    std::string fields[3];
    if (get_value(state.get(), KW_UNINSTALL, value.data(), value.size())) {
        fields[0] = value.data();
        for (int n = 2; n <= 3; n++)
            if (get_field(state.get(), KW_UNINSTALL, n, value.data(), value.size()))
                fields[n - 1] = value.data();
    }
    const uint32_t keys[3] = {KW_PRODUCT_NAME, KW_PRODUCT_PUBLISHER, KW_PRODUCT_VERSION};
    for (int k = 0; k < 3; k++)
        if (get_value(state.get(), keys[k], value.data(), value.size())) fields[k] = value.data();
    identity->uninstaller_texts = uninstaller_lines(state->script_text);
    release_script(state.get());

    std::u16string *targets[3] = {&identity->product, &identity->publisher, &identity->version};
    const char *what[3] = {"product name", "publisher", "version"};
    for (int k = 0; k < 3; k++) {
        *targets[k] = kvp_text_utf16(fields[k], 1); // the loaded script is UTF-8
        if (kvp_text_cut(targets[k], KVP_VERSION_TEXT_MAX))
            warn(what[k], " is longer than 255 characters: cut in the version resource");
    }
    identity->version_text = fields[2];
    if (identity->product.empty() && (!fields[1].empty() || !fields[2].empty()))
        warn(fields[1].empty() ? "a version" : "a publisher",
             " without a product name (an uninstall line or product_name): the installer keeps "
             "the stub's version resource");
    return 1;
}

int kvp_identity_apply(std::vector<unsigned char> *image, const kvp_identity &identity,
                       const char *role, const std::string &original_filename,
                       const std::string *texts, std::string *why) {
    const int has_texts = texts && !texts->empty();
    if (identity.product.empty() && identity.icon.empty() && !has_texts) return 1;
    kvp_pe_layout pe;
    std::vector<kvp_resource> resources;
    if (!open_program(*image, &pe, &resources, why)) return 0;
    if (!identity.product.empty()) replace_version(&resources, identity, role, original_filename);
    if (!identity.icon.empty()) replace_program_icon(&resources, identity.icon);
    if (has_texts) replace_texts(&resources, *texts);
    return kvp_pe_replace_resources(image, pe, std::move(resources), why);
}

int kvp_identity_is_uninstaller(const unsigned char *image, size_t size) {
    kvp_pe_layout pe;
    std::vector<kvp_resource> resources;
    std::string why;
    if (!kvp_pe_read(image, size, &pe, &why) ||
        !kvp_resources_read(image, size, pe, &resources, &why))
        return 0;
    for (const kvp_resource &r : resources) {
        std::u16string value;
        if (!is(r, KVP_RT_VERSION)) continue;
        for (const char16_t *key : {u"InternalName", u"OriginalFilename"})
            if (kvp_version_find(r.data.data(), r.data.size(), key, &value) &&
                same_ascii_name(value, uninstaller_name))
                return 1;
    }
    return 0;
}

int kvp_identity_members(const fs::path *icon, const std::vector<kvp_identity_member> &members,
                         const fs::path &output, kvp_identity *identity) {
    std::vector<unsigned char> bytes;
    std::string why;
    if (icon) {
        const std::string shown = kvp_path_display(*icon);
        const int got = read_whole(*icon, MAX_ICON_FILE, &bytes);
        if (got < 0) return kvp_fail("--icon %s cannot be read", shown.c_str());
        if (got == 0) return kvp_fail("--icon %s is larger than 16 MiB", shown.c_str());
        if (!kvp_icon_read(bytes.data(), bytes.size(), &identity->icon, &why))
            return kvp_fail("--icon %s: %s", shown.c_str(), why.c_str());
    }
    for (const kvp_identity_member &m : members)
        if (match_member_name("setup.txt", m.name->c_str())) {
            if (read_whole(*m.path, SCRIPT_MAX_SIZE, &bytes) == 1)
                kvp_identity_from_script(reinterpret_cast<const char *>(bytes.data()), bytes.size(),
                                         identity);
            break;
        }
    if (identity->product.empty() && identity->icon.empty() && identity->uninstaller_texts.empty())
        return 0;

    for (const kvp_identity_member &m : members) {
        if (*m.size < 64 || *m.size > MAX_PROGRAM || !starts_as_program(*m.path) ||
            read_whole(*m.path, MAX_PROGRAM, &bytes) != 1)
            continue;
        if (!kvp_identity_is_uninstaller(bytes.data(), bytes.size())) continue;
        const size_t slash = m.name->rfind('\\');
        const std::string file_name = m.name->substr(slash == std::string::npos ? 0 : slash + 1);
        if (!kvp_identity_apply(&bytes, *identity, "Uninstaller", file_name,
                                &identity->uninstaller_texts, &why)) {
            warn(*m.name, ": the uninstaller is packed as it is, without the product's identity "
                          "and language: " +
                              why);
            continue;
        }
        fs::path copy = output;
        copy += ".uninstaller" + std::to_string(identity->scratch.size()) + ".tmp";
        identity->scratch.push_back(copy);
        if (!write_whole(copy, bytes))
            return kvp_fail("%s: cannot be written", kvp_path_display(copy).c_str());
        *m.path = copy;
        *m.size = bytes.size();
    }
    return 0;
}

int kvp_identity_stub(const kvp_identity &identity, const fs::path &output,
                      const fs::path &stub_path, std::vector<unsigned char> *stub) {
    std::string why, name;
    kvp_path_text(output.filename(), &name);
    if (!kvp_identity_apply(stub, identity, "Setup", name, nullptr, &why))
        return kvp_fail("stub %s cannot take the product's name and icon: %s",
                        kvp_path_display(stub_path).c_str(), why.c_str());
    return 0;
}

int kvp_identity_verify_member(kvp_archive *archive, const kvp_record &record,
                               const fs::path &source, kvp_progress *progress) {
    std::vector<unsigned char> original;
    if (read_whole(source, MAX_PROGRAM, &original) != 1 ||
        !kvp_identity_is_uninstaller(original.data(), original.size()))
        return 0;
    const char *name = record.name.c_str();
    const char *differs = "%s: differs from its source beyond the product's name and icon that "
                          "kvpack pack writes into the uninstaller";
    if (record.header.unpacked_size > MAX_PROGRAM * 2) return kvp_fail(differs, name), -1;
    memory_sink sink = {{}, MAX_PROGRAM * 2};
    int64_t gap = 0;
    if (!kvp_archive_decode(archive, &record, collect, &sink, progress, &gap))
        return kvp_fail("%s: cannot be decoded", name), -1;
    if (gap != 0)
        return kvp_fail("%s: packed data ends %lld bytes %s the record says", name,
                        (long long)(gap < 0 ? -gap : gap), gap < 0 ? "before" : "after"),
               -1;
    if (sink.bytes != original && !same_but_identity(original, sink.bytes))
        return kvp_fail(differs, name), -1;
    return 1;
}
