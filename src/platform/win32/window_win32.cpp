// Win32 backend of the wizard's window operations: controls of the dialog by id, its place,
// focus and sound, ShellExecuteW and the shell's folder browser.
#include "platform/platform_window.h"

#include "platform/platform.h"
#include "platform/win32/text_win32.h"

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

static HWND item_handle(platform_window *window, int item) {
    return window ? GetDlgItem((HWND)window, item) : nullptr;
}

int platform_item_exists(platform_window *window, int item) {
    return item_handle(window, item) != nullptr;
}

void platform_show_item(platform_window *window, int item, int show) {
    if (HWND control = item_handle(window, item)) ShowWindow(control, show ? SW_SHOW : SW_HIDE);
}

void platform_enable_item(platform_window *window, int item, int enable) {
    if (HWND control = item_handle(window, item)) EnableWindow(control, enable ? TRUE : FALSE);
}

int platform_item_visible(platform_window *window, int item) {
    HWND control = item_handle(window, item);
    return control && IsWindowVisible(control) ? 1 : 0;
}

int platform_item_rect(platform_window *window, int item, platform_rect *out) {
    *out = {0, 0, 0, 0};
    HWND control = item_handle(window, item);
    if (!control) return 0;
    RECT r;
    GetWindowRect(control, &r);
    POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
    ScreenToClient((HWND)window, &corners[0]);
    ScreenToClient((HWND)window, &corners[1]);
    *out = {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
    return 1;
}

void platform_move_item(platform_window *window, int item, const platform_rect *rect) {
    if (HWND control = item_handle(window, item))
        MoveWindow(control, rect->left, rect->top, rect->right - rect->left,
                   rect->bottom - rect->top, TRUE);
}

void platform_client_size(platform_window *window, int32_t *width, int32_t *height) {
    RECT r = {0, 0, 0, 0};
    GetClientRect((HWND)window, &r);
    *width = r.right - r.left;
    *height = r.bottom - r.top;
}

void platform_work_area(platform_rect *out) {
    RECT r = {0, 0, 0, 0};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    *out = {r.left, r.top, r.right, r.bottom};
}

void platform_move_window(platform_window *window, const platform_rect *rect) {
    MoveWindow((HWND)window, rect->left, rect->top, rect->right - rect->left,
               rect->bottom - rect->top, TRUE);
}

void platform_set_caption(platform_window *window, const char *text) {
    wchar_t *wide = win32_widen_alloc(text);
    SetWindowTextW((HWND)window, wide ? wide : L"");
    platform_free(wide);
}

void platform_check_item(platform_window *window, int item, int checked) {
    CheckDlgButton((HWND)window, item, checked ? BST_CHECKED : BST_UNCHECKED);
}

void platform_limit_item_text(platform_window *window, int item, size_t limit) {
    SendDlgItemMessageW((HWND)window, item, EM_LIMITTEXT, (WPARAM)limit, 0);
}

void platform_clip_siblings(platform_window *window, int item) {
    if (HWND control = item_handle(window, item))
        SetWindowLongW(control, GWL_STYLE, GetWindowLongW(control, GWL_STYLE) | WS_CLIPSIBLINGS);
}

void platform_send_to_back(platform_window *window, int item) {
    if (HWND control = item_handle(window, item))
        SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void platform_focus_item(platform_window *window, int item) {
    if (HWND control = item_handle(window, item)) SetFocus(control);
}

void platform_beep(void) {
    MessageBeep(0);
}

void platform_end_dialog(platform_window *window, int result) {
    EndDialog((HWND)window, result);
}

platform_window *platform_item_window(platform_window *window, int item) {
    return (platform_window *)item_handle(window, item);
}

void platform_shell_open(platform_window *owner, const char *file, const char *folder) {
    wchar_t wide_file[WIN32_TEXT_CAPACITY], wide_folder[WIN32_TEXT_CAPACITY];
    if (win32_widen(file, wide_file, WIN32_TEXT_CAPACITY) &&
        win32_widen(folder ? folder : "", wide_folder, WIN32_TEXT_CAPACITY))
        ShellExecuteW((HWND)owner, L"open", wide_file, L"", wide_folder[0] ? wide_folder : nullptr,
                      SW_SHOW);
}

// The browser's callback: opens at the start folder and shows, for each selection, the text
// the caller derives from it in the status line. Always 0.
static int CALLBACK browse_callback(HWND browser, UINT event, LPARAM data, LPARAM context) {
    const platform_browse *browse = (const platform_browse *)context;
    if (event == BFFM_INITIALIZED) {
        wchar_t start[WIN32_TEXT_CAPACITY];
        if (win32_widen(browse->start_folder, start, WIN32_TEXT_CAPACITY))
            SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, (LPARAM)start);
    } else if (event == BFFM_SELCHANGED) {
        wchar_t wide[MAX_PATH + 1] = L"";
        char selected[WIN32_TEXT_CAPACITY] = "";
        if (SHGetPathFromIDListW((LPCITEMIDLIST)data, wide))
            win32_narrow(wide, selected, sizeof selected);
        char status[WIN32_TEXT_CAPACITY] = "";
        if (browse->status_text)
            browse->status_text(selected, status, sizeof status, browse->context);
        wchar_t *wide_status = win32_widen_alloc(status);
        SendMessageW(browser, BFFM_SETSTATUSTEXTW, 0, (LPARAM)(wide_status ? wide_status : L""));
        platform_free(wide_status);
    }
    return 0;
}

int platform_browse_folder(platform_window *owner, const platform_browse *browse, char *out,
                           size_t cap) {
    if (!out || cap == 0) return 0;
    out[0] = 0;
    IMalloc *shell_malloc = nullptr;
    if (FAILED(SHGetMalloc(&shell_malloc))) return 0;
    LPITEMIDLIST root = nullptr;
    if (FAILED(SHGetSpecialFolderLocation((HWND)owner, CSIDL_DESKTOP, &root))) root = nullptr;
    wchar_t display_name[MAX_PATH + 1] = L"";
    wchar_t *title = win32_widen_alloc(browse->title);
    BROWSEINFOW info = {};
    info.hwndOwner = (HWND)owner;
    info.pidlRoot = root;
    info.pszDisplayName = display_name;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
    info.lpfn = browse_callback;
    info.lParam = (LPARAM)browse;
    int chosen = 0;
    if (LPITEMIDLIST item = SHBrowseForFolderW(&info)) {
        wchar_t path[MAX_PATH + 1] = L"";
        // A folder whose name does not fit is no choice: a cut path names another folder.
        chosen = SHGetPathFromIDListW(item, path) && win32_narrow(path, out, cap);
        if (!chosen) out[0] = 0;
        shell_malloc->Free(item);
    }
    platform_free(title);
    if (root) shell_malloc->Free(root);
    shell_malloc->Release();
    return chosen;
}
