// The product's entry in Windows' list of installed programs: when the script has an uninstall
// line, the registry step writes the standard uninstall key (display name, the uninstaller's
// plain and quiet command, install folder, icon, publisher, version, size, and no modify or
// repair), machine-wide when the process is elevated and for the user otherwise, and records it
// in Uninstal.log with its full root so that the uninstaller removes it as well. Once the run
// has ended it seals the entry with the digest of the finished log, which the uninstaller
// checks before trusting the log. And what both sides share: which file a command names, and
// names compared as Windows compares them.
#pragma once

#include <cstddef>
#include <cstdint>

struct installer_state;

// Where Windows looks for the entries, below HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER.
#define UNINSTALL_PARENT_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"

// The entry's value holding the SHA-256 of the finished Uninstal.log, as lower-case hex.
#define UNINSTALL_DIGEST_VALUE "KorvexLogDigest"

enum : size_t {
    UNINSTALL_NAME_MAX = 255, // the display name is the entry's key: one level of a key name
    UNINSTALL_DIGEST_TEXT_CAPACITY = 65, // 64 hex digits and the NUL
    UNINSTALL_COMMAND_CAPACITY = 1024,   // a command or icon text read back from the registry
};

// The entry as the script gives it, its fields unquoted and the uninstaller expanded.
struct uninstall_listing {
    const char *display_name;     // the name in the list, and the key's name below the parent
    const char *uninstaller;      // full path of the installed uninstaller
    const char *publisher;        // "" writes no Publisher value
    const char *version;          // "" writes no DisplayVersion value
    const char *install_location; // the destination folder
    int64_t bytes_copied;         // what the copy step wrote: EstimatedSize in KB, rounded up
};

// The entry of the script's uninstall line, under HKEY_LOCAL_MACHINE when the process is
// elevated, else HKEY_CURRENT_USER. 1 when written (or the script has no such line), 0 when it
// was refused or failed (the reason is in InsErr.log).
int uninstall_entry_step(installer_state *state);
// Writes entry under root (PLATFORM_HKEY_CURRENT_USER or PLATFORM_HKEY_LOCAL_MACHINE): an
// existing key of that name is deleted with its subkeys first, the new key is recorded as
// "[REG]" with its full root right after its creation, then its values are set. A display name
// that is empty, longer than UNINSTALL_NAME_MAX or holds a backslash, and an empty uninstaller,
// are refused before anything is touched. 1 on success, 0 on failure (logged; what was made
// stays).
int register_uninstall_entry(int root, const uninstall_listing *entry);
// EstimatedSize: bytes in KB, rounded up, held to 32 bits; 0 for no bytes.
uint32_t uninstall_size_kb(int64_t bytes);
// The display name and the expanded uninstaller of the script's uninstall line, into name and
// uninstaller (SCRIPT_EXPAND_CAPACITY each). 1 when read; 0 when the script has none; -1 when
// the uninstaller does not fit.
int uninstall_listing_read(installer_state *state, char *name, char *uninstaller);
// Seals the entry of the script's uninstall line under this process's root (as
// uninstall_entry_step chose it) with the digest of what this run wrote to Uninstal.log, when
// the entry exists and its UninstallString names the script's uninstaller, and sets its
// EstimatedSize to the files the finished log names (upgrade_named_bytes). Called once the run
// has ended, when the log is final. 1 when sealed or there is nothing to seal (no uninstall
// line, no entry, no log of this run); 0 when writing a value failed (logged).
int uninstall_entry_seal(installer_state *state);
// The 64 lower-case hex digits of a SHA-256 digest into out.
void uninstall_digest_text(const unsigned char digest[32],
                           char out[UNINSTALL_DIGEST_TEXT_CAPACITY]);
// The program a command or icon text names into out (capacity cap, cut): the text inside the
// first quotes when it begins with one, else the text up to the first argument (" /", " %", a
// quote) without an icon index at its end (",1"), trailing blanks dropped. Its length.
size_t uninstall_command_program(const char *command, char *out, size_t cap);
// 1 when command names the file path (compared ignoring case, as Windows compares paths), 0
// when it names another file or nothing.
int uninstall_command_names(const char *command, const char *path);
// 1 when a and b agree in their first n bytes ignoring ASCII case (or up to a common end), as
// Windows compares paths and key names; 0 otherwise.
int uninstall_same_text(const char *a, const char *b, size_t n);
// 1 when a and b are the same text ignoring ASCII case; 0 otherwise.
int uninstall_same_name(const char *a, const char *b);
