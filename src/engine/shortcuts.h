// Shortcuts: the startmenu and desktop steps. Each entry of program_group or desktop_shortcut
// names a group folder under the special folder, the link's file name, its target and
// optionally working folder, icon file and index, and description; a link is made for every
// entry whose target exists. The special folders are all users' when the process is elevated
// (the install is machine-wide), else the user's own. Folders made on the way and every link
// saved are recorded for the uninstaller.
#pragma once

#include <cstdint>

struct install_job;

// Which shortcuts a step makes.
enum shortcut_kind : int {
    SHORTCUTS_STARTMENU = 0, // program_group under the Start menu's Programs (choice bit 0x01)
    SHORTCUTS_DESKTOP = 1,   // desktop_shortcut on the desktop (choice bit 0x02)
};

// Saves one link file at link_path: target, working folder, icon file and index, description
// (empty texts allowed). COM failures go to InsErr.log; the link path is recorded as "[FILE]"
// whenever the save was tried. The last COM result: negative for failure.
int32_t save_shell_link(const char *link_path, const char *target, const char *working_folder,
                        const char *icon_file, int icon_index, const char *description);
// Makes the links of kind when its choice bit is set. 1 when the bit is clear, or when at least
// one entry reached its special folder and no folder or link failed; 0 when something failed or
// no entry got that far (an empty block, or every target missing).
int make_shortcuts(install_job *job, int kind);
// The startmenu and desktop steps: the progress bar reset to 0..1, position 0, then
// make_shortcuts. Its result.
int startmenu_step(install_job *job);
int desktop_step(install_job *job);
