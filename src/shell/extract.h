// The extract-only mode (setup.exe /X): the portable logic of dialog 116. It lists every member
// record of the archive with its date and size, keeps the program-wide select-all toggle,
// checks the folder the user typed, and unpacks the selected members below that folder, each
// written beside its target and moved into place, every failure named in one message at the
// end. The Win32 dialog procedure only forwards its messages here.
#pragma once

#include "archive/lza_format.h"

#include <cstddef>
#include <cstdint>

struct lza_stream;
struct platform_window;

enum : int {
    EXTRACT_TAB_FIRST = 150, // tab stops of the date and size columns, dialog units
    EXTRACT_TAB_SECOND = 200,
    EXTRACT_LIST_EXTENT = 500, // horizontal scroll extent of the list, pixels
    EXTRACT_MIN_FOLDER = 3,    // a folder text needs at least "C:\"
    EXTRACT_BLOCK = 512,       // bytes taken from the decoder per call
    EXTRACT_STAYS = -1,        // extract_command: the dialog stays open
    EXTRACT_NOT_HANDLED = -2,  // extract_command: not one of the dialog's buttons
};
// Members at least this large show their progress in the status line.
enum : uint32_t { EXTRACT_PROGRESS_SIZE = 1u << 20 };
enum : size_t {
    EXTRACT_ENTRY_CAPACITY = LZA_NAME_TEXT_CAPACITY + 40, // a list entry: a name (765 bytes at
                                                          // most) and its date and size columns
    EXTRACT_WRITE_BUFFER = 64 * 1024,                     // decoded bytes gathered before one write
};

// The dialog's own record, kept by whoever runs the dialog for as long as it is open.
struct extract_session {
    int select_flag; // the select-all toggle: the selection the next press of "Select
                     // all" gives every entry; 1 at start, only that button flips it
    int unpacking;   // 1 while OK unpacks: the presses that pumped messages deliver are ignored
    unsigned part_counter;                      // the temporary names tried (make_part_path)
    unsigned char buffer[EXTRACT_WRITE_BUFFER]; // an unpacked member on its way to its file
};

// A session as the dialog starts: the toggle selects, nothing is being unpacked.
void extract_session_start(extract_session *session);

// Writes into out (capacity cap) the list entry of a member: its name, then a tab, the date of
// file_time as day-month-year without leading zeros, a tab and the unpacked size. Its length.
size_t extract_entry_text(const char *name, const lza_header *header, char *out, size_t cap);
// The display name of a member: the text after its first backslash, or the whole name.
const char *extract_display_name(const char *name);

// Dialog initialisation: tab stops and extent, locate_archive (a missing archive is reported),
// extract_set_texts, then extract_fill_list. 1 when entries were listed, 0 when the list stays
// empty, -1 when the archive is missing and the dialog must end with 0.
int extract_start(platform_window *window);
// Loads the archive's setup.txt into g_state, whose language and text_ keys every text of the
// dialog then follows (Dutch without a script), and gives the caption, the buttons and the
// folder's label their texts.
void extract_set_texts(platform_window *window);
// Lists every record from archive_offset of archive_path as the record walk finds them; each
// entry's data is its record offset. A walk that ends at damage rather than at the end of the
// archive is told in one message (text_x_damaged): the members behind it are missing.
// The number of entries added.
int extract_fill_list(platform_window *window);
// The walk of extract_fill_list over an open stream, from the record at start. The number of
// entries added; *damage_offset (optional) receives where the walk met damage, or -1.
int extract_list_records(platform_window *window, lza_stream *stream, int64_t start,
                         int64_t *damage_offset);

// Handles a press of button id (OK, Cancel, Select all) in session. The result the
// dialog must end with (0 or 1), EXTRACT_STAYS when it stays open, EXTRACT_NOT_HANDLED for
// other ids. While a previous OK is still unpacking (messages are pumped meanwhile), every
// press is ignored.
int extract_command(platform_window *window, extract_session *session, int id);
// "Select all": gives every entry the toggle's selection, then flips the toggle.
void extract_select_all(platform_window *window, extract_session *session);
// OK: the selection and folder checks, the question for a missing folder, the unpack and
// the closing message. 1 when all was unpacked (the dialog ends with 1), else 0.
int extract_ok(platform_window *window, extract_session *session);
// Unpacks the selected entries, in list order, below folder (created when missing). A member
// that Windows would write over one unpacked before it (its name differs only in case or in
// trailing dots and blanks) is refused. 1 when every one was written; 0 after one message that
// names each member that failed and why.
int extract_unpack(platform_window *window, extract_session *session, const char *folder);
