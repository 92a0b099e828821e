// The one seam between the portable core and the operating system.
// Everything the installer asks of the OS passes through these functions; the Win32
// backend does it for real, the POSIX backend reproduces the Win32 behaviour the core
// relies on (error codes, existence tests) so the core can be tested natively.
#pragma once

#include "resource_ids.h"

#include <cstddef>
#include <cstdint>

// Win32 error codes as the core reports them in its logs ("... Failed: %u").
enum platform_error : uint32_t {
    PLATFORM_OK = 0,
    PLATFORM_ERROR_FILE_NOT_FOUND = 2,
    PLATFORM_ERROR_PATH_NOT_FOUND = 3,
    PLATFORM_ERROR_ACCESS_DENIED = 5,
    PLATFORM_ERROR_INVALID_HANDLE = 6,
    PLATFORM_ERROR_NOT_ENOUGH_MEMORY = 8,
    PLATFORM_ERROR_WRITE_FAULT = 29,
    PLATFORM_ERROR_READ_FAULT = 30,
    PLATFORM_ERROR_HANDLE_DISK_FULL = 39,
    PLATFORM_ERROR_FILE_EXISTS = 80,
    PLATFORM_ERROR_INVALID_PARAMETER = 87,
    PLATFORM_ERROR_BAD_NETPATH = 53,
    PLATFORM_ERROR_DISK_FULL = 112,
    PLATFORM_ERROR_INVALID_NAME = 123,
    PLATFORM_ERROR_DIR_NOT_EMPTY = 145,
    PLATFORM_ERROR_ALREADY_EXISTS = 183,
};

// Message box styles and answers, with the Win32 values so the backend passes them through.
enum platform_mb : uint32_t {
    PLATFORM_MB_OK = 0x0,
    PLATFORM_MB_YESNO = 0x4,
    PLATFORM_MB_ICONERROR = 0x10,
    PLATFORM_MB_ICONQUESTION = 0x20,
    PLATFORM_MB_ICONWARNING = 0x30,
    PLATFORM_MB_ICONINFORMATION = 0x40,
};
enum platform_answer : int {
    PLATFORM_IDOK = 1,
    PLATFORM_IDCANCEL = 2,
    PLATFORM_IDYES = 6,
    PLATFORM_IDNO = 7,
};

// ---- Process ---------------------------------------------------------------

// Hands the backend the program's module (whose path and resources it reads). Called once at
// entry, before anything else of the seam.
void platform_init(void *module);

// Full path of the running executable into out (capacity cap, cut to fit).
// 1 when known, 0 when the platform cannot tell.
int platform_module_path(char *out, size_t cap);

// Error code of the last failing platform call on this thread (GetLastError semantics).
uint32_t platform_last_error(void);
void platform_set_last_error(uint32_t code);

// A text of this machine's ANSI code page (the code page of a log an earlier version wrote)
// as UTF-8 into out (capacity cap, always terminated): Windows-1252 where there is no such
// code page. 1 when it fitted; 0 when it did not (out empty).
int platform_ansi_to_utf8(const char *text, char *out, size_t cap);

// ---- Memory ----------------------------------------------------------------

// A zero-filled heap block of count * size bytes. Null when the product overflows or memory is
// short (error set to PLATFORM_ERROR_NOT_ENOUGH_MEMORY); the POSIX backend can be told to refuse
// blocks, so tests reach every path that handles a refusal.
void *platform_alloc(size_t count, size_t size);
// Frees a block of platform_alloc; null is ignored.
void platform_free(void *block);

// ---- Files -----------------------------------------------------------------

struct platform_file; // an open file; opaque

// Opens an existing file for reading (shared read). Null on failure, error set.
platform_file *platform_open_read(const char *path);
// Creates or truncates a file for writing. Null on failure, error set.
platform_file *platform_create_write(const char *path);
// Opens a file for reading and writing, creating it when missing; positioned at its start.
platform_file *platform_open_update(const char *path);

