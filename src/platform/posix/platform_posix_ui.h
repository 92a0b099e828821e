// How the POSIX backend answers the user interface: a native test or the packer's simulation
// installs hooks that see every message box and dialog and answer them as a user would.
#pragma once

#include <cstdint>

struct platform_ui_hooks {
    // Answers a message box; null: print it to stderr and press OK (or Yes).
    int (*message_box)(const char *text, const char *caption, uint32_t style, void *context);
    // Runs a dialog; null: the dialog ends at once with 0.
    int (*run_dialog)(int template_id, void *context);
    void *context;
};

extern platform_ui_hooks platform_ui;
