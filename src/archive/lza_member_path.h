// Where a member may be unpacked: the one rule, shared by the extract dialog and the packer's
// extract command, that turns a stored member name into a path below the chosen folder and
// refuses every name that could leave it.
#pragma once

#include <cstddef>

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
};

// Writes into out (capacity cap) the relative path member name stands for: its parts, split
// at backslashes and slashes, joined by single backslashes, "." and empty parts dropped.
// 1 when the name stays below the folder; 0 when it is refused, with *refusal saying why.
int lza_member_path(const char *name, char *out, size_t cap, lza_path_refusal *refusal);

// A short English description of a refusal, for the packer's messages.
const char *lza_path_refusal_text(lza_path_refusal refusal);
