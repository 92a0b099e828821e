// Binary-tree match finder. Each tree is a treap keyed by string order and heaped by recency:
// the new position becomes the root and the walk splits the old tree into its two subtrees.
// Walking from the root therefore meets positions from the newest to the oldest, and the
// newest position sharing k bytes with the new string always lies on the path, which is why
// the listed distance of each length is the nearest one.
#include "archive/lza_match.h"

#include <cstring>

namespace {

inline uint32_t hash3(const unsigned char *p) {
    const uint32_t v = (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16;
    return (v * 2654435761u) >> (32 - LZA_MATCH_HASH_BITS);
}

} // namespace

void lza_match_reset(lza_match_finder *f, const unsigned char *buffer, int32_t depth_limit) {
    f->buffer = buffer;
    f->depth_limit = depth_limit;
    for (int32_t &h : f->head) h = LZA_MATCH_NONE;
    for (int32_t &l : f->links) l = LZA_MATCH_NONE;
}

int32_t lza_match_insert(lza_match_finder *f, int32_t pos, int32_t limit, lza_match *out) {
    const unsigned char *const cur = f->buffer + pos;
    const uint32_t h = hash3(cur);
    int32_t candidate = f->head[h];
    f->head[h] = pos;

    // A node's links are [0] the subtree of smaller strings and [1] that of larger ones.
    // ptr_less is where the next node found below the new string goes, ptr_more the same
    // above it; len_less and len_more are how many leading bytes the new string shares with
    // every node still to be placed on either side, so comparisons can start there.
    int32_t *ptr_less = &f->links[2 * (pos & (LZA_MATCH_CYCLE - 1))];
    int32_t *ptr_more = ptr_less + 1;
    int32_t len_less = 0, len_more = 0, best = LZA_THRESHOLD, count = 0;
    for (int32_t depth = f->depth_limit;; depth--) {
        const int32_t distance = pos - candidate;
        if (depth == 0 || distance > (int32_t)LZA_N) {
            *ptr_less = *ptr_more = LZA_MATCH_NONE;
            return count;
        }
        int32_t *pair = &f->links[2 * (candidate & (LZA_MATCH_CYCLE - 1))];
        const unsigned char *const old = f->buffer + candidate;
        int32_t len = len_less < len_more ? len_less : len_more;
        if (old[len] == cur[len]) {
            while (++len < limit && old[len] == cur[len]) {
            }
            if (len > best) {
                best = len;
                out[count].length = (uint16_t)len;
                out[count].distance = (uint16_t)distance;
                count++;
            }
            if (len >= limit) { // equal as far as we look: the new node takes its place
                *ptr_less = pair[0];
                *ptr_more = pair[1];
                return count;
            }
        }
        if (old[len] < cur[len]) {
            *ptr_less = candidate;
            ptr_less = pair + 1;
            candidate = pair[1];
            len_less = len;
        } else {
            *ptr_more = candidate;
            ptr_more = pair + 0;
            candidate = pair[0];
            len_more = len;
        }
    }
}

void lza_match_slide(lza_match_finder *f, int32_t by) {
    for (int32_t &h : f->head) h = h >= by ? h - by : LZA_MATCH_NONE;
    for (int32_t &l : f->links) l = l >= by ? l - by : LZA_MATCH_NONE;
}
