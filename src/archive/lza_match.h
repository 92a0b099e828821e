// Match finding for the LZARI encoder: a binary tree of the strings that start in the last
// 4096 bytes, ordered by their first 60 bytes and re-rooted at every insertion, so that one
// walk both inserts a position and lists its matches, each length at its nearest distance.
#pragma once

#include "archive/lza_format.h"

#include <cstdint>

enum : int32_t {
    LZA_MATCH_CYCLE = 2 * LZA_N, // tree slots; buffer slides keep positions modulo this
    LZA_MATCH_HASH_BITS = 16,    // roots: one tree per hash of the first 3 bytes
    LZA_MATCH_MAX_LIST = LZA_F - LZA_THRESHOLD, // lengths 3..60: at most 58 listed matches
    LZA_MATCH_NONE = INT32_MIN / 2,             // empty tree link: always farther than the window
};

// One listed match: length 3..60 and distance 1..4096 (the position code is distance - 1).
struct lza_match {
    uint16_t length;
    uint16_t distance;
};

// The trees over a caller-owned buffer. Positions are buffer indices; when the caller slides
// its buffer it must move by a multiple of LZA_MATCH_CYCLE and call lza_match_slide.
struct lza_match_finder {
    const unsigned char *buffer;            // the caller's bytes; position p is buffer[p]
    int32_t depth_limit;                    // tree nodes visited per insertion at most
    int32_t head[1 << LZA_MATCH_HASH_BITS]; // newest position per hash: the roots
    int32_t links[2 * LZA_MATCH_CYCLE];     // per position slot: smaller and larger subtree
};

// Empties the trees and points them at buffer.
void lza_match_reset(lza_match_finder *finder, const unsigned char *buffer, int32_t depth_limit);

// Inserts position pos (buffer[pos .. pos + limit - 1] readable, limit 3..60) and writes to
// out its matches against earlier positions no more than 4096 back: lengths rising, each the
// nearest position matching at least that long. Returns the count (0..58). Positions must be
// inserted in increasing order, every one of them, each with a limit no larger than the last
// unless it is 60.
int32_t lza_match_insert(lza_match_finder *finder, int32_t pos, int32_t limit, lza_match *out);

// Forgets by positions (a multiple of LZA_MATCH_CYCLE) after the caller moved its buffer's
// bytes down by that much; links to positions now below 0 become empty.
void lza_match_slide(lza_match_finder *finder, int32_t by);
