// A small bounded formatter for the stubs. MinGW's C++ headers route snprintf through its own
// C99 formatter (floating point included, about 17 KB of the i686 stub); the stub only ever
// formats integers and text, so the Windows stubs serve every snprintf with this one instead
// (src/shell/win32/stdio_override.cpp). Natively it is tested against the C library.
//
// Understood: flags '-', '0', '+', ' ', '#'; a width and a precision, each a number or '*';
// the length modifiers hh, h, l, ll, j, z, t, I32 and I64; conversions d i u x X o c s p %.
// Anything else (floating point among it) is written as it stands in the format.
#pragma once

#include <cstdarg>
#include <cstddef>

// Formats into out of capacity cap like vsnprintf: out is always terminated when cap > 0 and
// never written past cap; returns the length the whole text would have (>= cap when cut).
int text_vformat(char *out, size_t cap, const char *format, va_list args);
int text_format(char *out, size_t cap, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
