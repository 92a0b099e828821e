// kvrobot: a console test robot that drives the installer stub through its real windows, as a
// person would, and prints one line per observation. It runs in the same Windows session (under
// Wine in the tests) and reads a flow script, one command a line:
//
//   start setup.exe [args]            start the program under test (the robot's current folder)
//   start-line "command line"         start it with exactly this command line (CreateProcessW):
//                                     no quoting added, every character kept
//   timeout SECONDS                   how long every wait may take (default 20)
//   wait-window "caption"             wait for a visible top-level window of the process; it
//                                     becomes the window that control commands address
//   expect-msgbox "caption" "text"    wait for a message box of the process and compare
//   press OK|Yes|No|Cancel            press a button of the current message box, wait until it
//                                     is gone
//   click ID                          post a button click to a control (async), e.g. Next
//   check ID                          click a check box or radio button and wait for its state
//   set-text ID "text"                replace a control's text (the folder edit box)
//   read-control ID                   print a control's text, visibility and enabled state
//   expect-text ID "text"             wait until a control's text equals the given one
//   expect-checked ID 0|1             wait until a button's check state is the given one
//   expect-visible ID 0|1, expect-enabled ID 0|1
//   read-progress ID                  print a progress bar's position
//   read-list ID                      print a list box's entries (one line each) and selection
//   select-list ID INDEX 0|1          select or deselect one entry of a multiple-selection list
//   expect-list ID INDEX "text"       wait until a list box entry reads the given text
//   expect-list-count ID N            wait until a list box holds N entries
//   expect-selected ID N              wait until N entries of a list box are selected
//   expect-exists "path" 0|1          wait until a file or folder exists (1) or not (0)
//   expect-focus ID                   wait until control ID of the program holds the keyboard focus
//   elapsed LABEL                     print the milliseconds since the last start (benchmarks)
//   list-controls                     print every child of the current window (debugging)
//   wait-gone                         wait until the current window is destroyed
//   sleep MS
//   expect-exit CODE                  wait for the process to end and compare its exit code
//   expect-any-msgbox "caption" "text"  as expect-msgbox, for a box of any other process (the
//                                     program the installer started)
//   expect-no-any-msgbox "caption" MS  no message box of that caption from another program appears
//                                     within MS milliseconds
//   press-key ID escape|enter         post the key to a control of the current window, as typed
//   close-window                      post a close request to the current window (its close box)
//   tree-select-parent ID             select the parent of the selected item of a tree control
//   expect-text-prefix ID "text"      wait until a control's text starts with the given one
//   snapshot NAME                     make the file snapshot.NAME and wait until the host (a
//                                     screenshot script) has taken its picture and removed it
//   mark                              restart the clock (start restarts it too)
//   print-elapsed LABEL               print the milliseconds since the clock's restart (for
//                                     benchmarks; the waits poll every 50 ms)
//
// Texts are double-quoted; \" and \\ escape, \t and \n stand for tab and newline, \xNN for a byte.
// The script is UTF-8, and every text read from a window or written to one is compared and
// printed in UTF-8: the robot reads controls as UTF-16, never through a code page.
// Lines starting with # are comments. The robot exits 0 when every expectation held, 1 on the first
// mismatch or timeout (after ending the program under test) and 2 on a malformed script. It refuses
// to click controls a person could not click (hidden or disabled), because Wine would act on them
// anyway.
#include <windows.h>

#include <commctrl.h>

#include <fcntl.h>
#include <io.h>

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

enum : int { ROBOT_OK = 0, ROBOT_MISMATCH = 1, ROBOT_BAD_SCRIPT = 2 };
enum : size_t { LINE_CAPACITY = 2048, TEXT_CAPACITY = 8192, MAX_ARGS = 8 };
// Message boxes give their text static this id, on Windows and under Wine alike.
static const int MSGBOX_TEXT_ID = 0xFFFF;
static const DWORD POLL_MS = 50;

struct robot {
    PROCESS_INFORMATION process; // the program under test; hProcess null before start
    HWND window;                 // the window control commands address
    HWND msgbox;                 // the message box found by the last expect-msgbox
    DWORD timeout_ms;
    int line_number;
};

static robot g_robot = {{}, nullptr, nullptr, 20000, 0};

static void say(const char *format, ...) {
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    fputc('\n', stdout);
    fflush(stdout);
}

// Ends the program under test so that a failing flow does not leave it waiting for a person.
static void stop_program(void) {
    if (!g_robot.process.hProcess) return;
    if (WaitForSingleObject(g_robot.process.hProcess, 0) == WAIT_TIMEOUT)
        TerminateProcess(g_robot.process.hProcess, 255);
    CloseHandle(g_robot.process.hProcess);
    CloseHandle(g_robot.process.hThread);
    g_robot.process.hProcess = nullptr;
}

