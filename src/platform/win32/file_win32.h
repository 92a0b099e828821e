// The open file of the Win32 backend, shared by its plain opens (platform_win32.cpp) and its
// confined ones (confine_win32.cpp).
#pragma once

#include "platform/platform.h"

#include <windows.h>

struct platform_file {
    HANDLE handle;
};

// The file for handle h, or null (h closed, error set) when h is INVALID_HANDLE_VALUE or memory
// is short.
platform_file *win32_file_wrap(HANDLE h);
// win32_file_wrap for a file positioned at its end first (null, h closed, error set, when it
// cannot be).
platform_file *win32_file_wrap_at_end(HANDLE h);
