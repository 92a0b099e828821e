// The wizard's window operations in the POSIX backend: the dialog of template 101 kept as plain
// records (platform_posix_ui.h), each operation applied to them and written as one line into
// the log, so a test can read both the state a page leaves and the order in which it was made.
#include "platform/platform_window.h"
#include "platform/posix/platform_posix_ui.h"
#include "resource_ids.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

platform_ui_item *existing(int item) {
    for (platform_ui_item &it : platform_ui_view.items)
        if (it.id == item && it.exists) return &it;
    return nullptr;
}

// Template 101 as the resource script has it: rectangle in dialog units, text, visible,
// enabled.
struct template_control {
    int id;
    int left, top, width, height;
    const char *text;
    int visible, enabled;
};
const template_control wizard_template[] = {
    {IDC_BANNER, 0, 0, 15, 15, "Button1", 1, 0},
    {IDC_PAGE_FRAME, 10, 25, 25, 25, "", 1, 0},
    {IDC_UNUSED_LIST, 5, 5, 220, 140, "", 0, 1},
    {IDC_FOLDER_PROMPT, 270, 240, 220, 10, "Static", 1, 1},
    {IDC_FOLDER_EDIT, 270, 255, 155, 12, "", 1, 1},
    {IDC_BROWSE, 430, 255, 60, 14, "&Bladeren...", 1, 1},
    {IDC_STARTMENU_BOX, 270, 280, 280, 10, "StartMenu-link", 1, 1},
    {IDC_DESKTOP_BOX, 270, 305, 280, 10, "Desktop-link", 1, 1},
    {IDC_BACK, 385, 365, 65, 20, "&<  Vorige", 1, 1},
    {IDC_NEXT, 475, 365, 65, 20, "Volgende  &>", 1, 1},
    {IDC_LICENSE_TEXT, 235, 95, 265, 120, "", 1, 1},
    {IDC_AGREE, 241, 220, 113, 10, "Ik &accepteer de overeenkomst", 1, 1},
    {IDC_DISAGREE, 365, 220, 131, 10, "Ik accepteer de overeenkomst &NIET", 1, 1},
    {IDC_STATUS_LINE, 5, 285, 170, 20, "bestanden...", 1, 1},
    {6002, 11, 185, 160, 15, "", 1, 1},
    {6003, 11, 200, 160, 15, "", 1, 1},
    {6004, 11, 215, 160, 15, "", 1, 1},
    {6005, 11, 230, 160, 15, "", 1, 1},
    {6006, 11, 245, 160, 15, "", 1, 1},
    {6007, 11, 260, 160, 15, "", 1, 1},
    {IDC_PROGRESS_BAR, 5, 310, 170, 14, "Progress2", 1, 1},
    {IDC_PROGRESS_GROUP, 5, 175, 170, 105, " Voortgang ", 1, 1},
    {IDC_DONE_TEXT, 50, 350, 155, 8, "De installatie is voltooid", 1, 1},
    {IDC_LAUNCH_BOX, 50, 375, 150, 10, "Launch Program", 1, 1},
    {IDC_FOLDER_ICON, 240, 250, 20, 20, "", 1, 1},
    {IDC_STARTMENU_ICON, 240, 275, 20, 20, "", 1, 1},
    {IDC_SHORTCUT_ICON, 240, 300, 20, 20, "", 1, 1},
    {IDC_DONE_ICON, 10, 350, 20, 20, "", 1, 1},
    {IDC_WELCOME_PICTURE, 241, 15, 32, 30, "", 1, 1},
    {IDC_WELCOME_TEXT, 285, 15, 235, 70, "", 1, 1},
    {IDC_WELCOME_FRAME, 235, 5, 295, 85, "", 1, 1},
    {IDC_EXTRAREG_BOX, 270, 330, 280, 10, "ExtraReg01", 1, 1},
};

} // namespace

void platform_ui_log(const char *format, ...) {
    char *log = platform_ui_view.log;
    size_t used = strnlen(log, sizeof platform_ui_view.log);
    if (used + 1 >= sizeof platform_ui_view.log) return;
    va_list args;
    va_start(args, format);
    int n = vsnprintf(log + used, sizeof platform_ui_view.log - used - 1, format, args);
    va_end(args);
    if (n < 0) {
        log[used] = 0;
        return;
    }
    used = strnlen(log, sizeof platform_ui_view.log - 1);
    log[used] = '\n';
    log[used + 1] = 0;
}

