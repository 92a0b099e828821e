// What proves a record of Uninstal.log to be the product's before the uninstaller acts on it: a
// path reached from its area's folder without passing a link (on the desktop and in the Start
// menu, moreover, a shell link by its bytes), and a key that still points into the destination
// or names this very uninstaller. The core (uninstall.cpp) decides with these; the log's own
// seal is checked by uninstall_check_log (uninstall.h).
#pragma once

#include "engine/uninstall.h"

#include <cstddef>
#include <cstdint>

// The key name of a "[REG]" text naming a key directly below HKEY_CLASSES_ROOT, or null.
const char *uninstall_classes_key(const char *text);
// The key path (below its root, which goes into *root) of a "[REG]" text naming an entry of
// Windows' list of installed programs (the uninstall key and one more level, under
// HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER), or null for any other text.
const char *uninstall_listing_key(const char *text, int *root);
// 1 when head (size bytes) begins as a shell link file does: header size 0x4C and the link
// class {00021401-0000-0000-C000-000000000046}; 0 otherwise.
int uninstall_is_shell_link(const unsigned char *head, size_t size);
// Removes the file or folder (kind UNINSTALL_FILE or UNINSTALL_FOLDER) that path names below
// root, never through a link: a link below root refuses the record, a link at path itself is
// removed as a link unless shortcuts_only (the desktop and the Start menu, where moreover a file
// is removed only when it is a shell link). The uninstall_outcome; *error set for
// UNINSTALL_FAILED.
int uninstall_remove_below(const char *root, const char *path, int kind, int shortcuts_only,
                           uint32_t *error);
// 1 when the file or folder (kind) that path names below root is there as uninstall_remove_below
// would remove it: no link on the way, the kind the record says, and with shortcuts_only a shell
// link or a folder; 0 when it is missing or would be refused.
int uninstall_record_stands(const char *root, const char *path, int kind, int shortcuts_only);
// How the product's entries in the list of installed programs vouch for the log read into plan
// (as uninstall_check_log looks, for plan->self_path).
enum uninstall_seal : int {
    UNINSTALL_SEAL_CHANGED = -1, // an entry carries a digest, and none is this log's
    UNINSTALL_SEAL_NONE = 0,     // no entry carries a digest
    UNINSTALL_SEAL_MATCHED = 1,  // an entry's digest is this log's: the install left it so
};
// The uninstall_seal of the log read into plan.
int uninstall_log_seal(const uninstall_plan *plan);
// 1 when the extension key name of HKEY_CLASSES_ROOT is the product's: its default value names a
// class that a record of plan names and that was proven the product's, or it holds nothing at
// all (made, and never filled); 0 when not; -1 when there is no such key.
int uninstall_extension_is_ours(const uninstall_plan *plan, const char *name);
// Judges every key record of plan not decided yet, before anything is removed: a class while
// its icon or a command names a file below the destination; an extension while its default
// value names a class judged so (or it holds nothing at all); an entry of the list of installed
// programs while its UninstallString names plan->self_path. Those shown to be the product's get
// proven = 1, the others UNINSTALL_REFUSED_NOT_OURS; missing keys stay undecided (absent).
void uninstall_judge_keys(uninstall_plan *plan);