static int fail(const char *format, ...) {
    char message[TEXT_CAPACITY];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    say("FAIL line %d: %s", g_robot.line_number, message);
    stop_program();
    return ROBOT_MISMATCH;
}

// ---- script parsing ----------------------------------------------------------------------

// Splits a line into words; a double-quoted word may hold blanks and escapes. Returns the number
// of words, or -1 for an unterminated quote. Words point into line, which is rewritten in place.
static int split_words(char *line, char **words, int capacity) {
    int count = 0;
    char *p = line;
    while (*p) {
        while (*p == ' ' || *p == '\t') p++;
        if (!*p) break;
        if (count == capacity) return count;
        if (*p == '"') {
            char *out = ++p;
            words[count++] = out;
            while (*p && *p != '"') {
                if (*p == '\\' && p[1] == 'x' && isxdigit((unsigned char)p[2]) &&
                    isxdigit((unsigned char)p[3])) {
                    char hex[3] = {p[2], p[3], 0};
                    *out++ = (char)strtol(hex, nullptr, 16);
                    p += 4;
                } else if (*p == '\\' && p[1]) {
                    p++;
                    *out++ = *p == 't' ? '\t' : *p == 'n' ? '\n' : *p;
                    p++;
                } else {
                    *out++ = *p++;
                }
            }
            if (*p != '"') return -1;
            p++;
            *out = 0;
        } else {
            words[count++] = p;
            while (*p && *p != ' ' && *p != '\t') p++;
            if (*p) *p++ = 0;
        }
    }
    return count;
}

// Prints text with the escapes the script uses, so an observation can be pasted into a flow.
static void quote(const char *text, char *out, size_t cap) {
    size_t n = 0;
    out[n++] = '"';
    for (const char *p = text; *p && n + 4 < cap; p++) {
        if (*p == '"' || *p == '\\') {
            out[n++] = '\\';
            out[n++] = *p;
        } else if (*p == '\t' || *p == '\n') {
            out[n++] = '\\';
            out[n++] = *p == '\t' ? 't' : 'n';
        } else if ((unsigned char)*p < 0x20) {
            n += (size_t)snprintf(out + n, cap - n, "\\x%02X", (unsigned char)*p);
        } else {
            out[n++] = *p;
        }
    }
    out[n++] = '"';
    out[n] = 0;
}

// Text with carriage returns dropped, so that "a\nb" in a script matches an edit box's "a\r\nb".
static void drop_returns(char *text) {
    char *out = text;
    for (const char *p = text; *p; p++)
        if (*p != '\r') *out++ = *p;
    *out = 0;
}

// ---- windows of the program under test ------------------------------------------------------

static int belongs_to_program(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return g_robot.process.hProcess && pid == g_robot.process.dwProcessId;
}

// Sends a message to another process's window and returns its answer; 0 when the window does
// not answer within five seconds (hung or gone).
static DWORD_PTR ask(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, message, wparam, lparam, SMTO_ABORTIFHUNG, 5000, &answer))
        return 0;
    return answer;
}

// A UTF-8 text as UTF-16 into out (cap units); "" when it does not convert.
static void widen(const char *text, WCHAR *out, size_t cap) {
    if (!MultiByteToWideChar(CP_UTF8, 0, text, -1, out, (int)cap)) out[0] = 0;
    out[cap - 1] = 0;
}

// Reads a window's text across processes as UTF-16, into UTF-8: WM_GETTEXT is marshalled,
// GetWindowTextA is not (it returns the caption Wine caches, which is wrong for another
// process's edit box), and an 8-bit read turns what the code page lacks into '?'.
static void window_text(HWND window, char *out, size_t cap) {
    out[0] = 0;
    static WCHAR wide[TEXT_CAPACITY];
    DWORD_PTR copied = 0;
    wide[0] = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, TEXT_CAPACITY, (LPARAM)wide, SMTO_ABORTIFHUNG,
                             5000, &copied))
        wide[0] = 0;
    wide[TEXT_CAPACITY - 1] = 0;
    if (!WideCharToMultiByte(CP_UTF8, 0, wide, -1, out, (int)cap, nullptr, nullptr)) out[0] = 0;
    out[cap - 1] = 0;
    drop_returns(out);
}

static int class_is(HWND window, const char *name) {
    char class_name[64];
    GetClassNameA(window, class_name, sizeof class_name);
    return lstrcmpiA(class_name, name) == 0;
}

static int is_message_box(HWND window) {
    return class_is(window, "#32770") && GetDlgItem(window, MSGBOX_TEXT_ID) != nullptr;
}

struct window_search {
    const char *caption; // exact caption, or null for any
    int want_msgbox;     // 1: message boxes only; 0: anything but message boxes
    HWND found;
};

