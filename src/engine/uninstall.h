// The uninstaller's core: reads the Uninstal.log an install run left in the destination folder
// and removes what it names, newest record first: files (shortcuts among them), registry keys
// under HKEY_CLASSES_ROOT with their subkeys (an extension borrowed from another program is
// given back instead), folders that are empty, then the log and the destination folder when
// empty. It never touches what the log does not name, and removes only what is provably the
// product's: a record naming anything outside the destination, the Start menu's Programs folder
// or the desktop (the user's, or all users' when elevated), reached through a link, on the
// desktop or in the Start menu but no shell link, or a key that no longer points into the
// installation, is refused and reported instead; and a log changed after the install sealed it
// is refused whole. What could not be removed is collected in a report for the user; the exit
// code says whether anything was left.
#pragma once

#include "engine/install_log.h"

#include <cstddef>
#include <cstdint>

// Exit codes of the uninstaller (kvuninst.exe, kvpack simulate --uninstall).
enum uninstall_exit : int {
    UNINSTALL_EXIT_OK = 0,         // everything the log names is gone
    UNINSTALL_EXIT_INCOMPLETE = 1, // something stayed: in use, a folder not empty, a refused line
    UNINSTALL_EXIT_BAD_LOG = 2,    // no log, not a log, or the log of another folder: nothing done
    UNINSTALL_EXIT_CANCELLED = 3,  // the user said no: nothing done
};

// A record of the log.
enum uninstall_kind : int {
    UNINSTALL_FILE = 0,
    UNINSTALL_FOLDER = 1,
    UNINSTALL_REG = 2,
};

// What became of a record.
enum uninstall_outcome : int {
    UNINSTALL_REMOVED = 0,        // removed now
    UNINSTALL_ABSENT = 1,         // was not there any more
    UNINSTALL_NOT_EMPTY = 2,      // a folder that holds what the log does not name: kept
    UNINSTALL_FAILED = 3,         // the removal failed (error code kept)
    UNINSTALL_REFUSED = 4,        // outside what an uninstaller may touch: left alone
    UNINSTALL_DEFERRED = 5,       // the running uninstaller or the log: removed at the very end
    UNINSTALL_KEPT_FOR_RETRY = 6, // the log (and uninstaller) after a failed removal: kept
    UNINSTALL_REFUSED_BEHIND_LINK = 7,  // a folder on the way is a link: what it names is elsewhere
    UNINSTALL_REFUSED_LINK = 8,         // a link that cannot be removed without what it points at,
                                        // or a link on the desktop or in the Start menu
    UNINSTALL_REFUSED_NOT_SHORTCUT = 9, // on the desktop or in the Start menu, but no shell link
    UNINSTALL_REFUSED_NOT_OURS = 10,    // a key that no longer points into the installation, or
                                        // the entry of another program
    UNINSTALL_GIVEN_BACK = 11, // an extension key that stays: given back to the class it named
                               // before, or holding what another program put there since
};

// Where a path record lies: the folder below which it may be removed.
enum uninstall_area : int {
    UNINSTALL_AREA_NONE = -1,       // a registry record, or a refused one
    UNINSTALL_AREA_DESTINATION = 0, // the destination folder: files, folders and links
    UNINSTALL_AREA_PROGRAMS = 1,    // the user's Start menu's Programs folder: shell links, folders
    UNINSTALL_AREA_DESKTOP = 2,     // the user's desktop: shell links and folders
    UNINSTALL_AREA_COMMON_PROGRAMS = 3, // the all-users Programs folder: shell links and folders
    UNINSTALL_AREA_COMMON_DESKTOP = 4,  // the all-users desktop: shell links and folders
    UNINSTALL_AREA_LAST = UNINSTALL_AREA_COMMON_DESKTOP,
};

struct uninstall_entry {
    int kind;         // uninstall_kind
    const char *text; // the record's text line (a path, or HKEY_CLASSES_ROOT\name)
    int outcome;      // uninstall_outcome once decided; -1 before; UNINSTALL_REFUSED from reading
    uint32_t error;   // the system error of UNINSTALL_FAILED
    int area;         // uninstall_area of a path record
    int proven;       // 1: a key shown to be the product's before anything was removed
};

enum : size_t {
    UNINSTALL_LOG_LIMIT = 8u << 20,    // a larger Uninstal.log is refused unread
    UNINSTALL_MESSAGE_CAPACITY = 1024, // the refusal of a log
    UNINSTALL_REPORT_CAPACITY = 8192,  // the report shown at the end (cut with a closing line)
    UNINSTALL_LINE_CAPACITY = 600,     // one line of progress or of the report
};

// Where the special folders are: removal below them is allowed (never of the folder itself).
// "" when the folder is not available.
struct uninstall_places {
    char programs[PATH_CAPACITY];        // the user's Start menu's Programs folder
    char desktop[PATH_CAPACITY];         // the user's desktop
    char common_programs[PATH_CAPACITY]; // the all-users Programs folder ("" unless elevated)
    char common_desktop[PATH_CAPACITY];  // the all-users desktop ("" unless elevated)
};

