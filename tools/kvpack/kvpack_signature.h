// Authenticode signatures of installers. A vendor signs the installer after packing; the
// signature (a PKCS#7 blob in the PE's certificate table) is appended behind the records. The
// packer must stop its record walk where that table begins, refuse to pack onto a stub that is
// already signed (its signature could not cover what is appended), and tell whether an
// installer's signature still covers the file as it is.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

struct kvp_signature {
    int64_t table_offset;     // file offset of the certificate table
    int64_t table_size;       // its size in bytes, as the security directory gives it
    int64_t checksum_offset;  // the optional header's CheckSum field
    int64_t directory_offset; // the security directory entry
};

// 1 when file is a PE whose security directory names a certificate table (signature set),
// 0 when it is no PE or unsigned, -1 when it cannot be read.
int kvp_find_signature(const std::filesystem::path &file, kvp_signature *signature);

// Whether the signature covers file as it is now: 1 when the file's Authenticode SHA-256
// digest stands in the signature and nothing follows the table; 0 (why set) when the file was
// changed after signing; -1 (why set) when it cannot tell (another digest, unreadable file).
int kvp_signature_covers(const std::filesystem::path &file, const kvp_signature &signature,
                         std::string *why);

// The SHA-256 of the whole file: the digest a stub carries of its .pck. 1 when read.
int kvp_file_sha256(const std::filesystem::path &file, unsigned char digest[32]);
