// The version a stub carries in its version resource, read without any Windows API: the fixed
// part (VS_FIXEDFILEINFO) is found by its signature, so kvpack on Linux reads it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

struct kvp_file_version {
    unsigned major, minor, patch, build; // FILEVERSION a, b, c, d
};

// Finds the first VS_FIXEDFILEINFO in data (its 0xFEEF04BD signature, 4-byte aligned, with
// structure version 1.0 and room for the whole structure). 1 with *version set, 0 when none.
int kvp_find_file_version(const unsigned char *data, size_t size, kvp_file_version *version);

// Reads stub (at most its first 16 MiB: the resources stand before any appended archive).
// 1 with *version set, 0 when it carries no version resource, -1 when it cannot be read.
int kvp_read_stub_version(const std::filesystem::path &stub, kvp_file_version *version);

// The stub kvpack pack uses when none is named: setup.exe beside kvpack, else the i686 build.
std::filesystem::path kvp_default_stub();

// kvpack --version: kvpack's own version and that of the default stub. Returns the exit code.
int kvp_print_version();
