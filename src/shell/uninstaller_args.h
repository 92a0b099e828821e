// The uninstaller's command line: /S runs it without questions, /T=<title> names the product
// in the question, and /_KVCLEANUP=<process id> <path> is the flag with which the uninstaller
// starts its own copy in the temporary folder to remove the original file once it has ended.
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
