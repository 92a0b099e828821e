// Painting of the wizard: to be filled in.
#include "shell/win32/wizard_paint.h"

#include "state/installer_state.h"

void load_banner(HWND, installer_state *) {}

void release_banner(installer_state *) {}

void paint_owner_drawn(HWND, const DRAWITEMSTRUCT *) {}

void animate_running_row(HWND) {}