static BOOL CALLBACK match_window(HWND window, LPARAM param) {
    window_search *search = (window_search *)param;
    if (!belongs_to_program(window) || !IsWindowVisible(window)) return TRUE;
    if (is_message_box(window) != search->want_msgbox) return TRUE;
    if (search->caption) {
        char caption[TEXT_CAPACITY];
        window_text(window, caption, sizeof caption);
        if (strcmp(caption, search->caption) != 0) return TRUE;
    }
    search->found = window;
    return FALSE;
}

// Polls until a visible top-level window of the program matches. The window, or null on timeout.
static HWND wait_for_window(const char *caption, int want_msgbox) {
    DWORD start = GetTickCount();
    for (;;) {
        window_search search = {caption, want_msgbox, nullptr};
        EnumWindows(match_window, (LPARAM)&search);
        if (search.found) return search.found;
        if (GetTickCount() - start > g_robot.timeout_ms) return nullptr;
        if (g_robot.process.hProcess &&
            WaitForSingleObject(g_robot.process.hProcess, POLL_MS) == WAIT_OBJECT_0)
            return nullptr; // it ended: nothing more will appear
    }
}

static int wait_until_gone(HWND window) {
    DWORD start = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (GetTickCount() - start > g_robot.timeout_ms) return 0;
        Sleep(POLL_MS);
    }
    return 1;
}

static int parse_id(const char *word, int *id) {
    char *end = nullptr;
    long value = strtol(word, &end, 0);
    if (!*word || *end) return 0;
    *id = (int)value;
    return 1;
}

// The control of the current window with this id, or null (with the failure reported).
static HWND control(int id) {
    if (!g_robot.window || !IsWindow(g_robot.window)) return nullptr;
    return GetDlgItem(g_robot.window, id);
}

// ---- commands ------------------------------------------------------------------------------

// Starts the program under test with exactly the UTF-8 command line given, as UTF-16.
static int start_exactly(const char *command_line) {
    static WCHAR wide[LINE_CAPACITY];
    widen(command_line, wide, LINE_CAPACITY);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, wide, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &g_robot.process))
        return fail("cannot start '%s': error %lu", command_line, GetLastError());
    say("started %s", command_line);
    return ROBOT_OK;
}

static int do_start(char **words, int count) {
    char command_line[LINE_CAPACITY] = "";
    for (int i = 1; i < count; i++) {
        // An argument with a blank in it stays one argument, as typed in quotes.
        const int quoted = strchr(words[i], ' ') != nullptr;
        if (i > 1) strncat(command_line, " ", sizeof command_line - strlen(command_line) - 1);
        if (quoted) strncat(command_line, "\"", sizeof command_line - strlen(command_line) - 1);
        strncat(command_line, words[i], sizeof command_line - strlen(command_line) - 1);
        if (quoted) strncat(command_line, "\"", sizeof command_line - strlen(command_line) - 1);
    }
    return start_exactly(command_line);
}

static int do_wait_window(const char *caption) {
    HWND window = wait_for_window(caption, 0);
    char quoted[TEXT_CAPACITY];
    quote(caption, quoted, sizeof quoted);
    if (!window) return fail("no window %s appeared", quoted);
    g_robot.window = window;
    say("window %s", quoted);
    return ROBOT_OK;
}

static int do_expect_msgbox(const char *caption, const char *text) {
    HWND box = wait_for_window(nullptr, 1);
    if (!box) return fail("no message box appeared");
    char seen_caption[TEXT_CAPACITY], seen_text[TEXT_CAPACITY];
    char q1[TEXT_CAPACITY], q2[TEXT_CAPACITY];
    window_text(box, seen_caption, sizeof seen_caption);
    window_text(GetDlgItem(box, MSGBOX_TEXT_ID), seen_text, sizeof seen_text);
    quote(seen_caption, q1, sizeof q1);
    quote(seen_text, q2, sizeof q2);
    say("msgbox %s %s", q1, q2);
    g_robot.msgbox = box;
    if (strcmp(seen_caption, caption) != 0 || strcmp(seen_text, text) != 0)
        return fail("message box differs from the expected one");
    return ROBOT_OK;
}

static int button_id(const char *name) {
    static const struct {
        const char *name;
        int id;
    } names[] = {{"OK", IDOK}, {"Cancel", IDCANCEL}, {"Yes", IDYES}, {"No", IDNO}};
    for (const auto &n : names)
        if (lstrcmpiA(n.name, name) == 0) return n.id;
    return 0;
}

// A click a person could make: the control exists, is visible and enabled.
static int clickable(HWND button, int id) {
    if (!button) return fail("no control %d", id), 0;
    if (!IsWindowVisible(button)) return fail("control %d is hidden", id), 0;
    if (!IsWindowEnabled(button)) return fail("control %d is disabled", id), 0;
    return 1;
}

