// kvinstall: the install run of the stub without its wizard pages, for testing the engine's
// Win32 side under Wine. Packed like setup.exe (it carries the marker and the resources), it
// finds its archive and script, opens the wizard dialog, puts DEST into the folder box, ticks
// the option boxes as asked, and runs the install steps exactly as the wizard's progress page
// would. Prints "result N" and exits 0 when the run completed (N = 2), 1 when it did not,
// 3 when the archive or script is missing.
//
//   kvinstall.exe DEST [startmenu] [desktop] [extrareg]
#include "engine/install_run.h"
#include "platform/platform.h"
#include "resource_ids.h"
#include "shell/wizard.h"
#include "state/installer_state.h"

#include <windows.h>

#include <commctrl.h>
#include <cstdio>
#include <cstring>

static INT_PTR CALLBACK quiet_procedure(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

int main(int argc, char **argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: kvinstall DEST [startmenu] [desktop] [extrareg]\n");
        return 2;
    }
    module_instance = GetModuleHandleA(nullptr);
    platform_init(module_instance);
    memset(&g_state, 0, sizeof g_state);
    InitCommonControls();
    if (!wizard_start()) return 3;
    HWND wizard = CreateDialogParamA((HINSTANCE)module_instance, MAKEINTRESOURCEA(IDD_WIZARD),
                                     nullptr, quiet_procedure, 0);
    if (!wizard) return 3;
    SetDlgItemTextA(wizard, IDC_FOLDER_EDIT, argv[1]);
    for (int i = 2; i < argc; i++) {
        int box = !strcmp(argv[i], "startmenu")  ? IDC_STARTMENU_BOX
                  : !strcmp(argv[i], "desktop")  ? IDC_DESKTOP_BOX
                  : !strcmp(argv[i], "extrareg") ? IDC_EXTRAREG_BOX
                                                 : 0;
        if (box) CheckDlgButton(wizard, box, BST_CHECKED);
    }
    g_state.cancel_requested = 0;
    int result = install_run((platform_window *)wizard, &g_state);
    printf("result %d\n", result);
    fflush(stdout);
    DestroyWindow(wizard);
    wizard_release();
    return result == 2 ? 0 : 1;
}
