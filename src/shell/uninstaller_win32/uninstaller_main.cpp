// kvuninst.exe: the uninstaller a vendor ships among the members and copies into the
// destination folder. Started from there it reads Uninstal.log beside it, asks "Wilt u <title>
// verwijderen?", removes what the log names while a dialog lists each record, and shows what
// stayed. With /S it asks and shows nothing and says through its exit code whether anything
// stayed (uninstall_exit).
//
// A running program cannot delete its own file. So at the end it copies itself into the
// temporary folder and starts that copy with the flag /_KVCLEANUP=<its process id> <its path>;
// the copy waits for the original to end, deletes its file and the destination folder when that
// is empty, and marks itself for deletion at the next restart (where the user may: otherwise it
// stays in the temporary folder for the system's clean-up).
#include "engine/uninstall.h"
#include "resource_ids.h"
#include "shell/uninstaller_args.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>

namespace {

const char CAPTION[] = "Verwijderen";
const char CAPTION_FAILED[] = "Verwijderen onmogelijk";
const char CLEANUP_NOTE[] = "Dit programma verwijdert zichzelf zodra het sluit, via een kopie "
                            "in de tijdelijke map.";

struct uninstall_run {
    uninstall_plan plan;
    char title[PATH_CAPACITY];
    int exit_code;
    int done; // the close button may end the dialog
};

// Sets out to the last element of folder: the product's name when no /T= gives one.
void folder_name(const char *folder, char *out, size_t cap) {
    const char *slash = strrchr(folder, '\\');
    text_copy(out, cap, slash ? slash + 1 : folder);
}

// Lets the dialog paint and move between records.
void pump_messages(HWND dialog) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageA(dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

// Adds line at the end of the list and scrolls it into view.
void add_line(HWND dialog, const char *line) {
    HWND list = GetDlgItem(dialog, IDC_UNINSTALL_LIST);
    LRESULT index = SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)line);
    if (index >= 0) SendMessageA(list, LB_SETTOPINDEX, (WPARAM)index, 0);
}

// The core's progress: one list line per record, the bar moved, the window kept alive.
void on_progress(void *context, const uninstall_entry *entry, size_t done, size_t) {
    HWND dialog = (HWND)context;
    char line[UNINSTALL_LINE_CAPACITY];
    uninstall_describe(entry, line, sizeof line);
    add_line(dialog, line);
    SendDlgItemMessageA(dialog, IDC_UNINSTALL_PROGRESS, PBM_SETPOS, (WPARAM)done, 0);
    pump_messages(dialog);
}

// Runs the removal inside the dialog, then shows the report and enables the close button.
void run_in_dialog(HWND dialog, uninstall_run *run) {
    run->exit_code = uninstall_perform(&run->plan, on_progress, dialog);
    static char report[UNINSTALL_REPORT_CAPACITY];
    static char text[UNINSTALL_REPORT_CAPACITY + 512];
    if (uninstall_report(&run->plan, report, sizeof report)) {
        snprintf(text, sizeof text, "Niet alles kon worden verwijderd:\r\n\r\n%s", report);
        size_t n = strlen(text);
        while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n')) text[--n] = 0;
        for (char *line = strtok(report, "\r\n"); line; line = strtok(nullptr, "\r\n"))
            add_line(dialog, line);
        SetDlgItemTextA(dialog, IDC_UNINSTALL_STATUS, "Niet alles kon worden verwijderd.");
        MessageBoxA(dialog, text, CAPTION, MB_OK | MB_ICONWARNING);
    } else {
        snprintf(text, sizeof text, "%s is verwijderd. %s", run->title, CLEANUP_NOTE);
        SetDlgItemTextA(dialog, IDC_UNINSTALL_STATUS, text);
    }
    run->done = 1;
    EnableWindow(GetDlgItem(dialog, IDC_UNINSTALL_CLOSE), TRUE);
    SetFocus(GetDlgItem(dialog, IDC_UNINSTALL_CLOSE));
}

// Dialog 120: starts the removal once shown; the close button (or Escape) ends it only when
// the work is done, with the removal's exit code.
INT_PTR CALLBACK uninstall_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    uninstall_run *run = (uninstall_run *)GetWindowLongPtrA(dialog, GWLP_USERDATA);
    switch (message) {
    case WM_INITDIALOG: {
        run = (uninstall_run *)lparam;
        SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)run);
        char caption[PATH_CAPACITY + 32];
        snprintf(caption, sizeof caption, "%s verwijderen", run->title);
        SetWindowTextA(dialog, caption);
        SendDlgItemMessageA(dialog, IDC_UNINSTALL_PROGRESS, PBM_SETRANGE32, 0,
                            (LPARAM)(run->plan.count ? run->plan.count : 1));
        SendDlgItemMessageA(dialog, IDC_UNINSTALL_LIST, LB_SETHORIZONTALEXTENT, 1600, 0);
        PostMessageA(dialog, WM_APP, 0, 0); // start once the dialog is on the screen
        return TRUE;
    }
    case WM_APP:
        run_in_dialog(dialog, run);
        return TRUE;
    case WM_COMMAND:
        if ((LOWORD(wparam) == IDC_UNINSTALL_CLOSE || LOWORD(wparam) == IDCANCEL) && run->done)
            EndDialog(dialog, run->exit_code);
        return TRUE; // closing while removing: not yet
    }
    return FALSE;
}

