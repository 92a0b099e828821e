// The list box and the few dialog operations of the extract dialog, beside the main seam:
// a sorted list that allows several selected entries and keeps one number per entry, the
// keyboard focus, and the dialog's end. The Win32 backend sends the list-box messages; the
// POSIX backend keeps a fake list that a test fills, reads and selects in as a user would.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <cstdint>

// Sets the list's tab stops (in dialog template units) for the columns of its entries.
void platform_list_set_tabs(platform_window *window, int item, const int *stops, int count);
// Sets how far (pixels) the list scrolls horizontally.
void platform_list_set_extent(platform_window *window, int item, int pixels);
// Adds an entry where the list's sorting (case ignored) puts it. Its index, or -1 on failure.
int platform_list_add(platform_window *window, int item, const char *text);
// Stores data with entry index. 1 on success, 0 for a bad index.
int platform_list_set_data(platform_window *window, int item, int index, int64_t data);
// The data stored with entry index, or -1 for a bad index.
int64_t platform_list_data(platform_window *window, int item, int index);
// Number of entries, and of selected entries.
int platform_list_count(platform_window *window, int item);
int platform_list_selected_count(platform_window *window, int item);
// 1 when entry index is selected, 0 when not (or no such entry).
int platform_list_is_selected(platform_window *window, int item, int index);
// Selects (selected 1) or clears entry index.
void platform_list_select(platform_window *window, int item, int index, int selected);
// Text of entry index into out (capacity cap, cut to fit); its length, 0 for a bad index.
size_t platform_list_text(platform_window *window, int item, int index, char *out, size_t cap);

// Puts the keyboard focus on item.
void platform_focus_item(platform_window *window, int item);