static int do_press(const char *name) {
    int id = button_id(name);
    if (!id) return fail("unknown message box button '%s'", name);
    if (!g_robot.msgbox || !IsWindow(g_robot.msgbox)) return fail("no message box to press");
    HWND button = GetDlgItem(g_robot.msgbox, id);
    if (!clickable(button, id)) return ROBOT_MISMATCH;
    // Posted, not sent: the box's owner may answer only after the box has closed.
    PostMessageA(button, BM_CLICK, 0, 0);
    if (!wait_until_gone(g_robot.msgbox)) return fail("message box stayed after %s", name);
    g_robot.msgbox = nullptr;
    say("pressed %s", name);
    return ROBOT_OK;
}

static int do_click(int id) {
    HWND button = control(id);
    if (!clickable(button, id)) return ROBOT_MISMATCH;
    PostMessageA(button, BM_CLICK, 0, 0);
    say("clicked %d", id);
    return ROBOT_OK;
}

static int do_check(int id) {
    HWND button = control(id);
    if (!clickable(button, id)) return ROBOT_MISMATCH;
    DWORD_PTR ignored = 0; // sent: a check box's click is handled before the call returns
    SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, g_robot.timeout_ms, &ignored);
    DWORD_PTR state = ask(button, BM_GETCHECK, 0, 0);
    say("check %d = %d", id, (int)state);
    return ROBOT_OK;
}

static int do_set_text(int id, const char *text) {
    HWND window = control(id);
    if (!window) return fail("no control %d", id);
    static WCHAR wide[TEXT_CAPACITY];
    widen(text, wide, TEXT_CAPACITY);
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, WM_SETTEXT, 0, (LPARAM)wide, SMTO_ABORTIFHUNG, 5000, &answer);
    char quoted[TEXT_CAPACITY];
    quote(text, quoted, sizeof quoted);
    say("set %d %s", id, quoted);
    return ROBOT_OK;
}

static void describe_control(HWND window, int id) {
    char text[TEXT_CAPACITY], quoted[TEXT_CAPACITY];
    window_text(window, text, sizeof text);
    quote(text, quoted, sizeof quoted);
    say("control %d visible=%d enabled=%d text=%s", id, IsWindowVisible(window) ? 1 : 0,
        IsWindowEnabled(window) ? 1 : 0, quoted);
}

static int do_read_control(int id) {
    HWND window = control(id);
    if (!window) return fail("no control %d", id);
    describe_control(window, id);
    return ROBOT_OK;
}

enum probe { PROBE_TEXT, PROBE_CHECKED, PROBE_VISIBLE, PROBE_ENABLED };

// Polls a control's property until it has the wanted value (a posted click may not have been
// handled yet when the next line is read).
static int do_expect(probe what, int id, const char *wanted) {
    HWND window = control(id);
    if (!window) return fail("no control %d", id);
    DWORD start = GetTickCount();
    char seen[TEXT_CAPACITY];
    for (;;) {
        switch (what) {
        case PROBE_TEXT:
            window_text(window, seen, sizeof seen);
            break;
        case PROBE_CHECKED:
            snprintf(seen, sizeof seen, "%d", (int)ask(window, BM_GETCHECK, 0, 0));
            break;
        case PROBE_VISIBLE:
            snprintf(seen, sizeof seen, "%d", IsWindowVisible(window) ? 1 : 0);
            break;
        case PROBE_ENABLED:
            snprintf(seen, sizeof seen, "%d", IsWindowEnabled(window) ? 1 : 0);
            break;
        }
        if (strcmp(seen, wanted) == 0) break;
        if (GetTickCount() - start > g_robot.timeout_ms) break;
        Sleep(POLL_MS);
    }
    static const char *const names[] = {"text", "checked", "visible", "enabled"};
    char quoted[TEXT_CAPACITY];
    quote(seen, quoted, sizeof quoted);
    say("%s %d %s", names[what], id, what == PROBE_TEXT ? quoted : seen);
    if (strcmp(seen, wanted) != 0) return fail("control %d: %s differs", id, names[what]);
    return ROBOT_OK;
}

static int do_read_progress(int id) {
    HWND bar = control(id);
    if (!bar) return fail("no control %d", id);
    say("progress %d %d", id, (int)ask(bar, PBM_GETPOS, 0, 0));
    return ROBOT_OK;
}

