// The POSIX backend's fake list box and focus, as a test sees them: it reads the entries the
// core added, selects entries by hand as a user would, and checks where the focus went.
#pragma once

#include "platform/platform_list.h"

// What the fake dialog holds besides its texts (platform_posix_ui.h keeps those).
struct platform_list_view_state {
    int item;         // id of the list the core last addressed
    int tab_stops[4]; // the stops set last, and how many
    int tab_count;
    int extent; // horizontal extent set last
    int focus;  // item that holds the focus; 0 before any was given it
    int adds;   // entries added since the reset
};
extern platform_list_view_state platform_list_view;

// Empties the list and forgets tabs, extent and focus.
void platform_list_reset(void);
