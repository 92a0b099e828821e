// Win32 backend of the list seam: the list-box messages of a dialog's list control, the focus.
#include "platform/platform_list.h"

#include "platform/platform.h"
#include "platform/win32/text_win32.h"

#include <windows.h>

#include <cstring>

// The list control of a dialog, remembered: finding a child by its id asks the window manager
// each time (a round trip to the server under Wine), which made filling a list of 10,000
// entries take seconds. The remembered handle is checked against its parent and id.
static HWND list_control(platform_window *window, int item) {
    static HWND dialog, control;
    static int id;
    if (dialog != (HWND)window || id != item || !control || GetParent(control) != dialog ||
        GetWindowLongPtrW(control, GWLP_ID) != item) {
        dialog = (HWND)window;
        id = item;
        control = GetDlgItem(dialog, item);
    }
    return control;
}

static LRESULT list_message(platform_window *window, int item, UINT message, WPARAM wparam,
                            LPARAM lparam) {
    return SendMessageW(list_control(window, item), message, wparam, lparam);
}

void platform_list_set_tabs(platform_window *window, int item, const int *stops, int count) {
    list_message(window, item, LB_SETTABSTOPS, (WPARAM)count, (LPARAM)stops);
}

void platform_list_set_extent(platform_window *window, int item, int pixels) {
    list_message(window, item, LB_SETHORIZONTALEXTENT, (WPARAM)pixels, 0);
}

int platform_list_add(platform_window *window, int item, const char *text) {
    wchar_t wide[WIN32_TEXT_CAPACITY];
    if (!win32_widen(text, wide, WIN32_TEXT_CAPACITY)) return -1;
    LRESULT index = list_message(window, item, LB_ADDSTRING, 0, (LPARAM)wide);
    return index < 0 ? -1 : (int)index;
}

// Record offsets are unsigned 32-bit file offsets; LPARAM holds them unchanged on both widths.
int platform_list_set_data(platform_window *window, int item, int index, int64_t data) {
    LPARAM value = (LPARAM)(uint32_t)data;
    return list_message(window, item, LB_SETITEMDATA, (WPARAM)index, value) != LB_ERR;
}

int64_t platform_list_data(platform_window *window, int item, int index) {
    if (index < 0 || index >= platform_list_count(window, item)) return -1;
    LRESULT value = list_message(window, item, LB_GETITEMDATA, (WPARAM)index, 0);
    return (int64_t)(uint32_t)value;
}

int platform_list_count(platform_window *window, int item) {
    LRESULT n = list_message(window, item, LB_GETCOUNT, 0, 0);
    return n < 0 ? 0 : (int)n;
}

int platform_list_selected_count(platform_window *window, int item) {
    LRESULT n = list_message(window, item, LB_GETSELCOUNT, 0, 0);
    return n < 0 ? 0 : (int)n;
}

int platform_list_is_selected(platform_window *window, int item, int index) {
    return list_message(window, item, LB_GETSEL, (WPARAM)index, 0) > 0;
}

void platform_list_select(platform_window *window, int item, int index, int selected) {
    list_message(window, item, LB_SETSEL, (WPARAM)(selected != 0), (LPARAM)index);
}

size_t platform_list_text(platform_window *window, int item, int index, char *out, size_t cap) {
    if (!out || cap == 0) return 0;
    out[0] = 0;
    LRESULT n = list_message(window, item, LB_GETTEXTLEN, (WPARAM)index, 0);
    if (n < 0) return 0;
    wchar_t *whole = static_cast<wchar_t *>(platform_alloc((size_t)n + 1, sizeof(wchar_t)));
    if (!whole) return 0;
    if (list_message(window, item, LB_GETTEXT, (WPARAM)index, (LPARAM)whole) >= 0) {
        whole[n] = 0;
        win32_narrow(whole, out, cap); // cut between characters when it does not fit
    }
    platform_free(whole);
    return strlen(out);
}
