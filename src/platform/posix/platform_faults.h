// Fault injection for the POSIX backend: tests set a plan, run the core, and reset it.
// Every operation of the backend that can fail on Windows is one numbered call of the table
// below and passes one fault point, so a sweep can fail each call of a run in turn.
// A path field matches every path that contains it (the path as the core wrote it).
#pragma once

#include "platform/platform.h"

#include <cstdint>

// The operations of the POSIX backend that a fault can hit, one per Win32 call they stand for.
// Closing, the clock and the shell's notice of changed associations cannot fail on Windows and
// are not here.
enum platform_call : int {
    PLATFORM_CALL_OPEN_READ,      // platform_open_read
    PLATFORM_CALL_CREATE_WRITE,   // platform_create_write, platform_confined_open (new, truncate)
    PLATFORM_CALL_OPEN_UPDATE,    // platform_open_update
    PLATFORM_CALL_OPEN_APPEND,    // platform_open_append, platform_confined_open (append)
    PLATFORM_CALL_READ,           // platform_read
    PLATFORM_CALL_WRITE,          // platform_write
    PLATFORM_CALL_SEEK,           // platform_seek
    PLATFORM_CALL_FILE_SIZE,      // platform_file_size
    PLATFORM_CALL_ATTRIBUTES,     // platform_path_exists, platform_is_folder, _confined_kind
    PLATFORM_CALL_MAKE_FOLDER,    // platform_make_folder, platform_confined_make_folder
    PLATFORM_CALL_DELETE_FILE,    // platform_delete_file
    PLATFORM_CALL_MOVE,           // platform_move_replace, platform_confined_commit
    PLATFORM_CALL_FREE_SPACE,     // platform_free_space
    PLATFORM_CALL_MODULE_PATH,    // platform_module_path
    PLATFORM_CALL_REG_OPEN,       // platform_reg_open
    PLATFORM_CALL_REG_CREATE,     // platform_reg_create
    PLATFORM_CALL_REG_SET,        // platform_reg_set_default, _set_text, _set_number
    PLATFORM_CALL_REG_ENUM,       // platform_reg_enum_subkey
    PLATFORM_CALL_REG_DELETE,     // platform_reg_delete, _delete_value
    PLATFORM_CALL_ELEVATION,      // platform_process_elevated (a failed query: not elevated)
    PLATFORM_CALL_SPECIAL_FOLDER, // platform_special_folder_path
    PLATFORM_CALL_COM_START,      // platform_com_start
    PLATFORM_CALL_LINK_CREATE,    // platform_link_create
    PLATFORM_CALL_LINK_SAVE,      // platform_link_save
    PLATFORM_CALL_LIST_ADD,       // platform_list_add
    PLATFORM_CALL_LIST_SET_DATA,  // platform_list_set_data
    PLATFORM_CALL_NODE_OPEN,      // platform_node_open
    PLATFORM_CALL_NODE_READ,      // platform_node_read
    PLATFORM_CALL_NODE_REMOVE,    // platform_node_remove
    PLATFORM_CALL_FOLDER_ENTRIES, // platform_folder_entry_count
    PLATFORM_CALL_KINDS
};

// What a failing call of each kind reports: its name in sweep reports, and the Win32 error it
// fails with (a registry call returns it, a COM call its HRESULT, the others set it as the last
// error).
struct platform_call_info {
    const char *name;
    uint32_t error;
};
extern const platform_call_info platform_calls[PLATFORM_CALL_KINDS];

struct platform_fault_plan {
    const char *fail_open_path = nullptr; // opening (or creating a folder at) a matching path fails
    uint32_t fail_open_error = 0;         // the error it fails with (default: access denied)
    const char *limit_path = nullptr;     // files whose path matches obey the two budgets below
    int64_t read_budget = -1;  // bytes left to read before reads come back short; -1: none
    int64_t write_budget = -1; // bytes left to write before the disk is full; -1: none
    int64_t free_space = -1;   // free bytes every volume reports; -1: the real figure;
                               // -2: the platform cannot tell
    const platform_time *fixed_time = nullptr; // the clock's answer; null: the real time

    // Faults by count, for sweeps that fail each call of a run in turn: calls counts every call
    // of the table as it happens (by_kind per kind), and the one numbered fail_call (from 1)
    // fails with its kind's error; failed_kind then tells which kind it was.
    int64_t fail_call = -1; // -1: none
    int64_t calls = 0;
    int64_t by_kind[PLATFORM_CALL_KINDS] = {};
    int failed_kind = -1;
    // Likewise every platform_alloc: the one numbered fail_alloc (from 1) is refused.
    int64_t fail_alloc = -1; // -1: none
    int64_t allocs = 0;
};

extern platform_fault_plan platform_faults;

inline void platform_faults_reset() {
    platform_faults = platform_fault_plan{};
}

// The one fault point every call of the table passes: counts the call. The error it must fail
// with (its kind's, from the table) when the plan numbers this call, else 0. The caller fails
// as its Win32 call does: setting the last error, or returning the code or its HRESULT.
uint32_t platform_fault_point(platform_call call);
