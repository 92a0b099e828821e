// Where a member may be unpacked: the one rule, shared by the copy step, the extract dialog and
// the packer, that turns a stored member name into a path below the chosen folder and refuses
// every name that could leave it; and the key that tells when Windows would open two member
// paths as one file.
#pragma once

#include <cstddef>
#include <cstdint>

// Room for a relative path made from a stored name (at most 255 bytes with its NUL).
enum : size_t { LZA_MEMBER_PATH_CAPACITY = 256 };

// Why a member name was refused.
enum lza_path_refusal : int {
    LZA_PATH_ACCEPTED = 0,
    LZA_PATH_EMPTY,    // no name, or only separators and "." parts
    LZA_PATH_ABSOLUTE, // a leading separator: the drive's root or a network path
    LZA_PATH_DRIVE,    // a ':' anywhere: a drive letter or an alternate data stream
    LZA_PATH_PARENT,   // a ".." part (or any part of dots and blanks that Windows reads so)
    LZA_PATH_DEVICE,   // a part that Windows opens as a device (CON, NUL, COM1, LPT1 ...)
    LZA_PATH_TOO_LONG, // the relative path does not fit the caller's buffer
    // Refusals that callers decide, as they know the other members and the installer's logs:
    LZA_PATH_SAME_NAME, // Windows would open it as an earlier member (case, trailing dots)
    LZA_PATH_LOG_NAME,  // the name of one of the installer's own logs
};

// Writes into out (capacity cap) the relative path member name stands for: its parts, split
// at backslashes and slashes, joined by single backslashes, "." and empty parts dropped.
// 1 when the name stays below the folder; 0 when it is refused, with *refusal saying why.
int lza_member_path(const char *name, char *out, size_t cap, lza_path_refusal *refusal);

// A short English description of a refusal, for the packer's messages.
const char *lza_path_refusal_text(lza_path_refusal refusal);

// Writes into out (capacity cap) the key of relative, a path as lza_member_path writes it: each
// part without its trailing dots and blanks, its letters in upper case (UTF-8: ASCII, Latin-1,
// Latin Extended-A, Greek, Cyrillic). Windows opens two such paths as one file when their keys
// are equal.
// 1, or 0 when the key does not fit (out is then empty).
int lza_member_key(const char *relative, char *out, size_t cap);

// The member paths met so far, to find one that Windows would open as an earlier one. Keys are
// compared by a 64-bit hash: among n paths two different keys pass for one with a chance of
// about n * n / 2^65, and then the later path is refused, never written over the earlier.
struct lza_name_set {
    uint64_t *hashes; // each slot's key hash; 0 marks a free slot
    int32_t *numbers; // the number each path was added under
    size_t capacity;  // slots: a power of two, more than twice the paths expected
    size_t count;     // paths added
};

// Makes room for paths paths. 1, or 0 when memory is short (the set is then empty and adds fail).
int lza_name_set_init(lza_name_set *set, size_t paths);
// Adds relative (as lza_member_path writes it) under number. -1 when it is new (added); the
// number of the earlier path Windows would open as the same file; -2 when the set is full.
int32_t lza_name_set_add(lza_name_set *set, const char *relative, int32_t number);
void lza_name_set_free(lza_name_set *set);
