// The shell's side of a shortcut: where the special folders are and how a link file is made.
// On Windows these are the shell's own folders and its link object (COM); off Windows the
// POSIX backend keeps a user profile under the simulated drive C: and writes the same binary
// link files itself. Results of the link calls are COM results (HRESULT): negative is failure.
#pragma once

#include <cstddef>
#include <cstdint>

// Special folders, numbered as the shell numbers them (CSIDL).
enum platform_special_folder : int {
    PLATFORM_FOLDER_DESKTOP = 0,            // the user's desktop
    PLATFORM_FOLDER_PROGRAMS = 2,           // the Programs folder of the user's Start menu
    PLATFORM_FOLDER_COMMON_PROGRAMS = 0x17, // the Programs folder of every user's Start menu
    PLATFORM_FOLDER_COMMON_DESKTOP = 0x19,  // the desktop every user sees
};

// COM results the core names.
enum : int32_t {
    PLATFORM_S_OK = 0,
    PLATFORM_E_FAIL = (int32_t)0x80004005,
    PLATFORM_E_FILENAME_TOO_LONG = (int32_t)0x800700CE, // a link path the shell cannot take
};
// A link's path, in wide characters with its terminator, is at most this long.
enum : size_t { PLATFORM_LINK_PATH_LIMIT = 260 };
// The COM result of a Win32 error code, as the shell reports a failed file operation.
inline int32_t platform_hresult_from_error(uint32_t code) {
    return code == 0 ? PLATFORM_S_OK : (int32_t)(0x80070000u | (code & 0xFFFFu));
}

// The full path of special folder into out (capacity cap). 1 when the folder is available,
// 0 when it is not (out then holds "").
int platform_special_folder_path(int folder, char *out, size_t cap);

// What a shortcut says, handed to the link object in this order: target, working folder, icon
// file and index, description. Empty texts are set as empty.
struct platform_link_properties {
    const char *target;
    const char *working_folder;
    const char *icon_file;
    int icon_index;
    const char *description;
};

struct platform_link; // a link object; opaque

// Starts COM for this thread: its result (negative: COM cannot be used, do not stop it).
int32_t platform_com_start(void);
// Ends what a successful platform_com_start began.
void platform_com_stop(void);
// Makes a link object into *out: its result; *out is null unless the result is non-negative.
int32_t platform_link_create(platform_link **out);
// Sets the four properties, in their order; the object keeps its own copies.
void platform_link_set(platform_link *link, const platform_link_properties *properties);
// Saves the link as the file path. *attempted becomes 1 when the save itself was tried (the
// object offered its persist-file interface), 0 when not. The result of the save (a path of
// PLATFORM_LINK_PATH_LIMIT characters or more fails with PLATFORM_E_FILENAME_TOO_LONG), or of
// the interface request when that failed.
int32_t platform_link_save(platform_link *link, const char *path, int *attempted);
// Releases the object; null is ignored.
void platform_link_release(platform_link *link);
