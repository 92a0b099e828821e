// The PE headers and the resource directory, read with every offset checked against the bytes
// that hold it, and a resource section written anew.
//
// Invariants:
// 1. Nothing is read before its whole extent is known to lie inside the buffer; extents are
//    added in 64 bits, so no sum wraps.
// 2. The resource section is rebuilt only when it ends both the image and the file, so that
//    its growth moves no other section and changes no RVA outside it.
// 3. Written tables are sorted as the loader's binary search expects: named entries first,
//    then numbered ones in ascending order, at each of the three levels.
#include "kvpack_pe_resources.h"

#include <algorithm>
#include <cstring>

namespace {

enum : size_t {
    DOS_PE_OFFSET = 0x3c,     // e_lfanew
    COFF_AT = 4,              // from the PE signature
    OPTIONAL_AT = 24,         // from the PE signature
    SECTION_HEADER_SIZE = 40, // one entry of the section table
    RESOURCE_DIRECTORY = 2,   // index among the data directories
    SECURITY_DIRECTORY = 4,   // the certificate table
    TABLE_SIZE = 16,          // IMAGE_RESOURCE_DIRECTORY
    ENTRY_SIZE = 8,           // IMAGE_RESOURCE_DIRECTORY_ENTRY
    DATA_ENTRY_SIZE = 16,     // IMAGE_RESOURCE_DATA_ENTRY
    MAX_RESOURCES = 65536,    // far beyond any program's; bounds a tree that shares subtables
    MAX_ENTRIES = 3 * MAX_RESOURCES, // directory entries visited, at all three levels
};
const uint32_t SUBTABLE_BIT = 0x80000000u; // an entry points at a table / names a string
const uint32_t INITIALIZED_DATA = 0x40;    // IMAGE_SCN_CNT_INITIALIZED_DATA
const uint16_t PE32_MAGIC = 0x10b, PE32_PLUS_MAGIC = 0x20b;

uint16_t get16(const unsigned char *p) {
    return (uint16_t)(p[0] | p[1] << 8);
}
uint32_t get32(const unsigned char *p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
void put16(unsigned char *p, uint32_t v) {
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
}
void put32(unsigned char *p, uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

int fail(std::string *why, const char *text) {
    *why = text;
    return 0;
}

int power_of_two(uint32_t v) {
    return v != 0 && (v & (v - 1)) == 0;
}

uint64_t align_up(uint64_t v, uint32_t alignment) {
    return (v + alignment - 1) / alignment * alignment;
}

// The bytes of the resource section as stored, for the directory walk.
struct section_bytes {
    const unsigned char *base;
    uint64_t size;
    uint32_t rva;
};

int has(const section_bytes &s, uint64_t at, uint64_t length) {
    return at <= s.size && length <= s.size - at;
}

// The identifier of a directory entry: a number, or a counted UTF-16 name inside the section.
int read_id(const section_bytes &s, uint32_t field, kvp_resource_id *id) {
    id->id = 0;
    id->name.clear();
    if (!(field & SUBTABLE_BIT)) return id->id = field, 1;
    const uint64_t at = field & ~SUBTABLE_BIT;
    if (!has(s, at, 2)) return 0;
    const uint32_t length = get16(s.base + at);
    if (length == 0 || !has(s, at + 2, 2ull * length)) return 0;
    for (uint32_t i = 0; i < length; i++) id->name += (char16_t)get16(s.base + at + 2 + 2 * i);
    return 1;
}

// The entries of the table at offset: 1 with their count, 0 when the table does not fit.
int read_table(const section_bytes &s, uint64_t at, uint32_t *count) {
    if (!has(s, at, TABLE_SIZE)) return 0;
    *count = (uint32_t)get16(s.base + at + 12) + get16(s.base + at + 14);
    return has(s, at + TABLE_SIZE, (uint64_t)ENTRY_SIZE * *count);
}

// Orders identifiers as the directory stores them: names (by their upper-case form), then
// numbers.
int id_before(const kvp_resource_id &a, const kvp_resource_id &b) {
    const int a_named = !a.name.empty(), b_named = !b.name.empty();
    if (a_named != b_named) return a_named;
    if (!a_named) return a.id < b.id;
    auto upper = [](char16_t c) { return (char16_t)(c >= u'a' && c <= u'z' ? c - 32 : c); };
    return std::lexicographical_compare(
        a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
        [&](char16_t x, char16_t y) { return upper(x) < upper(y); });
}

int id_equal(const kvp_resource_id &a, const kvp_resource_id &b) {
    return !id_before(a, b) && !id_before(b, a);
}

// A run of sorted resources sharing a type (level 2) or a type and a name (level 3).
struct run {
    size_t first, count;
};

// The runs of resources that share the identifiers key(r) gives.
template <typename Key> std::vector<run> runs_of(const std::vector<kvp_resource> &r, Key key) {
    std::vector<run> out;
    for (size_t i = 0; i < r.size(); i++)
        if (out.empty() || !key(r[i - 1], r[i]))
            out.push_back({i, 1});
        else
            out.back().count++;
    return out;
}

void put_table(std::vector<unsigned char> *out, size_t at, uint32_t named, uint32_t numbered) {
    memset(out->data() + at, 0, TABLE_SIZE);
    put16(out->data() + at + 12, named);
    put16(out->data() + at + 14, numbered);
}

// The section's bytes for resources (sorted, without duplicates) at rva: the three levels of
// tables, the data entries, the names, then the data, each datum 8-byte aligned.
std::vector<unsigned char> build_section(const std::vector<kvp_resource> &r, uint32_t rva) {
    const std::vector<run> types = runs_of(
        r, [](const kvp_resource &a, const kvp_resource &b) { return id_equal(a.type, b.type); });
    const std::vector<run> names = runs_of(r, [](const kvp_resource &a, const kvp_resource &b) {
        return id_equal(a.type, b.type) && id_equal(a.name, b.name);
    });
    const size_t level2_at = TABLE_SIZE + ENTRY_SIZE * types.size();
    size_t level3_at = level2_at;
    for (const run &t : types) {
        size_t names_in_type = 0;
        for (const run &n : names)
            if (n.first >= t.first && n.first < t.first + t.count) names_in_type++;
        level3_at += TABLE_SIZE + ENTRY_SIZE * names_in_type;
    }
    const size_t entries_at = level3_at + TABLE_SIZE * names.size() + ENTRY_SIZE * r.size();
    size_t strings_at = entries_at + DATA_ENTRY_SIZE * r.size(), end = strings_at;
    for (const run &t : types)
        if (!r[t.first].type.name.empty()) end += 2 + 2 * r[t.first].type.name.size();
    for (const run &n : names)
        if (!r[n.first].name.name.empty()) end += 2 + 2 * r[n.first].name.name.size();
    std::vector<size_t> data_at(r.size());
    for (size_t i = 0; i < r.size(); i++) {
        end = (size_t)align_up(end, 8);
        data_at[i] = end;
        end += r[i].data.size();
    }
    std::vector<unsigned char> out(end, 0);

    // An entry's identifier field: the number, or the name written at strings_at.
    auto id_field = [&](const kvp_resource_id &id) {
        if (id.name.empty()) return id.id;
        const uint32_t field = SUBTABLE_BIT | (uint32_t)strings_at;
        put16(&out[strings_at], (uint32_t)id.name.size());
        for (size_t k = 0; k < id.name.size(); k++) put16(&out[strings_at + 2 + 2 * k], id.name[k]);
        strings_at += 2 + 2 * id.name.size();
        return field;
    };
    auto put_entry = [&](size_t at, const kvp_resource_id &id, uint32_t target) {
        put32(&out[at], id_field(id));
        put32(&out[at + 4], target);
    };
    auto count_named = [&](size_t first, size_t n, int level) {
        uint32_t named = 0;
        for (size_t k = first; k < first + n; k++)
            named += !(level == 1 ? r[k].type : r[k].name).name.empty();
        return named;
    };

    put_table(&out, 0, 0, 0);
    size_t next_level2 = level2_at, next_level3 = level3_at, name_index = 0;
    uint32_t type_named = 0;
    for (size_t ti = 0; ti < types.size(); ti++) {
        const run &t = types[ti];
        type_named += !r[t.first].type.name.empty();
        put_entry(TABLE_SIZE + ENTRY_SIZE * ti, r[t.first].type,
                  SUBTABLE_BIT | (uint32_t)next_level2);
        const size_t table2 = next_level2;
        uint32_t names_here = 0, names_named = 0;
        for (; name_index < names.size() && names[name_index].first < t.first + t.count;
             name_index++) {
            const run &n = names[name_index];
            names_named += count_named(n.first, 1, 2);
            put_entry(table2 + TABLE_SIZE + ENTRY_SIZE * names_here++, r[n.first].name,
                      SUBTABLE_BIT | (uint32_t)next_level3);
            put_table(&out, next_level3, 0, (uint32_t)n.count);
            for (size_t k = 0; k < n.count; k++) {
                const size_t i = n.first + k, entry = entries_at + DATA_ENTRY_SIZE * i;
                put32(&out[next_level3 + TABLE_SIZE + ENTRY_SIZE * k], r[i].language);
                put32(&out[next_level3 + TABLE_SIZE + ENTRY_SIZE * k + 4], (uint32_t)entry);
                put32(&out[entry], rva + (uint32_t)data_at[i]);
                put32(&out[entry + 4], (uint32_t)r[i].data.size());
                put32(&out[entry + 8], r[i].codepage);
                if (!r[i].data.empty())
                    memcpy(&out[data_at[i]], r[i].data.data(), r[i].data.size());
            }
            next_level3 += TABLE_SIZE + ENTRY_SIZE * n.count;
        }
        put_table(&out, table2, names_named, names_here - names_named);
        next_level2 += TABLE_SIZE + ENTRY_SIZE * names_here;
    }
    put_table(&out, 0, type_named, (uint32_t)types.size() - type_named);
    return out;
}

} // namespace

int kvp_pe_read(const unsigned char *data, size_t size, kvp_pe_layout *pe, std::string *why) {
    if (size < DOS_PE_OFFSET + 4 || data[0] != 'M' || data[1] != 'Z')
        return fail(why, "not a Windows program (no MZ header)");
    const uint64_t at = get32(data + DOS_PE_OFFSET);
    if (at + OPTIONAL_AT > size || memcmp(data + at, "PE\0\0", 4) != 0)
        return fail(why, "not a Windows program (no PE header where the MZ header points)");
    const unsigned char *coff = data + at + COFF_AT;
    const uint32_t section_count = get16(coff + 2), optional_size = get16(coff + 16);
    const uint64_t optional = at + OPTIONAL_AT, table = optional + optional_size;
    if (section_count == 0 || section_count > KVP_PE_MAX_SECTIONS ||
        table + (uint64_t)SECTION_HEADER_SIZE * section_count > size)
        return fail(why, "its section table does not fit the file");
    if (optional_size < 2) return fail(why, "its optional header is missing");
    const uint16_t magic = get16(data + optional);
    if (magic != PE32_MAGIC && magic != PE32_PLUS_MAGIC)
        return fail(why, "its optional header is neither PE32 nor PE32+");
    pe->machine = get16(coff);
    pe->plus = magic == PE32_PLUS_MAGIC;
    const uint64_t directories = pe->plus ? 112 : 96, count_at = directories - 4;
    if (optional_size < directories) return fail(why, "its optional header is cut short");
    pe->directory_count = get32(data + optional + count_at);
    if (pe->directory_count > 16 || directories + 8ull * pe->directory_count > optional_size)
        return fail(why, "its data directories do not fit the optional header");
    pe->section_alignment = get32(data + optional + 32);
    pe->file_alignment = get32(data + optional + 36);
    if (!power_of_two(pe->file_alignment) || !power_of_two(pe->section_alignment) ||
        pe->file_alignment > 0x10000 || pe->section_alignment < pe->file_alignment)
        return fail(why, "its section or file alignment is not a power of two the loader takes");
    pe->initialized_data_at = (size_t)optional + 8;
    pe->size_of_image_at = (size_t)optional + 56;
    pe->checksum_at = (size_t)optional + 64;
    pe->directories_at = (size_t)(optional + directories);
    auto directory = [&](uint32_t index, uint32_t field) {
        return index < pe->directory_count
                   ? get32(data + pe->directories_at + 8 * index + 4 * field)
                   : 0u;
    };
    pe->resource_rva = directory(RESOURCE_DIRECTORY, 0);
    pe->resource_size = directory(RESOURCE_DIRECTORY, 1);
    pe->security_size = directory(SECURITY_DIRECTORY, 1);
    pe->sections.clear();
    pe->resource_section = -1;
    for (uint32_t i = 0; i < section_count; i++) {
        const size_t header = (size_t)(table + SECTION_HEADER_SIZE * i);
        kvp_pe_section s = {};
        memcpy(s.name, data + header, 8);
        s.virtual_size = get32(data + header + 8);
        s.virtual_address = get32(data + header + 12);
        s.raw_size = get32(data + header + 16);
        s.raw_offset = get32(data + header + 20);
        s.characteristics = get32(data + header + 36);
        s.header_at = header;
        if (s.raw_size != 0 && (uint64_t)s.raw_offset + s.raw_size > size)
            return fail(why, "a section's stored bytes run past the end of the file");
        if (pe->resource_rva != 0 && s.virtual_address == pe->resource_rva)
            pe->resource_section = (int)i;
        pe->sections.push_back(s);
    }
    return 1;
}

int kvp_pe_resources_last(const kvp_pe_layout &pe, size_t file_size, std::string *why) {
    if (pe.security_size != 0)
        return fail(why, "it is signed (rewriting its resources would break the signature)");
    if (pe.resource_section < 0)
        return fail(why, "it has no resource section starting where its resource directory "
                         "points");
    const kvp_pe_section &r = pe.sections[(size_t)pe.resource_section];
    for (const kvp_pe_section &s : pe.sections) {
        if (&s == &r) continue;
        if ((uint64_t)s.virtual_address + s.virtual_size > r.virtual_address ||
            (s.raw_size != 0 && (uint64_t)s.raw_offset + s.raw_size > r.raw_offset))
            return fail(why, "its resource section is not the last section of the image (the "
                             "stubs are linked with it last)");
    }
    if (r.raw_offset < pe.sections.back().header_at + SECTION_HEADER_SIZE)
        return fail(why, "its resource section overlaps its headers");
    if ((uint64_t)r.raw_offset + r.raw_size != file_size)
        return fail(why, "data follows its last section (an archive, a signature or symbols)");
    return 1;
}

int kvp_resources_read(const unsigned char *data, size_t size, const kvp_pe_layout &pe,
                       std::vector<kvp_resource> *resources, std::string *why) {
    resources->clear();
    if (pe.resource_section < 0) return 1;
    const kvp_pe_section &sec = pe.sections[(size_t)pe.resource_section];
    if ((uint64_t)sec.raw_offset + sec.raw_size > size)
        return fail(why, "the resource section runs past the end of the file");
    const section_bytes s = {data + sec.raw_offset, sec.raw_size, sec.virtual_address};
    // Subtables and data may be shared, so the entries visited and the bytes copied are
    // bounded on their own: no program's directory comes near either bound.
    const uint64_t max_bytes = 2 * s.size + (1u << 16);
    uint64_t total = 0, visited = 0;
    const char *too_many = "the resource directory names more resources than any program holds";
    uint32_t types, names, languages;
    if (!read_table(s, 0, &types)) return fail(why, "the resource directory does not fit");
    for (uint32_t a = 0; a < types; a++) {
        if (++visited > MAX_ENTRIES) return fail(why, too_many);
        const unsigned char *e1 = s.base + TABLE_SIZE + ENTRY_SIZE * a;
        kvp_resource r = {};
        const uint32_t table2 = get32(e1 + 4);
        if (!read_id(s, get32(e1), &r.type) || !(table2 & SUBTABLE_BIT) ||
            !read_table(s, table2 & ~SUBTABLE_BIT, &names))
            return fail(why, "a resource type's entry points outside the section");
        for (uint32_t b = 0; b < names; b++) {
            if (++visited > MAX_ENTRIES) return fail(why, too_many);
            const unsigned char *e2 =
                s.base + (table2 & ~SUBTABLE_BIT) + TABLE_SIZE + ENTRY_SIZE * b;
            const uint32_t table3 = get32(e2 + 4);
            if (!read_id(s, get32(e2), &r.name) || !(table3 & SUBTABLE_BIT) ||
                !read_table(s, table3 & ~SUBTABLE_BIT, &languages))
                return fail(why, "a resource name's entry points outside the section");
            for (uint32_t c = 0; c < languages; c++) {
                if (++visited > MAX_ENTRIES) return fail(why, too_many);
                const unsigned char *e3 =
                    s.base + (table3 & ~SUBTABLE_BIT) + TABLE_SIZE + ENTRY_SIZE * c;
                const uint32_t entry = get32(e3 + 4);
                if ((get32(e3) & SUBTABLE_BIT) || (entry & SUBTABLE_BIT) ||
                    !has(s, entry, DATA_ENTRY_SIZE))
                    return fail(why, "a resource's data entry is missing or misplaced");
                const uint32_t rva = get32(s.base + entry), length = get32(s.base + entry + 4);
                if (rva < s.rva || !has(s, (uint64_t)rva - s.rva, length))
                    return fail(why, "a resource's data lies outside the resource section");
                total += length;
                if (resources->size() >= MAX_RESOURCES || total > max_bytes)
                    return fail(why, too_many);
                r.language = get32(e3);
                r.codepage = get32(s.base + entry + 8);
                const unsigned char *from = s.base + (rva - s.rva);
                r.data.assign(from, from + length);
                resources->push_back(r);
            }
        }
    }
    return 1;
}

int kvp_pe_replace_resources(std::vector<unsigned char> *image, const kvp_pe_layout &pe,
                             std::vector<kvp_resource> resources, std::string *why) {
    std::stable_sort(resources.begin(), resources.end(),
                     [](const kvp_resource &a, const kvp_resource &b) -> bool {
                         if (!id_equal(a.type, b.type)) return id_before(a.type, b.type);
                         if (!id_equal(a.name, b.name)) return id_before(a.name, b.name);
                         return a.language < b.language;
                     });
    resources.erase(std::unique(resources.begin(), resources.end(),
                                [](const kvp_resource &a, const kvp_resource &b) {
                                    return id_equal(a.type, b.type) && id_equal(a.name, b.name) &&
                                           a.language == b.language;
                                }),
                    resources.end());
    const kvp_pe_section &sec = pe.sections[(size_t)pe.resource_section];
    uint64_t bytes = 0;
    for (const kvp_resource &r : resources) bytes += r.data.size() + 64;
    if (bytes > (1u << 30)) return fail(why, "the resources would pass 1 GiB");
    const std::vector<unsigned char> section = build_section(resources, sec.virtual_address);
    const uint64_t raw = align_up(section.size(), pe.file_alignment);
    const uint64_t image_end =
        align_up((uint64_t)sec.virtual_address + section.size(), pe.section_alignment);
    if (image_end > 0x80000000u || (uint64_t)sec.raw_offset + raw > 0x80000000u)
        return fail(why, "the program would pass 2 GiB");

    unsigned char *old = image->data();
    const uint64_t initialized = get32(old + pe.initialized_data_at);
    const uint64_t adjusted =
        (sec.characteristics & INITIALIZED_DATA) && initialized >= sec.raw_size
            ? initialized - sec.raw_size + raw
            : initialized;
    image->resize(sec.raw_offset);
    image->insert(image->end(), section.begin(), section.end());
    image->resize((size_t)(sec.raw_offset + raw), 0);
    unsigned char *p = image->data();
    put32(p + sec.header_at + 8, (uint32_t)section.size());
    put32(p + sec.header_at + 16, (uint32_t)raw);
    put32(p + pe.initialized_data_at, (uint32_t)adjusted);
    put32(p + pe.size_of_image_at, (uint32_t)image_end);
    put32(p + pe.directories_at + 8 * RESOURCE_DIRECTORY + 4, (uint32_t)section.size());
    put32(p + pe.checksum_at, kvp_pe_checksum(p, image->size(), pe.checksum_at));
    return 1;
}

uint32_t kvp_pe_checksum(const unsigned char *data, size_t size, size_t checksum_at) {
    auto byte = [&](size_t i) {
        return i >= size || (i >= checksum_at && i < checksum_at + 4) ? 0u : (uint32_t)data[i];
    };
    uint64_t sum = 0;
    for (size_t i = 0; i < size; i += 2) {
        sum += byte(i) | byte(i + 1) << 8;
        sum = (sum & 0xffff) + (sum >> 16);
    }
    sum = (sum & 0xffff) + (sum >> 16);
    return (uint32_t)(sum + size);
}
