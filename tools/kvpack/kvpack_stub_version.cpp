// kvpack --version and the stub's version resource, read from the file's bytes.
#include "kvpack_stub_version.h"
#include "kvpack.h"
#include "kv_version.h"
#include "kvpack_os.h"
#include "platform/platform.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace fs = std::filesystem;

namespace {

uint32_t read_u32(const unsigned char *p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

const uint32_t fixed_signature = 0xFEEF04BDu;
const uint32_t fixed_struct_version = 0x00010000u;
const size_t fixed_size = 13 * 4; // VS_FIXEDFILEINFO: thirteen DWORDs

} // namespace

int kvp_find_file_version(const unsigned char *data, size_t size, kvp_file_version *version) {
    if (!data || size < fixed_size) return 0;
    for (size_t at = 0; at + fixed_size <= size; at += 4) {
        if (read_u32(data + at) != fixed_signature) continue;
        if (read_u32(data + at + 4) != fixed_struct_version) continue;
        const uint32_t ms = read_u32(data + at + 8), ls = read_u32(data + at + 12);
        *version = {ms >> 16, ms & 0xFFFFu, ls >> 16, ls & 0xFFFFu};
        return 1;
    }
    return 0;
}

int kvp_read_stub_version(const fs::path &stub, kvp_file_version *version) {
    FILE *f = kvp_open(stub, "rb");
    if (!f) return -1;
    std::vector<unsigned char> bytes;
    unsigned char portion[1 << 16];
    size_t got;
    while (bytes.size() < (16u << 20) && (got = fread(portion, 1, sizeof portion, f)) > 0)
        bytes.insert(bytes.end(), portion, portion + got);
    const int failed = ferror(f);
    fclose(f);
    if (failed) return -1;
    return kvp_find_file_version(bytes.data(), bytes.size(), version);
}

namespace {

const char *const arches[] = {"i686", "x86_64"};
const uint16_t arch_machines[] = {0x14c, 0x8664}; // IMAGE_FILE_MACHINE_I386, _AMD64

// The machine a program is built for, from its COFF header; 0 when it is no program.
uint16_t program_machine(const fs::path &path) {
    FILE *f = kvp_open(path, "rb");
    if (!f) return 0;
    unsigned char head[4096];
    const size_t got = fread(head, 1, sizeof head, f);
    fclose(f);
    if (got < 64 || head[0] != 'M' || head[1] != 'Z') return 0;
    const uint32_t at = read_u32(head + 0x3c);
    if (at > got - 6 || memcmp(head + at, "PE\0\0", 4) != 0) return 0;
    return (uint16_t)(head[at + 4] | head[at + 5] << 8);
}

const char *machine_name(uint16_t machine) {
    for (size_t i = 0; i < 2; i++)
        if (arch_machines[i] == machine) return arches[i];
    return "unknown machine";
}

// The stub for arch (an index into arches, or -1 for the default) in the folders around
// kvpack's own file. 1 with *stub set; 0 with *looked naming where it looked.
int find_stub(int arch, fs::path *stub, std::string *looked) {
    char self[1024] = "";
    if (!platform_module_path(self, sizeof self)) return *looked = "(kvpack's own path unknown)", 0;
    const fs::path home = kvp_text_path(self).parent_path();
    const char *folder = arches[arch < 0 ? 0 : arch];
    const fs::path candidates[] = {
        home / "setup.exe", home / "stubs" / folder / "setup.exe",
        (home / ".." / "share" / "kvpack" / "stubs" / folder / "setup.exe").lexically_normal()};
    looked->clear();
    for (const fs::path &c : candidates) {
        std::error_code ec;
        const int beside = &c == &candidates[0];
        if (fs::is_regular_file(c, ec) && (arch < 0 ? !beside || program_machine(c) != 0
                                                    : program_machine(c) == arch_machines[arch]))
            return *stub = c, 1;
        *looked += (looked->empty() ? "" : ", ") + kvp_path_display(c);
    }
    return 0;
}

} // namespace

int kvp_default_stub(const char *arch, fs::path *stub) {
    int index = -1;
    for (int i = 0; arch && i < 2; i++)
        if (!strcmp(arch, arches[i])) index = i;
    if (arch && index < 0) return kvp_fail("pack: --arch takes i686 or x86_64, not '%s'", arch);
    std::string looked;
    if (find_stub(index, stub, &looked)) return 0;
    return kvp_fail("no %s stub found (looked for %s): give one with --stub",
                    arches[index < 0 ? 0 : index], looked.c_str());
}

int kvp_print_version() {
    printf("kvpack %s\n", KV_VERSION_TEXT);
    for (int arch = -1; arch < 2; arch++) {
        fs::path stub;
        std::string looked;
        const std::string which = arch < 0 ? "stub" : std::string("stub --arch ") + arches[arch];
        if (!find_stub(arch, &stub, &looked)) {
            printf("%s: none found (looked for %s)\n", which.c_str(), looked.c_str());
            continue;
        }
        kvp_file_version v{};
        const int found = kvp_read_stub_version(stub, &v);
        printf("%s: %s (%s, ", which.c_str(), kvp_path_display(stub).c_str(),
               machine_name(program_machine(stub)));
        if (found == 1)
            printf("version %u.%u.%u.%u)\n", v.major, v.minor, v.patch, v.build);
        else
            printf("%s)\n", found == 0 ? "no version resource" : "cannot be read");
    }
    return 0;
}
