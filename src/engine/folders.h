// Making folders: the folder step (dir01..dir09 of the script) and the path operations the
// engine shares. Paths use the backslash as their only separator; a leading pair of backslashes
// (a network name, \\server\share) is kept by every normalisation.
#pragma once

#include <cstddef>

struct install_job;
struct platform_file;

// Results of make_path.
enum make_path_result : int {
    MAKE_PATH_FAILED = 0,  // a level could not be created; two lines went to InsErr.log
    MAKE_PATH_MADE = 1,    // every missing level was created
    MAKE_PATH_EXISTED = 2, // the folder was there; nothing was created
};

// Turns every pair of backslashes into one, in place, keeping a leading pair. Returns the new
// length.
size_t collapse_backslashes(char *text);
// collapse_backslashes, then a backslash appended when the text holds none (so "C:" becomes
// "C:\"), within capacity cap. Returns the length after collapsing, before the append.
size_t normalise_folder_path(char *text, size_t cap);
// Non-zero when path names an existing folder (the current directory is never touched).
int folder_exists(const char *path);
// Normalises path (capacity cap) in place and creates it with every missing level above it.
// MAKE_PATH_EXISTED, MAKE_PATH_MADE or MAKE_PATH_FAILED (error lines logged).
int make_path(char *path, size_t cap);
// make_path, with every level below root (see area.h; null: none) made or found only as a real
// folder: a link there or on the way fails it, logged as "Refused Link! (level)".
int make_path_below(char *path, size_t cap, const char *root);
// The temporary file a file is filled under before it replaces destination: a free name of "~"
// and hex digits in the same folder (so the move is a rename), never longer than destination's
// own name, so that every destination that could be created directly can be filled this way
// too. *counter (the caller's, kept between calls) numbers the names tried. 1 with the path in
// part (PATH_CAPACITY bytes); 0 when destination's name is one character or no free name was
// found, and the file must be written to destination directly.
int make_part_path(const char *destination, char *part, unsigned *counter);
// make_part_path's next name without looking whether it is free, for a caller that creates it
// as a new file (which fails on a taken name) and asks again. 1, or 0 when destination's name
// is one character.
int make_part_name(const char *destination, char *part, unsigned *counter);
// make_path_below the destination on path (capacity cap), normalised in place; its result.
int create_listed_folder(install_job *job, char *path, size_t cap);
// The folder step: creates each defined dir01..dir09 folder in order and records every newly
// made one as a "[FOLDER]" record. 1 when none failed, else 0 (the others are still made).
int create_script_folders(install_job *job);
