// The shell's binary link format, written: a 76-byte header naming the link class, the link
// info that locates the target (a drive path, or a share and the rest of the path), the string
// data (description, working folder, icon location) as counted UTF-16 texts, and the terminal
// block. Texts arrive in UTF-8 and are widened as Windows does.
#include "platform/posix/platform_shortcut_posix.h"
#include "platform/posix/posix_text.h"

#include <cstring>

namespace {

// Header and link info constants of the format.
enum : uint32_t {
    HEADER_SIZE = 0x4C,
    HAS_LINK_INFO = 0x02,
    HAS_NAME = 0x04,
    HAS_WORKING_DIR = 0x10,
    HAS_ICON_LOCATION = 0x40,
    IS_UNICODE = 0x80,
    FILE_ATTRIBUTE_ARCHIVE = 0x20,
    SHOW_NORMAL = 1,
    LINK_INFO_HEADER_SIZE = 0x1C,
    VOLUME_ID_AND_LOCAL_BASE_PATH = 0x01,
    COMMON_NETWORK_RELATIVE_LINK = 0x02,
    DRIVE_FIXED = 3,
    VOLUME_ID_HEADER = 0x10,
    NETWORK_LINK_HEADER = 0x14,
};
// CLSID_ShellLink {00021401-0000-0000-C000-000000000046} as stored.
const unsigned char LINK_CLSID[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                      0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
// Appends to a bounded byte buffer; once something did not fit, everything after is refused.
struct link_writer {
    unsigned char *out;
    size_t cap, used;
    int full;
    void bytes(const void *data, size_t n) {
        if (full || n > cap - used) {
            full = 1;
            return;
        }
        memcpy(out + used, data, n);
        used += n;
    }
    void u16(uint32_t v) {
        unsigned char b[2] = {(unsigned char)v, (unsigned char)(v >> 8)};
        bytes(b, 2);
    }
    void u32(uint32_t v) {
        unsigned char b[4] = {(unsigned char)v, (unsigned char)(v >> 8), (unsigned char)(v >> 16),
                              (unsigned char)(v >> 24)};
        bytes(b, 4);
    }
    void zeros(size_t n) {
        for (size_t i = 0; i < n; i++) bytes("", 1);
    }
    // A counted UTF-16 text of the string data, from UTF-8 (a stray byte stands for itself):
    // counted in a first pass, written in the second.
    void counted_text(const char *text) {
        const size_t length = strlen(text);
        for (int pass = 0; pass < 2; pass++) {
            uint32_t count = 0;
            for (size_t i = 0, n; i < length; i += n) {
                uint32_t u = 0;
                n = posix_utf8_next(text + i, length - i, &u);
                if (u >= 0x10000) {
                    if (pass) u16(0xD800 + ((u - 0x10000) >> 10));
                    count++;
                    u = 0xDC00 + ((u - 0x10000) & 0x3FF);
                }
                if (pass) u16(u);
                count++;
            }
            if (!pass) u16(count);
        }
    }
};

int is_set(const char *text) {
    return text && text[0];
}

// The link info: how the target is found again, by drive path or by share.
void write_link_info(link_writer *w, const char *target) {
    size_t n = strlen(target);
    if (target[0] == '\\' && target[1] == '\\') {
        // \\server\share\rest: the share in a network link, the rest as the common suffix.
        const char *slash = strchr(target + 2, '\\');
        const char *end = slash ? strchr(slash + 1, '\\') : nullptr;
        size_t share = end ? (size_t)(end - target) : n;
        const char *suffix = end ? end + 1 : "";
        uint32_t network_size = NETWORK_LINK_HEADER + (uint32_t)share + 1;
        uint32_t size = LINK_INFO_HEADER_SIZE + network_size + (uint32_t)strlen(suffix) + 1;
        w->u32(size);
        w->u32(LINK_INFO_HEADER_SIZE);
        w->u32(COMMON_NETWORK_RELATIVE_LINK);
        w->u32(0); // no volume
        w->u32(0); // no local path
        w->u32(LINK_INFO_HEADER_SIZE);
        w->u32(LINK_INFO_HEADER_SIZE + network_size);
        w->u32(network_size);
        w->u32(0);                   // flags: no device, no provider type
        w->u32(NETWORK_LINK_HEADER); // the share's name follows
        w->u32(0);                   // device name
        w->u32(0);                   // provider type
        w->bytes(target, share);
        w->zeros(1);
        w->bytes(suffix, strlen(suffix) + 1);
        return;
    }
    // A fixed drive with an empty label, the whole path as the local base path.
    uint32_t volume_size = VOLUME_ID_HEADER + 1;
    uint32_t size = LINK_INFO_HEADER_SIZE + volume_size + (uint32_t)n + 1 + 1;
    w->u32(size);
    w->u32(LINK_INFO_HEADER_SIZE);
    w->u32(VOLUME_ID_AND_LOCAL_BASE_PATH);
    w->u32(LINK_INFO_HEADER_SIZE);
    w->u32(LINK_INFO_HEADER_SIZE + volume_size);
    w->u32(0); // no network link
    w->u32(LINK_INFO_HEADER_SIZE + volume_size + (uint32_t)n + 1);
    w->u32(volume_size);
    w->u32(DRIVE_FIXED);
    w->u32(0);                // serial number
    w->u32(VOLUME_ID_HEADER); // the label follows
    w->zeros(1);
    w->bytes(target, n + 1);
    w->zeros(1); // empty common path suffix
}

} // namespace

size_t shell_link_encode(const platform_link_properties *p, uint32_t target_size,
                         unsigned char *out, size_t cap) {
    link_writer w = {out, cap, 0, 0};
    const char *target = p->target ? p->target : "";
    uint32_t flags = HAS_LINK_INFO | IS_UNICODE;
    if (is_set(p->description)) flags |= HAS_NAME;
    if (is_set(p->working_folder)) flags |= HAS_WORKING_DIR;
    if (is_set(p->icon_file)) flags |= HAS_ICON_LOCATION;
    w.u32(HEADER_SIZE);
    w.bytes(LINK_CLSID, sizeof LINK_CLSID);
    w.u32(flags);
    w.u32(FILE_ATTRIBUTE_ARCHIVE);
    w.zeros(24); // creation, access and write times: not kept
    w.u32(target_size);
    w.u32((uint32_t)p->icon_index);
    w.u32(SHOW_NORMAL);
    w.zeros(2 + 2 + 4 + 4); // no hot key, reserved fields
    write_link_info(&w, target);
    if (flags & HAS_NAME) w.counted_text(p->description);
    if (flags & HAS_WORKING_DIR) w.counted_text(p->working_folder);
    if (flags & HAS_ICON_LOCATION) w.counted_text(p->icon_file);
    w.u32(0); // terminal block
    return w.full ? 0 : w.used;
}
