// The two logs an install run leaves in the destination folder: Uninstal.log, the list of
// everything the run created (read by a separate uninstaller, so its bytes are a contract), and
// InsErr.log, one line per failed operation. No failure here stops or interrupts the install.
// The logs of a run are a record the run owns (install_log); the appends below write to the
// one bound with install_log_bind, so that code far from the run (a registry entry, a folder
// made for a shortcut) reports without being handed it.
#pragma once

#include "archive/lza_sha256.h"
#include "state/installer_state.h"

#include <cstddef>

struct platform_file;

// Record kinds of Uninstal.log.
#define LOG_KIND_FILE "[FILE]"
#define LOG_KIND_FOLDER "[FOLDER]"
#define LOG_KIND_REG "[REG]"

enum : size_t {
    LOG_LINE_CAPACITY = 512,     // a log line as the uninstaller reads it: at most 511 bytes
    LOG_PATH_CAPACITY = 600,     // a log's path: the folder (511) and the file name
    LOG_MESSAGE_CAPACITY = 1024, // one formatted error line
};

// The lines written to Uninstal.log in this run, kept so that an append need not read the
// file back (install_log.cpp says when it may answer for the file).
struct install_log_index {
    char path[LOG_PATH_CAPACITY]; // the file it describes; "" when it describes none
    int64_t size;                 // the file's size after our last write
    int usable;                   // 0: the file must be scanned instead
    char **slots;                 // keys, null for a free slot (an open-addressing set)
    size_t capacity;              // slots: a power of two, or 0
    size_t used;                  // keys held
};

// The logs of one run. Zeroed, it describes no log.
struct install_log {
    char folder[PATH_CAPACITY]; // where both logs live: "" until one is created, then dest_path
    platform_file *uninstall;   // Uninstal.log held open for appending; null: opened at the
                                // next append (after a failed open, or around a scan)
    platform_file *errors;      // InsErr.log, likewise
    install_log_index index;
    lza_sha256 written; // every byte this run wrote to Uninstal.log
    int written_known;  // 1: the log was created by this run and every write said what it wrote
};

// Makes log the one every operation below works on (null: none; the appends then write
// nothing and report success). Returns the log bound before, for the caller to bind again.
install_log *install_log_bind(install_log *log);
// Closes the files log holds and frees its index; log is then zeroed (no folder).
void install_log_close(install_log *log);
// Closes the files the bound log holds open, keeping its folder, index and digest: a reader
// that does not share writing (the log read back once the run has ended) can then open them.
// The next append opens its file again.
void install_log_close_files(void);
// install_log_close of the bound log, which stays bound (tests between cases, process end).
void install_log_reset(void);

// Sets the bound log's folder to dest_path and writes Uninstal.log anew: the creation time,
// "[DEFFOLDER]" and the folder. 1 when the file was written whole, 0 when it could not be
// created or written (the folder stays set; a log whose header did not go out whole is removed,
// so no later record lands in a file the uninstaller would misread).
int create_uninstall_log(installer_state *state);
// Sets the bound log's folder to dest_path, writes InsErr.log anew with its creation time and
// records it as the "[FILE]" record of Uninstal.log. 1 when written whole, 0 when not (then the
// file is removed again and nothing is recorded).
int create_error_log(installer_state *state);
// Adds the record kind / text to Uninstal.log unless exactly that pair (case-sensitive) is
// already in it; the record is in the file (written, not held back) when this returns. 1 when
// added, already present, or no log folder is set; 0 when the file could not be opened or
// written.
int append_uninstall_record(const char *kind, const char *text);
// Appends text and CR LF to InsErr.log. 1 when written or no log folder is set; 0 when the
// file could not be opened or written.
int append_error_line(const char *text);
// append_error_line of the printf-style format with its arguments (cut to
// LOG_MESSAGE_CAPACITY - 1 bytes).
int append_error_format(const char *format, ...) __attribute__((format(printf, 1, 2)));
// The SHA-256 of every byte this run wrote to Uninstal.log since creating it, into digest: once
// the run has ended, the digest of the finished log as it should stand. 1 when the log was
// created by this run and every write said how much it wrote; 0 when not.
int uninstall_log_digest(unsigned char digest[32]);
// 1 when the last part of path (after its last backslash or slash) is the name of one of the
// two logs as Windows would open it: any case, trailing dots and blanks ignored. A file of that
// name in the destination folder would replace the log, so no copy may write one.
int is_log_file_name(const char *path);
