// The vendor's identity on what kvpack pack writes: the product's name, publisher and version
// from setup.txt (the uninstall line, overridden by the product_* keys) and the icon given with
// --icon, written into the version resource and program icon of the installer stub and of our
// uninstaller when it is packed as a member; and the uninstaller's words (the script's language
// and text_un_ texts), written into its resource IDR_UNINSTALL_TEXTS.
#pragma once

#include "kvpack.h"
#include "kvpack_archive.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// One image of an .ico file, as the RT_ICON resource and its RT_GROUP_ICON entry need it.
struct kvp_icon_image {
    unsigned char width, height, colors; // 0 width or height means 256
    uint16_t planes, bit_count;
    std::vector<unsigned char> data; // a BMP without its file header, or a PNG
};

struct kvp_identity {
    std::u16string product, publisher, version; // empty when the script gives none
    std::string version_text;                   // as written, for the version numbers
    std::vector<kvp_icon_image> icon;           // --icon's images; none without it
    std::string uninstaller_texts; // script lines for IDR_UNINSTALL_TEXTS; empty: Dutch, none
    std::vector<std::filesystem::path> scratch; // rewritten members' files, removed at the end
    ~kvp_identity();
};

// A member as kvpack pack reads it: the identity step may point it at a rewritten copy.
struct kvp_identity_member {
    const std::string *name;     // as stored
    std::filesystem::path *path; // the file packed
    uint64_t *size;              // its size, in step with path
};

// The images of the .ico file of size bytes at data. 1 with images set; 0 when it is no icon
// file or a count, offset or size points past its end (why set).
int kvp_icon_read(const unsigned char *data, size_t size, std::vector<kvp_icon_image> *images,
                  std::string *why);

// The identity the script of size bytes at text gives (warnings on stderr for values cut to
// fit and for a publisher or version without a product name), and the uninstaller's words: its
// language line and text_un_ lines, each value quoted again. 1 when read, 0 when the script is
// too large to be read (lint reports it).
int kvp_identity_from_script(const char *text, size_t size, kvp_identity *identity);

// Gives the program image the identity: a version resource naming the product (when the
// identity has one) with file description "<product> <role>" and original_filename, and the
// program icon (group 107) replaced by the identity's icon (when it has one), and, when texts
// is given and not empty, resource IDR_UNINSTALL_TEXTS (RT_RCDATA) holding it in place of any
// there. The image's InternalName stays. 1 when rewritten (or nothing to do); 0 when the image
// cannot be rewritten (why set: no PE, signed, resources not last, damaged resources).
int kvp_identity_apply(std::vector<unsigned char> *image, const kvp_identity &identity,
                       const char *role, const std::string &original_filename,
                       const std::string *texts, std::string *why);

// 1 when image is our uninstaller: a PE whose version resource's InternalName or
// OriginalFilename is kvuninst.exe (any case); else 0.
int kvp_identity_is_uninstaller(const unsigned char *image, size_t size);

// kvpack pack, before anything is written: reads the identity (setup.txt among members, the
// icon file when icon is given) and rewrites each member that is our uninstaller into a copy
// beside output (a signed one, or one that cannot be rewritten, is packed as it is, with a
// warning). 0 on success; 1 after printing why not.
int kvp_identity_members(const std::filesystem::path *icon,
                         const std::vector<kvp_identity_member> &members,
                         const std::filesystem::path &output, kvp_identity *identity);

// kvpack pack, on the loaded stub before its marker is patched: the identity with role
// "Setup" and output's file name. 0 on success or with no identity to give; 1 after printing
// why the stub cannot take it.
int kvp_identity_stub(const kvp_identity &identity, const std::filesystem::path &output,
                      const std::filesystem::path &stub_path, std::vector<unsigned char> *stub);

// kvpack verify --against, for a member whose source is our uninstaller: decodes it and
// accepts it when it equals the source outside what the identity rewrites (the resource
// section and the header fields that follow its size). 1 when accepted; -1 when it differs
// or cannot be decoded (reported); 0 when the source is not our uninstaller.
int kvp_identity_verify_member(kvp_archive *archive, const kvp_record &record,
                               const std::filesystem::path &source, kvp_progress *progress);
