// The two logs an install run leaves in the destination folder: Uninstal.log, the list of
// everything the run created (read by a separate uninstaller, so its bytes are a contract), and
// InsErr.log, one line per failed operation. No failure here stops or interrupts the install.
#pragma once

#include "state/installer_state.h"

#include <cstddef>

// Record kinds of Uninstal.log.
#define LOG_KIND_FILE "[FILE]"
#define LOG_KIND_FOLDER "[FOLDER]"
#define LOG_KIND_REG "[REG]"

enum : size_t {
    LOG_LINE_CAPACITY = 512,     // a log line as the uninstaller reads it: at most 511 bytes
    LOG_PATH_CAPACITY = 600,     // a log's path: the folder (511) and the file name
    LOG_MESSAGE_CAPACITY = 1024, // one formatted error line
};

// The folder both logs live in: "" until a log is created, then dest_path for the rest of the
// process. While it is empty the appends write nothing and report success.
extern char log_folder[PATH_CAPACITY];

// Sets log_folder to dest_path and writes Uninstal.log anew: the creation time, "[DEFFOLDER]"
// and the folder. 1 when the file was written whole, 0 when it could not be created or written
// (log_folder stays set; a log whose header did not go out whole is removed, so no later record
// lands in a file the uninstaller would misread).
int create_uninstall_log(installer_state *state);
// Sets log_folder to dest_path, writes InsErr.log anew with its creation time and records it as
// the "[FILE]" record of Uninstal.log. 1 when written whole, 0 when not (then the file is
// removed again and nothing is recorded).
int create_error_log(installer_state *state);
// Adds the record kind / text to Uninstal.log unless exactly that pair (case-sensitive) is
// already in it. 1 when added, already present, or log_folder is empty; 0 when the file could
// not be opened or written.
int append_uninstall_record(const char *kind, const char *text);
// Appends text and CR LF to InsErr.log. 1 when written or log_folder is empty; 0 when the file
// could not be opened or written.
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
// Forgets log_folder and frees the memory that keeps appends fast (tests, process end).
void install_log_reset(void);
