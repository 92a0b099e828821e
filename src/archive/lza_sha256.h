// SHA-256 (FIPS 180-4), streaming: the digests that tie a signed stub to its archive and an
// uninstall entry to its finished log, and the packer's Authenticode digest.
#pragma once

#include <cstddef>
#include <cstdint>

struct lza_sha256 {
    uint32_t h[8];
    unsigned char block[64];
    size_t used;    // bytes waiting in block
    uint64_t total; // bytes hashed so far
};

void lza_sha256_start(lza_sha256 *s);
void lza_sha256_add(lza_sha256 *s, const void *data, size_t size);
// The 32-byte digest of everything added.
void lza_sha256_finish(lza_sha256 *s, unsigned char digest[32]);
