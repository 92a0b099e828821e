// Every snprintf and vsnprintf of a stub, served by the bounded formatter of src/state. MinGW's
// C++ headers send them to __mingw_vsnprintf, whose floating-point capable formatter would
// be linked in otherwise (about 17 KB of the i686 stub); defining the function here keeps the
// linker from taking it out of libmingwex. Linked into the stubs only, never into kvpack.
#include "state/text_format.h"

#include <cstdarg>
#include <cstddef>

// The C99 vsnprintf contract: out terminated when cap > 0; returns the full length.
extern "C" int __mingw_vsnprintf(char *out, size_t cap, const char *format, va_list args) {
    return text_vformat(out, cap, format, args);
}
