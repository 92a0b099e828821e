// kvpack verify: walks every record, decodes every member, and optionally compares each one
// with the file it was packed from.
#include "kvpack.h"
#include "kvpack_archive.h"
#include "kvpack_identity.h"
#include "kvpack_os.h"
#include "kvpack_signature.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char usage[] =
    "usage: kvpack verify FILE [--against DIR] [--ca-file FILE] [--quiet]\n"
    "\n"
    "Checks FILE (an installer, .pck file or bare archive): every record's magic, name and\n"
    "lengths against the file's size, and decodes every member, checking that its packed data\n"
    "ends where the record says. With --against DIR each decoded member is compared byte for\n"
    "byte with DIR's file of the same name (backslashes as folders); the uninstaller\n"
    "kvuninst.exe may differ in what kvpack pack writes into it (the product's name and\n"
    "icon in its resources) and nowhere else.\n"
    "\n"
    "A signed installer's signature is verified: the signature itself, and that what it signs\n"
    "is the file as it is; the signer is printed. With --ca-file FILE (PEM certificates) the\n"
    "signer must chain to one of them; without it the signer is not checked against any trust\n"
    "store. An installer whose records are in a .pck carries the .pck's SHA-256, which must\n"
    "match: through it the signature covers the archive.\n"
    "\n"
    "Exits 1 on any damage, on a member name the installer refuses (one that would leave the\n"
    "destination, names a device or one of its logs, or names the same file as an earlier\n"
    "member), on a broken, forged or untrusted signature, and on a .pck that differs from its\n"
    "digest.\n";

// Compares decoded portions with the source file as they arrive.
struct compare_sink {
    FILE *source;
    uint64_t offset;    // bytes compared so far
    int64_t first_diff; // -1 while equal
    std::vector<unsigned char> expected;
};

int compare_portion(void *context, const unsigned char *data, size_t size) {
    compare_sink *c = static_cast<compare_sink *>(context);
    if (c->first_diff < 0) {
        c->expected.resize(size);
        const size_t got = fread(c->expected.data(), 1, size, c->source);
        for (size_t i = 0; i < size; i++)
            if (i >= got || c->expected[i] != data[i]) {
                c->first_diff = (int64_t)(c->offset + i);
                break;
            }
    }
    c->offset += size;
    return 1;
}

int discard_portion(void *, const unsigned char *, size_t) {
    return 1;
}

// Decodes one member; returns 1 when it is sound (and equal to its source, if given).
int verify_member(kvp_archive *archive, const kvp_record &r, const fs::path *against,
                  kvp_progress *progress) {
    const char *name = r.name.c_str();
    int64_t gap = 0;
    progress->label = r.name;
    if (!against) {
        if (!kvp_archive_decode(archive, &r, discard_portion, nullptr, progress, &gap))
            return !kvp_fail("%s: cannot be decoded", name);
    } else {
        fs::path relative;
        std::string why;
        if (!kvp_member_path(r.name, &relative, &why))
            return !kvp_fail("%s: name %s", name, why.c_str());
        const fs::path source_path = *against / relative;
        // Our uninstaller is packed with the product's name and icon in its resources.
        if (const int own = kvp_identity_verify_member(archive, r, source_path, progress))
            return own > 0;
        std::error_code ec;
        const uintmax_t size = fs::file_size(source_path, ec);
        if (ec)
            return !kvp_fail("%s: no source file %s", name, kvp_path_display(source_path).c_str());
        if (size != r.header.unpacked_size)
            return !kvp_fail("%s: %u bytes, source has %llu", name, r.header.unpacked_size,
                             (unsigned long long)size);
        compare_sink sink = {kvp_open(source_path, "rb"), 0, -1, {}};
        if (!sink.source) return !kvp_fail("%s: source cannot be opened", name);
        const int ok = kvp_archive_decode(archive, &r, compare_portion, &sink, progress, &gap);
        fclose(sink.source);
        if (!ok) return !kvp_fail("%s: cannot be decoded", name);
        if (sink.first_diff >= 0)
            return !kvp_fail("%s: differs from its source from byte %lld on", name,
                             (long long)sink.first_diff);
    }
    if (gap != 0)
        return !kvp_fail("%s: packed data ends %lld bytes %s the record says", name,
                         (long long)(gap < 0 ? -gap : gap), gap < 0 ? "before" : "after");
    return 1;
}

} // namespace

int cmd_verify(int argc, char **argv) {
    const char *file = nullptr;
    fs::path against, ca_file;
    int has_against = 0, has_ca_file = 0, quiet = 0;
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        if (kvp_is_help(a)) return fputs(usage, stdout), 0;
        if (!strcmp(a, "--against")) {
            if (++i >= argc) return kvp_fail("verify: --against needs a folder");
            against = kvp_text_path(argv[i]);
            has_against = 1;
        } else if (!strcmp(a, "--ca-file")) {
            if (++i >= argc) return kvp_fail("verify: --ca-file needs a file");
            ca_file = kvp_text_path(argv[i]);
            has_ca_file = 1;
        } else if (!strcmp(a, "--quiet") || !strcmp(a, "-q")) {
            quiet = 1;
        } else if (a[0] == '-' || file) {
            return kvp_fail("verify: unexpected argument '%s'", a);
        } else {
            file = a;
        }
    }
    if (!file) return kvp_fail("verify: no FILE given");
    kvp_archive archive;
    if (!kvp_archive_open(kvp_text_path(file), &archive)) return 1;
    // The chain of records first (headers only), so that progress knows the total.
    std::vector<kvp_record> records;
    int refused = 0, damaged = 0;
    const int result = kvp_archive_records(&archive, &records, &refused);
    uint64_t total = 0;
    for (const kvp_record &member : records) total += member.header.unpacked_size;
    const int count = (int)records.size();
    kvp_progress progress;
    kvp_progress_start(&progress, total, quiet);
    for (const kvp_record &member : records)
        if (!verify_member(&archive, member, has_against ? &against : nullptr, &progress))
            damaged++;
    kvp_progress_end(&progress);
    kvp_archive_close(&archive);
    if (result < 0) {
        kvp_fail("%s: %s", archive.path.c_str(), archive.error.c_str());
        damaged++;
    }
    int failed = 0;
    if (damaged)
        failed = kvp_fail("%s: %d of %d members damaged%s", file, damaged, count,
                          result < 0 ? ", and the chain of records is broken" : "");
    if (refused)
        failed = kvp_fail("%s: %d member name%s the installer refuses", file, refused,
                          refused == 1 ? "" : "s");
    if (!failed && !quiet) printf("%s: %d members OK\n", file, count);
    // The signature too, whatever the records: a forged file is reported as forged.
    const int signature_failed =
        kvp_verify_signature(kvp_text_path(file), has_ca_file ? &ca_file : nullptr, quiet);
    return failed || signature_failed ? 1 : 0;
}
