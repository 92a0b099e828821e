// Pictures for the wizard: checked packed bitmaps turned into display bitmaps and palettes.
#include "shell/win32/bitmap_load.h"

#include "shell/bitmap_check.h"
#include "state/installer_state.h"

#include <cstring>

namespace {

// A checked picture's info header cut to its 40-byte core, with room for the largest table.
struct checked_info {
    BITMAPINFOHEADER header;
    RGBQUAD colours[BMP_MAX_COLOURS];
};

// The display bitmap of the packed bitmap of size bytes at dib, its palette through palette
// (selected and realised on the screen), or null when the picture fails the checks.
HBITMAP bitmap_from_packed(const unsigned char *dib, size_t size, HPALETTE *palette) {
    *palette = nullptr;
    bitmap_layout layout;
    if (!bitmap_check_packed(dib, size, &layout)) return nullptr;
    // GDI reads only this copy: header fields beyond the first 40 bytes (colour profiles with
    // offsets of their own) never reach it, and every entry it may index exists.
    checked_info info;
    memset(&info, 0, sizeof info);
    memcpy(&info.header, dib, BMP_INFO_HEADER_SIZE);
    info.header.biSize = BMP_INFO_HEADER_SIZE;
    info.header.biSizeImage = 0;
    info.header.biClrUsed = layout.colour_count;
    memcpy(info.colours, dib + layout.colours_offset, 4 * (size_t)layout.colour_count);

    HDC screen = GetDC(nullptr);
    int count = 0;
    *palette = make_palette(&info.header, &count);
    if (*palette) {
        SelectPalette(screen, *palette, FALSE);
        RealizePalette(screen);
    }
    HBITMAP bitmap = CreateDIBitmap(screen, &info.header, CBM_INIT, dib + layout.pixels_offset,
                                    reinterpret_cast<BITMAPINFO *>(&info), DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

} // namespace

HPALETTE make_palette(const BITMAPINFOHEADER *header, int *count) {
    int n = header->biBitCount <= 8 ? 1 << header->biBitCount : 0;
    // The checks allow no more than 256 used colours; the bound stands here all the same.
    if (header->biClrUsed != 0)
        n = header->biClrUsed > BMP_MAX_COLOURS ? (int)BMP_MAX_COLOURS : (int)header->biClrUsed;
    *count = n;
    if (n == 0) return nullptr;
    struct {
        WORD version, entries;
        PALETTEENTRY entry[BMP_MAX_COLOURS];
    } logical;
    const RGBQUAD *table = reinterpret_cast<const RGBQUAD *>(
        reinterpret_cast<const BYTE *>(header) + BMP_INFO_HEADER_SIZE);
    logical.version = 0x300;
    logical.entries = (WORD)n;
    for (int i = 0; i < n; i++) {
        logical.entry[i].peRed = table[i].rgbRed;
        logical.entry[i].peGreen = table[i].rgbGreen;
        logical.entry[i].peBlue = table[i].rgbBlue;
        logical.entry[i].peFlags = 0;
    }
    return CreatePalette(reinterpret_cast<LOGPALETTE *>(&logical));
}

HBITMAP load_resource_bitmap(HINSTANCE module, int id, HPALETTE *palette) {
    *palette = nullptr;
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), RT_BITMAP);
    if (!resource) return nullptr;
    HGLOBAL handle = LoadResource(module, resource);
    const unsigned char *dib =
        handle ? static_cast<const unsigned char *>(LockResource(handle)) : nullptr;
    HBITMAP bitmap =
        dib ? bitmap_from_packed(dib, SizeofResource(module, resource), palette) : nullptr;
    if (handle) FreeResource(handle);
    return bitmap;
}

HBITMAP load_member_bitmap(installer_state *state, const char *name, HPALETTE *palette) {
    *palette = nullptr;
    banner_file file;
    if (!banner_file_read(state, name, &file)) return nullptr;
    HBITMAP bitmap = bitmap_from_packed(file.block + file.layout.info_offset,
                                        file.size - file.layout.info_offset, palette);
    banner_file_free(&file);
    return bitmap;
}
