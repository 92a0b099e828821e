// A straightforward LZARI decoder written line by line from the algorithm's description:
// the baseline the production decoder is measured against, and an oracle for tests.
#pragma once

#include <cstddef>
#include <cstdint>

// Decodes size bytes from packed (packed_len bytes; bits past the end read as 1) into out.
void lzari_plain_decode(const unsigned char *packed, size_t packed_len, unsigned char *out,
                        uint32_t size);
