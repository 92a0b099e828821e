// The uninstaller's command line: /S runs it without questions, /T=<title> names the product
// in the question, and /_KVCLEANUP=<process id> <path> is the flag with which the uninstaller
// starts its own copy, in a folder it makes in the temporary folder, to remove the original
// file once it has ended; and what that copy may do, which a line typed by hand cannot widen.
#pragma once

#include "state/text.h"

#include <cstdint>

struct uninstaller_args {
    int silent;                       // /S: no question, no dialog, no message
    char title[PATH_CAPACITY];        // /T=: "" when not given
    int cleanup;                      // 1: this is the temporary copy
    uint32_t cleanup_process;         // ...which waits for this process to end
    char cleanup_path[PATH_CAPACITY]; // ...and then removes this file and its folder when empty
};

// Reads command_line (without the program's name) into args, zeroed first. Options are words
// beginning with a slash, in any case and order: "/S"; "/T=" with a value that runs to the
// next " /" or the end, quotes around it dropped (or the whole option in quotes, as a shell
// passes "/T=Korvex Demo"); "/_KVCLEANUP=" with a process id, a space and
// the rest of the line as the path. Unknown words are ignored. 1 when read, 0 when a cleanup
// flag is malformed (no id or no path), which the caller takes as no cleanup at all.
int parse_uninstaller_args(const char *command_line, uninstaller_args *args);
// The folder the uninstaller of process makes for its clean-up copy, <temp>kvuninst-<process>
// (temp as the system gives it, with or without its trailing backslash), into out (capacity
// cap). 1, or 0 when it does not fit.
int uninstaller_cleanup_folder(const char *temp, uint32_t process, char *out, size_t cap);
// 1 when self, the running copy's own file, is kvuninst.exe in the folder that the uninstaller
// named by args made for it in temp: the proof that an uninstaller handed over, not a line typed
// by hand; 0 otherwise.
int uninstaller_cleanup_place(const uninstaller_args *args, const char *self, const char *temp);
// The clean-up copy's work once the original has ended: only from its proper place (above), it
// removes args->cleanup_path when that file's bytes are exactly those of self (never just a file
// of the same size), then that file's folder (the destination) when it is empty now. 1 when the
// file went; 0 when refused (another place, no such file, other bytes) with nothing removed;
// -1 when the removal failed (the loader may still hold the file: try again).
int uninstaller_clean_up(const uninstaller_args *args, const char *self, const char *temp);
