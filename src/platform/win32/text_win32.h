// The seam between the UTF-8 texts of the core and the UTF-16 of the wide Win32 calls: every
// text crosses here, bounded both ways, so that no call of the Win32 side sees a code page.
#pragma once

#include <cstddef>

#include <windows.h>

// Room for a path or a short text in UTF-16 at the seam: the core's longest path field
// (511 characters) never needs more code units than bytes.
enum : size_t { WIN32_TEXT_CAPACITY = 1024 };

// The UTF-8 text into out (capacity cap, in code units). 1 when it fitted; 0 when it did not,
// or is not valid UTF-8, or text is null (out empty, error ERROR_FILENAME_EXCED_RANGE or
// ERROR_NO_UNICODE_TRANSLATION set): a text is never cut into another one.
int win32_widen(const char *text, wchar_t *out, size_t cap);
// The UTF-8 text as a new zero-terminated UTF-16 block for texts of any length (page texts,
// messages); free it with platform_free. Null when it is not valid UTF-8 or memory is short.
wchar_t *win32_widen_alloc(const char *text);
// The UTF-16 text (null-terminated) into out as UTF-8 (capacity cap, always terminated). 1
// when it fitted; 0 when it was cut, at a character boundary (ERROR_INSUFFICIENT_BUFFER set).
int win32_narrow(const wchar_t *text, char *out, size_t cap);
// The process's command line after the program's name (as WinMain's command line is cut), in
// UTF-8, as a new block to free with platform_free; "" when there is none, null when memory
// is short.
char *win32_command_arguments(void);
// The temporary folder (with its trailing backslash) in UTF-8 into out (capacity cap). 1, or
// 0 when it is unknown or does not fit (out empty).
int win32_temp_folder(char *out, size_t cap);
