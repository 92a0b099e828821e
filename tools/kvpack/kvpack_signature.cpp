// The platform-independent half of signature checking: the PE headers as far as the
// certificate table, the table's entries, the Authenticode digest (the file hashed from its
// start to the certificate table, leaving out the CheckSum field and the security directory
// entry, the parts signing changes), the digest the signature names, and the .pck digest a
// stub carries. The PKCS#7 signature itself is the platform part's (kvp_pkcs7_verify).
//
// The digest is the file hashed in order. For an image whose sections lie in file order
// behind its headers, as every linker writes them, that equals hashing the headers, then the
// sections sorted by file offset, then the data behind them, which is how Authenticode
// describes it.
#include "kvpack_signature.h"

#include "archive/lza_format.h"
#include "archive/lza_locate.h"
#include "archive/lza_sha256.h"
#include "kvpack.h"
#include "kvpack_archive.h"
#include "kvpack_os.h"

#include <cstdio>
#include <cstring>

namespace fs = std::filesystem;

namespace {

enum : int64_t {
    DOS_PE_OFFSET = 0x3c,       // e_lfanew
    OPTIONAL_HEADER_AT = 24,    // from the PE signature
    CHECKSUM_AT = 64,           // from the optional header
    PE32_RVA_COUNT_AT = 92,     // NumberOfRvaAndSizes from the optional header, PE32
    PE32P_RVA_COUNT_AT = 108,   // and PE32+
    PE32_DIRECTORIES_AT = 96,   // data directories from the optional header, PE32
    PE32P_DIRECTORIES_AT = 112, // and PE32+
    SECURITY_DIRECTORY = 4,     // index of the certificate table's entry
    MAX_CERTIFICATE_TABLE = 64 << 20,
    MAX_STUB_SCAN = 16 << 20, // bytes of an installer searched for its markers
};
enum : uint32_t {
    WIN_CERTIFICATE_HEADER = 8, // dwLength, wRevision, wCertificateType
    WIN_CERTIFICATE_ALIGN = 8,
    WIN_CERT_REVISION_2 = 0x0200,
    WIN_CERT_TYPE_PKCS_SIGNED_DATA = 0x0002,
};
enum : unsigned { DER_SEQUENCE = 0x30, DER_OID = 0x06, DER_OCTET_STRING = 0x04 };
enum : size_t { SHA256_SIZE = 32 };

// Object identifiers as their DER contents.
const unsigned char oid_sha256[] = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01};
const unsigned char oid_sha1[] = {0x2b, 0x0e, 0x03, 0x02, 0x1a};
const unsigned char oid_pe_image_data[] = {0x2b, 0x06, 0x01, 0x04, 0x01,
                                           0x82, 0x37, 0x02, 0x01, 0x0f};

