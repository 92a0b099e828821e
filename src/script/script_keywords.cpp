// The keyword table and its two lookups.
#include "script/script_keywords.h"

const keyword_row keyword_table[KEYWORD_ROWS + 1] = {
    {0x0001, "windowtitle", 0},
    {0x0002, "bitmap", 0},
    {0x001e, "bitmap16", 0},
    {0x0008, "mode", 0},
    {0x0003, "default_dest_dir", 0},
    {0x0012, "default_dest_drive", 0},
    {0x0004, "copy_files", 1},
    {0x0005, "reg_associate", 1},
    {0x0029, "reg_associate_01", 1},
    {0x002a, "reg_associate_02", 1},
    {0x002b, "reg_associate_03", 1},
    {0x002c, "reg_associate_04", 1},
    {0x002d, "reg_associate_05", 1},
    {0x0006, "program_group", 1},
    {0x0007, "desktop_shortcut", 1},
    {0x0009, "find_dest", 0},
    {0x000a, "license", 0},
    {0x000b, "foldertext", 0},
    {0x000c, "programgroupyesno", 0},
    {0x000d, "desktopyesno", 0},
    {0x000e, "showwelcome", 4},
    {0x000f, "showlicense", 4},
    {0x0010, "foldersettings", 4},
    {0x0013, "startinstall", 4},
    {0x0011, "steps", 0},
    {0x0014, "install_steps", 0},
    {0x0015, "checkdiskspace", 0},
    {0x0016, "createfolders", 0},
    {0x0017, "copyfiles", 0},
    {0x0018, "registry", 0},
    {0x0019, "startmenu", 0},
    {0x001a, "desktop", 0},
    {0x001b, "finished", 4},
    {0x001c, "launchyesno", 0},
    {0x001d, "launchfile", 0},
    {0x001f, "welcome", 0},
    {0x0020, "extrareg01", 0},
    {0x0021, "extrareg02", 0},
    {0x0022, "extrareg03", 0},
    {0x0023, "extrareg04", 0},
    {0x0024, "extrareg05", 0},
    {0x0025, "extrareg06", 0},
    {0x0026, "extrareg07", 0},
    {0x0027, "extrareg08", 0},
    {0x0028, "extrareg09", 0},
    {0x0032, "dir01", 0},
    {0x0033, "dir02", 0},
    {0x0034, "dir03", 0},
    {0x0035, "dir04", 0},
    {0x0036, "dir05", 0},
    {0x0037, "dir06", 0},
    {0x0038, "dir07", 0},
    {0x0039, "dir08", 0},
    {0x003a, "dir09", 0},
    {0x003b, "folders", 1},
    {0x0100, "[source]", 2},
    {0x0101, "[dest]", 2},
    {0x0102, "[programs]", 2},
    {0x0103, "overwrite_always", 2},
    {0x0104, "overwrite_never", 2},
    {0x0105, "overwrite_ask", 2},
    {0x0106, "[install]", 2},
    {0x0107, "[update]", 2},
    {0x0108, "[remove]", 2},
    {0x0109, "true", 0},
    {0x010a, "false", 0},
    {0x010b, "break", 0},
    {0x010c, "[dir01]", 2},
    {0x010d, "[dir02]", 2},
    {0x010e, "[dir03]", 2},
    {0x010f, "[dir04]", 2},
    {0x0110, "[dir05]", 2},
    {0x0111, "[dir06]", 2},
    {0x0112, "[dir07]", 2},
    {0x0113, "[dir08]", 2},
    {0x0114, "[dir09]", 2},
    {0x0115, "vital", 2},
    {0x0200, "{", 3},
    {0x0201, "}", 3},
    {0x0300, "text_cancel", 0},
    {0x0301, "text_ok", 0},
    {0x0302, "text_prev", 0},
    {0x0303, "text_next", 0},
    {0x0304, "text_finish", 0},
    {0x0305, "text_startinstall", 0},
    {0x0306, "text_close", 0},
    {0x0307, "text_ins_complete", 0},
    {0x0309, "text_abort", 0},
    {0x030a, "text_pickfolder", 0},
    {0x030b, "text_inserror", 0},
    {0x030c, "text_error2", 0},
    {0x030d, "text_inscontinues", 0},
    {0x030e, "text_fileexists", 0},
    {0x0400, "text_agree", 0},
    {0x0401, "text_disagree", 0},
    {0x0402, "text_yes", 0},
    {0x0403, "text_yestoall", 0},
    {0x0404, "text_no", 0},
    {0x0405, "text_notoall", 0},
    {0x0406, "text_progress", 0},
    {0x0407, "text_browse", 0},
    // This product's additions, after every row above so that no id or position changes.
    {0x0500, "uninstall", 0},
    {0x0510, "product_name", 0},
    {0x0511, "product_publisher", 0},
    {0x0512, "product_version", 0},
    {0x0520, "language", 0},
    {0x0530, "text_finished", 0},
    {0x0531, "text_status", 0},
    {0x0532, "text_fileexists_title", 0},
    {0x0540, "text_x_title", 0},
    {0x0541, "text_x_selectall", 0},
    {0x0542, "text_x_folder", 0},
    {0x0543, "text_x_none_selected", 0},
    {0x0544, "text_x_bad_folder", 0},
    {0x0545, "text_x_create_folder", 0},
    {0x0546, "text_x_done", 0},
    {0x0547, "text_x_failed", 0},
    {0x0548, "text_x_folder_failed", 0},
    {0x0549, "text_x_damaged", 0},
    {0x054a, "text_x_note", 0},
    {0x054b, "text_x_done_title", 0},
    {0x054c, "text_x_no_name", 0},
    {0x054d, "text_x_device", 0},
    {0x054e, "text_x_too_long", 0},
    {0x054f, "text_x_same_name", 0},
    {0x0550, "text_x_outside", 0},
    {0x0551, "text_x_not_found", 0},
    {0x0552, "text_x_no_subfolder", 0},
    {0x0553, "text_x_not_written", 0},
    {0x0554, "text_x_not_extracted", 0},
    {0x0555, "text_x_not_replaced", 0},
    {0x0556, "text_x_no_archive", 0},
    {0x0557, "text_x_more", 0},
    {0x0580, "text_un_title", 0},
    {0x0581, "text_un_failed_title", 0},
    {0x0582, "text_un_question", 0},
    {0x0583, "text_un_dialog_title", 0},
    {0x0584, "text_un_busy", 0},
    {0x0585, "text_un_close", 0},
    {0x0586, "text_un_done", 0},
    {0x0587, "text_un_cleanup", 0},
    {0x0588, "text_un_incomplete", 0},
    {0x0589, "text_un_incomplete_status", 0},
    {0x058a, "text_un_log_missing", 0},
    {0x058b, "text_un_log_unreadable", 0},
    {0x058c, "text_un_no_memory", 0},
    {0x058d, "text_un_bad_folder", 0},
    {0x058e, "text_un_not_a_log", 0},
    {0x058f, "text_un_too_large", 0},
    {0x0590, "text_un_too_short", 0},
    {0x0591, "text_un_no_header", 0},
    {0x0592, "text_un_bad_line", 0},
    {0x0593, "text_un_no_kind", 0},
    {0x0594, "text_un_alone", 0},
    {0x0595, "text_un_other_folder", 0},
    {0x0596, "text_un_drive_root", 0},
    {0x0597, "text_un_log_changed", 0},
    {0x0598, "text_un_not_empty", 0},
    {0x0599, "text_un_outside", 0},
    {0x059a, "text_un_behind_link", 0},
    {0x059b, "text_un_link", 0},
    {0x059c, "text_un_not_shortcut", 0},
    {0x059d, "text_un_not_ours", 0},
    {0x059e, "text_un_kept_for_retry", 0},
    {0x059f, "text_un_in_use", 0},
    {0x05a0, "text_un_key_failed", 0},
    {0x05a1, "text_un_failed", 0},
    {0x05a2, "text_un_more", 0},
    {0x05a3, "text_un_line", 0},
    {0x05a4, "text_un_line_error", 0},
    {0x05a5, "text_un_removed", 0},
    {0x05a6, "text_un_absent", 0},
    {0x05a7, "text_un_kept", 0},
    {0x05a8, "text_un_failure", 0},
    {0x05a9, "text_un_refused", 0},
    {0x05aa, "text_un_last", 0},
    {0x05ab, "text_un_refused_behind_link", 0},
    {0x05ac, "text_un_refused_link", 0},
    {0x05ad, "text_un_refused_not_shortcut", 0},
    {0x05ae, "text_un_refused_not_ours", 0},
    {0x05af, "text_un_given_back", 0},
    {0x05b0, "text_x_link_refused", 0},
    {0, nullptr, 0},
};