// Reads up to size bytes. Bytes read (0 at end of file), or -1 on error.
long platform_read(platform_file *file, void *buffer, size_t size);
// Writes size bytes. Bytes written: fewer than size means a failure (error set).
long platform_write(platform_file *file, const void *buffer, size_t size);
// Moves to offset from the file's start. 1 on success, 0 on failure.
int platform_seek(platform_file *file, int64_t offset);
// Size of the open file in bytes, or -1.
int64_t platform_file_size(platform_file *file);
// Closes the file; a null file is ignored.
void platform_close(platform_file *file);

// 1 when path names an existing file or folder, 0 when not.
int platform_path_exists(const char *path);
// 1 when path names an existing folder, 0 when not (never changes the current directory).
int platform_is_folder(const char *path);
// Creates one folder level. 1 made, 0 failed (error set: PLATFORM_ERROR_ALREADY_EXISTS when
// something of that name is there).
int platform_make_folder(const char *path);
// Removes a file. 1 removed, 0 failed.
int platform_delete_file(const char *path);
// Replaces target by source (same folder). 1 on success, 0 on failure.
int platform_move_replace(const char *source, const char *target);
// platform_move_replace of the file open as file, made new at source with delete access: moved
// through the open file where the system can (one request instead of an open, a move and a
// close), else by its name once closed. The file is closed either way. 1 on success, 0 on
// failure (error set; the file is then still at source).
int platform_close_and_move(platform_file *file, const char *source, const char *target);
// Opens an existing file for writing, positioned at its end (shared write). Null when it is
// missing or cannot be opened, error set.
platform_file *platform_open_append(const char *path);

// ---- Time and volumes --------------------------------------------------------

struct platform_time {
    int year, month, day;                   // 2026, 1..12, 1..31
    int hour, minute, second, milliseconds; // 0..23, 0..59, 0..59, 0..999
};
// The local date and time now.
void platform_local_time(platform_time *out);
// Milliseconds since an arbitrary start, wrapping after 2^32: for "at most every so often".
uint32_t platform_tick_count(void);
// Free bytes available to this process on the volume that root names ("C:", or any path on
// it). 1 with *free_bytes set when the platform could tell, 0 when not.
int platform_free_space(const char *root, uint64_t *free_bytes);

// ---- User interface --------------------------------------------------------
// The modal dialogs of the stub's own templates are the stub's (src/shell/dialogs.h); here are
// the system's message box and the controls of a dialog.

struct platform_window; // the wizard dialog (its window handle on Windows); opaque

// Shows a modal message box owned by the active dialog; returns the button pressed.
int platform_message_box(const char *text, const char *caption, uint32_t style);

// The controls of a dialog as the wizard drives them. Items are dialog control ids.
// Text of an item into out (capacity cap, cut to fit); its length.
size_t platform_get_item_text(platform_window *window, int item, char *out, size_t cap);
void platform_set_item_text(platform_window *window, int item, const char *text);
// 1 when the check box item is ticked, else 0.
int platform_is_checked(platform_window *window, int item);
// Range 0..maximum and position of the progress bar item.
void platform_set_progress_range(platform_window *window, int item, int maximum);
void platform_set_progress_pos(platform_window *window, int item, int position);
// Starts or stops the window's timer id, ticking every period_ms while messages are pumped.
void platform_start_timer(platform_window *window, int id, int period_ms);
void platform_stop_timer(platform_window *window, int id);
// Dispatches every message waiting in the thread's queue; returns when it is empty, never waits.
void platform_drain_messages(platform_window *window);

// The overwrite question, as the install run asks it and the stub's dialog (or a test's hook)
// answers it: message, and the four button captions (null keeps the built-in one).
struct platform_overwrite_question {
    const char *message;
    const char *yes, *yes_to_all, *no, *no_to_all;
};
enum platform_overwrite_answer : int {
    PLATFORM_OVERWRITE_YES = IDC_OVERWRITE_YES, // the dialog ends with the id of its button
    PLATFORM_OVERWRITE_NO = IDC_OVERWRITE_NO,
    PLATFORM_OVERWRITE_YES_TO_ALL = IDC_OVERWRITE_YES_TO_ALL,
    PLATFORM_OVERWRITE_NO_TO_ALL = IDC_OVERWRITE_NO_TO_ALL,
};
