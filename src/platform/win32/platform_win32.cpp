// Win32 backend of the platform seam: the real thing behind every platform_ call.
#include "platform/platform.h"
#include "platform/win32/file_win32.h"

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
    DWORD n = GetModuleFileNameA(program_module, out, (DWORD)cap);
    if (n == 0 || n >= cap) { // failed, or cut: not a path we can trust
        out[n < cap ? n : cap - 1] = 0;
        return n != 0;
    }
    return 1;
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

platform_file *platform_open_read(const char *path) {
    return win32_file_wrap(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
}

platform_file *platform_create_write(const char *path) {
    return win32_file_wrap(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
}

platform_file *platform_open_update(const char *path) {
    return win32_file_wrap(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
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
    return win32_file_wrap_at_end(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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

int platform_path_exists(const char *path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

int platform_is_folder(const char *path) {
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

int platform_make_folder(const char *path) {
    return CreateDirectoryA(path, nullptr) != 0;
}

int platform_delete_file(const char *path) {
    return DeleteFileA(path) != 0;
}

int platform_move_replace(const char *source, const char *target) {
    return MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING) != 0;
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
    int n = MultiByteToWideChar(CP_ACP, 0, target, -1, info.file_name,
                                (int)(sizeof info.file_name / sizeof(WCHAR)));
    BOOL moved = FALSE;
    if (n > 0) {
        info.replace_if_exists = TRUE;
        info.file_name_length = (DWORD)(n - 1) * sizeof(WCHAR);
        moved = SetFileInformationByHandle(f->handle, FileRenameInfo, &info, sizeof info);
    }
    platform_close(f);
    // Where the open file could not move (a file system without it), its name still can.
    return moved || MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING);
}

int platform_message_box(const char *text, const char *caption, uint32_t style) {
    return MessageBoxA(GetActiveWindow(), text, caption, style);
}
