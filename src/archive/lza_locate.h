// Finding the archive: behind the running executable at the offset its marker names, or in
// the sibling ".pck" file when the marker's digits are all zero.
#pragma once

#include <cstddef>
#include <cstdint>

struct installer_state;

// The stub's marker, "SelfExtractorIndex=" and eight hex digits, patched by the packer.
extern char lza_marker[];

// Value of a text of hex digits (either case), or 0 when it holds any other character.
uint32_t parse_hex_offset(const char *text);

// Turns an executable path into its ".pck" sibling in place: the last '.' at index 1 or later
// and everything after it become ".pck" (cut to cap). The path is unchanged without a '.'.
void lza_pck_path(char *path, size_t cap);

// Locates the archive of executable exe_path whose marker digits are digits, filling
// archive_path and archive_offset. 1 when the first record begins with "LZA!", else 0.
int locate_archive_at(installer_state *state, const char *exe_path, const char *digits);

// locate_archive_at for the running executable and its own marker.
int locate_archive(installer_state *state);
