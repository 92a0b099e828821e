// kvpaintprobe: the wizard's painting on real GDI (under Wine in the tests), into a 32-bit
// memory bitmap whose pixels the probe reads back: the gradient and its title, a banner
// picture of its own size and of another size, pictures refused by the checks, and the step
// rows by state character. Prints "ok" or "FAIL" per check; exits 0 when every check held.
#include "archive/lza_encode.h"
#include "archive/lza_format.h"
#include "resource_ids.h"
#include "script/script.h"
#include "shell/win32/bitmap_load.h"
#include "shell/win32/wizard_paint.h"
#include "state/installer_state.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using bytes = std::vector<unsigned char>;

static int g_failures;

static void check(bool held, const char *what) {
    printf("%s %s\n", held ? "ok  " : "FAIL", what);
    if (!held) g_failures++;
}

// A 32-bit top-down memory bitmap selected into a memory context: pixel (x, y) is bits[y*w+x].
struct canvas {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ previous;
    uint32_t *bits;
    int width, height;
};

static canvas make_canvas(int width, int height) {
    canvas c = {};
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void *bits = nullptr;
    c.bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    c.bits = static_cast<uint32_t *>(bits);
    c.dc = CreateCompatibleDC(nullptr);
    c.previous = SelectObject(c.dc, c.bitmap);
    c.width = width;
    c.height = height;
    return c;
}

static void free_canvas(canvas *c) {
    SelectObject(c->dc, c->previous);
    DeleteDC(c->dc);
    DeleteObject(c->bitmap);
}

// Pixel as 0xRRGGBB.
static uint32_t pixel(const canvas &c, int x, int y) {
    GdiFlush();
    return c.bits[y * c.width + x] & 0xFFFFFF;
}

static void paint(const canvas &c, int id, HWND control) {
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_BUTTON;
    item.CtlID = (UINT)id;
    item.hwndItem = control;
    item.hDC = c.dc;
    SetRect(&item.rcItem, 0, 0, c.width, c.height);
    paint_owner_drawn(nullptr, &item);
}

// A 24-bit BMP file of width x height whose quadrants are red, green, blue and white.
static bytes quadrant_bmp(int width, int height) {
    int stride = (width * 3 + 3) / 4 * 4;
    bytes b(14 + 40 + (size_t)stride * height, 0);
    auto u32 = [&](size_t at, uint32_t v) { memcpy(&b[at], &v, 4); };
    b[0] = 'B';
    b[1] = 'M';
    u32(2, (uint32_t)b.size());
    u32(10, 54);
    u32(14, 40);
    u32(18, (uint32_t)width);
    u32(22, (uint32_t)height);
    b[26] = 1;
    b[28] = 24;
    for (int y = 0; y < height; y++) { // stored bottom-up: row 0 is the picture's last row
        int top = height - 1 - y;
        for (int x = 0; x < width; x++) {
            uint32_t rgb = top < height / 2 ? (x < width / 2 ? 0xFF0000 : 0x00FF00)
                                            : (x < width / 2 ? 0x0000FF : 0xFFFFFF);
            unsigned char *p = &b[54 + (size_t)y * stride + 3 * x];
            p[0] = rgb & 0xFF;
            p[1] = (rgb >> 8) & 0xFF;
            p[2] = (rgb >> 16) & 0xFF;
        }
    }
    return b;
}

// Appends a packed member record; unpacked_claim replaces the true size when not 0.
static void add_member(bytes &archive, const char *name, const bytes &data,
                       uint32_t unpacked_claim = 0) {
    lza_byte_buffer packed = {};
    lza_encode_memory(data.data(), data.size(), &packed);
    lza_header header = {};
    header.magic = LZA_MAGIC;
    header.const_word_1 = header.const_word_2 = 1;
    header.unpacked_size = unpacked_claim ? unpacked_claim : (uint32_t)data.size();
    header.packed_size = (uint32_t)packed.size;
    header.name_length = (int16_t)(strlen(name) + 1);
    unsigned char raw[LZA_HEADER_SIZE];
    lza_header_encode(&header, raw);
    archive.insert(archive.end(), raw, raw + LZA_HEADER_SIZE);
    archive.insert(archive.end(), name, name + strlen(name) + 1);
    archive.insert(archive.end(), packed.data, packed.data + packed.size);
    lza_byte_buffer_free(&packed);
}

