// SHA-256 as hex text, for the packer's messages and the tests' golden files (the digest
// itself is the archive module's).
#pragma once

#include "archive/lza_sha256.h"

#include <cstddef>
#include <string>

// The digest of size bytes at data.
void kvp_sha256(const void *data, size_t size, unsigned char digest[32]);
// The digest of size bytes at data, as 64 lower-case hex digits.
std::string kvp_sha256_hex(const void *data, size_t size);