// Reads a list box entry across processes: the 8-bit LB_GETTEXT comes back as the first
// character only, so the entry is fetched as UTF-16 and converted to UTF-8.
static void list_entry_text(HWND list, int index, char *out, size_t cap) {
    out[0] = 0;
    LRESULT length = (LRESULT)ask(list, LB_GETTEXTLEN, (WPARAM)index, 0);
    if (length < 0 || (size_t)length >= cap) return;
    WCHAR wide[TEXT_CAPACITY];
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(list, LB_GETTEXT, (WPARAM)index, (LPARAM)wide, SMTO_ABORTIFHUNG, 5000,
                             &copied) ||
        (LRESULT)copied == LB_ERR)
        return;
    wide[copied < TEXT_CAPACITY ? copied : TEXT_CAPACITY - 1] = 0;
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, out, (int)cap, nullptr, nullptr);
    out[cap - 1] = 0;
}

static int do_read_list(int id) {
    HWND list = control(id);
    if (!list) return fail("no control %d", id);
    int count = (int)ask(list, LB_GETCOUNT, 0, 0);
    say("list %d count=%d", id, count);
    for (int i = 0; i < count; i++) {
        char text[TEXT_CAPACITY], quoted[TEXT_CAPACITY];
        list_entry_text(list, i, text, sizeof text);
        int selected = (int)ask(list, LB_GETSEL, i, 0);
        quote(text, quoted, sizeof quoted);
        say("item %d selected=%d %s", i, selected > 0 ? 1 : 0, quoted);
    }
    return ROBOT_OK;
}

// Icon and bitmap statics carry a resource reference, not a text: report whether they show
// a picture instead.
static int shows_picture(HWND child, int *has_picture) {
    if (!class_is(child, "Static")) return 0;
    LONG type = GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK;
    if (type != SS_ICON && type != SS_BITMAP) return 0;
    *has_picture = ask(child, STM_GETIMAGE, type == SS_ICON ? IMAGE_ICON : IMAGE_BITMAP, 0) != 0;
    return 1;
}

static int do_select_list(int id, int index, int selected) {
    HWND list = control(id);
    if (!clickable(list, id)) return ROBOT_MISMATCH;
    if ((LONG_PTR)ask(list, LB_SETSEL, selected != 0, index) == LB_ERR)
        return fail("list %d has no entry %d", id, index);
    say("selected %d %d = %d", id, index, (int)ask(list, LB_GETSEL, index, 0) > 0 ? 1 : 0);
    return ROBOT_OK;
}

static BOOL CALLBACK describe_child(HWND child, LPARAM) {
    char class_name[64];
    GetClassNameA(child, class_name, sizeof class_name);
    char text[TEXT_CAPACITY], quoted[TEXT_CAPACITY];
    int has_picture = 0;
    if (shows_picture(child, &has_picture)) {
        snprintf(quoted, sizeof quoted, "picture=%d", has_picture);
    } else {
        window_text(child, text, sizeof text);
        quote(text, quoted, sizeof quoted);
    }
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, g_robot.window, (POINT *)&r, 2);
    say("child %d class=%s style=%08lx exstyle=%08lx rect=%ld,%ld,%ld,%ld visible=%d enabled=%d %s",
        GetDlgCtrlID(child), class_name, (unsigned long)GetWindowLongA(child, GWL_STYLE),
        (unsigned long)GetWindowLongA(child, GWL_EXSTYLE), r.left, r.top, r.right - r.left,
        r.bottom - r.top, IsWindowVisible(child) ? 1 : 0, IsWindowEnabled(child) ? 1 : 0, quoted);
    return TRUE;
}

static int do_list_controls(void) {
    if (!g_robot.window || !IsWindow(g_robot.window)) return fail("no current window");
    EnumChildWindows(g_robot.window, describe_child, 0);
    return ROBOT_OK;
}

static int do_wait_gone(void) {
    if (!g_robot.window) return fail("no current window");
    if (!wait_until_gone(g_robot.window)) return fail("window stayed");
    g_robot.window = nullptr;
    say("window gone");
    return ROBOT_OK;
}

static int do_expect_exit(const char *wanted) {
    if (!g_robot.process.hProcess) return fail("no program started");
    if (WaitForSingleObject(g_robot.process.hProcess, g_robot.timeout_ms) != WAIT_OBJECT_0)
        return fail("the program did not end");
    DWORD code = 0;
    GetExitCodeProcess(g_robot.process.hProcess, &code);
    CloseHandle(g_robot.process.hProcess);
    CloseHandle(g_robot.process.hThread);
    g_robot.process.hProcess = nullptr;
    say("exit %lu", (unsigned long)code);
    char seen[16];
    snprintf(seen, sizeof seen, "%lu", (unsigned long)code);
    if (strcmp(seen, wanted) != 0) return fail("exit code differs");
    return ROBOT_OK;
}

enum list_probe { PROBE_LIST_ENTRY, PROBE_LIST_COUNT, PROBE_LIST_SELECTED };

