// The wizard's painting: the owner-drawn banner (the window's background) and step rows of the
// progress page, the hourglass animation of the running row, and the banner picture, loaded at
// start-up and released at the window's destruction. The dialog procedure forwards to these.
#pragma once

#include <windows.h>

struct installer_state;

// Loads the banner picture the script names (a BMP member: bitmap16 below 8 bits per pixel
// when the script has it, else bitmap) into banner_bitmap and banner_palette of state, freeing
// any earlier ones; both stay null when there is none or it fails the checks (the gradient).
void load_banner(HWND dialog, installer_state *state);
// Frees banner_bitmap and banner_palette of state.
void release_banner(installer_state *state);
// WM_DRAWITEM: paints the banner (control 1000) or a step row (any other owner-drawn control).
void paint_owner_drawn(HWND dialog, const DRAWITEMSTRUCT *item);
// WM_TIMER: advances the hourglass of the running step row and redraws only its icon.
void animate_running_row(HWND dialog);
