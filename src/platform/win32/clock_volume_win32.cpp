// Win32 backend of the clock and of free disk space.
#include "platform/platform.h"
#include "platform/win32/text_win32.h"

#include <windows.h>

void platform_local_time(platform_time *out) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    *out = {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

uint32_t platform_tick_count(void) {
    return GetTickCount();
}

typedef BOOL(WINAPI *free_space_ex_function)(LPCWSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                             PULARGE_INTEGER);

int platform_free_space(const char *root, uint64_t *free_bytes) {
    // The extended query is looked up because the oldest systems lack it; they answer through
    // the cluster query, multiplied out in 64 bits so large volumes are not cut.
    wchar_t wide[WIN32_TEXT_CAPACITY];
    if (!win32_widen(root, wide, WIN32_TEXT_CAPACITY)) return 0;
    HMODULE kernel = LoadLibraryA("KERNEL32.DLL");
    free_space_ex_function query =
        kernel ? (free_space_ex_function)(void *)GetProcAddress(kernel, "GetDiskFreeSpaceExW")
               : nullptr;
    int known = 0;
    if (query) {
        ULARGE_INTEGER available, total, total_free;
        if (query(wide, &available, &total, &total_free)) {
            *free_bytes = available.QuadPart;
            known = 1;
        }
    } else {
        DWORD sectors_per_cluster, bytes_per_sector, free_clusters, total_clusters;
        if (GetDiskFreeSpaceW(wide, &sectors_per_cluster, &bytes_per_sector, &free_clusters,
                              &total_clusters)) {
            *free_bytes = (uint64_t)free_clusters * sectors_per_cluster * bytes_per_sector;
            known = 1;
        }
    }
    if (kernel) FreeLibrary(kernel);
    return known;
}
