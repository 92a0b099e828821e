// The window operations of the wizard dialog: showing, enabling, moving and labelling its
// controls, the dialog's own place and end, focus and sound, the shell's "open" and the folder
// browser. The Win32 backend works on the real dialog; the POSIX backend keeps the controls as
// records (platform_posix_ui.h) and writes one line per operation into a log, so the page model
// is tested natively and kvpack simulate can walk it. Items are dialog control ids.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <cstdint>

// A rectangle in pixels; right and bottom lie just outside it.
struct platform_rect {
    int32_t left, top, right, bottom;
};

// 1 when the window has a control with id item, else 0.
int platform_item_exists(platform_window *window, int item);
// Shows (show non-zero) or hides a control; a missing control is ignored.
void platform_show_item(platform_window *window, int item, int show);
// Enables or disables a control; a missing control is ignored.
void platform_enable_item(platform_window *window, int item, int enable);
// 1 when the control is shown (and exists), else 0.
int platform_item_visible(platform_window *window, int item);
// The control's window rectangle in the window's client coordinates. 1 when the control
// exists; 0 (and an empty rectangle) when not.
int platform_item_rect(platform_window *window, int item, platform_rect *out);
// Places a control at rect (client coordinates, size included) without repainting the rest.
void platform_move_item(platform_window *window, int item, const platform_rect *rect);
// Width and height of the window's client area.
void platform_client_size(platform_window *window, int32_t *width, int32_t *height);
// The desktop's work area: the screen without the task bar.
void platform_work_area(platform_rect *out);
// Places the window itself at rect (screen coordinates).
void platform_move_window(platform_window *window, const platform_rect *rect);
// The window's own caption.
void platform_set_caption(platform_window *window, const char *text);
// Ticks (checked non-zero) or clears a check box or radio button.
void platform_check_item(platform_window *window, int item, int checked);
// Lets an edit control hold up to limit characters (long licence texts).
void platform_limit_item_text(platform_window *window, int item, size_t limit);
// Keeps a control from painting over its siblings (the banner and the page frame).
void platform_clip_siblings(platform_window *window, int item);
// Puts a control at the bottom of its siblings' stacking order (behind every other control),
// without moving or sizing it.
void platform_send_to_back(platform_window *window, int item);
// Gives a control the keyboard focus.
void platform_focus_item(platform_window *window, int item);
// Sounds the default beep.
void platform_beep(void);
// Ends the modal dialog with result; its window is destroyed once the handler returns.
void platform_end_dialog(platform_window *window, int result);
// The control item as a window of its own (an owner for the folder browser); null when absent.
platform_window *platform_item_window(platform_window *window, int item);

// Opens file with the shell's "open" action (a program runs, a document opens in its program),
// no parameters, in working folder folder (empty: the current one), shown normally. Owner may be
// null. The outcome is not reported: the caller has nothing to do about it.
void platform_shell_open(platform_window *owner, const char *file, const char *folder);

// The folder browser: the user picks a folder from the desktop down.
struct platform_browse {
    const char *title;        // shown above the tree
    const char *start_folder; // selected when the browser opens
    // Called with each newly selected folder ("" when it has no file-system path); writes
    // into out (capacity cap) the text shown in the browser's status line.
    void (*status_text)(const char *selected, char *out, size_t cap, void *context);
    void *context;
};
// Runs the browser modally, owned by owner. 1 with the chosen folder's path in out (capacity
// cap), 0 when the user cancelled or the folder's path does not fit (out empty).
int platform_browse_folder(platform_window *owner, const platform_browse *browse, char *out,
                           size_t cap);
