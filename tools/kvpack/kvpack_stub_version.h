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

// The stub kvpack pack uses when none is named, for arch ("i686", "x86_64", or null for the
// default), looked for around kvpack's own file: setup.exe beside it (the build folder, or one
// stub put there; any architecture for the default, else only arch's), stubs/ARCH/setup.exe
// beside it (the Windows zip) and ../share/kvpack/stubs/ARCH/setup.exe (the Debian package);
// ARCH is i686 for the default. 0 with *stub set; 1 after printing what it looked for.
int kvp_default_stub(const char *arch, std::filesystem::path *stub);

// kvpack --version: kvpack's own version, and for the default and each --arch which stub
// kvpack pack would take, its architecture and version. Returns the exit code.
int kvp_print_version();
