// The modal dialogs of the stub: their procedures translate window messages into calls of the
// portable wizard and extract logic, and move controls as that logic says.
#include "platform/platform.h"
#include "resource_ids.h"
#include "state/installer_state.h"
#include "shell/wizard.h"

#include <windows.h>

#include <commctrl.h>

static INT_PTR CALLBACK wizard_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        if (!wizard_start()) {
            EndDialog(dialog, 0);
            return FALSE;
        }
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDCANCEL || LOWORD(wparam) == IDOK) EndDialog(dialog, LOWORD(wparam));
        return TRUE;
    case WM_DESTROY:
        wizard_release();
        return FALSE;
    }
    return FALSE;
}

// The extract dialog (template 116): its procedure is in extract_dialog.cpp.
INT_PTR CALLBACK extract_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

void platform_init_common_controls(void) {
    InitCommonControls();
}

int platform_run_dialog(int template_id) {
    DLGPROC procedure = template_id == IDD_EXTRACT ? extract_procedure : wizard_procedure;
    return (int)DialogBoxParamA((HINSTANCE)module_instance, MAKEINTRESOURCEA(template_id), nullptr,
                                procedure, 0);
}