// Fills places from the shell's special folders ("" for one that is not available): the user's
// own always (an install that was not elevated, or one of a version before machine-wide links,
// made its links there), the all-users ones when this process is elevated, as the install run
// that put its links there was; a process that is not could not remove them anyway.
void uninstall_find_places(uninstall_places *places);

// Told of every record as it is worked on (shell: a list line, a pump of messages).
typedef void (*uninstall_progress_fn)(void *context, const uninstall_entry *entry, size_t done,
                                      size_t total);

struct uninstall_plan {
    const char *texts; // a prepared script whose language and text_un_ keys word the messages
                       // and report (kvpack pack writes it into the uninstaller); null: Dutch
    char folder[PATH_CAPACITY];       // the destination: [DEFFOLDER], no trailing backslash
    char log_path[LOG_PATH_CAPACITY]; // <folder>\Uninstal.log
    char self_path[PATH_CAPACITY];    // the running uninstaller's file; "" when none
    int keep_self;                    // 1: the self file cannot be removed by this process
    uninstall_places places;
    unsigned char log_digest[32]; // SHA-256 of the log's bytes as read
    int log_checked;              // 1 once uninstall_check_log accepted the log
    char *text;                   // the log's bytes, lines cut in place; owned
    uninstall_entry *entries;     // records in the order of the log; owned
    size_t count;
    size_t refused; // records refused while reading
    int log_state;  // outcome of the log itself after uninstall_perform
    uint32_t log_error;
    int folder_state; // outcome of the destination folder after uninstall_perform
    uint32_t folder_error;
};

// Reads folder\Uninstal.log into plan (zeroed first, then given texts; self_path and keep_self
// are the caller's to set afterwards) and marks each record that names anything outside the
// permitted places as refused. 1 when it is a log of this folder; 0 with a message in the words
// of texts in message (capacity cap) when it is missing, unreadable, too large, malformed, or
// its [DEFFOLDER] is another folder (compared ignoring case and trailing backslashes). Release
// the plan in any case.
int uninstall_read(uninstall_plan *plan, const char *folder, const uninstall_places *places,
                   const char *texts, char *message, size_t cap);
// uninstall_read without words: the same reading and refusals, no message (and none of the
// uninstaller's texts in a program that reads a log only to carry it on). The places are found
// (uninstall_find_places) only once a log has been read: a first install has none, and the
// special folders are slow to ask for (under Wine some 10 ms).
int uninstall_read_quiet(uninstall_plan *plan, const char *folder);
// Checks the log read into plan against the product's entries in Windows' list of installed
// programs that name the uninstaller plan->self_path (set it first): where such entries carry a
// digest of the finished log (those under HKEY_LOCAL_MACHINE first: only administrators can
// write there; else those under HKEY_CURRENT_USER), one of them must be the digest of this log.
// 1 when the log may be used (also when no entry carries a digest: an install from before
// digests, or one that made no entry); 0 with a message in the plan's words when it was changed
// after the install, and then nothing may be done.
int uninstall_check_log(uninstall_plan *plan, char *message, size_t cap);
// Removes the records in reverse order, then the log and the destination folder when empty.
// The self file is left when keep_self is set (its folder too then, reported as deferred);
// otherwise removed with the log. When a removal failed (a file in use), the log and the self
// file stay (log_state UNINSTALL_KEPT_FOR_RETRY), so that a second run can finish the work.
// Before anything is removed every key record is judged: a class or extension key only while it
// points into the destination, an entry of the list of installed programs only while it names
// plan->self_path; the others are refused. progress (may be null) sees each record after its
// removal. The exit code: UNINSTALL_EXIT_OK or UNINSTALL_EXIT_INCOMPLETE; UNINSTALL_EXIT_BAD_LOG
// with nothing done when uninstall_check_log has not accepted the log.
int uninstall_perform(uninstall_plan *plan, uninstall_progress_fn progress, void *context);
// The report in the plan's words of what stayed (one line per record and for the destination
// folder) into out (capacity cap); "" when everything went. The number of lines.
size_t uninstall_report(const uninstall_plan *plan, char *out, size_t cap);
// One line for the progress list, in the words of texts (as uninstall_plan's): what the entry
// is and what became of it.
void uninstall_describe(const char *texts, const uninstall_entry *entry, char *out, size_t cap);
// The folder of uninstall_area area in plan: the destination or a special folder; "" when it is
// not available.
const char *uninstall_area_folder(const uninstall_plan *plan, int area);
// 1 when path lies strictly below folder: it begins with folder and a backslash (ignoring
// case), has a name after it, and holds no "." or ".." element, no slash and no second colon.
int uninstall_path_below(const char *path, const char *folder);
// The uninstaller's text of key (a text_un_ keyword) in the words of texts (as uninstall_plan's),
// each %s filled with the next of a and b, into out (capacity cap, cut to fit).
void uninstall_text(const char *texts, uint32_t key, char *out, size_t cap, const char *a = "",
                    const char *b = "");
// Frees what the plan owns; a zeroed plan is fine.
void uninstall_release(uninstall_plan *plan);
