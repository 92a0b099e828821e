// The wizard's pictures as display bitmaps: a bitmap resource of the program (the step icons),
// a BMP member of the archive (the banner), and the palette made from a picture's colour
// table. Every picture passes bitmap_check before GDI sees it, and GDI is handed a copy of
// the checked header and colour table, never the picture's own header.
#pragma once

#include <windows.h>

struct installer_state;

// Bitmap resource id of module as a display bitmap compatible with the screen; its palette
// (none for a picture without a colour table) through palette, selected and realised on the
// screen. The bitmap, or null when the resource is absent or fails the checks.
HBITMAP load_resource_bitmap(HINSTANCE module, int id, HPALETTE *palette);
// The same for the BMP member name of the state's archive; null when the archive or member
// is missing, the reader fails or the picture fails the checks.
HBITMAP load_member_bitmap(installer_state *state, const char *name, HPALETTE *palette);
// A palette of the colour table that follows header (a 40-byte info header; the caller has
// checked that the table lies behind it): 2^bits entries for 8 bits or less, the used-colours
// count when that is not 0. Count of entries through count; null (count 0) without a table.
HPALETTE make_palette(const BITMAPINFOHEADER *header, int *count);
