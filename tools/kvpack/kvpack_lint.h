// The script checks as the packer runs them: kvpack lint on its own, and kvpack pack on the
// setup.txt it packs. Findings are printed with the script's name and the vendor's line.
#pragma once

#include "script/script_lint.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// Checks the script at path; members (null when unknown) are what will be packed, read from
// member_paths (in step with members; null: not read) where the script names a page text.
// Prints each finding to out as "NAME:LINE: warning: ..." ("error" when strict, and always for
// the findings that are errors, counted into *errors when given; the first of them, as printed
// without its severity, goes into *first_error when given; how the installer reads its
// bytes, in words, into *read_as when given: "UTF-8", "UTF-8 with a byte order mark" or
// "Windows-1252"). Returns the number of findings, or -1 when the script cannot be read
// (reported through kvp_fail).
int kvp_lint_script(const std::filesystem::path &path, std::vector<lint_member> *members,
                    const std::vector<std::filesystem::path> *member_paths, int strict, FILE *out,
                    int *errors = nullptr, std::string *first_error = nullptr,
                    const char **read_as = nullptr);