static void gradient_checks(void) {
    const char *script = "windowtitle=\"Titel\"\r\n";
    load_script_text(&g_state, script, strlen(script));
    canvas c = make_canvas(300, 512);
    paint(c, IDC_BANNER, nullptr);
    bool bands = true;
    for (int y = 0; y < 512; y++) bands &= pixel(c, 0, y) == (uint32_t)(255 - y / 2);
    check(bands, "gradient: 256 bands of two rows from pure blue to black");
    check(pixel(c, 299, 0) == 0x0000FF && pixel(c, 299, 511) == 0, "gradient: full width");
    int left = c.width, right = -1, bottom = -1;
    for (int y = 0; y < c.height; y++)
        for (int x = 0; x < c.width; x++)
            if (pixel(c, x, y) == 0xFFFFFF) {
                left = x < left ? x : left;
                right = x > right ? x : right;
                bottom = y > bottom ? y : bottom;
            }
    check(right >= 0 && bottom < 512 - 10 && bottom > 512 - 40,
          "gradient: title just above the bottom");
    check(right >= 0 && (left + right) / 2 >= 144 && (left + right) / 2 <= 156,
          "gradient: title centred");
    free_canvas(&c);
}

static void picture_checks(const std::string &folder) {
    bytes small = quadrant_bmp(64, 48), exact = quadrant_bmp(640, 480);
    bytes cut = small, spoilt = small;
    cut.resize(cut.size() - 1);
    spoilt[28] = 7; // no such depth
    bytes archive;
    add_member(archive, "small.bmp", small);
    add_member(archive, "exact.bmp", exact);
    add_member(archive, "cut.bmp", cut);
    add_member(archive, "spoilt.bmp", spoilt);
    add_member(archive, "huge.bmp", small, (64u << 20) + 1);
    std::string path = folder + "\\paint.pck";
    FILE *f = fopen(path.c_str(), "wb");
    fwrite(archive.data(), 1, archive.size(), f);
    fclose(f);
    strcpy(g_state.archive_path, path.c_str());
    g_state.archive_offset = 0;

    struct {
        const char *member;
        int canvas_w, canvas_h;
        bool loads;
    } cases[] = {{"small.bmp", 128, 96, true},
                 {"exact.bmp", 640, 480, true},
                 {"cut.bmp", 300, 256, false},
                 {"spoilt.bmp", 300, 256, false},
                 {"huge.bmp", 300, 256, false}};
    for (auto &k : cases) {
        std::string script = std::string("bitmap=") + k.member + "\r\nwindowtitle=\"Titel\"\r\n";
        load_script_text(&g_state, script.data(), script.size());
        load_banner(nullptr, &g_state);
        std::string what = std::string("picture ") + k.member;
        check((g_state.banner_bitmap != nullptr) == k.loads,
              (what + ": loaded or refused").c_str());
        canvas c = make_canvas(k.canvas_w, k.canvas_h);
        paint(c, IDC_BANNER, nullptr);
        int w = k.canvas_w, h = k.canvas_h;
        if (k.loads) {
            // The whole picture fills the banner, whatever its size, pixel for pixel (the
            // sizes here are whole multiples), and no title is drawn over it.
            bool exact = true;
            for (int y = 0; y < h; y++)
                for (int x = 0; x < w; x++) {
                    uint32_t want = y < h / 2 ? (x < w / 2 ? 0xFF0000 : 0x00FF00)
                                              : (x < w / 2 ? 0x0000FF : 0xFFFFFF);
                    exact &= pixel(c, x, y) == want;
                }
            check(exact, (what + ": fills the banner exactly, no title over it").c_str());
        } else {
            check(pixel(c, 1, 0) == 0x0000FF, (what + ": the gradient instead").c_str());
        }
        free_canvas(&c);
        release_banner(&g_state);
        check(!g_state.banner_bitmap && !g_state.banner_palette, (what + ": released").c_str());
    }
}

