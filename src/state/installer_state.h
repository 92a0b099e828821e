// The one record of a run: every module reads and writes installer_state, which the entry
// zeroes once; beside it live the few globals the dialogs' painting shares (text_buffer and
// friends).
// Text fields are zero-terminated and every copy into them goes through text_copy (cut, never
// overflow).
#pragma once

#include "state/text.h"

#include <cstddef>
#include <cstdint>

// choice_flags bits
enum : uint32_t {
    CHOICE_STARTMENU = 1, // check box 5003: create the Start-menu links
    CHOICE_DESKTOP = 2,   // check box 5004: create the desktop links
    CHOICE_LAUNCH = 8,    // check box 5031: launch the program when the wizard closes
    CHOICE_EXTRAREG = 16, // check box 5008: the reg_associate_01 associations
};

struct installer_state {
    // Wizard navigation
    int32_t first_page;   // always 0
    int32_t current_page; // index into the steps list; first_page <= current_page < page_count
    int32_t page_count;   // lines whose first word is a page keyword

    // User choices
    uint32_t choice_flags; // CHOICE_* bits

    // Run control
    int32_t step_counter;     // 0: preparation next; n >= 1: install step n-1 next
    int32_t run_active;       // 0/1: an install run is under way; its handlers run nested in
                              // Next's, and a second Next (Enter) must not start another
    int32_t cancel_requested; // 0/1: the user confirmed the abort question
    int32_t extract_mode;     // 0/1: command line began with /X
    int32_t unattended;       // 0/1: command line began with /S: no window, nothing asked

    // Destination
    char dest_path[PATH_CAPACITY];      // destination folder, no trailing backslash once running
    char default_drive[DRIVE_CAPACITY]; // default_dest_drive, "C:" by default
    char default_dir[DIR_CAPACITY];     // default_dest_dir, appended to a browsed folder

    // Archive
    char archive_path[PATH_CAPACITY]; // file holding the records; empty until located
    int32_t member_count;             // rows in member_table
    uint32_t archive_offset;          // file offset of the first record (0 for a .pck file)

    // Install bookkeeping
    int32_t yes_to_all;   // 0/1
    int32_t no_to_all;    // 0/1
    int64_t bytes_total;  // unpacked bytes the copy step will write (64-bit: installs over 2 GiB)
    int64_t bytes_copied; // unpacked bytes written so far
    int32_t messages_logged; // messages of an unattended run, written to InsErr.log instead

    // Owned resources: each null or valid; replaced blocks are freed first
    char *script_text;    // prepared setup.txt, heap block
    void *member_table;   // member table of the run, heap block
    void *banner_bitmap;  // platform bitmap handle or null
    void *banner_palette; // platform palette handle or null
    void *archive_guard;  // the .pck checked against the stub's digest, held open (shared
                          // for reading only) so it cannot change while it is read; or null
};

extern installer_state g_state;
extern void *module_instance;                  // module whose resources the dialogs load
extern char text_buffer[TEXT_BUFFER_CAPACITY]; // shared query result; valid until the next query
extern int32_t window_width, window_height;    // the desktop work area, taken at wizard start
extern int32_t anim_frame;                     // hourglass frame 0..9, starts at 1