// Starts a copy of this program in the temporary folder that removes self_path once this
// process has ended. 1 when started.
int start_cleanup_copy(const char *self_path) {
    char temp[MAX_PATH], copy[MAX_PATH + 32], command[MAX_PATH * 2 + 64];
    DWORD n = GetTempPathA(sizeof temp, temp);
    if (n == 0 || n >= sizeof temp) return 0;
    snprintf(copy, sizeof copy, "%skvuninst-%lu.exe", temp, (unsigned long)GetCurrentProcessId());
    if (!CopyFileA(self_path, copy, FALSE)) return 0;
    snprintf(command, sizeof command, "\"%s\" /_KVCLEANUP=%lu %s", copy,
             (unsigned long)GetCurrentProcessId(), self_path);
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    // Started in the temporary folder: a process's current folder cannot be removed.
    if (!CreateProcessA(copy, command, nullptr, nullptr, FALSE, 0, nullptr, temp, &startup,
                        &process)) {
        DeleteFileA(copy);
        return 0;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 1;
}

// 1 when both files exist with the same size: the flag names a copy of this program, not just
// any file someone put on its command line.
int same_size(const char *a, const char *b) {
    WIN32_FILE_ATTRIBUTE_DATA da, db;
    return GetFileAttributesExA(a, GetFileExInfoStandard, &da) &&
           GetFileAttributesExA(b, GetFileExInfoStandard, &db) &&
           !(db.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           da.nFileSizeLow == db.nFileSizeLow && da.nFileSizeHigh == db.nFileSizeHigh;
}

// The temporary copy's work: waits for the original to end, deletes its file (only a file the
// size of this program), its folder when that is empty now, and marks this copy for deletion at
// the next restart. Always 0.
int clean_up_after(const uninstaller_args *args) {
    enum : DWORD { WAIT_LIMIT_MS = 30000, RETRY_MS = 100, RETRIES = 50 };
    HANDLE original = OpenProcess(SYNCHRONIZE, FALSE, args->cleanup_process);
    if (original) {
        WaitForSingleObject(original, WAIT_LIMIT_MS);
        CloseHandle(original);
    }
    const char *path = args->cleanup_path;
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    if (n == 0 || n >= sizeof self || !same_size(self, path)) return 0; // not our original
    for (DWORD i = 0;
         i < RETRIES && !DeleteFileA(path) && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
         i++)
        Sleep(RETRY_MS); // the loader may hold the file a moment after the process ended
    char folder[PATH_CAPACITY];
    text_copy(folder, sizeof folder, path);
    char *slash = strrchr(folder, '\\');
    if (slash) {
        *slash = 0;
        RemoveDirectoryA(folder); // fails, as it should, when anything is left in it
    }
    MoveFileExA(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
    uninstaller_args args;
    if (parse_uninstaller_args(command_line, &args) && args.cleanup) return clean_up_after(&args);

    char temp[MAX_PATH];
    DWORD n = GetTempPathA(sizeof temp, temp);
    if (n > 0 && n < sizeof temp) SetCurrentDirectoryA(temp); // never hold the folder we empty

    static uninstall_run run;
    char self[PATH_CAPACITY], folder[PATH_CAPACITY];
    n = GetModuleFileNameA(nullptr, self, sizeof self);
    if (n == 0 || n >= sizeof self) return UNINSTALL_EXIT_BAD_LOG;
    // The long form, as the install run wrote it: started through a short (8.3) name, the
    // folder would not match the log's [DEFFOLDER].
    n = GetLongPathNameA(self, folder, sizeof folder);
    if (n > 0 && n < sizeof folder) text_copy(self, sizeof self, folder);
    text_copy(folder, sizeof folder, self);
    char *slash = strrchr(folder, '\\');
    if (slash) *slash = 0;

    uninstall_places places;
    memset(&places, 0, sizeof places);
    uninstall_find_places(&places);
    char message[UNINSTALL_MESSAGE_CAPACITY];
    if (!uninstall_read(&run.plan, folder, &places, message, sizeof message)) {
        if (!args.silent) MessageBoxA(nullptr, message, CAPTION_FAILED, MB_OK | MB_ICONERROR);
        uninstall_release(&run.plan);
        return UNINSTALL_EXIT_BAD_LOG;
    }
    text_copy(run.plan.self_path, sizeof run.plan.self_path, self);
    run.plan.keep_self = 1;
    if (args.title[0])
        text_copy(run.title, sizeof run.title, args.title);
    else
        folder_name(run.plan.folder, run.title, sizeof run.title);

    if (args.silent) {
        run.exit_code = uninstall_perform(&run.plan, nullptr, nullptr);
    } else {
        char question[PATH_CAPACITY + 64];
        snprintf(question, sizeof question, "Wilt u %s verwijderen?", run.title);
        if (MessageBoxA(nullptr, question, CAPTION, MB_YESNO | MB_ICONQUESTION) != IDYES) {
            uninstall_release(&run.plan);
            return UNINSTALL_EXIT_CANCELLED;
        }
        InitCommonControls();
        if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_UNINSTALL), nullptr, uninstall_procedure,
                            (LPARAM)&run) < 0)
            run.exit_code = uninstall_perform(&run.plan, nullptr, nullptr); // no dialog: go on
    }
    if (run.plan.log_state != UNINSTALL_KEPT_FOR_RETRY &&
        GetFileAttributesA(self) != INVALID_FILE_ATTRIBUTES)
        start_cleanup_copy(self);
    uninstall_release(&run.plan);
    return run.exit_code;
}
