// UTF-8 to UTF-16 and back at the Win32 seam.
#include "platform/win32/text_win32.h"

#include "platform/platform.h"

int win32_widen(const char *text, wchar_t *out, size_t cap) {
    if (!out || cap == 0) return 0;
    out[0] = 0;
    if (!text) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, out, (int)cap);
    if (n > 0) return 1;
    // The call leaves the part that fitted; a text cut short is no text at all here.
    out[0] = 0;
    if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return 0;
}

wchar_t *win32_widen_alloc(const char *text) {
    if (!text) return nullptr;
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (n <= 0) return nullptr;
    wchar_t *out = static_cast<wchar_t *>(platform_alloc((size_t)n, sizeof(wchar_t)));
    if (out && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, out, n) != n) {
        platform_free(out);
        return nullptr;
    }
    return out;
}

int win32_narrow(const wchar_t *text, char *out, size_t cap) {
    if (!out || cap == 0) return 0;
    out[0] = 0;
    if (!text) return 1;
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, out, (int)cap, nullptr, nullptr);
    if (n > 0) return 1;
    // Too long: the units whose UTF-8 fits go, a surrogate pair always whole.
    size_t units = 0, bytes = 0;
    while (text[units]) {
        const wchar_t u = text[units];
        const int pair =
            u >= 0xD800 && u <= 0xDBFF && text[units + 1] >= 0xDC00 && text[units + 1] <= 0xDFFF;
        const size_t need = pair ? 4 : u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
        if (bytes + need >= cap) break;
        bytes += need;
        units += pair ? 2 : 1;
    }
    n = units
            ? WideCharToMultiByte(CP_UTF8, 0, text, (int)units, out, (int)cap - 1, nullptr, nullptr)
            : 0;
    out[n > 0 ? n : 0] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
}

char *win32_command_arguments(void) {
    const wchar_t *line = GetCommandLineW();
    if (!line) line = L"";
    // The program's name: quoted up to the next quote, else up to the first blank.
    if (*line == L'"') {
        line++;
        while (*line && *line != L'"') line++;
        if (*line) line++;
    } else {
        while (*line && *line != L' ' && *line != L'\t') line++;
    }
    while (*line == L' ' || *line == L'\t') line++;
    int n = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
    char *out = n > 0 ? static_cast<char *>(platform_alloc((size_t)n, 1)) : nullptr;
    if (out && WideCharToMultiByte(CP_UTF8, 0, line, -1, out, n, nullptr, nullptr) != n) out[0] = 0;
    return out;
}

int platform_ansi_to_utf8(const char *text, char *out, size_t cap) {
    if (!out || cap == 0) return 0;
    out[0] = 0;
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    wchar_t *wide =
        n > 0 ? static_cast<wchar_t *>(platform_alloc((size_t)n, sizeof(wchar_t))) : nullptr;
    int ok = wide && MultiByteToWideChar(CP_ACP, 0, text, -1, wide, n) == n &&
             win32_narrow(wide, out, cap);
    platform_free(wide);
    if (!ok) out[0] = 0;
    return ok;
}

int win32_temp_folder(char *out, size_t cap) {
    wchar_t wide[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, wide);
    if (n == 0 || n > MAX_PATH || !win32_narrow(wide, out, cap)) {
        if (out && cap) out[0] = 0;
        return 0;
    }
    return 1;
}
