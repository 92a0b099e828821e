// User interface of the POSIX backend: forwarded to the hooks a test or the simulation set, with
// the wizard's controls kept as plain records so the run's effects can be read back.
#include "platform/platform.h"
#include "platform/posix/platform_posix_ui.h"

#include <cstdio>
#include <cstring>

platform_ui_hooks platform_ui;
platform_ui_model platform_ui_view;

namespace {

// The record of item, made on first use; null when every slot is taken.
platform_ui_item *ui_item(int item) {
    platform_ui_item *free_slot = nullptr;
    for (platform_ui_item &it : platform_ui_view.items) {
        if (it.id == item) return &it;
        if (!free_slot && it.id == 0) free_slot = &it;
    }
    if (free_slot) {
        memset(free_slot, 0, sizeof *free_slot);
        free_slot->id = item;
    }
    return free_slot;
}

void copy_text(char *dst, size_t cap, const char *src) {
    size_t n = src ? strnlen(src, cap - 1) : 0;
    memcpy(dst, src ? src : "", n);
    dst[n] = 0;
}

} // namespace

int platform_message_box(const char *text, const char *caption, uint32_t style) {
    platform_ui_log("message %s|%s", caption ? caption : "", text ? text : "");
    if (platform_ui.message_box)
        return platform_ui.message_box(text, caption, style, platform_ui.context);
    fprintf(stderr, "[%s] %s\n", caption ? caption : "", text ? text : "");
    return (style & 0xF) == PLATFORM_MB_YESNO ? PLATFORM_IDYES : PLATFORM_IDOK;
}

void platform_ui_reset(void) {
    memset(&platform_ui, 0, sizeof platform_ui);
    memset(&platform_ui_view, 0, sizeof platform_ui_view);
}

const char *platform_ui_text(int item) {
    for (const platform_ui_item &it : platform_ui_view.items)
        if (it.id == item) return it.text;
    return "";
}

void platform_ui_type(int item, const char *text) {
    if (platform_ui_item *it = ui_item(item)) copy_text(it->text, sizeof it->text, text);
}

void platform_ui_tick(int item, int checked) {
    if (platform_ui_item *it = ui_item(item)) it->checked = checked != 0;
}

size_t platform_get_item_text(platform_window *, int item, char *out, size_t cap) {
    if (!out || cap == 0) return 0;
    copy_text(out, cap, platform_ui_text(item));
    return strlen(out);
}

void platform_set_item_text(platform_window *, int item, const char *text) {
    platform_ui_log("text %d %.200s", item, text ? text : "");
    platform_ui_type(item, text);
    if (platform_ui.item_text) platform_ui.item_text(item, text ? text : "", platform_ui.context);
}

int platform_is_checked(platform_window *, int item) {
    for (const platform_ui_item &it : platform_ui_view.items)
        if (it.id == item) return it.checked;
    return 0;
}

void platform_set_progress_range(platform_window *, int, int maximum) {
    platform_ui_view.progress_max = maximum;
}

void platform_set_progress_pos(platform_window *, int, int position) {
    platform_ui_view.progress_pos = position;
}

void platform_start_timer(platform_window *, int id, int) {
    platform_ui_view.timer_id = id;
    platform_ui_view.timer_starts++;
}

void platform_stop_timer(platform_window *, int id) {
    if (platform_ui_view.timer_id == id) platform_ui_view.timer_id = 0;
}

void platform_drain_messages(platform_window *) {
    platform_ui_view.drains++;
    if (platform_ui.pump) platform_ui.pump(platform_ui.context);
}
