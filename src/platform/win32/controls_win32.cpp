// Win32 backend of the wizard's controls as the install run drives them: texts, check boxes,
// the progress bar, the animation timer and the message pump.
#include "platform/platform.h"

#include <windows.h>

#include <commctrl.h>

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

void platform_drain_messages(platform_window *window) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        // The dialog's keys (Escape asks to cancel) work during the run as outside it.
        if (window && IsDialogMessageA((HWND)window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
