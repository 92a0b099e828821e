// The wizard's painting: the banner (picture or gradient with the window title), the step rows
// of the progress page and the hourglass of the running row. Drawing objects live for one
// request; only the banner picture and its palette are kept, in the state record.
#include "shell/win32/wizard_paint.h"

#include "resource_ids.h"
#include "script/script.h"
#include "script/script_keywords.h"
#include "shell/bitmap_check.h"
#include "platform/platform.h"
#include "platform/win32/text_win32.h"
#include "shell/win32/bitmap_load.h"
#include "state/installer_state.h"

#include <cstring>

namespace {

enum : int {
    GRADIENT_BANDS = 256,
    TITLE_HEIGHT = 50,      // the banner title's font height
    TITLE_LIFT = 10,        // its baseline above the banner's bottom edge
    ICON_SIZE = 16,         // one cell of the step-icon strip
    ICON_LEFT = 4,          // the icon's place in a step row
    ICON_TOP = 4,           //
    CAPTION_LEFT = 24,      // the caption's place in a step row
    CAPTION_TOP = 6,        //
    FIRST_HOURGLASS = 3,    // strip cell of hourglass frame 0
    HOURGLASS_FRAMES = 10,  // anim_frame runs 0..9
    ROW_TEXT_CAPACITY = 512 // a row's text is read up to 511 characters
};

// The picture's own size: a banner of any size fills the window whole.
void picture_size(HBITMAP bitmap, int *width, int *height) {
    BITMAP info;
    if (GetObjectA(bitmap, sizeof info, &info) && info.bmWidth > 0 && info.bmHeight > 0) {
        *width = info.bmWidth;
        *height = info.bmHeight;
    } else {
        *width = 640;
        *height = 480;
    }
}

void paint_picture(const DRAWITEMSTRUCT *item, HBITMAP bitmap, HPALETTE palette) {
    HDC memory = CreateCompatibleDC(item->hDC);
    HPALETTE previous_palette = nullptr;
    if (palette) {
        previous_palette = SelectPalette(item->hDC, palette, FALSE);
        RealizePalette(item->hDC);
        SelectPalette(memory, palette, FALSE);
        RealizePalette(memory);
    }
    HGDIOBJ previous = SelectObject(memory, bitmap);
    int width, height;
    picture_size(bitmap, &width, &height);
    const RECT &r = item->rcItem;
    StretchBlt(item->hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, memory, 0, 0, width,
               height, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    if (previous_palette) SelectPalette(item->hDC, previous_palette, FALSE);
}

// 256 bands from pure blue to black, and the window title centred above the bottom edge.
void paint_gradient(const DRAWITEMSTRUCT *item) {
    const RECT &r = item->rcItem;
    for (int i = 0; i < GRADIENT_BANDS; i++) {
        HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255 - i));
        RECT band;
        SetRect(&band, 0, MulDiv(i, r.bottom, GRADIENT_BANDS), r.right,
                MulDiv(i + 1, r.bottom, GRADIENT_BANDS));
        FillRect(item->hDC, &band, brush);
        DeleteObject(brush);
    }
    HFONT font =
        CreateFontA(TITLE_HEIGHT, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, 0, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Arial");
    HGDIOBJ previous = SelectObject(item->hDC, font);
    SetTextColor(item->hDC, RGB(255, 255, 255));
    SetBkMode(item->hDC, TRANSPARENT);
    SetTextAlign(item->hDC, TA_CENTER | TA_BOTTOM);
    get_value(&g_state, KW_WINDOWTITLE, text_buffer, sizeof text_buffer);
    wchar_t *title = win32_widen_alloc(text_buffer);
    if (title)
        TextOutW(item->hDC, (r.left + r.right) / 2, r.bottom - TITLE_LIFT, title, lstrlenW(title));
    platform_free(title);
    SelectObject(item->hDC, previous);
    DeleteObject(font);
}

// Strip cell of the running row's hourglass; a frame outside 0..9 shows frame 0.
int hourglass_cell(void) {
    int frame = anim_frame >= 0 && anim_frame < HOURGLASS_FRAMES ? anim_frame : 0;
    return FIRST_HOURGLASS + frame;
}

// White row; the icon of its state character and the caption behind it, or nothing at all
// for a text whose first character is no state ("XXXX" for unused rows, or empty).
void paint_step_row(const DRAWITEMSTRUCT *item) {
    HDC dc = item->hDC;
    FillRect(dc, &item->rcItem, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HPALETTE strip_palette;
    HBITMAP strip =
        load_resource_bitmap((HINSTANCE)module_instance, IDB_STEP_ICONS, &strip_palette);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = strip ? SelectObject(memory, strip) : nullptr;
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    wchar_t row[ROW_TEXT_CAPACITY];
    if (!GetWindowTextW(item->hwndItem, row, ROW_TEXT_CAPACITY)) row[0] = 0;
    int cell = -1;
    switch (row[0]) {
    case L'0':
    case L'1':
    case L'2':
        cell = row[0] - L'0';
        break;
    case L'3':
        cell = hourglass_cell();
        break;
    default:
        row[0] = 0;
    }
    if (cell >= 0) {
        const RECT &r = item->rcItem;
        if (strip)
            BitBlt(dc, r.left + ICON_LEFT, r.top + ICON_TOP, ICON_SIZE, ICON_SIZE, memory,
                   ICON_SIZE * cell, 0, SRCCOPY);
        TextOutW(dc, r.left + CAPTION_LEFT, r.top + CAPTION_TOP, row + 1, lstrlenW(row + 1));
    }
    if (strip) SelectObject(memory, previous);
    DeleteObject(strip);
    DeleteDC(memory);
    DeleteObject(strip_palette);
}

} // namespace

void load_banner(HWND, installer_state *state) {
    release_banner(state);
    HDC screen = GetDC(nullptr);
    int bits = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);
    char name[PATH_CAPACITY];
    if (!banner_member_name(state, bits, name, sizeof name)) return;
    HPALETTE palette = nullptr;
    state->banner_bitmap = load_member_bitmap(state, name, &palette);
    state->banner_palette = palette;
}

