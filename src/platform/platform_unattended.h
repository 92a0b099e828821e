// The window of an unattended install (setup.exe /S): the wizard's dialog made but never shown,
// so that the install run drives its controls (folder box, option boxes, step rows, progress
// bar, timer) exactly as on the progress page, without anyone seeing or answering anything. On
// Windows the stub's dialog code makes it (src/shell/win32); the POSIX backend opens its
// simulated template.
#pragma once

struct platform_window;

// Makes the dialog of template_id hidden and without an owner. Null when it cannot be made.
platform_window *platform_open_hidden_dialog(int template_id);
// Destroys a dialog of platform_open_hidden_dialog; null is ignored.
void platform_close_hidden_dialog(platform_window *window);
