// The wizard: start-up, the page model and its transitions.
#include "shell/wizard.h"

#include "archive/lza_locate.h"
#include "engine/install_run.h"
#include "engine/member_table.h"
#include "platform/platform.h"
#include "resource_ids.h"
#include "script/script.h"
#include "shell/destination.h"
#include "shell/launch.h"
#include "shell/page_text.h"
#include "shell/wizard_progress.h"
#include "state/installer_state.h"

#include <cstdio>
#include <cstdlib>

namespace {

// The five groups a page can show.
const int page_groups[] = {IDC_FOLDER_PROMPT, IDC_LICENSE_TEXT, IDC_DONE_TEXT, IDC_WELCOME_PICTURE,
                           IDC_PROGRESS_GROUP};
enum : int { GROUP_SPAN = 10, ROW_LAST_ID = 6008 };

// The option boxes of the folder and finish pages, each with the key that captions it, the
// list or key whose work it switches, and its picture (0: none).
const struct {
    int item;
    uint32_t key, drives;
    int picture;
} option_boxes[] = {
    {IDC_STARTMENU_BOX, KW_PROGRAMGROUPYESNO, KW_PROGRAM_GROUP, IDC_STARTMENU_ICON},
    {IDC_DESKTOP_BOX, KW_DESKTOPYESNO, KW_DESKTOP_SHORTCUT, IDC_SHORTCUT_ICON},
    {IDC_EXTRAREG_BOX, KW_EXTRAREG01, KW_REG_ASSOCIATE_01, 0},
    {IDC_LAUNCH_BOX, KW_LAUNCHYESNO, KW_LAUNCHFILE, 0},
};

// Smallest rectangle holding both; an empty one holds nothing.
void unite(platform_rect *box, const platform_rect &r, int *empty) {
    if (*empty) {
        *box = r;
        *empty = 0;
        return;
    }
    if (r.left < box->left) box->left = r.left;
    if (r.top < box->top) box->top = r.top;
    if (r.right > box->right) box->right = r.right;
    if (r.bottom > box->bottom) box->bottom = r.bottom;
}

void move_by(platform_window *window, int item, int32_t dx, int32_t dy) {
    platform_rect r;
    if (!control_rect(window, item, &r)) return;
    platform_rect moved = {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
    platform_move_item(window, item, &moved);
}

// A check box of the folder or finish page: caption = the key's value (empty when absent),
// ticked when field 1 of its line is the keyword true.
void option_box(platform_window *window, installer_state *state, uint32_t key, int item) {
    char caption[SCRIPT_TOKEN_CAPACITY], word[SCRIPT_BRACKET_CAPACITY];
    get_value(state, key, caption, sizeof caption);
    platform_set_item_text(window, item, caption);
    int ticked = get_field(state, key, 1, word, sizeof word) && lookup_keyword(word) == KW_TRUE;
    platform_check_item(window, item, ticked);
}

// The finish page's text: text_finished, or text_ins_complete when only that one is set (it
// gave this text before text_finished existed).
void finished_text(installer_state *state, char *out, size_t cap) {
    if (!script_text(state, KW_TEXT_FINISHED, out, cap) &&
        script_find_key(state->script_text, KW_TEXT_INS_COMPLETE) >= 0)
        get_value(state, KW_TEXT_INS_COMPLETE, out, cap);
}

// The welcome or licence text, whole, into its edit box; the box stays empty without one.
void page_text(platform_window *window, installer_state *state, uint32_t key, int item) {
    size_t length = 0;
    char *text = load_page_text(state, key, &length);
    if (!text) return;
    platform_limit_item_text(window, item, 2 * SCRIPT_PAGE_TEXT_MAX);
    platform_set_item_text(window, item, text);
    free(text);
}

// The step rows, stacked so that they touch, from the first row's place and size down.
void stack_step_rows(platform_window *window) {
    platform_rect first;
    if (!control_rect(window, IDC_STEP_ROW_FIRST, &first)) return;
    int32_t height = first.bottom - first.top;
    int k = 0;
    for (int item = IDC_STEP_ROW_FIRST; item <= ROW_LAST_ID; item++) {
        if (!platform_item_exists(window, item)) continue;
        platform_rect r = {first.left, first.top + k * height, first.right,
                           first.top + (k + 1) * height};
        platform_move_item(window, item, &r);
        k++;
    }
}

// Ends the dialog; the result is what the platform's dialog call returns.
void end_wizard(platform_window *window, int result) {
    platform_end_dialog(window, result);
}

void show_run_complete(platform_window *window, installer_state *state) {
    char text[SCRIPT_TOKEN_CAPACITY];
    script_text(state, KW_TEXT_INS_COMPLETE, text, sizeof text);
    platform_set_item_text(window, IDC_STATUS_LINE, text);
    platform_show_item(window, IDC_BACK, 0);
    script_text(state, KW_TEXT_FINISH, text, sizeof text);
    platform_set_item_text(window, IDC_NEXT, text);
    platform_show_item(window, IDC_NEXT, 1);
    platform_focus_item(window, IDC_NEXT);
    platform_beep();
}

// The archive. 1 when found; 0 when missing, or a .pck its stub's digest does not match
// (said so, naming the file: the stub's signature vouches for no other).
int locate_or_say(installer_state *state) {
    const int located = locate_archive(state);
    if (located == LZA_LOCATE_FOUND) return 1;
    if (located == LZA_LOCATE_MISSING) {
        platform_message_box(TEXT_NO_ARCHIVE, CAPTION_FATAL, PLATFORM_MB_ICONERROR);
        return 0;
    }
    wizard_say_archive_changed(state);
    return 0;
}

// Script and pages. 1 when the wizard can go on; 0 when it must end (said so).
int load_and_count(installer_state *state) {
    if (!load_script(state)) {
        platform_message_box(TEXT_NO_SCRIPT, CAPTION_FATAL, PLATFORM_MB_ICONERROR);
        return 0;
    }
    count_pages(state);
    state->first_page = state->current_page = 0;
    state->choice_flags = 0;
    return 1;
}

} // namespace

void wizard_say_archive_changed(const installer_state *state) {
    const char *name = state->archive_path;
    for (const char *p = name; *p; p++)
        if (*p == '\\' || *p == '/') name = p + 1;
    char text[PATH_CAPACITY + sizeof TEXT_ARCHIVE_CHANGED];
    snprintf(text, sizeof text, TEXT_ARCHIVE_CHANGED, name);
    platform_message_box(text, CAPTION_FATAL, PLATFORM_MB_ICONERROR);
}

int wizard_locate_archive(void) {
    return locate_or_say(&g_state);
}

int wizard_start(void) {
    return locate_or_say(&g_state) && load_and_count(&g_state);
}

void wizard_release(void) {
    release_script(&g_state);
    release_member_table(&g_state);
    release_archive_guard(&g_state);
}

int wizard_init(platform_window *window, installer_state *state,
                wizard_picture_loader load_picture) {
    // 1: the archive.
    if (!locate_or_say(state)) {
        end_wizard(window, WIZARD_CANCELLED);
        return 0;
    }
    return wizard_init_located(window, state, load_picture);
}

int wizard_init_located(platform_window *window, installer_state *state,
                        wizard_picture_loader load_picture) {
    // 2-3: script, pages.
    if (!load_and_count(state)) {
        end_wizard(window, WIZARD_CANCELLED);
        return 0;
    }
    // 4: the caption.
    char text[SCRIPT_TOKEN_CAPACITY];
    get_value(state, KW_WINDOWTITLE, text, sizeof text);
    platform_set_caption(window, text);
    // 5: banner and frame paint only where no sibling lies.
    platform_clip_siblings(window, IDC_BANNER);
    platform_clip_siblings(window, IDC_PAGE_FRAME);
    // 6: the wizard covers the work area and the banner covers the wizard.
    platform_rect area;
    platform_work_area(&area);
    window_width = area.right - area.left;
    window_height = area.bottom - area.top;
    platform_move_window(window, &area);
    platform_rect banner = {0, 0, window_width, window_height};
    platform_move_item(window, IDC_BANNER, &banner);
    // 7-9: the folder page.
    get_value(state, KW_FOLDERTEXT, text, sizeof text);
    platform_set_item_text(window, IDC_FOLDER_PROMPT, text);
    read_default_dest(state);
    platform_set_item_text(window, IDC_FOLDER_EDIT, state->dest_path);
    option_box(window, state, KW_PROGRAMGROUPYESNO, IDC_STARTMENU_BOX);
    option_box(window, state, KW_DESKTOPYESNO, IDC_DESKTOP_BOX);
    if (script_find_key(state->script_text, KW_EXTRAREG01) >= 0)
        option_box(window, state, KW_EXTRAREG01, IDC_EXTRAREG_BOX);
    option_box(window, state, KW_LAUNCHYESNO, IDC_LAUNCH_BOX);
    // 10: the licence and welcome texts.
    page_text(window, state, KW_LICENSE, IDC_LICENSE_TEXT);
    page_text(window, state, KW_WELCOME, IDC_WELCOME_TEXT);
    // 11: the step rows.
    stack_step_rows(window);
    // 12: the controls' texts in the script's language (the Dutch ones are the template's),
    // each replaced by the script's own.
    static const struct {
        uint32_t key;
        int item;
    } replaced[] = {{KW_TEXT_BROWSE, IDC_BROWSE},           {KW_TEXT_AGREE, IDC_AGREE},
                    {KW_TEXT_DISAGREE, IDC_DISAGREE},       {KW_TEXT_FINISHED, IDC_DONE_TEXT},
                    {KW_TEXT_PROGRESS, IDC_PROGRESS_GROUP}, {KW_TEXT_STATUS, IDC_STATUS_LINE}};
    for (const auto &r : replaced) {
        if (r.key == KW_TEXT_FINISHED)
            finished_text(state, text, sizeof text);
        else
            script_text(state, r.key, text, sizeof text);
        platform_set_item_text(window, r.item, text);
    }
    // 13: the banner picture.
    if (load_picture) load_picture(window);
    // 14: the first page.
    show_page(window, state);
    return 1;
}

int wizard_box_used(installer_state *state, int item) {
    for (const auto &box : option_boxes)
        if (box.item == item)
            return script_find_key(state->script_text, box.key) >= 0 ||
                   script_find_key(state->script_text, box.drives) >= 0;
    return 1;
}

int page_group(uint32_t page) {
    switch (page) {
    case KW_SHOWWELCOME:
        return IDC_WELCOME_PICTURE;
    case KW_SHOWLICENSE:
        return IDC_LICENSE_TEXT;
    case KW_FOLDERSETTINGS:
        return IDC_FOLDER_PROMPT;
    case KW_STARTINSTALL:
        return IDC_PROGRESS_GROUP;
    case KW_FINISHED:
        return IDC_DONE_TEXT;
    }
    return 0;
}

void page_captions(installer_state *state, uint32_t page, char *back, size_t back_cap, char *next,
                   size_t next_cap) {
    script_text(state, state->current_page > state->first_page ? KW_TEXT_PREV : KW_TEXT_CANCEL,
                back, back_cap);
    uint32_t key = state->current_page < state->page_count - 2 ? KW_TEXT_NEXT
                   : page == KW_FINISHED                       ? KW_TEXT_CLOSE
                                                               : KW_TEXT_STARTINSTALL;
    script_text(state, key, next, next_cap);
}

int control_rect(platform_window *window, int item, platform_rect *out) {
    return platform_item_rect(window, item, out);
}

void layout_group(platform_window *window, int base, int show) {
    if (show) {
        platform_rect buttons = {0, 0, 0, 0}, group = {0, 0, 0, 0}, r;
        int no_buttons = 1, no_group = 1;
        if (control_rect(window, IDC_NEXT, &r)) unite(&buttons, r, &no_buttons);
        if (control_rect(window, IDC_BACK, &r)) unite(&buttons, r, &no_buttons);
        for (int item = base; item < base + GROUP_SPAN; item++)
            if (control_rect(window, item, &r)) unite(&group, r, &no_group);
        int32_t cw, ch;
        platform_client_size(window, &cw, &ch);
        int32_t bw = buttons.right - buttons.left, bh = buttons.bottom - buttons.top;
        int32_t gw = group.right - group.left, gh = group.bottom - group.top;
        int32_t x0 = (cw - gw) / 2, y0 = (ch - (gh + 2 * FRAME_MARGIN + bh)) / 2;
        int32_t dx = x0 - group.left, dy = y0 - group.top;
        platform_rect frame = {x0 - FRAME_MARGIN, y0 - FRAME_MARGIN, x0 + gw + FRAME_MARGIN,
                               y0 + gh + 2 * FRAME_MARGIN};
        platform_move_item(window, IDC_PAGE_FRAME, &frame);
        if (dx || dy)
            for (int item = base; item < base + GROUP_SPAN; item++)
                if (platform_item_exists(window, item)) move_by(window, item, dx, dy);
        int32_t shift = (cw - bw) / 2 - buttons.left;
        int32_t top = y0 + gh + 3 * FRAME_MARGIN;
        static const int button_items[] = {IDC_NEXT, IDC_BACK};
        for (int item : button_items) {
            if (!control_rect(window, item, &r)) continue;
            platform_rect placed = {r.left + shift, top, r.right + shift, top + r.bottom - r.top};
            platform_move_item(window, item, &placed);
        }
    }
    for (int item = base; item < base + GROUP_SPAN; item++)
        if (platform_item_exists(window, item)) platform_show_item(window, item, show);
    // The banner stays the background and the frame lies just above it, under every control.
    platform_send_to_back(window, IDC_PAGE_FRAME);
    platform_send_to_back(window, IDC_BANNER);
}

int show_page(platform_window *window, installer_state *state) {
    uint32_t page = list_item_id(state, KW_STEPS, state->current_page);
    int base = page_group(page);
    if (!base) return 0;
    int next_shown = page != KW_STARTINSTALL;
    int next_enabled = page != KW_SHOWLICENSE || platform_is_checked(window, IDC_AGREE);
    platform_show_item(window, IDC_NEXT, next_shown);
    platform_enable_item(window, IDC_NEXT, next_enabled);
    platform_show_item(window, IDC_BACK, page != KW_FINISHED);
    for (int other : page_groups)
        if (other != base) layout_group(window, other, 0);
    layout_group(window, base, 1);
    for (const auto &box : option_boxes)
        if (box.item >= base && box.item < base + GROUP_SPAN && !wizard_box_used(state, box.item)) {
            platform_show_item(window, box.item, 0);
            if (box.picture) platform_show_item(window, box.picture, 0);
        }
    char back[SCRIPT_TOKEN_CAPACITY], next[SCRIPT_TOKEN_CAPACITY];
    page_captions(state, page, back, sizeof back, next, sizeof next);
    platform_set_item_text(window, IDC_BACK, back);
    platform_set_item_text(window, IDC_NEXT, next);
    return 1;
}

void wizard_next(platform_window *window, installer_state *state) {
    if (state->run_active) return;
    uint32_t page = list_item_id(state, KW_STEPS, state->current_page);
    if (page == KW_SHOWLICENSE) {
        if (platform_is_checked(window, IDC_DISAGREE)) {
            end_wizard(window, WIZARD_CANCELLED);
            return;
        }
        if (!platform_is_checked(window, IDC_AGREE)) return;
    }
    state->current_page++;
    if (state->current_page >= state->page_count) {
        end_wizard(window, WIZARD_FINISHED);
        if (platform_is_checked(window, IDC_LAUNCH_BOX)) state->choice_flags |= CHOICE_LAUNCH;
        return;
    }
    page = list_item_id(state, KW_STEPS, state->current_page);
    show_page(window, state);
    if (page != KW_STARTINSTALL) return;
    state->cancel_requested = 0;
    state->run_active = 1;
    int result = wizard_run_install(window, state);
    state->run_active = 0;
    if (result == RUN_COMPLETE) {
        show_run_complete(window, state);
    } else {
        state->current_page--;
        show_page(window, state);
    }
}

void wizard_back(platform_window *window, installer_state *state) {
    uint32_t page = list_item_id(state, KW_STEPS, state->current_page);
    if (state->current_page <= state->first_page) {
        end_wizard(window, WIZARD_CANCELLED);
        return;
    }
    if (page == KW_STARTINSTALL) {
        char question[SCRIPT_TOKEN_CAPACITY];
        script_text(state, KW_TEXT_ABORT, question, sizeof question);
        if (platform_message_box(question, "", PLATFORM_MB_YESNO | PLATFORM_MB_ICONQUESTION) ==
            PLATFORM_IDYES)
            state->cancel_requested = 1;
        return;
    }
    if (page == KW_FINISHED) {
        end_wizard(window, WIZARD_FINISHED);
        return;
    }
    state->current_page--;
    show_page(window, state);
}

void wizard_browse(platform_window *window, installer_state *state) {
    platform_get_item_text(window, IDC_FOLDER_EDIT, state->dest_path, sizeof state->dest_path);
    char chosen[PATH_CAPACITY];
    if (browse_for_dest(platform_item_window(window, IDC_PAGE_FRAME), state, chosen, sizeof chosen))
        platform_set_item_text(window, IDC_FOLDER_EDIT, chosen);
}

int wizard_command(platform_window *window, installer_state *state, int id) {
    switch (id) {
    case IDC_NEXT:
        wizard_next(window, state);
        return 1;
    case IDC_BACK:
        wizard_back(window, state);
        return 1;
    case IDC_BROWSE:
        wizard_browse(window, state);
        return 1;
    case IDC_AGREE:
    case IDC_DISAGREE:
        platform_enable_item(window, IDC_NEXT, platform_is_checked(window, IDC_AGREE));
        return 1;
    }
    return 0;
}

void wizard_destroy(platform_window *window, installer_state *state) {
    if (state->choice_flags & CHOICE_LAUNCH) launch_installed_program(window, state);
    release_script(state);
    release_member_table(state);
    release_archive_guard(state);
}