void release_banner(installer_state *state) {
    if (state->banner_bitmap) DeleteObject(static_cast<HBITMAP>(state->banner_bitmap));
    if (state->banner_palette) DeleteObject(static_cast<HPALETTE>(state->banner_palette));
    state->banner_bitmap = state->banner_palette = nullptr;
}

void paint_owner_drawn(HWND, const DRAWITEMSTRUCT *item) {
    if (item->CtlID != IDC_BANNER)
        paint_step_row(item);
    else if (g_state.banner_bitmap)
        paint_picture(item, static_cast<HBITMAP>(g_state.banner_bitmap),
                      static_cast<HPALETTE>(g_state.banner_palette));
    else
        paint_gradient(item);
}

void animate_running_row(HWND dialog) {
    if (++anim_frame >= HOURGLASS_FRAMES) anim_frame = 0;
    HPALETTE strip_palette;
    HBITMAP strip =
        load_resource_bitmap((HINSTANCE)module_instance, IDB_STEP_ICONS, &strip_palette);
    if (!strip) return;
    HDC dialog_dc = GetDC(dialog);
    HDC memory = CreateCompatibleDC(dialog_dc);
    ReleaseDC(dialog, dialog_dc);
    HGDIOBJ previous = SelectObject(memory, strip);
    for (int id = IDC_STEP_ROW_FIRST; id <= IDC_STEP_ROW_LAST; id++) {
        HWND row = GetDlgItem(dialog, id);
        if (!row || !IsWindowVisible(row)) continue;
        wchar_t first[2] = L"";
        GetWindowTextW(row, first, 2);
        if (first[0] != L'3') continue;
        // Only the icon: the caption beside it stays as the last full paint left it.
        HDC dc = GetDC(row);
        BitBlt(dc, ICON_LEFT, ICON_TOP, ICON_SIZE, ICON_SIZE, memory, ICON_SIZE * hourglass_cell(),
               0, SRCCOPY);
        ReleaseDC(row, dc);
    }
    SelectObject(memory, previous);
    DeleteObject(strip);
    DeleteDC(memory);
    DeleteObject(strip_palette);
}
