// kvuninst.exe: the uninstaller a vendor ships among the members and copies into the
// destination folder. Started from there it reads Uninstal.log beside it, asks whether to remove
// <title> ("Wilt u <title> verwijderen?"), removes what the log names while a dialog lists each
// record, and shows what stayed. It speaks the language, and uses the text_un_ texts, of the
// script it was packed with: kvpack pack writes them into its resources (IDR_UNINSTALL_TEXTS);
// without them it speaks Dutch. With /S it asks and shows nothing and says through its exit code
// whether anything stayed (uninstall_exit).
//
// A running program cannot delete its own file. So at the end it makes a new folder
// kvuninst-<its process id> in the temporary folder, copies itself there and starts that copy
// with the flag /_KVCLEANUP=<its process id> <its path>; the copy waits for the original to end,
// deletes its file when that holds exactly the copy's own bytes, then the destination folder
// when it is empty, and marks itself and its folder for deletion at the next restart. Run from
// anywhere else (a line typed by hand) the copy deletes nothing and exits with 2.
#include "engine/uninstall.h"
#include "platform/platform.h"
#include "platform/platform_list.h"
#include "platform/platform_window.h"
#include "platform/win32/text_win32.h"
#include "resource_ids.h"
#include "script/script.h"
#include "shell/uninstaller_args.h"
#include "state/installer_state.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>

