// The native stand-in's text conversions, made as Windows makes them: UTF-8 to and from the
// UTF-16 of the registry file and the link format, and its ANSI code page (Windows-1252, that
// of the machines the installer is written for) to UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The code point of the UTF-8 sequence at text (size bytes left, at least one) into *code_point
// and its length; a byte that starts no well-formed sequence stands for itself (length 1).
size_t posix_utf8_next(const char *text, size_t size, uint32_t *code_point);
// Appends code_point to out in UTF-8.
void posix_utf8_append(std::string *out, uint32_t code_point);
// The size bytes at text, Windows-1252, in UTF-8.
std::string posix_cp1252_to_utf8(const char *text, size_t size);
