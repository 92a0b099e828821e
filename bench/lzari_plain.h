// A straightforward LZARI decoder and greedy encoder written line by line from the algorithm's
// description: the baselines the production coder is measured against, and oracles for tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Decodes size bytes from packed (packed_len bytes; bits past the end read as 1) into out.
void lzari_plain_decode(const unsigned char *packed, size_t packed_len, unsigned char *out,
                        uint32_t size);

// Appends the packed form of size bytes at in to out: the classic greedy encoder, each step
// the longest match the window's search tree offers (the nearest among equals), else a literal.
void lzari_plain_encode(const unsigned char *in, size_t size, std::vector<unsigned char> *out);
