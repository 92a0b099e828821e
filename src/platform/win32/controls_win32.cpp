// Win32 backend of the wizard's controls as the install run drives them: texts, check boxes,
// the progress bar, the animation timer and the message pump.
#include "platform/platform.h"
#include "platform/win32/text_win32.h"

#include <windows.h>

#include <commctrl.h>

#include <cstring>

size_t platform_get_item_text(platform_window *window, int item, char *out, size_t cap) {
    if (!out || cap == 0) return 0;
    out[0] = 0;
    // A UTF-8 text of cap bytes never needs more than cap UTF-16 units.
    wchar_t *wide = static_cast<wchar_t *>(platform_alloc(cap, sizeof(wchar_t)));
    if (!wide) return 0;
    GetDlgItemTextW((HWND)window, item, wide, (int)cap);
    win32_narrow(wide, out, cap);
    platform_free(wide);
    return strlen(out);
}

void platform_set_item_text(platform_window *window, int item, const char *text) {
    wchar_t *wide = win32_widen_alloc(text);
    SetDlgItemTextW((HWND)window, item, wide ? wide : L"");
    platform_free(wide);
}

int platform_is_checked(platform_window *window, int item) {
    return IsDlgButtonChecked((HWND)window, item) != 0;
}

void platform_set_progress_range(platform_window *window, int item, int maximum) {
    SendDlgItemMessageW((HWND)window, item, PBM_SETRANGE, 0, MAKELPARAM(0, maximum));
}

void platform_set_progress_pos(platform_window *window, int item, int position) {
    SendDlgItemMessageW((HWND)window, item, PBM_SETPOS, (WPARAM)position, 0);
}

void platform_start_timer(platform_window *window, int id, int period_ms) {
    SetTimer((HWND)window, (UINT_PTR)id, (UINT)period_ms, nullptr);
}

void platform_stop_timer(platform_window *window, int id) {
    KillTimer((HWND)window, (UINT_PTR)id);
}

void platform_drain_messages(platform_window *window) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        // The dialog's keys (Escape asks to cancel) work during the run as outside it.
        if (window && IsDialogMessageW((HWND)window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}