// Polls a list box until an entry's text, its entry count or its selection count is the wanted
// one (a posted click of "select all" may not have been handled yet).
static int do_expect_list(list_probe what, int id, int index, const char *wanted) {
    HWND list = control(id);
    if (!list) return fail("no control %d", id);
    DWORD start = GetTickCount();
    char seen[TEXT_CAPACITY];
    for (;;) {
        if (what == PROBE_LIST_ENTRY)
            list_entry_text(list, index, seen, sizeof seen);
        else
            snprintf(seen, sizeof seen, "%d",
                     (int)(LRESULT)ask(
                         list, what == PROBE_LIST_COUNT ? LB_GETCOUNT : LB_GETSELCOUNT, 0, 0));
        if (strcmp(seen, wanted) == 0 || GetTickCount() - start > g_robot.timeout_ms) break;
        Sleep(POLL_MS);
    }
    char quoted[TEXT_CAPACITY];
    quote(seen, quoted, sizeof quoted);
    static const char *const names[] = {"entry", "count", "selected"};
    if (what == PROBE_LIST_ENTRY)
        say("list %d entry %d %s", id, index, quoted);
    else
        say("list %d %s %s", id, names[what], quoted);
    if (strcmp(seen, wanted) != 0) return fail("list %d: %s differs", id, names[what]);
    return ROBOT_OK;
}

// Polls until path exists (wanted 1) or does not (wanted 0), as the program under test sees it.
static int do_expect_exists(const char *path, int wanted) {
    DWORD start = GetTickCount();
    int seen;
    static WCHAR wide[LINE_CAPACITY];
    widen(path, wide, LINE_CAPACITY);
    while ((seen = GetFileAttributesW(wide) != INVALID_FILE_ATTRIBUTES) != wanted &&
           GetTickCount() - start <= g_robot.timeout_ms)
        Sleep(POLL_MS);
    char quoted[TEXT_CAPACITY];
    quote(path, quoted, sizeof quoted);
    say("exists %s %d", quoted, seen);
    if (seen != wanted) return fail("%s: existence differs", quoted);
    return ROBOT_OK;
}

// Polls the program's thread until control id of the current window holds the keyboard focus.
static int do_expect_focus(int id) {
    if (!g_robot.window) return fail("no current window");
    DWORD start = GetTickCount();
    int seen = 0;
    for (;;) {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        seen = GetGUIThreadInfo(g_robot.process.dwThreadId, &info) && info.hwndFocus &&
                       GetParent(info.hwndFocus) == g_robot.window
                   ? GetDlgCtrlID(info.hwndFocus)
                   : 0;
        if (seen == id || GetTickCount() - start > g_robot.timeout_ms) break;
        Sleep(POLL_MS);
    }
    say("focus %d", seen);
    if (seen != id) return fail("control %d does not hold the focus", id);
    return ROBOT_OK;
}

// Milliseconds since the program under test was last started (0 before any start).
static DWORD g_started_at;

// ---- commands for the wizard's flows ----------------------------------------------------------

struct foreign_search {
    const char *caption;
    HWND found;
};

static BOOL CALLBACK match_foreign_box(HWND window, LPARAM param) {
    foreign_search *search = (foreign_search *)param;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId() || belongs_to_program(window)) return TRUE;
    if (!IsWindowVisible(window) || !is_message_box(window)) return TRUE;
    char caption[TEXT_CAPACITY];
    window_text(window, caption, sizeof caption);
    if (strcmp(caption, search->caption) != 0) return TRUE;
    search->found = window;
    return FALSE;
}

static int do_expect_any_msgbox(const char *caption, const char *text) {
    DWORD start = GetTickCount();
    foreign_search search = {caption, nullptr};
    while (EnumWindows(match_foreign_box, (LPARAM)&search), !search.found) {
        if (GetTickCount() - start > g_robot.timeout_ms) break;
        Sleep(POLL_MS);
    }
    char q1[TEXT_CAPACITY], q2[TEXT_CAPACITY], seen[TEXT_CAPACITY];
    quote(caption, q1, sizeof q1);
    if (!search.found) return fail("no message box %s of another program appeared", q1);
    window_text(GetDlgItem(search.found, MSGBOX_TEXT_ID), seen, sizeof seen);
    quote(seen, q2, sizeof q2);
    say("other msgbox %s %s", q1, q2);
    g_robot.msgbox = search.found;
    if (strcmp(seen, text) != 0) return fail("message box text differs from the expected one");
    return ROBOT_OK;
}

static DWORD g_mark = 0; // the benchmark clock: GetTickCount at start or mark

static int do_print_elapsed(const char *label) {
    say("elapsed %s %lu ms", label, (unsigned long)(GetTickCount() - g_mark));
    return ROBOT_OK;
}

