// SHA-256 as hex text.
#include "kvpack_sha256.h"

#include <cstdio>

std::string kvp_sha256_hex(const void *data, size_t size) {
    lza_sha256 s;
    lza_sha256_start(&s);
    lza_sha256_add(&s, data, size);
    unsigned char digest[32];
    lza_sha256_finish(&s, digest);
    char out[65];
    for (int i = 0; i < 32; i++) snprintf(out + 2 * i, 3, "%02x", digest[i]);
    return out;
}