static void step_row_checks(void) {
    HPALETTE palette;
    HBITMAP strip = load_resource_bitmap((HINSTANCE)module_instance, IDB_STEP_ICONS, &palette);
    check(strip != nullptr, "step icons: resource 106 loads");
    canvas icons = make_canvas(208, 16);
    HDC strip_dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(strip_dc, strip);
    BitBlt(icons.dc, 0, 0, 208, 16, strip_dc, 0, 0, SRCCOPY);
    SelectObject(strip_dc, previous);
    DeleteDC(strip_dc);
    DeleteObject(strip);
    DeleteObject(palette);

    struct {
        const char *text;
        int frame;
        int cell; // -1: a blank row
    } cases[] = {{"0Wachten", 1, 0}, {"1Klaar", 1, 1}, {"2Mislukt", 1, 2}, {"3Bezig", 1, 4},
                 {"3Bezig", 9, 12},  {"3Bezig", 0, 3}, {"XXXX", 1, -1},    {"", 1, -1},
                 {"4Vreemd", 1, -1}, {"1", 1, 1}};
    HWND row =
        CreateWindowA("BUTTON", "", WS_POPUP, 0, 0, 160, 24, nullptr, nullptr, nullptr, nullptr);
    for (auto &k : cases) {
        SetWindowTextA(row, k.text);
        anim_frame = k.frame;
        canvas c = make_canvas(160, 24);
        paint(c, IDC_STEP_ROW_FIRST, row);
        bool icon = true, blank = true, caption = false;
        for (int y = 0; y < 24; y++)
            for (int x = 0; x < 160; x++) {
                uint32_t p = pixel(c, x, y);
                bool in_icon = x >= 4 && x < 20 && y >= 4 && y < 20;
                if (in_icon && k.cell >= 0) icon &= p == pixel(icons, 16 * k.cell + x - 4, y - 4);
                if (!in_icon && x >= 24 && p != 0xFFFFFF) caption = true;
                if (p != 0xFFFFFF) blank = false;
            }
        std::string what =
            std::string("step row \"") + k.text + "\" frame " + std::to_string(k.frame);
        if (k.cell < 0) {
            check(blank, (what + ": all white").c_str());
        } else {
            check(icon, (what + ": icon cell " + std::to_string(k.cell)).c_str());
            check(caption == (strlen(k.text) > 1), (what + ": caption drawn at 24,6").c_str());
        }
        free_canvas(&c);
    }
    DestroyWindow(row);
    free_canvas(&icons);
}

// The timer's frame counter: from its initial 1 the first tick gives 2, and it runs 0..9, so
// the running row's cell (frame + 3) wraps from 12 back to 3.
static void animation_checks(void) {
    HWND dialog =
        CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    anim_frame = 1;
    std::string seen;
    for (int tick = 0; tick < 12; tick++) {
        animate_running_row(dialog);
        seen += std::to_string(anim_frame);
    }
    check(seen == "234567890123", ("animation: frames " + seen).c_str());
    DestroyWindow(dialog);
}

int main(int argc, char **argv) {
    module_instance = GetModuleHandleA(nullptr);
    std::string folder = argc > 1 ? argv[1] : ".";
    gradient_checks();
    picture_checks(folder);
    step_row_checks();
    animation_checks();
    release_script(&g_state);
    printf("%s (%d failed)\n", g_failures ? "FAIL" : "PASS", g_failures);
    return g_failures ? 1 : 0;
}