static int do_expect_no_any_msgbox(const char *caption, int ms) {
    DWORD start = GetTickCount();
    foreign_search search = {caption, nullptr};
    while (EnumWindows(match_foreign_box, (LPARAM)&search), !search.found) {
        if (GetTickCount() - start > (DWORD)ms) break;
        Sleep(POLL_MS);
    }
    char quoted[TEXT_CAPACITY];
    quote(caption, quoted, sizeof quoted);
    if (search.found) return fail("a message box %s of another program appeared", quoted);
    say("no other msgbox %s", quoted);
    return ROBOT_OK;
}

static int do_press_key(int id, const char *name) {
    WPARAM key = !lstrcmpiA(name, "escape") ? VK_ESCAPE : !lstrcmpiA(name, "enter") ? VK_RETURN : 0;
    if (!key) return ROBOT_BAD_SCRIPT;
    HWND target = control(id);
    if (!target) return fail("no control %d", id);
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, (LPARAM)0xC0000001);
    say("key %s to %d", name, id);
    return ROBOT_OK;
}

static int do_close_window(void) {
    if (!g_robot.window || !IsWindow(g_robot.window)) return fail("no current window");
    PostMessageA(g_robot.window, WM_CLOSE, 0, 0);
    say("close requested");
    return ROBOT_OK;
}

// Item handles are plain values, so a tree of another process is walked without shared memory.
static int do_tree_select_parent(int id) {
    HWND tree = control(id);
    if (!clickable(tree, id)) return ROBOT_MISMATCH;
    LPARAM selected = (LPARAM)ask(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    LPARAM parent = selected ? (LPARAM)ask(tree, TVM_GETNEXTITEM, TVGN_PARENT, selected) : 0;
    if (!parent) return fail("tree %d: the selection has no parent", id);
    ask(tree, TVM_SELECTITEM, TVGN_CARET, parent);
    say("tree %d: parent selected", id);
    return ROBOT_OK;
}

static int do_expect_text_prefix(int id, const char *wanted) {
    HWND window = control(id);
    if (!window) return fail("no control %d", id);
    DWORD start = GetTickCount();
    char seen[TEXT_CAPACITY], quoted[TEXT_CAPACITY];
    for (;;) {
        window_text(window, seen, sizeof seen);
        if (strncmp(seen, wanted, strlen(wanted)) == 0) break;
        if (GetTickCount() - start > g_robot.timeout_ms) break;
        Sleep(POLL_MS);
    }
    quote(seen, quoted, sizeof quoted);
    say("text %d %s", id, quoted);
    if (strncmp(seen, wanted, strlen(wanted)) != 0) return fail("control %d: text differs", id);
    return ROBOT_OK;
}

static int do_snapshot(const char *name) {
    char path[MAX_PATH];
    snprintf(path, sizeof path, "snapshot.%s", name);
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return fail("snapshot %s: cannot make %s", name, path);
    CloseHandle(file);
    say("snapshot %s", name);
    DWORD start = GetTickCount();
    while (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start > g_robot.timeout_ms) return fail("snapshot %s not taken", name);
        Sleep(POLL_MS);
    }
    return ROBOT_OK;
}

