// POSIX backend of the list seam: one fake list box, sorted as the Win32 list sorts its
// entries (letters compared without regard to case, a new entry after its equals), with a
// selection flag and a number per entry. Every list item id addresses this one list.
#include "platform/posix/platform_posix_list.h"
#include "platform/posix/platform_faults.h"

#include <cstring>
#include <string>
#include <vector>

platform_list_view_state platform_list_view;

namespace {

struct fake_entry {
    std::string text;
    int64_t data;
    int selected;
};

std::vector<fake_entry> &entries() {
    static std::vector<fake_entry> list;
    return list;
}

int ascii_lower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
}

// <0, 0, >0 as a sorts before, with or after b, case ignored.
int compare_ignoring_case(const std::string &a, const std::string &b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; i++) {
        int d = ascii_lower((unsigned char)a[i]) - ascii_lower((unsigned char)b[i]);
        if (d) return d;
    }
    return (int)(a.size() > b.size()) - (int)(a.size() < b.size());
}

int valid(int index) {
    return index >= 0 && (size_t)index < entries().size();
}

} // namespace

void platform_list_reset(void) {
    entries().clear();
    memset(&platform_list_view, 0, sizeof platform_list_view);
}

void platform_list_set_tabs(platform_window *, int item, const int *stops, int count) {
    platform_list_view.item = item;
    platform_list_view.tab_count = 0;
    for (int i = 0; i < count && i < 4; i++) platform_list_view.tab_stops[i] = stops[i];
    platform_list_view.tab_count = count < 4 ? count : 4;
}

void platform_list_set_extent(platform_window *, int item, int pixels) {
    platform_list_view.item = item;
    platform_list_view.extent = pixels;
}

int platform_list_add(platform_window *, int item, const char *text) {
    if (platform_fault_point(PLATFORM_CALL_LIST_ADD)) return -1; // the list's memory ran out
    platform_list_view.item = item;
    platform_list_view.adds++;
    std::vector<fake_entry> &list = entries();
    const std::string t = text ? text : "";
    size_t at = 0;
    while (at < list.size() && compare_ignoring_case(list[at].text, t) <= 0) at++;
    list.insert(list.begin() + (long)at, fake_entry{t, 0, 0});
    return (int)at;
}

int platform_list_set_data(platform_window *, int, int index, int64_t data) {
    if (platform_fault_point(PLATFORM_CALL_LIST_SET_DATA)) return 0;
    if (!valid(index)) return 0;
    entries()[(size_t)index].data = data;
    return 1;
}

int64_t platform_list_data(platform_window *, int, int index) {
    return valid(index) ? entries()[(size_t)index].data : -1;
}

int platform_list_count(platform_window *, int) {
    return (int)entries().size();
}

int platform_list_selected_count(platform_window *, int) {
    int n = 0;
    for (const fake_entry &e : entries()) n += e.selected;
    return n;
}

int platform_list_is_selected(platform_window *, int, int index) {
    return valid(index) ? entries()[(size_t)index].selected : 0;
}

void platform_list_select(platform_window *, int, int index, int selected) {
    if (valid(index)) entries()[(size_t)index].selected = selected != 0;
}

size_t platform_list_text(platform_window *, int, int index, char *out, size_t cap) {
    if (!out || cap == 0) return 0;
    out[0] = 0;
    if (!valid(index)) return 0;
    const std::string &t = entries()[(size_t)index].text;
    size_t n = t.size() < cap - 1 ? t.size() : cap - 1;
    memcpy(out, t.data(), n);
    out[n] = 0;
    return n;
}
