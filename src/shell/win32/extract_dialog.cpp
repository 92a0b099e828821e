// The extract dialog (template 116, setup.exe /X): its procedure hands initialisation and the
// three buttons to the portable logic of shell/extract.h and ends the dialog as that says.
#include "platform/platform.h"
#include "shell/extract.h"

#include <windows.h>

// Dialog procedure of template 116, on the session its runner hands it (kept in the dialog's
// user data). TRUE for the messages it handles (initialisation with a filled list, its
// buttons), FALSE for everything else.
INT_PTR CALLBACK extract_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    platform_window *window = (platform_window *)dialog;
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(dialog, DWLP_USER, lparam);
        int listed = extract_start(window);
        if (listed < 0) EndDialog(dialog, 0);
        return listed > 0;
    }
    case WM_COMMAND: {
        if (HIWORD(wparam) != BN_CLICKED) return FALSE;
        extract_session *session = (extract_session *)GetWindowLongPtrW(dialog, DWLP_USER);
        int result = extract_command(window, session, LOWORD(wparam));
        if (result == EXTRACT_NOT_HANDLED) return FALSE;
        if (result >= 0) EndDialog(dialog, result);
        return TRUE;
    }
    }
    return FALSE;
}
