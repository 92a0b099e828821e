// SHA-256 (FIPS 180-4) for the packer: checking an installer's Authenticode digest, and the
// tests' golden files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct kvp_sha256 {
    uint32_t h[8];
    unsigned char block[64];
    size_t used;    // bytes waiting in block
    uint64_t total; // bytes hashed so far
};

void kvp_sha256_start(kvp_sha256 *s);
void kvp_sha256_add(kvp_sha256 *s, const void *data, size_t size);
// The 32-byte digest of everything added.
void kvp_sha256_finish(kvp_sha256 *s, unsigned char digest[32]);
// The digest of size bytes at data, as 64 lower-case hex digits.
std::string kvp_sha256_hex(const void *data, size_t size);
