// The hidden wizard of an unattended install: template 101 made modeless and never shown (the
// template has no WS_VISIBLE), so that the install run drives its controls as on the progress
// page. Its procedure handles nothing: no page is laid out, nothing is painted.
#include "platform/platform_unattended.h"
#include "state/installer_state.h"

#include <windows.h>

static INT_PTR CALLBACK hidden_procedure(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

platform_window *platform_open_hidden_dialog(int template_id) {
    HWND dialog = CreateDialogParamA((HINSTANCE)module_instance, MAKEINTRESOURCEA(template_id),
                                     nullptr, hidden_procedure, 0);
    return (platform_window *)dialog;
}

void platform_close_hidden_dialog(platform_window *window) {
    if (window) DestroyWindow((HWND)window);
}
