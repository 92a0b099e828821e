// The destination folder: the default composed from the script, and the folder browser, whose
// one rule is that the program always goes into its own folder (default_dest_dir) below the
// folder the user picks: the browser opens at the parent of the destination and its status line
// shows the folder that will really be used. The path arithmetic is kept in plain functions.
#pragma once

#include <cstddef>

struct installer_state;
struct platform_window;

// The browser's title buffer: at most 255 characters of text_pickfolder are shown.
enum : size_t { BROWSE_TITLE_CAPACITY = 256 };

// Appends the own folder (state->default_dir) to path (capacity cap, cut to fit), with a
// backslash between them unless path ends in one or the own folder starts with one; an empty
// path counts as not ending in one.
void append_own_folder(const installer_state *state, char *path, size_t cap);
// dest_path = default_drive ("C:" when empty, which default_drive then becomes) followed by the
// own folder: C: and Demo give C:\Demo, \Demo too; an empty own folder gives C:\.
void compose_default_dest(installer_state *state);
// Reads default_dest_dir and default_dest_drive of the script into the state's own folder and
// drive, then compose_default_dest: the destination every way of installing starts from.
void read_default_dest(installer_state *state);
// The folder the browser opens at, from dest_path into out: its parent when its last part is
// the own folder (ignoring case), a bare drive given its backslash back, else dest_path itself.
void browse_start_folder(const installer_state *state, char *out, size_t cap);
// The browser's status line for the selected folder: that folder with the own folder appended.
void browse_status_text(const installer_state *state, const char *selected, char *out, size_t cap);
// Runs the folder browser owned by owner, titled text_pickfolder or the built-in title (cut to
// 255 characters), opening at browse_start_folder. 1 when the user chose a folder: the chosen
// folder with the own folder appended is then in out (capacity cap); 0 when cancelled.
int browse_for_dest(platform_window *owner, installer_state *state, char *out, size_t cap);
