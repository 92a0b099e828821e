// The PE headers as far as the certificate table, and the Authenticode digest: the file hashed
// from its start to the certificate table, leaving out the CheckSum field and the security
// directory entry (the parts signing changes).
#include "kvpack_signature.h"

#include "kvpack_os.h"
#include "kvpack_sha256.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

enum : int64_t {
    DOS_PE_OFFSET = 0x3c,       // e_lfanew
    OPTIONAL_HEADER_AT = 24,    // from the PE signature
    CHECKSUM_AT = 64,           // from the optional header
    PE32_DIRECTORIES_AT = 96,   // data directories from the optional header, PE32
    PE32P_DIRECTORIES_AT = 112, // and PE32+
    SECURITY_DIRECTORY = 4,     // index of the certificate table's entry
    MAX_CERTIFICATE_TABLE = 64 << 20,
};

uint32_t get32(const unsigned char *p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

// size bytes at offset of f into out; 1 when all came.
int read_at(FILE *f, int64_t offset, unsigned char *out, size_t size) {
    return kvp_seek(f, offset) && fread(out, 1, size, f) == size;
}

// Hashes bytes [from, to) of f into s; 1 when all were read.
int hash_range(FILE *f, int64_t from, int64_t to, lza_sha256 *s) {
    if (!kvp_seek(f, from)) return 0;
    std::vector<unsigned char> portion(1 << 16);
    while (from < to) {
        size_t want = (size_t)(to - from < (int64_t)portion.size() ? to - from : portion.size());
        if (fread(portion.data(), 1, want, f) != want) return 0;
        lza_sha256_add(s, portion.data(), want);
        from += (int64_t)want;
    }
    return 1;
}

int64_t size_of(FILE *f) {
    if (fseek(f, 0, SEEK_END) != 0) return -1;
    return kvp_tell(f);
}

} // namespace

int kvp_find_signature(const std::filesystem::path &file, kvp_signature *sig) {
    FILE *f = kvp_open(file, "rb");
    if (!f) return -1;
    int result = 0;
    unsigned char b[8];
    const int64_t size = size_of(f);
    if (size > 0 && read_at(f, 0, b, 2) && b[0] == 'M' && b[1] == 'Z' &&
        read_at(f, DOS_PE_OFFSET, b, 4)) {
        const int64_t pe = get32(b);
        unsigned char magic[2];
        if (read_at(f, pe, b, 4) && !memcmp(b, "PE\0\0", 4) &&
            read_at(f, pe + OPTIONAL_HEADER_AT, magic, 2)) {
            const int64_t optional = pe + OPTIONAL_HEADER_AT;
            const int plus = magic[0] == 0x0b && magic[1] == 0x02;
            const int64_t directory = optional +
                                      (plus ? PE32P_DIRECTORIES_AT : PE32_DIRECTORIES_AT) +
                                      8 * SECURITY_DIRECTORY;
            if (read_at(f, directory, b, 8)) {
                sig->table_offset = get32(b);
                sig->table_size = get32(b + 4);
                sig->checksum_offset = optional + CHECKSUM_AT;
                sig->directory_offset = directory;
                result = sig->table_offset > directory && sig->table_size > 8 &&
                         sig->table_offset < size;
            }
        }
    }
    fclose(f);
    return result;
}

int kvp_signature_covers(const std::filesystem::path &file, const kvp_signature &sig,
                         std::string *why) {
    FILE *f = kvp_open(file, "rb");
    if (!f) return *why = "cannot be read", -1;
    const int64_t size = size_of(f);
    const int64_t table_end = sig.table_offset + sig.table_size;
    if (table_end != size || sig.table_size > MAX_CERTIFICATE_TABLE) {
        fclose(f);
        *why = table_end < size ? std::to_string(size - table_end) +
                                      " bytes follow the signature: the file was changed after "
                                      "signing"
                                : "the signature's table does not fit the file";
        return 0;
    }
    lza_sha256 s;
    lza_sha256_start(&s);
    std::vector<unsigned char> table((size_t)sig.table_size);
    int read = hash_range(f, 0, sig.checksum_offset, &s) &&
               hash_range(f, sig.checksum_offset + 4, sig.directory_offset, &s) &&
               hash_range(f, sig.directory_offset + 8, sig.table_offset, &s) &&
               read_at(f, sig.table_offset, table.data(), table.size());
    fclose(f);
    if (!read) return *why = "cannot be read", -1;
    unsigned char digest[32];
    lza_sha256_finish(&s, digest);

    // The signed digest stands in the blob as an OCTET STRING of 32 bytes; looking for it avoids
    // parsing the whole PKCS#7 structure.
    static const unsigned char sha256_oid[] = {0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                                               0x65, 0x03, 0x04, 0x02, 0x01};
    auto contains = [&](const unsigned char *needle, size_t n) {
        for (size_t i = 0; i + n <= table.size(); i++)
            if (!memcmp(table.data() + i, needle, n)) return 1;
        return 0;
    };
    unsigned char expected[34] = {0x04, 0x20};
    memcpy(expected + 2, digest, 32);
    if (contains(expected, sizeof expected)) return 1;
    if (!contains(sha256_oid, sizeof sha256_oid))
        return *why = "signed with a digest other than SHA-256, which kvpack cannot check", -1;
    *why = "the signed digest differs from the file's: the file was changed after signing";
    return 0;
}

int kvp_file_sha256(const std::filesystem::path &file, unsigned char digest[32]) {
    FILE *f = kvp_open(file, "rb");
    if (!f) return 0;
    const int64_t size = size_of(f);
    lza_sha256 s;
    lza_sha256_start(&s);
    const int read = size >= 0 && hash_range(f, 0, size, &s);
    fclose(f);
    lza_sha256_finish(&s, digest);
    return read;
}
