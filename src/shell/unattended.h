// The unattended install, setup.exe /S [/O] [/D=<folder>]: no wizard and no question. The
// option boxes start as the script ticks them, the destination is the rest of the command line
// behind /D= (blanks included) or the wizard's default, the licence counts as accepted, an
// existing file is kept as after "No to all" unless an earlier install's log names it (all are
// replaced with /O), and every message the run would show goes to InsErr.log instead. A script
// whose wizard never reaches a startinstall page installs nothing this way either. The exit
// code tells a deployment tool how it went. No window is made: the run's progress goes nowhere.
#pragma once

#include "state/text.h"

#include <cstdint>

struct install_request;
struct installer_state;

// Exit codes of setup.exe /S (the README lists them).
enum unattended_exit : int {
    UNATTENDED_OK = 0,              // installed, nothing failed
    UNATTENDED_ERRORS = 1,          // every step ran, but a step or a file failed (InsErr.log)
    UNATTENDED_STOPPED = 2,         // a failure whose step says break stopped the install
    UNATTENDED_NO_ARCHIVE = 3,      // no archive found (no InsErr.log: there is no destination)
    UNATTENDED_NO_SCRIPT = 4,       // the archive holds no setup.txt
    UNATTENDED_BAD_DESTINATION = 5, // /D= names a folder longer than a path may be
    // 6 is not used: it meant a hidden window that could not be made, and none is made now
    UNATTENDED_ARCHIVE_CHANGED = 7, // setup.pck differs from the digest its stub carries
    UNATTENDED_NO_START_PAGE = 8,   // the script's steps hold no startinstall page: the wizard
                                    // would install nothing, and neither does /S (nothing written)
};

// The command line of an unattended install, parsed.
struct unattended_command {
    int overwrite;            // /O given: existing files are replaced
    int dest_too_long;        // /D= named more than PATH_CAPACITY - 1 characters
    char dest[PATH_CAPACITY]; // the folder of /D=, "" when none was given (or it was empty)
};

// 1 when the command line asks for an unattended install: its first two characters are "/S" in
// any case (as /X is tested); 0 otherwise, and for null.
int is_unattended_command(const char *command_line);
// Reads the options behind the first two characters, separated by blanks or tabs: /O (any
// case) sets overwrite; /D= (any case) takes the whole rest of the line as the folder, blanks
// included, trailing blanks and one pair of enclosing quotes removed; anything else is ignored.
void parse_unattended_command(const char *command_line, unattended_command *out);
// The exit code of a run that ended with run_result (RUN_COMPLETE, STEP_FAILED,
// STEP_CANCELLED) after writing messages_logged messages to InsErr.log.
int unattended_exit_code(int run_result, int32_t messages_logged);

// The request of command for state's loaded script: the /D= folder or the script's default
// (read_default_dest), the option boxes as the script ticks them, every existing file kept
// (replaced with /O), nobody watching.
void unattended_request(installer_state *state, const unattended_command *command,
                        install_request *request);
// The install for an archive the caller has located (archive_path and archive_offset set):
// loads setup.txt, runs the install steps unattended when its steps hold a startinstall page
// and releases the script and member table. The exit code.
int unattended_install_located(installer_state *state, const unattended_command *command);
// unattended_install_located after locating the running executable's archive.
int unattended_install(installer_state *state, const unattended_command *command);
// The whole of setup.exe /S from the entry: parses the command line and installs into state.
// The exit code.
int run_unattended(installer_state *state, const char *command_line);
