// SHA-256 as hex text.
#include "kvpack_sha256.h"

#include <cstdio>

void kvp_sha256(const void *data, size_t size, unsigned char digest[32]) {
    lza_sha256 s;
    lza_sha256_start(&s);
    lza_sha256_add(&s, data, size);
    lza_sha256_finish(&s, digest);
}

std::string kvp_sha256_hex(const void *data, size_t size) {
    unsigned char digest[32];
    kvp_sha256(data, size, digest);
    char out[65];
    for (int i = 0; i < 32; i++) snprintf(out + 2 * i, 3, "%02x", digest[i]);
    return out;
}