uint32_t get32(const unsigned char *p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
uint16_t get16(const unsigned char *p) {
    return (uint16_t)(p[0] | p[1] << 8);
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

int same_oid(const kvp_der &oid, const unsigned char *expected, size_t size) {
    return oid.tag == DER_OID && oid.value_size == size && !memcmp(oid.value, expected, size);
}

const char *digest_name(const kvp_der &oid) {
    if (same_oid(oid, oid_sha256, sizeof oid_sha256)) return "SHA-256";
    if (same_oid(oid, oid_sha1, sizeof oid_sha1)) return "SHA-1";
    return "an unknown digest";
}

// The digest an Authenticode SpcIndirectDataContent signs: its data must name a PE image,
// then DigestInfo { AlgorithmIdentifier { OID, ... }, OCTET STRING }. 1 with algorithm (the
// OID) and digest set, 0 when content is no such structure.
int spc_digest(const std::vector<unsigned char> &content, kvp_der *algorithm, kvp_der *digest) {
    kvp_der outer, data, type, info, identifier;
    if (!kvp_der_read(content.data(), content.size(), &outer) || outer.tag != DER_SEQUENCE ||
        outer.size != content.size())
        return 0;
    const unsigned char *p = outer.value, *end = outer.value + outer.value_size;
    if (!kvp_der_read(p, (size_t)(end - p), &data) || data.tag != DER_SEQUENCE ||
        !kvp_der_read(data.value, data.value_size, &type) ||
        !same_oid(type, oid_pe_image_data, sizeof oid_pe_image_data))
        return 0;
    p += data.size;
    if (!kvp_der_read(p, (size_t)(end - p), &info) || info.tag != DER_SEQUENCE ||
        !kvp_der_read(info.value, info.value_size, &identifier) || identifier.tag != DER_SEQUENCE ||
        !kvp_der_read(identifier.value, identifier.value_size, algorithm) ||
        !kvp_der_read(info.value + identifier.size, info.value_size - identifier.size, digest))
        return 0;
    return digest->tag == DER_OCTET_STRING;
}

// The entries of a certificate table: the first, which verify checks, and what follows it.
struct certificate_entries {
    const unsigned char *blob; // the first entry's PKCS#7 SignedData
    size_t blob_size;
    int further;     // well-formed entries after the first
    size_t stray;    // bytes in no entry (or behind the first entry's DER) that are not zero
    std::string why; // what is wrong with the first entry
};

int nonzero_bytes(const unsigned char *p, size_t size) {
    for (size_t i = 0; i < size; i++)
        if (p[i]) return 1;
    return 0;
}

size_t aligned(size_t size) {
    return (size + WIN_CERTIFICATE_ALIGN - 1) / WIN_CERTIFICATE_ALIGN * WIN_CERTIFICATE_ALIGN;
}

// Reads the entries of table. 1 when its first entry is a PKCS#7 signature; 0 (why set).
int read_entries(const std::vector<unsigned char> &table, certificate_entries *e) {
    const unsigned char *t = table.data();
    const size_t size = table.size();
    e->further = 0;
    e->stray = 0;
    const uint32_t first = size >= WIN_CERTIFICATE_HEADER ? get32(t) : 0;
    if (first < WIN_CERTIFICATE_HEADER || first > size)
        return e->why = "its first entry does not fit the certificate table", 0;
    if (get16(t + 4) != WIN_CERT_REVISION_2 || get16(t + 6) != WIN_CERT_TYPE_PKCS_SIGNED_DATA) {
        char text[96];
        snprintf(text, sizeof text,
                 "its first entry is no PKCS#7 signature (revision 0x%04X, "
                 "type 0x%04X)",
                 get16(t + 4), get16(t + 6));
        return e->why = text, 0;
    }
    e->blob = t + WIN_CERTIFICATE_HEADER;
    e->blob_size = first - WIN_CERTIFICATE_HEADER;
    kvp_der whole;
    if (!kvp_der_read(e->blob, e->blob_size, &whole))
        return e->why = "its PKCS#7 signature is cut short or no DER structure", 0;
    // Signing pads the entry with zeros; anything else behind the signature is unsigned data.
    if (nonzero_bytes(e->blob + whole.size, e->blob_size - whole.size))
        e->stray += e->blob_size - whole.size;
    e->blob_size = whole.size;
    size_t at = aligned(first) < size ? aligned(first) : size;
    while (size - at >= WIN_CERTIFICATE_HEADER) {
        const uint32_t length = get32(t + at);
        if (length < WIN_CERTIFICATE_HEADER || length > size - at) break;
        e->further++;
        at = aligned(at + length) < size ? aligned(at + length) : size;
    }
    if (nonzero_bytes(t + at, size - at)) e->stray += size - at;
    return 1;
}

// The file's certificate table, checked to be where the directory says and the file's last
// part. 1 when read; 0 with why set ("the signature no longer covers the file" when bytes
// were appended after signing); -1 when the file cannot be read.
int read_table(FILE *f, const kvp_signature &sig, std::vector<unsigned char> *table,
               std::string *why) {
    const int64_t size = size_of(f);
    if (size < 0) return -1;
    const int64_t end = sig.table_offset + sig.table_size;
    if (sig.table_offset <= sig.directory_offset + 8 || sig.table_size < WIN_CERTIFICATE_HEADER ||
        sig.table_size > MAX_CERTIFICATE_TABLE)
        return *why = "the security directory names no usable certificate table", 0;
    if (end > size)
        return *why = "the certificate table runs " + std::to_string(end - size) +
                      " bytes past the end of the file (truncated)",
               0;
    if (end < size)
        return *why = "the signature no longer covers the file: " + std::to_string(size - end) +
                      " bytes follow the certificate table",
               0;
    table->resize((size_t)sig.table_size);
    return read_at(f, sig.table_offset, table->data(), table->size()) ? 1 : -1;
}

// The Authenticode digest of f, signed as sig describes. 1 when read.
int authenticode_digest(FILE *f, const kvp_signature &sig, unsigned char digest[SHA256_SIZE]) {
    lza_sha256 s;
    lza_sha256_start(&s);
    if (!hash_range(f, 0, sig.checksum_offset, &s) ||
        !hash_range(f, sig.checksum_offset + 4, sig.directory_offset, &s) ||
        !hash_range(f, sig.directory_offset + 8, sig.table_offset, &s))
        return 0;
    lza_sha256_finish(&s, digest);
    return 1;
}

// Checks the signature of f, found in sig, in order: the table where the directory says and
// its first entry, the PKCS#7 signature (the platform's part), that what it signs is a PE
// image's SHA-256 digest, and that this is f's. 1 when all hold (data and further filled);
// 0 with why set; -1 when f cannot be read.
int judge_signature(FILE *f, const kvp_signature &sig, const fs::path *ca_file,
                    kvp_signed_data *data, int *further, std::string *why) {
    std::vector<unsigned char> table;
    const int read = read_table(f, sig, &table, why);
    if (read != 1) return read;
    certificate_entries entries;
    if (!read_entries(table, &entries)) return *why = entries.why, 0;
    *further = entries.further;
    const int verified = kvp_pkcs7_verify(entries.blob, entries.blob_size, ca_file, data);
    if (verified < 0) return *why = "the signature cannot be verified here: " + data->why, 0;
    if (verified == 0)
        return *why =
                   (data->untrusted ? "the signer is not trusted: " : "the signature is broken: ") +
                   data->why,
               0;
    kvp_der algorithm, digest;
    if (!spc_digest(data->content, &algorithm, &digest))
        return *why = "the signed content is no Authenticode digest of a PE image", 0;
    if (!same_oid(algorithm, oid_sha256, sizeof oid_sha256))
        return *why = std::string("signed with ") + digest_name(algorithm) +
                      ", which kvpack cannot check (SHA-256 only)",
               0;
    unsigned char actual[SHA256_SIZE];
    if (!authenticode_digest(f, sig, actual)) return -1;
    if (digest.value_size != SHA256_SIZE || memcmp(digest.value, actual, SHA256_SIZE))
        return *why = "the signature no longer covers the file: the signed digest differs from "
                      "the file's (changed after signing)",
               0;
    // Unsigned bytes hidden in the table would travel with a file that verifies.
    if (entries.stray)
        return *why = "the signature no longer covers the file: the certificate table holds " +
                      std::to_string(entries.stray) + " bytes outside any signature",
               0;
    return 1;
}

// The signature of file, found in sig: checked, and reported unless quiet. 1 when verified,
// 0 after a kvpack: line saying why not.
int check_signature(const fs::path &file, const kvp_signature &sig, const fs::path *ca_file,
                    int quiet) {
    const std::string shown = kvp_path_display(file);
    FILE *f = kvp_open(file, "rb");
    if (!f) return !kvp_fail("%s: cannot be read", shown.c_str());
    kvp_signed_data signed_data;
    int further = 0;
    std::string why;
    const int result = judge_signature(f, sig, ca_file, &signed_data, &further, &why);
    fclose(f);
    if (result < 0) return !kvp_fail("%s: cannot be read", shown.c_str());
    if (result == 0) return !kvp_fail("%s: %s", shown.c_str(), why.c_str());
    if (quiet) return 1;
    printf("%s: signature verified: it covers the file (Authenticode, SHA-256)\n", shown.c_str());
    printf("  signer:  %s\n  issuer:  %s\n  serial:  %s\n", signed_data.subject.c_str(),
           signed_data.issuer.c_str(), signed_data.serial.c_str());
    if (signed_data.chain_checked)
        printf("  signer's certificate chain verified against %s\n",
               kvp_path_display(*ca_file).c_str());
    else
        printf("  signer not checked against a trust store: pass --ca-file\n");
    const int more = signed_data.more_signatures + further;
    if (more > 0)
        printf("  %d more signature%s present, not verified\n", more, more == 1 ? "" : "s");
    return 1;
}

// For a stub whose records are in a .pck: that file's SHA-256 against the digest the stub
// carries. 0 when file keeps its records elsewhere or the digest matches or is absent
// (reported unless quiet); 1 after a kvpack: line when the .pck differs or the stub's digest
// marker is damaged.
int check_pck_digest(const fs::path &file, int signature_verified, int quiet) {
    const std::string shown = kvp_path_display(file);
    std::string digits;
    int count = 0;
    const int in_pck = kvp_pck_digest_marker(file, &digits, &count);
    if (in_pck < 0) return kvp_fail("%s: cannot be read", shown.c_str());
    if (in_pck == 0) return 0; // an archive, or the records are behind the stub

    std::string text;
    kvp_path_text(file, &text);
    std::vector<char> pck(text.begin(), text.end());
    pck.resize(text.size() + 8, 0);
    lza_pck_path(pck.data(), pck.size());
    const std::string pck_shown = kvp_path_display(kvp_text_path(pck.data()));
    if (count > 1)
        return kvp_fail("%s: holds %d digest markers (%s); a stub holds one", shown.c_str(), count,
                        LZA_DIGEST_MARKER_PREFIX);
    unsigned char expected[LZA_DIGEST_SIZE];
    const int has_digest = count ? lza_parse_digest(digits.c_str(), expected) : 0;
    if (has_digest < 0) return kvp_fail("%s: its digest marker is damaged", shown.c_str());
    if (has_digest == 0) {
        if (!quiet)
            printf("%s: carries no digest of %s (packed before archive digests): %s\n",
                   shown.c_str(), pck_shown.c_str(),
                   signature_verified ? "the signature does not cover the archive"
                                      : "nothing ties the archive to the stub");
        return 0;
    }
    unsigned char actual[LZA_DIGEST_SIZE];
    if (!kvp_file_sha256(kvp_text_path(pck.data()), actual))
        return kvp_fail("%s: cannot be read", pck_shown.c_str());
    if (memcmp(actual, expected, sizeof actual))
        return kvp_fail("%s: changed after packing: its SHA-256 differs from the digest %s "
                        "carries",
                        pck_shown.c_str(), shown.c_str());
    if (!quiet)
        printf("%s: SHA-256 matches the digest %s carries%s\n", pck_shown.c_str(), shown.c_str(),
               signature_verified ? ": the signature covers the archive through it"
                                  : " (the stub is not signed)");
    return 0;
}

} // namespace

int kvp_find_signature(const fs::path &file, kvp_signature *sig) {
    *sig = kvp_signature{};
    FILE *f = kvp_open(file, "rb");
    if (!f) return -1;
    unsigned char b[8], magic[2];
    const int64_t size = size_of(f);
    if (size <= 0 || !read_at(f, 0, b, 2) || b[0] != 'M' || b[1] != 'Z' ||
        !read_at(f, DOS_PE_OFFSET, b, 4)) {
        fclose(f);
        return 0;
    }
    const int64_t pe = get32(b), optional = pe + OPTIONAL_HEADER_AT;
    int result = 0;
    if (read_at(f, pe, b, 4) && !memcmp(b, "PE\0\0", 4) && read_at(f, optional, magic, 2) &&
        (magic[1] == 0x01 || magic[1] == 0x02) && magic[0] == 0x0b) {
        const int plus = magic[1] == 0x02;
        sig->is_pe = 1;
        const int64_t directory =
            optional + (plus ? PE32P_DIRECTORIES_AT : PE32_DIRECTORIES_AT) + 8 * SECURITY_DIRECTORY;
        if (read_at(f, optional + (plus ? PE32P_RVA_COUNT_AT : PE32_RVA_COUNT_AT), b, 4) &&
            get32(b) > SECURITY_DIRECTORY && read_at(f, directory, b, 8)) {
            sig->table_offset = get32(b);
            sig->table_size = get32(b + 4);
            sig->checksum_offset = optional + CHECKSUM_AT;
            sig->directory_offset = directory;
            // A directory that names any table claims a signature, whether or not it fits.
            result = sig->table_offset != 0 || sig->table_size != 0;
        }
    }
    fclose(f);
    return result;
}

int kvp_verify_signature(const fs::path &file, const fs::path *ca_file, int quiet) {
    const std::string shown = kvp_path_display(file);
    kvp_signature sig;
    const int found = kvp_find_signature(file, &sig);
    if (found < 0) return kvp_fail("%s: cannot be read", shown.c_str());
    int verified = 0, failed = 0;
    if (found == 1) {
        verified = check_signature(file, sig, ca_file, quiet);
        failed = !verified;
    } else if (ca_file) {
        failed = kvp_fail("%s: not signed, but --ca-file asks for a trusted signer", shown.c_str());
    } else if (sig.is_pe && !quiet) {
        printf("%s: not signed\n", shown.c_str());
    }
    return check_pck_digest(file, verified, quiet) || failed;
}

int kvp_pck_digest_marker(const fs::path &file, std::string *digits, int *count) {
    digits->clear();
    *count = 0;
    FILE *f = kvp_open(file, "rb");
    if (!f) return -1;
    const int64_t size = size_of(f);
    std::vector<unsigned char> stub(
        (size_t)(size > 0 && size < MAX_STUB_SCAN ? size : (int64_t)MAX_STUB_SCAN));
    stub.resize(kvp_seek(f, 0) ? fread(stub.data(), 1, stub.size(), f) : 0);
    fclose(f);
    int markers = 0;
    const int64_t index = kvp_find_marker(stub.data(), stub.size(), &markers);
    if (index < 0) return 0; // an archive, not an installer
    char text[LZA_DIGEST_DIGITS + 1] = {0};
    memcpy(text, stub.data() + index + LZA_MARKER_PREFIX_LENGTH, LZA_MARKER_DIGITS);
    if (parse_hex_offset(text) != 0) return 0; // the records are behind the stub
    const int64_t at = kvp_find_marker_text(stub.data(), stub.size(), LZA_DIGEST_MARKER_PREFIX,
                                            LZA_DIGEST_DIGITS, count);
    if (at >= 0) {
        memcpy(text, stub.data() + at + LZA_DIGEST_MARKER_PREFIX_LENGTH, LZA_DIGEST_DIGITS);
        *digits = text;
    }
    return 1;
}

int kvp_der_read(const unsigned char *data, size_t size, kvp_der *item) {
    if (size < 2 || (data[0] & 0x1f) == 0x1f) return 0; // high tag numbers: not in these
    size_t header = 2, length = data[1];
    if (length & 0x80) {
        const size_t bytes = length & 0x7f;
        if (bytes == 0 || bytes > 4 || size < 2 + bytes) return 0; // indefinite, or too long
        length = 0;
        for (size_t i = 0; i < bytes; i++) length = length << 8 | data[2 + i];
        header += bytes;
    }
    if (length > size - header) return 0;
    item->tag = data[0];
    item->value = data + header;
    item->value_size = length;
    item->size = header + length;
    return 1;
}

int kvp_file_sha256(const fs::path &file, unsigned char digest[32]) {
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
