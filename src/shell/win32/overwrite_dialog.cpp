// The overwrite question (dialog template 112): four answer buttons and no way to close it
// otherwise, centred on the work area, with the question sound.
#include "platform/platform.h"
#include "resource_ids.h"
#include "shell/dialogs.h"
#include "state/installer_state.h"

#include <windows.h>

static INT_PTR CALLBACK overwrite_procedure(HWND dialog, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: {
        const platform_overwrite_question *q = (const platform_overwrite_question *)lparam;
        if (q->yes) SetDlgItemTextA(dialog, IDC_OVERWRITE_YES, q->yes);
        if (q->yes_to_all) SetDlgItemTextA(dialog, IDC_OVERWRITE_YES_TO_ALL, q->yes_to_all);
        if (q->no) SetDlgItemTextA(dialog, IDC_OVERWRITE_NO, q->no);
        if (q->no_to_all) SetDlgItemTextA(dialog, IDC_OVERWRITE_NO_TO_ALL, q->no_to_all);
        RECT area, box;
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
        GetWindowRect(dialog, &box);
        int w = box.right - box.left, h = box.bottom - box.top;
        MoveWindow(dialog, (area.left + area.right) / 2 - w / 2,
                   (area.top + area.bottom) / 2 - h / 2, w, h, FALSE);
        SetDlgItemTextA(dialog, IDC_OVERWRITE_MESSAGE, q->message);
        MessageBeep(MB_ICONQUESTION);
        return TRUE; // the platform focuses the first tab stop, the default No button
    }
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_OVERWRITE_YES:
        case IDC_OVERWRITE_NO:
        case IDC_OVERWRITE_YES_TO_ALL:
        case IDC_OVERWRITE_NO_TO_ALL:
            EndDialog(dialog, LOWORD(wparam));
            return TRUE;
        }
        return FALSE; // Escape (the cancel id) and everything else: not an answer
    }
    return FALSE;
}

int overwrite_dialog_ask(platform_window *owner, const platform_overwrite_question *question) {
    return (int)DialogBoxParamA((HINSTANCE)module_instance, MAKEINTRESOURCEA(IDD_OVERWRITE),
                                (HWND)owner, overwrite_procedure, (LPARAM)question);
}