namespace {

enum : size_t { TEXT_CAPACITY = 1024 }; // a text of the table, or a script's own

// The words of this uninstaller, prepared as a script: the language and text_un_ lines kvpack
// pack wrote into resource IDR_UNINSTALL_TEXTS. Null without that resource (Dutch).
const char *load_texts(HINSTANCE instance) {
    static installer_state texts;
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(IDR_UNINSTALL_TEXTS), RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const void *data = loaded ? LockResource(loaded) : nullptr;
    if (!data || !load_script_text(&texts, data, SizeofResource(instance, found))) return nullptr;
    return texts.script_text;
}

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
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageW(dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

// Adds line at the end of the list and scrolls it into view.
void add_line(HWND dialog, const char *line) {
    int index = platform_list_add((platform_window *)dialog, IDC_UNINSTALL_LIST, line);
    if (index >= 0) SendDlgItemMessageW(dialog, IDC_UNINSTALL_LIST, LB_SETTOPINDEX, index, 0);
}

// The core's progress: one list line per record, the bar moved, the window kept alive.
void on_progress(void *context, const uninstall_entry *entry, size_t done, size_t) {
    HWND dialog = (HWND)context;
    uninstall_run *run = (uninstall_run *)GetWindowLongPtrW(dialog, GWLP_USERDATA);
    char line[UNINSTALL_LINE_CAPACITY];
    uninstall_describe(run->plan.texts, entry, line, sizeof line);
    add_line(dialog, line);
    SendDlgItemMessageW(dialog, IDC_UNINSTALL_PROGRESS, PBM_SETPOS, (WPARAM)done, 0);
    pump_messages(dialog);
}

// Runs the removal inside the dialog, then shows the report and enables the close button.
void run_in_dialog(HWND dialog, uninstall_run *run) {
    run->exit_code = uninstall_perform(&run->plan, on_progress, dialog);
    const char *texts = run->plan.texts;
    static char report[UNINSTALL_REPORT_CAPACITY];
    static char text[UNINSTALL_REPORT_CAPACITY + 2 * TEXT_CAPACITY];
    char caption[TEXT_CAPACITY], note[TEXT_CAPACITY];
    if (uninstall_report(&run->plan, report, sizeof report)) {
        uninstall_text(texts, KW_TEXT_UN_INCOMPLETE, text, sizeof text);
        text_append(text, sizeof text, "\r\n\r\n");
        text_append(text, sizeof text, report);
        size_t n = strlen(text);
        while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n')) text[--n] = 0;
        for (char *line = strtok(report, "\r\n"); line; line = strtok(nullptr, "\r\n"))
            add_line(dialog, line);
        uninstall_text(texts, KW_TEXT_UN_INCOMPLETE_STATUS, note, sizeof note);
        platform_set_item_text((platform_window *)dialog, IDC_UNINSTALL_STATUS, note);
        uninstall_text(texts, KW_TEXT_UN_TITLE, caption, sizeof caption);
        platform_message_box(text, caption, MB_OK | MB_ICONWARNING);
    } else {
        uninstall_text(texts, KW_TEXT_UN_CLEANUP, note, sizeof note);
        uninstall_text(texts, KW_TEXT_UN_DONE, text, sizeof text, run->title, note);
        platform_set_item_text((platform_window *)dialog, IDC_UNINSTALL_STATUS, text);
    }
    run->done = 1;
    EnableWindow(GetDlgItem(dialog, IDC_UNINSTALL_CLOSE), TRUE);
    SetFocus(GetDlgItem(dialog, IDC_UNINSTALL_CLOSE));
}

// Dialog 120: starts the removal once shown; the close button (or Escape) ends it only when
// the work is done, with the removal's exit code.
INT_PTR CALLBACK uninstall_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    uninstall_run *run = (uninstall_run *)GetWindowLongPtrW(dialog, GWLP_USERDATA);
    platform_window *window = (platform_window *)dialog;
    switch (message) {
    case WM_INITDIALOG: {
        run = (uninstall_run *)lparam;
        SetWindowLongPtrW(dialog, GWLP_USERDATA, (LONG_PTR)run);
        char text[PATH_CAPACITY + TEXT_CAPACITY];
        uninstall_text(run->plan.texts, KW_TEXT_UN_DIALOG_TITLE, text, sizeof text, run->title);
        platform_set_caption(window, text);
        uninstall_text(run->plan.texts, KW_TEXT_UN_BUSY, text, sizeof text);
        platform_set_item_text(window, IDC_UNINSTALL_STATUS, text);
        uninstall_text(run->plan.texts, KW_TEXT_UN_CLOSE, text, sizeof text);
        platform_set_item_text(window, IDC_UNINSTALL_CLOSE, text);
        SendDlgItemMessageW(dialog, IDC_UNINSTALL_PROGRESS, PBM_SETRANGE32, 0,
                            (LPARAM)(run->plan.count ? run->plan.count : 1));
        SendDlgItemMessageW(dialog, IDC_UNINSTALL_LIST, LB_SETHORIZONTALEXTENT, 1600, 0);
        PostMessageW(dialog, WM_APP, 0, 0); // start once the dialog is on the screen
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

// MoveFileExW of a UTF-8 path with no target (deleted at the next restart) when target is null.
void delete_at_restart(const char *path) {
    wchar_t wide[WIN32_TEXT_CAPACITY];
    if (win32_widen(path, wide, WIN32_TEXT_CAPACITY))
        MoveFileExW(wide, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// Starts a copy of this program, in a folder of its own made now in the temporary folder, that
// removes self_path once this process has ended. 1 when started.
int start_cleanup_copy(const char *self_path) {
    char temp[PATH_CAPACITY], folder[PATH_CAPACITY], copy[PATH_CAPACITY + 16];
    char command[2 * PATH_CAPACITY + 64];
    DWORD id = GetCurrentProcessId();
    if (!win32_temp_folder(temp, sizeof temp) ||
        !uninstaller_cleanup_folder(temp, id, folder, sizeof folder))
        return 0;
    // A folder made now, never one that was there: the copy proves by it who started it.
    if (!platform_make_folder(folder)) return 0;
    snprintf(copy, sizeof copy, "%s\\kvuninst.exe", folder);
    snprintf(command, sizeof command, "\"%s\" /_KVCLEANUP=%lu %s", copy, (unsigned long)id,
             self_path);
    wchar_t wide_self[WIN32_TEXT_CAPACITY], wide_copy[WIN32_TEXT_CAPACITY];
    wchar_t wide_temp[WIN32_TEXT_CAPACITY], wide_command[2 * WIN32_TEXT_CAPACITY];
    STARTUPINFOW startup;
    PROCESS_INFORMATION process;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    // Started in the temporary folder: a process's current folder cannot be removed.
    if (!win32_widen(self_path, wide_self, WIN32_TEXT_CAPACITY) ||
        !win32_widen(copy, wide_copy, WIN32_TEXT_CAPACITY) ||
        !win32_widen(temp, wide_temp, WIN32_TEXT_CAPACITY) ||
        !win32_widen(command, wide_command, 2 * WIN32_TEXT_CAPACITY) ||
        !CopyFileW(wide_self, wide_copy, TRUE) ||
        !CreateProcessW(wide_copy, wide_command, nullptr, nullptr, FALSE, 0, nullptr, wide_temp,
                        &startup, &process)) {
        platform_delete_file(copy);
        wchar_t wide_folder[WIN32_TEXT_CAPACITY];
        if (win32_widen(folder, wide_folder, WIN32_TEXT_CAPACITY)) RemoveDirectoryW(wide_folder);
        return 0;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 1;
}

// The temporary copy's work: waits for the original to end, removes its file (only an exact copy
// of this program, and only when this copy runs from the folder the original made for it), its
// folder when that is empty now, and marks this copy and its folder for deletion at the next
// restart. 0 when the original's file went, 1 when it could not be removed, 2 when refused.
int clean_up_after(const uninstaller_args *args) {
    enum : DWORD { WAIT_LIMIT_MS = 30000, RETRY_MS = 100, RETRIES = 50 };
    char self[PATH_CAPACITY], temp[PATH_CAPACITY];
    if (!platform_module_path(self, sizeof self) || !win32_temp_folder(temp, sizeof temp) ||
        !uninstaller_cleanup_place(args, self, temp))
        return UNINSTALL_EXIT_BAD_LOG; // not started by an uninstaller: nothing is touched
    HANDLE original = OpenProcess(SYNCHRONIZE, FALSE, args->cleanup_process);
    if (original) {
        WaitForSingleObject(original, WAIT_LIMIT_MS);
        CloseHandle(original);
    }
    int result = -1;
    for (DWORD i = 0; i < RETRIES && (result = uninstaller_clean_up(args, self, temp)) < 0; i++)
        Sleep(RETRY_MS); // the loader may hold the file a moment after the process ended
    delete_at_restart(self);
    *strrchr(self, '\\') = 0; // its folder, which the original made: empty by then
    delete_at_restart(self);
    return result > 0   ? UNINSTALL_EXIT_OK
           : result < 0 ? UNINSTALL_EXIT_INCOMPLETE
                        : UNINSTALL_EXIT_BAD_LOG;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // The wide command line: a /T= title or a path keeps every character.
    char *command_line = win32_command_arguments();
    uninstaller_args args;
    int parsed = parse_uninstaller_args(command_line ? command_line : "", &args);
    platform_free(command_line);
    if (parsed && args.cleanup) return clean_up_after(&args);

    wchar_t temp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n > 0 && n <= MAX_PATH) SetCurrentDirectoryW(temp); // never hold the folder we empty

    static uninstall_run run;
    char self[PATH_CAPACITY], folder[PATH_CAPACITY];
    wchar_t wide_self[WIN32_TEXT_CAPACITY], wide_long[WIN32_TEXT_CAPACITY];
    n = GetModuleFileNameW(nullptr, wide_self, WIN32_TEXT_CAPACITY);
    if (n == 0 || n >= WIN32_TEXT_CAPACITY) return UNINSTALL_EXIT_BAD_LOG;
    // The long form, as the install run wrote it: started through a short (8.3) name, the
    // folder would not match the log's [DEFFOLDER].
    n = GetLongPathNameW(wide_self, wide_long, WIN32_TEXT_CAPACITY);
    if (!win32_narrow(n > 0 && n < WIN32_TEXT_CAPACITY ? wide_long : wide_self, self, sizeof self))
        return UNINSTALL_EXIT_BAD_LOG;
    text_copy(folder, sizeof folder, self);
    char *slash = strrchr(folder, '\\');
    if (slash) *slash = 0;

    uninstall_places places;
    memset(&places, 0, sizeof places);
    uninstall_find_places(&places);
    char message[UNINSTALL_MESSAGE_CAPACITY], caption[TEXT_CAPACITY];
    const char *texts = load_texts(instance);
    // The log must be this folder's, and unchanged since the install sealed it, before anything
    // is asked or done.
    int usable = uninstall_read(&run.plan, folder, &places, texts, message, sizeof message);
    if (usable) {
        text_copy(run.plan.self_path, sizeof run.plan.self_path, self);
        run.plan.keep_self = 1;
        usable = uninstall_check_log(&run.plan, message, sizeof message);
    }
    if (!usable) {
        uninstall_text(texts, KW_TEXT_UN_FAILED_TITLE, caption, sizeof caption);
        if (!args.silent) platform_message_box(message, caption, MB_OK | MB_ICONERROR);
        uninstall_release(&run.plan);
        return UNINSTALL_EXIT_BAD_LOG;
    }
    if (args.title[0])
        text_copy(run.title, sizeof run.title, args.title);
    else
        folder_name(run.plan.folder, run.title, sizeof run.title);

    if (args.silent) {
        run.exit_code = uninstall_perform(&run.plan, nullptr, nullptr);
    } else {
        char question[PATH_CAPACITY + TEXT_CAPACITY];
        uninstall_text(texts, KW_TEXT_UN_QUESTION, question, sizeof question, run.title);
        uninstall_text(texts, KW_TEXT_UN_TITLE, caption, sizeof caption);
        if (platform_message_box(question, caption, MB_YESNO | MB_ICONQUESTION) != IDYES) {
            uninstall_release(&run.plan);
            return UNINSTALL_EXIT_CANCELLED;
        }
        InitCommonControls();
        if (DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_UNINSTALL), nullptr, uninstall_procedure,
                            (LPARAM)&run) < 0)
            run.exit_code = uninstall_perform(&run.plan, nullptr, nullptr); // no dialog: go on
    }
    if (run.plan.log_state != UNINSTALL_KEPT_FOR_RETRY && platform_path_exists(self))
        start_cleanup_copy(self);
    uninstall_release(&run.plan);
    return run.exit_code;
}
