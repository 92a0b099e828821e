// Authenticode signatures of installers. A vendor signs the installer after packing; the
// signature (a PKCS#7 SignedData in the PE's certificate table) is appended behind the records.
// The packer stops its record walk where that table begins and refuses to pack onto a signed
// stub; verify checks a signature for real: the PKCS#7 signature by the platform's own
// cryptography (kvpack_signature_openssl.cpp, kvpack_signature_windows.cpp), that what it
// signs is the file's Authenticode digest, and for a stub with a separate .pck, the digest of
// the .pck the stub carries (here, shared by both).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct kvp_signature {
    int is_pe;                // 1 when the file is a PE image (signed or not)
    int64_t table_offset;     // file offset of the certificate table
    int64_t table_size;       // its size in bytes, as the security directory gives it
    int64_t checksum_offset;  // the optional header's CheckSum field
    int64_t directory_offset; // the security directory entry
};

// 1 when file is a PE whose security directory names a certificate table (signature set),
// 0 when it is no PE or unsigned (is_pe tells which), -1 when it cannot be read.
int kvp_find_signature(const std::filesystem::path &file, kvp_signature *signature);

// kvpack verify's report on file's signature and, when file is a stub whose records are in a
// .pck, on the digest of the .pck it carries: printed on stdout (nothing when quiet), failures
// as one kvpack: line each. ca_file (null: none) is the trust store the signer must chain to.
// 0 when the signature verifies or the file is unsigned, 1 when it is broken, forged,
// untrusted, cannot be checked, or the .pck differs from its digest.
int kvp_verify_signature(const std::filesystem::path &file, const std::filesystem::path *ca_file,
                         int quiet);

// What installer file says of its .pck: 1 when its records are in the .pck, with the digest
// marker's hex digits in digits ("" without a marker: a stub from before archive digests) and
// the number of digest markers in *count; 0 when file is no installer or keeps its records
// behind itself; -1 when it cannot be read.
int kvp_pck_digest_marker(const std::filesystem::path &file, std::string *digits, int *count);

// The SHA-256 of the whole file: the digest a stub carries of its .pck. 1 when read.
int kvp_file_sha256(const std::filesystem::path &file, unsigned char digest[32]);

// ---- Platform part: one implementation per platform, chosen by the build ----

// What the platform's PKCS#7 check found.
struct kvp_signed_data {
    std::vector<unsigned char> content; // the signed SpcIndirectDataContent, its whole DER
    std::string subject, issuer;        // the signer's certificate, "C=.., O=.., CN=.." order
    std::string serial;                 // its serial number, upper-case hex
    int chain_checked = 0;              // 1: the signer chains to a certificate of ca_file
    int untrusted = 0;                  // 1: the signature holds, the chain to ca_file does not
    int more_signatures = 0;            // further signers and nested signatures, not verified
    std::string why;                    // why it does not verify
};

// Verifies the PKCS#7 SignedData in blob: its content must be Authenticode's
// SpcIndirectDataContent; the first signer's signed attributes must carry the message digest
// of that content (its DER without the outer tag and length, as Authenticode defines it) and
// the signer's signature over them must hold; with ca_file, the signer's certificate must
// chain to a certificate in that file. 1 when all hold; 0 (why set) when the signature is
// broken or forged or the chain fails; -1 (why set) when this platform cannot check it.
int kvp_pkcs7_verify(const unsigned char *blob, size_t size, const std::filesystem::path *ca_file,
                     kvp_signed_data *out);

// ---- DER reading shared by both platforms ----

struct kvp_der {
    unsigned tag;               // the identifier octet (low tag numbers only)
    const unsigned char *value; // the contents octets
    size_t value_size;
    size_t size; // identifier, length and contents
};

// The DER item at the start of data (size bytes): definite lengths only, every length checked
// against size. 1 with item filled, 0 when data holds no whole item.
int kvp_der_read(const unsigned char *data, size_t size, kvp_der *item);
