// Win32 backend of the platform seam: the real thing behind every platform_ call.
#include "platform/platform.h"
#include "platform/win32/file_win32.h"
#include "platform/win32/text_win32.h"

#include <windows.h>

uint32_t platform_last_error(void) {
    return GetLastError();
}
void platform_set_last_error(uint32_t code) {
    SetLastError(code);
}

void *platform_alloc(size_t count, size_t size) {
    if (size != 0 && count > (size_t)-1 / size) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    size_t bytes = count * size;
    void *block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes ? bytes : 1);
    if (!block) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return block;
}

void platform_free(void *block) {
    if (block) HeapFree(GetProcessHeap(), 0, block);
}

static HMODULE program_module;

void platform_init(void *module) {
    program_module = (HMODULE)module;
}

int platform_module_path(char *out, size_t cap) {
    if (!out || cap == 0) return 0;
    wchar_t wide[WIN32_TEXT_CAPACITY];
    DWORD n = GetModuleFileNameW(program_module, wide, (DWORD)WIN32_TEXT_CAPACITY);
    if (n == 0) {
        out[0] = 0;
        return 0;
    }
    if (n >= WIN32_TEXT_CAPACITY) wide[WIN32_TEXT_CAPACITY - 1] = 0;
    // Failed, or cut: not a path we can trust.
    return win32_narrow(wide, out, cap) && n < WIN32_TEXT_CAPACITY ? 1 : 0;
}

platform_file *win32_file_wrap(HANDLE h) {
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    platform_file *f = static_cast<platform_file *>(HeapAlloc(GetProcessHeap(), 0, sizeof *f));
    if (!f) {
        CloseHandle(h);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    f->handle = h;
    return f;
}

// CreateFileW on the UTF-8 path: the handle, or INVALID_HANDLE_VALUE (error set), also for a
// path that does not convert.
static HANDLE open_wide(const char *path, DWORD access, DWORD share, DWORD disposition) {
    wchar_t wide[WIN32_TEXT_CAPACITY];
    if (!win32_widen(path, wide, WIN32_TEXT_CAPACITY)) return INVALID_HANDLE_VALUE;
    return CreateFileW(wide, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

platform_file *platform_open_read(const char *path) {
    return win32_file_wrap(open_wide(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
}

platform_file *platform_create_write(const char *path) {
    return win32_file_wrap(open_wide(path, GENERIC_WRITE, 0, CREATE_ALWAYS));
}

platform_file *platform_open_update(const char *path) {
    return win32_file_wrap(open_wide(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS));
}

long platform_read(platform_file *f, void *buffer, size_t size) {
    DWORD got = 0;
    if (!f || !ReadFile(f->handle, buffer, (DWORD)size, &got, nullptr)) return -1;
    return (long)got;
}

long platform_write(platform_file *f, const void *buffer, size_t size) {
    DWORD done = 0;
    if (!f) return -1;
    if (!WriteFile(f->handle, buffer, (DWORD)size, &done, nullptr)) return (long)done;
    // A write that succeeds short has run out of room: say so, as the contract asks, rather
    // than leave the caller a stale error (a full disk logged as error 0).
    if (done < size) SetLastError(ERROR_DISK_FULL);
    return (long)done;
}

int platform_seek(platform_file *f, int64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = offset;
    return f && offset >= 0 && SetFilePointerEx(f->handle, to, nullptr, FILE_BEGIN);
}

int64_t platform_file_size(platform_file *f) {
    LARGE_INTEGER size;
    if (!f || !GetFileSizeEx(f->handle, &size)) return -1;
    return size.QuadPart;
}

void platform_close(platform_file *f) {
    if (!f) return;
    CloseHandle(f->handle);
    HeapFree(GetProcessHeap(), 0, f);
}

platform_file *platform_open_append(const char *path) {
    return win32_file_wrap_at_end(open_wide(path, GENERIC_WRITE, FILE_SHARE_WRITE, OPEN_EXISTING));
}

platform_file *win32_file_wrap_at_end(HANDLE h) {
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    if (h != INVALID_HANDLE_VALUE && !SetFilePointerEx(h, zero, nullptr, FILE_END)) {
        DWORD error = GetLastError();
        CloseHandle(h);
        SetLastError(error);
        return nullptr;
    }
    return win32_file_wrap(h);
}

// GetFileAttributesW of the UTF-8 path; INVALID_FILE_ATTRIBUTES when it does not convert.
static DWORD attributes(const char *path) {
    wchar_t wide[WIN32_TEXT_CAPACITY];
    return win32_widen(path, wide, WIN32_TEXT_CAPACITY) ? GetFileAttributesW(wide)
                                                        : INVALID_FILE_ATTRIBUTES;
}

int platform_path_exists(const char *path) {
    return attributes(path) != INVALID_FILE_ATTRIBUTES;
}

int platform_is_folder(const char *path) {
    DWORD a = attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

int platform_make_folder(const char *path) {
    wchar_t wide[WIN32_TEXT_CAPACITY];
    return win32_widen(path, wide, WIN32_TEXT_CAPACITY) && CreateDirectoryW(wide, nullptr);
}

int platform_delete_file(const char *path) {
    wchar_t wide[WIN32_TEXT_CAPACITY];
    return win32_widen(path, wide, WIN32_TEXT_CAPACITY) && DeleteFileW(wide);
}

// MoveFileExW of two UTF-8 paths, replacing the target. 1 when moved, else 0 (error set).
static int move_wide(const char *source, const char *target) {
    wchar_t from[WIN32_TEXT_CAPACITY], to[WIN32_TEXT_CAPACITY];
    return win32_widen(source, from, WIN32_TEXT_CAPACITY) &&
           win32_widen(target, to, WIN32_TEXT_CAPACITY) &&
           MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING);
}

int platform_move_replace(const char *source, const char *target) {
    return move_wide(source, target);
}

// FILE_RENAME_INFO with room for any path of the core (511 characters) in place.
struct rename_info {
    BOOLEAN replace_if_exists;
    HANDLE root_directory;
    DWORD file_name_length; // bytes, without the NUL
    WCHAR file_name[MAX_PATH * 2];
};

int platform_close_and_move(platform_file *f, const char *source, const char *target) {
    // The confined writes already need Windows Vista's calls, so this one is called directly.
    rename_info info = {};
    const size_t room = sizeof info.file_name / sizeof(WCHAR);
    BOOL moved = FALSE;
    if (win32_widen(target, info.file_name, room)) {
        info.replace_if_exists = TRUE;
        info.file_name_length = (DWORD)(lstrlenW(info.file_name) * sizeof(WCHAR));
        moved = SetFileInformationByHandle(f->handle, FileRenameInfo, &info, sizeof info);
    }
    platform_close(f);
    // Where the open file could not move (a file system without it), its name still can.
    return moved || move_wide(source, target);
}

int platform_message_box(const char *text, const char *caption, uint32_t style) {
    wchar_t *wide_text = win32_widen_alloc(text), *wide_caption = win32_widen_alloc(caption);
    // A text that does not convert still asks its question, with the text left out.
    int answer = MessageBoxW(GetActiveWindow(), wide_text ? wide_text : L"",
                             wide_caption ? wide_caption : L"", style);
    platform_free(wide_text);
    platform_free(wide_caption);
    return answer;
}