// Runs one script line. ROBOT_OK, ROBOT_MISMATCH or ROBOT_BAD_SCRIPT.
static int run_line(char *line) {
    char *words[MAX_ARGS + 1];
    int count = split_words(line, words, MAX_ARGS + 1);
    if (count < 0) return ROBOT_BAD_SCRIPT;
    if (count == 0 || words[0][0] == '#') return ROBOT_OK;
    const char *verb = words[0];
    int id = 0;
    int has_id = count >= 2 && parse_id(words[1], &id);

    if (!strcmp(verb, "start-line") && count == 2) {
        g_started_at = g_mark = GetTickCount();
        return start_exactly(words[1]);
    }
    if (!strcmp(verb, "start") && count >= 2) {
        g_started_at = g_mark = GetTickCount();
        return do_start(words, count);
    }
    if (!strcmp(verb, "mark") && count == 1) {
        g_mark = GetTickCount();
        return ROBOT_OK;
    }
    if (!strcmp(verb, "print-elapsed") && count == 2) return do_print_elapsed(words[1]);
    if (!strcmp(verb, "timeout") && count == 2) {
        g_robot.timeout_ms = (DWORD)atoi(words[1]) * 1000;
        return ROBOT_OK;
    }
    if (!strcmp(verb, "sleep") && count == 2) {
        Sleep((DWORD)atoi(words[1]));
        return ROBOT_OK;
    }
    if (!strcmp(verb, "wait-window") && count == 2) return do_wait_window(words[1]);
    if (!strcmp(verb, "expect-msgbox") && count == 3) return do_expect_msgbox(words[1], words[2]);
    if (!strcmp(verb, "press") && count == 2) return do_press(words[1]);
    if (!strcmp(verb, "click") && count == 2 && has_id) return do_click(id);
    if (!strcmp(verb, "check") && count == 2 && has_id) return do_check(id);
    if (!strcmp(verb, "set-text") && count == 3 && has_id) return do_set_text(id, words[2]);
    if (!strcmp(verb, "read-control") && count == 2 && has_id) return do_read_control(id);
    if (!strcmp(verb, "expect-text") && count == 3 && has_id)
        return do_expect(PROBE_TEXT, id, words[2]);
    if (!strcmp(verb, "expect-checked") && count == 3 && has_id)
        return do_expect(PROBE_CHECKED, id, words[2]);
    if (!strcmp(verb, "expect-visible") && count == 3 && has_id)
        return do_expect(PROBE_VISIBLE, id, words[2]);
    if (!strcmp(verb, "expect-enabled") && count == 3 && has_id)
        return do_expect(PROBE_ENABLED, id, words[2]);
    if (!strcmp(verb, "read-progress") && count == 2 && has_id) return do_read_progress(id);
    if (!strcmp(verb, "read-list") && count == 2 && has_id) return do_read_list(id);
    int index = 0, selected = 0;
    if (!strcmp(verb, "select-list") && count == 4 && has_id && parse_id(words[2], &index) &&
        parse_id(words[3], &selected))
        return do_select_list(id, index, selected);
    if (!strcmp(verb, "expect-list") && count == 4 && has_id && parse_id(words[2], &index))
        return do_expect_list(PROBE_LIST_ENTRY, id, index, words[3]);
    if (!strcmp(verb, "expect-list-count") && count == 3 && has_id)
        return do_expect_list(PROBE_LIST_COUNT, id, 0, words[2]);
    if (!strcmp(verb, "expect-selected") && count == 3 && has_id)
        return do_expect_list(PROBE_LIST_SELECTED, id, 0, words[2]);
    if (!strcmp(verb, "expect-exists") && count == 3 && parse_id(words[2], &selected))
        return do_expect_exists(words[1], selected != 0);
    if (!strcmp(verb, "expect-focus") && count == 2 && has_id) return do_expect_focus(id);
    if (!strcmp(verb, "elapsed") && count == 2) {
        say("elapsed %s %lu", words[1], (unsigned long)(GetTickCount() - g_started_at));
        return ROBOT_OK;
    }
    if (!strcmp(verb, "list-controls") && count == 1) return do_list_controls();
    if (!strcmp(verb, "wait-gone") && count == 1) return do_wait_gone();
    if (!strcmp(verb, "expect-exit") && count == 2) return do_expect_exit(words[1]);
    if (!strcmp(verb, "expect-any-msgbox") && count == 3)
        return do_expect_any_msgbox(words[1], words[2]);
    int ms = 0;
    if (!strcmp(verb, "expect-no-any-msgbox") && count == 3 && parse_id(words[2], &ms))
        return do_expect_no_any_msgbox(words[1], ms);
    if (!strcmp(verb, "press-key") && count == 3 && has_id) return do_press_key(id, words[2]);
    if (!strcmp(verb, "close-window") && count == 1) return do_close_window();
    if (!strcmp(verb, "tree-select-parent") && count == 2 && has_id)
        return do_tree_select_parent(id);
    if (!strcmp(verb, "expect-text-prefix") && count == 3 && has_id)
        return do_expect_text_prefix(id, words[2]);
    if (!strcmp(verb, "snapshot") && count == 2) return do_snapshot(words[1]);
    return ROBOT_BAD_SCRIPT;
}

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: kvrobot FLOW-FILE\n");
        return ROBOT_BAD_SCRIPT;
    }
    _setmode(_fileno(stdout), _O_BINARY); // plain \n line ends for the shell that reads them
    FILE *flow = fopen(argv[1], "r");
    if (!flow) {
        fprintf(stderr, "kvrobot: cannot open %s\n", argv[1]);
        return ROBOT_BAD_SCRIPT;
    }
    char line[LINE_CAPACITY];
    int result = ROBOT_OK;
    while (result == ROBOT_OK && fgets(line, sizeof line, flow)) {
        g_robot.line_number++;
        line[strcspn(line, "\r\n")] = 0;
        char original[LINE_CAPACITY];
        memcpy(original, line, sizeof original);
        result = run_line(line);
        if (result == ROBOT_BAD_SCRIPT) {
            say("BAD line %d: %s", g_robot.line_number, original);
            stop_program();
        }
    }
    fclose(flow);
    if (result == ROBOT_OK && g_robot.process.hProcess &&
        WaitForSingleObject(g_robot.process.hProcess, 0) == WAIT_TIMEOUT)
        result = fail("the program is still running at the end of the flow");
    stop_program();
    say(result == ROBOT_OK ? "PASS" : "STOPPED");
    return result;
}