void platform_ui_open_wizard(void) {
    for (const template_control &c : wizard_template) {
        platform_ui_type(c.id, c.text);
        for (platform_ui_item &it : platform_ui_view.items) {
            if (it.id != c.id) continue;
            it.exists = 1;
            it.visible = c.visible;
            it.enabled = c.enabled;
            it.rect = {c.left, c.top, c.left + c.width, c.top + c.height};
        }
    }
    platform_ui_view.work_area = {0, 0, 1024, 738};
    platform_ui_view.window = {0, 0, 540, 400};
    platform_ui_view.log[0] = 0;
}

int platform_item_exists(platform_window *, int item) {
    return existing(item) != nullptr;
}

void platform_show_item(platform_window *, int item, int show) {
    if (platform_ui_item *it = existing(item)) {
        it->visible = show != 0;
        platform_ui_log("%s %d", show ? "show" : "hide", item);
    }
}

void platform_enable_item(platform_window *, int item, int enable) {
    if (platform_ui_item *it = existing(item)) {
        it->enabled = enable != 0;
        platform_ui_log("%s %d", enable ? "enable" : "disable", item);
    }
}

int platform_item_visible(platform_window *, int item) {
    platform_ui_item *it = existing(item);
    return it ? it->visible : 0;
}

int platform_item_rect(platform_window *, int item, platform_rect *out) {
    platform_ui_item *it = existing(item);
    *out = it ? it->rect : platform_rect{0, 0, 0, 0};
    return it != nullptr;
}

void platform_move_item(platform_window *, int item, const platform_rect *rect) {
    if (platform_ui_item *it = existing(item)) {
        it->rect = *rect;
        platform_ui_log("move %d %d,%d,%d,%d", item, rect->left, rect->top,
                        rect->right - rect->left, rect->bottom - rect->top);
    }
}

void platform_client_size(platform_window *, int32_t *width, int32_t *height) {
    *width = platform_ui_view.window.right - platform_ui_view.window.left;
    *height = platform_ui_view.window.bottom - platform_ui_view.window.top;
}

void platform_work_area(platform_rect *out) {
    *out = platform_ui_view.work_area;
}

void platform_move_window(platform_window *, const platform_rect *rect) {
    platform_ui_view.window = *rect;
    platform_ui_log("window %d,%d,%d,%d", rect->left, rect->top, rect->right - rect->left,
                    rect->bottom - rect->top);
}

void platform_set_caption(platform_window *, const char *text) {
    snprintf(platform_ui_view.caption, sizeof platform_ui_view.caption, "%s", text ? text : "");
    platform_ui_log("caption %s", platform_ui_view.caption);
}

void platform_check_item(platform_window *, int item, int checked) {
    platform_ui_tick(item, checked);
    platform_ui_log("check %d %d", item, checked != 0);
}

void platform_limit_item_text(platform_window *, int item, size_t limit) {
    if (platform_ui_item *it = existing(item)) {
        it->text_limit = limit;
        platform_ui_log("limit %d %zu", item, limit);
    }
}

void platform_clip_siblings(platform_window *, int item) {
    if (platform_ui_item *it = existing(item)) {
        it->clip_siblings = 1;
        platform_ui_log("clip %d", item);
    }
}

void platform_send_to_back(platform_window *, int item) {
    if (existing(item)) platform_ui_log("back %d", item);
}

void platform_focus_item(platform_window *, int item) {
    platform_ui_view.focus = item;
    platform_ui_log("focus %d", item);
}

void platform_beep(void) {
    platform_ui_view.beeps++;
    platform_ui_log("beep");
}

void platform_end_dialog(platform_window *, int result) {
    platform_ui_view.ended = 1;
    platform_ui_view.result = result;
    platform_ui_log("end %d", result);
}

platform_window *platform_item_window(platform_window *window, int) {
    return window;
}

void platform_shell_open(platform_window *, const char *file, const char *folder) {
    platform_ui_log("open %s|%s", file ? file : "", folder ? folder : "");
}

int platform_browse_folder(platform_window *, const platform_browse *browse, char *out,
                           size_t cap) {
    if (!out || cap == 0) return 0;
    out[0] = 0;
    platform_ui_log("browse %s|%s", browse->title, browse->start_folder);
    if (!platform_ui.browse) return 0;
    int chosen = platform_ui.browse(browse, out, cap, platform_ui.context);
    if (!chosen) out[0] = 0;
    return chosen != 0;
}
