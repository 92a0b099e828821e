// The overwrite question (dialog template 112): four answer buttons and no way to close it
// otherwise, centred on the work area, with the question sound, in the script's language.
#include "platform/platform.h"
#include "platform/platform_window.h"
#include "resource_ids.h"
#include "script/script.h"
#include "shell/dialogs.h"
#include "state/installer_state.h"

#include <windows.h>

static INT_PTR CALLBACK overwrite_procedure(HWND dialog, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: {
        const platform_overwrite_question *q = (const platform_overwrite_question *)lparam;
        // An answer the question leaves to the template speaks the script's language.
        const struct {
            const char *given;
            uint32_t key;
            int item;
        } answers[] = {{q->yes, KW_TEXT_YES, IDC_OVERWRITE_YES},
                       {q->yes_to_all, KW_TEXT_YESTOALL, IDC_OVERWRITE_YES_TO_ALL},
                       {q->no, KW_TEXT_NO, IDC_OVERWRITE_NO},
                       {q->no_to_all, KW_TEXT_NOTOALL, IDC_OVERWRITE_NO_TO_ALL}};
        char text[SCRIPT_EXPAND_CAPACITY];
        for (const auto &a : answers) {
            if (!a.given) script_text(&g_state, a.key, text, sizeof text);
            platform_set_item_text((platform_window *)dialog, a.item, a.given ? a.given : text);
        }
        script_text(&g_state, KW_TEXT_FILEEXISTS_TITLE, text, sizeof text);
        platform_set_caption((platform_window *)dialog, text);
        RECT area, box;
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
        GetWindowRect(dialog, &box);
        int w = box.right - box.left, h = box.bottom - box.top;
        MoveWindow(dialog, (area.left + area.right) / 2 - w / 2,
                   (area.top + area.bottom) / 2 - h / 2, w, h, FALSE);
        platform_set_item_text((platform_window *)dialog, IDC_OVERWRITE_MESSAGE, q->message);
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
    return (int)DialogBoxParamW((HINSTANCE)module_instance, MAKEINTRESOURCEW(IDD_OVERWRITE),
                                (HWND)owner, overwrite_procedure, (LPARAM)question);
}
