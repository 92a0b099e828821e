// Finding the archive: behind the running executable at the offset its marker names, or in
// the sibling ".pck" file when the marker's digits are all zero; a ".pck" is checked against
// the digest the stub carries before any record is read.
#pragma once

#include <cstddef>
#include <cstdint>

struct installer_state;

// The stub's marker, "SelfExtractorIndex=" and eight hex digits, patched by the packer.
extern char lza_marker[];
// The stub's digest marker, "SelfExtractorDigest=" and 64 hex digits: the SHA-256 of its .pck,
// patched by the packer; all zeros when there is none.
extern char lza_digest_marker[];

// What locate_archive found.
enum lza_locate_result : int {
    LZA_LOCATE_CHANGED = -1, // a .pck whose digest differs from the one the stub carries
    LZA_LOCATE_MISSING = 0,  // no archive where the marker points
    LZA_LOCATE_FOUND = 1,
};

// Value of a text of hex digits (either case), or 0 when it holds any other character.
uint32_t parse_hex_offset(const char *text);

// The digest that text, exactly LZA_DIGEST_DIGITS hex digits (either case), spells into
// digest. 1 when it names one, 0 when all its digits are zero (no digest), -1 when it is not
// such a text (a damaged marker is never read as "no digest").
int lza_parse_digest(const char *text, unsigned char digest[]);

// Turns an executable path into its ".pck" sibling in place: the last '.' at index 1 or later
// and everything after it become ".pck" (cut to cap). The path is unchanged without a '.'.
void lza_pck_path(char *path, size_t cap);

// Locates the archive of executable exe_path whose marker digits are digits, filling
// archive_path and archive_offset. 1 when the first record begins with "LZA!", else 0.
int locate_archive_at(installer_state *state, const char *exe_path, const char *digits);

// Checks the located archive against digest_digits (the digest marker's digits) when it is a
// .pck: its SHA-256, read in full before any record is, must match. With a digest the file
// stays open in state->archive_guard, shared for reading only, so that it cannot change after
// the check while the process reads it. 1 when it matches or there is nothing to check; -1
// when it differs, cannot be read in full or the marker is damaged.
int lza_check_archive_digest(installer_state *state, const char *digest_digits);

// locate_archive_at and lza_check_archive_digest for the running executable and its own
// markers: an lza_locate_result.
int locate_archive(installer_state *state);

// Closes state->archive_guard, if open.
void release_archive_guard(installer_state *state);
