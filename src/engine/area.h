// Writing inside an area without following a link planted there. An elevated install writes
// into folders a user may have prepared: the destination (any user may make a folder on C:\),
// the special folders of the shortcuts, the folder /X unpacks into. A file or folder below such
// an area is written only when every folder from the area down is a real folder and the file
// itself a plain file or nothing; a path elsewhere is confined to its own folder, so that the
// file itself is never a link. A refusal is logged as "Refused Link! (path)".
#pragma once

#include "state/text.h"

#include <cstddef>

struct platform_file;

// A target split for a confined write.
struct area_target {
    char root[PATH_CAPACITY]; // the folder the write is confined to, as the system resolves it
    char path[PATH_CAPACITY]; // the target as root, a backslash and names Windows keeps as they
                              // stand (the platform's confined calls take no other)
};

// Splits target for a write inside area (null or "": no area): below the area, root is the area
// and path the target with its names as Windows resolves them (repeated separators, "." parts,
// trailing dots and blanks); elsewhere, or when a ".." climbs, root is the target's own folder.
// 1, or 0 when it does not fit (out then names target's own folder as well as it can).
int area_target_of(const char *area, const char *target, area_target *out);

// 1 when path lies below area as Windows resolves it: area's text (ignoring case), then names
// that never climb out with "..".
int area_contains(const char *area, const char *path);

// Creates the file the target is written under as a new file: the target itself when nothing
// has its name yet, else a temporary file beside it (make_part_name's name, the caller's
// *counter numbering the names tried, the next on a name taken; the target itself, emptied,
// when it can have none); part receives its path (PATH_CAPACITY). A target that exists is
// not looked at here: area_commit_part does. The file, or null with the error set
// (PLATFORM_ERROR_LINK_REFUSED for a link on the way).
platform_file *area_open_part(const area_target *target, char *part, unsigned *counter);
// Puts part, still open as file, in the place of the target, and closes it. 1 when done (a
// part that is the target is in place); 0 with the error set (PLATFORM_ERROR_LINK_REFUSED when
// the target is a link), part left for area_discard_part.
int area_commit_part(const area_target *target, platform_file *file, const char *part);
// Removes part after a failure, only when it is a plain file, never through a link.
void area_discard_part(const area_target *target, const char *part);

// Logs "Refused Link! (path)" in InsErr.log. Returns 0, for the caller's failure.
int area_refuse_link(const char *path);
