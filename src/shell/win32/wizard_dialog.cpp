// The modal dialogs of the stub: their procedures translate window messages into calls of the
// portable wizard and extract logic, and move controls as that logic says.
#include "platform/platform.h"
#include "resource_ids.h"
#include "shell/dialogs.h"
#include "shell/wizard.h"
#include "state/installer_state.h"
#include "shell/win32/wizard_paint.h"

#include <windows.h>

#include <commctrl.h>

// Step 13 of the start-up: the banner picture, which the painting owns.
static void load_picture(platform_window *window) {
    load_banner((HWND)window, &g_state);
}

// The wizard (template 101): every decision is the portable page model's; this procedure only
// routes the messages to it and to the painting.
static INT_PTR CALLBACK wizard_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    platform_window *window = (platform_window *)dialog;
    switch (message) {
    case WM_INITDIALOG:
        // Not handled after a fatal start: the dialog has been ended.
        return wizard_init(window, &g_state, load_picture) ? TRUE : FALSE;
    case WM_COMMAND:
        // Button clicks, and the cancel id for Escape and the close box; an edit box's
        // notifications share their control's id and are no command.
        if (HIWORD(wparam) != BN_CLICKED) return FALSE;
        return wizard_command(window, &g_state, LOWORD(wparam)) ? TRUE : FALSE;
    case WM_DRAWITEM:
        paint_owner_drawn(dialog, (const DRAWITEMSTRUCT *)lparam);
        return TRUE;
    case WM_TIMER:
        animate_running_row(dialog);
        return TRUE;
    case WM_DESTROY:
        wizard_destroy(window, &g_state);
        release_banner(&g_state);
        return FALSE;
    }
    return FALSE;
}

// The extract dialog (template 116): its procedure is in extract_dialog.cpp.
INT_PTR CALLBACK extract_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

void dialogs_init_common_controls(void) {
    InitCommonControls();
}

int wizard_run_dialog(void) {
    return (int)DialogBoxParamW((HINSTANCE)module_instance, MAKEINTRESOURCEW(IDD_WIZARD), nullptr,
                                wizard_procedure, 0);
}

int extract_run_dialog(extract_session *session) {
    return (int)DialogBoxParamW((HINSTANCE)module_instance, MAKEINTRESOURCEW(IDD_EXTRACT), nullptr,
                                extract_procedure, (LPARAM)session);
}
