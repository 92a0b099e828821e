// Win32 backend of what the install engine asks of the system beyond files: the clock, free
// disk space, and the wizard's controls as the run drives them.
#include "platform/platform.h"

#include "shell/installer_state.h"

#include <windows.h>

#include <commctrl.h>

void platform_local_time(platform_time *out) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    *out = {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

typedef BOOL(WINAPI *free_space_ex_function)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                             PULARGE_INTEGER);

int platform_free_space(const char *root, uint64_t *free_bytes) {
    // The extended query is looked up because the oldest systems lack it; they answer through
    // the cluster query, multiplied out in 64 bits so large volumes are not cut.
    HMODULE kernel = LoadLibraryA("KERNEL32.DLL");
    free_space_ex_function query =
        kernel ? (free_space_ex_function)(void *)GetProcAddress(kernel, "GetDiskFreeSpaceExA")
               : nullptr;
    int known = 0;
    if (query) {
        ULARGE_INTEGER available, total, total_free;
        if (query(root, &available, &total, &total_free)) {
            *free_bytes = available.QuadPart;
            known = 1;
        }
    } else {
        DWORD sectors_per_cluster, bytes_per_sector, free_clusters, total_clusters;
        if (GetDiskFreeSpaceA(root, &sectors_per_cluster, &bytes_per_sector, &free_clusters,
                              &total_clusters)) {
            *free_bytes = (uint64_t)free_clusters * sectors_per_cluster * bytes_per_sector;
            known = 1;
        }
    }
    if (kernel) FreeLibrary(kernel);
    return known;
}

size_t platform_get_item_text(platform_window *window, int item, char *out, size_t cap) {
    if (!out || cap == 0) return 0;
    UINT n = GetDlgItemTextA((HWND)window, item, out, (int)cap);
    out[n < cap ? n : cap - 1] = 0;
    return n < cap ? n : cap - 1;
}

void platform_set_item_text(platform_window *window, int item, const char *text) {
    SetDlgItemTextA((HWND)window, item, text);
}

int platform_is_checked(platform_window *window, int item) {
    return IsDlgButtonChecked((HWND)window, item) != 0;
}

void platform_set_progress_range(platform_window *window, int item, int maximum) {
    SendDlgItemMessageA((HWND)window, item, PBM_SETRANGE, 0, MAKELPARAM(0, maximum));
}

void platform_set_progress_pos(platform_window *window, int item, int position) {
    SendDlgItemMessageA((HWND)window, item, PBM_SETPOS, (WPARAM)position, 0);
}

void platform_start_timer(platform_window *window, int id, int period_ms) {
    SetTimer((HWND)window, (UINT_PTR)id, (UINT)period_ms, nullptr);
}

void platform_stop_timer(platform_window *window, int id) {
    KillTimer((HWND)window, (UINT_PTR)id);
}

void platform_drain_messages(platform_window *) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