namespace {

// The scans stop at the terminating row, and in any case after this many rows.
const int MAX_SCANNED_ROWS = 1000;

char fold(char c) {
    return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
}

int equal_folded(const char *a, const char *b) {
    for (; *a && *b; a++, b++)
        if (fold(*a) != fold(*b)) return 0;
    return *a == *b;
}

const keyword_row *row_of(uint32_t id) {
    for (int i = 0; i < MAX_SCANNED_ROWS && keyword_table[i].word; i++)
        if (keyword_table[i].id == id) return &keyword_table[i];
    return nullptr;
}

} // namespace

uint32_t lookup_keyword(const char *word) {
    if (!word) return KW_NONE;
    char first = fold(word[0]); // every line head is looked up: reject on the first letter
    for (int i = 0; i < MAX_SCANNED_ROWS && keyword_table[i].word; i++)
        if (fold(keyword_table[i].word[0]) == first && equal_folded(keyword_table[i].word, word))
            return keyword_table[i].id;
    return KW_NONE;
}

uint32_t keyword_kind(uint32_t id) {
    const keyword_row *row = row_of(id);
    return row ? row->kind : 0;
}

int keyword_equal(const char *a, const char *b) {
    return a && b && equal_folded(a, b);
}

const char *keyword_word(uint32_t id) {
    const keyword_row *row = row_of(id);
    return row ? row->word : nullptr;
}
