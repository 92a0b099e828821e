// The registry step: the file associations of the script's reg_associate list (and, when the
// box of extrareg01 is ticked, reg_associate_01), each an extension key and a class key under
// HKEY_CLASSES_ROOT with description, icon and commands, written after whatever was there
// under those names has been deleted. Every key made is recorded in Uninstal.log right after
// its creation; every failure goes to InsErr.log; nothing is shown to the user.
#pragma once

#include <cstddef>
#include <cstdint>

struct install_job;
struct platform_key;

// Capacities of an association entry's fields (characters, without the NUL).
enum : size_t {
    ASSOC_SYSNAME_MAX = 63,
    ASSOC_EXTENSION_MAX = 31,
    ASSOC_FRIENDLY_NAME_MAX = 63,
    ASSOC_FILE_MAX = 255, // IconFile and the three commands
};

// One entry of reg_associate: its fields unquoted, and the icon file and commands expanded.
struct reg_association {
    const char *sys_name;  // the class key, such as KorvexDemo.Document
    const char *extension; // the extension key, with its full stop: .kvd
    const char *friendly_name;
    const char *icon_file;
    int32_t icon_index;
    const char *open_command, *print_command, *print_to_command; // "" writes no key
};

// The step. 1 when every list processed succeeded (also when there is none), 0 when one
// failed; the second list is not processed after the first failed. Then, when the script has
// an uninstall line, the product's uninstall entry (uninstall_entry.h), whose failure fails the
// step too.
int registry_step(install_job *job);
// Writes every entry of the list of list_key, moving the progress bar over them; a failed
// entry does not stop the list. 1 when at least one entry was processed and none failed; 0 for
// a failure, an empty list or a first entry without SysName or Extension.
int register_list(install_job *job, uint32_t list_key);
// Writes one entry: the extension key and the class key, each deleted with its subkeys first
// when it exists, then DefaultIcon and the shell commands. Refuses an extension without a full
// stop and a protected key before touching anything. 1 on success, 0 when anything failed
// (error lines logged; what was made stays).
int register_association(const reg_association *entry);
// Deletes the key name under parent (null: HKEY_CLASSES_ROOT) with all its subkeys, depth
// first. 0, or the first error met (1010 for an empty name, touching nothing).
uint32_t delete_key_tree(platform_key *parent, const char *name);
