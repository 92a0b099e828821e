// kvpack --version and the stub's version resource, read from the file's bytes.
#include "kvpack_stub_version.h"
#include "kv_version.h"
#include "kvpack_os.h"
#include "platform/platform.h"

#include <cstdio>
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

fs::path kvp_default_stub() {
    char self[1024] = "";
    if (platform_module_path(self, sizeof self)) {
        fs::path beside = kvp_text_path(self).parent_path() / "setup.exe";
        std::error_code ec;
        if (fs::is_regular_file(beside, ec)) return beside;
    }
    return fs::path(KVPACK_SOURCE_DIR) / "build" / "mingw-i686" / "setup.exe";
}

int kvp_print_version() {
    printf("kvpack %s\n", KV_VERSION_TEXT);
    const fs::path stub = kvp_default_stub();
    kvp_file_version v{};
    const int found = kvp_read_stub_version(stub, &v);
    const std::string shown = kvp_path_display(stub);
    if (found == 1)
        printf("stub %s: %u.%u.%u.%u\n", shown.c_str(), v.major, v.minor, v.patch, v.build);
    else if (found == 0)
        printf("stub %s: no version resource\n", shown.c_str());
    else
        printf("stub %s: cannot be read\n", shown.c_str());
    return 0;
}
