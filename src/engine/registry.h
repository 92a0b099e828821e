// The registry step: the file associations of the script's reg_associate list (and, when the
// box of extrareg01 is ticked, reg_associate_01), each an extension key and a class key under
// HKEY_CLASSES_ROOT with description, icon and commands. An extension that another program
// owns is borrowed: only its default value changes, and the class it named is remembered in the
// key itself so that the uninstaller can give it back; a class is written only when it is new or
// the product's own, and never loses what others put below it. Every key written is recorded
// in Uninstal.log right after it is made or opened; every failure goes to InsErr.log; nothing
// is shown to the user.
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

// The value of an extension key that names the class the key named before the install took it
// ("" when it had no default value). Absent when the install made the key.
#define REGISTRY_PREVIOUS_CLASS_VALUE "KorvexPreviousClass"

// The value of a class key that an install of the product wrote: the folder it was installed
// into. It marks the class as the product's for a later install into any folder.
#define REGISTRY_INSTALL_FOLDER_VALUE "KorvexInstallFolder"

// One entry of reg_associate: its fields unquoted, and the icon file and commands expanded.
struct reg_association {
    const char *sys_name;  // the class key, such as KorvexDemo.Document
    const char *extension; // the extension key, with its full stop: .kvd
    const char *friendly_name;
    const char *icon_file;
    int32_t icon_index;
    const char *open_command, *print_command, *print_to_command; // "" writes no key
    const char *folder; // the destination: an existing class is the product's when it points below
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
// Writes one entry. Refuses an extension without a full stop, a protected key, and a class that
// exists and is not the product's (it neither carries REGISTRY_INSTALL_FOLDER_VALUE, nor has
// its icon or open command in entry->folder, nor is empty), before touching anything. Then points
// the extension at the class: a new key is made; an existing one keeps its subkeys and values and
// gets REGISTRY_PREVIOUS_CLASS_VALUE naming the class it named (unless it already names this class:
// an earlier install's memory stays). Then the class key's description,
// REGISTRY_INSTALL_FOLDER_VALUE, DefaultIcon and commands, without deleting what else lives below
// it. 1 on success, 0 when anything failed (error lines logged; what was made stays).
int register_association(const reg_association *entry);
// The uninstaller's undoing of the extension key name (of HKEY_CLASSES_ROOT), once it has shown
// that the key still names the product's class: a borrowed key gets back the class it named
// before (or loses its default value when it had none), and the remembered name goes; a key the
// install made is deleted, unless another program has put something there since, when only its
// default value goes. 0 with *kept set to 1 when the key stays, 0 when it was deleted; else the
// error (2 when there is no such key).
uint32_t registry_release_extension(const char *name, int *kept);
// Deletes the key name under parent (null: HKEY_CLASSES_ROOT) with all its subkeys, depth
// first. 0, or the first error met (1010 for an empty name, touching nothing).
uint32_t delete_key_tree(platform_key *parent, const char *name);
