// The keyword table and its two lookups.
#include "script/script_keywords.h"

const keyword_row keyword_table[KEYWORD_ROWS + 1] = {
    {0x0001, "windowtitle", 0, nullptr},
    {0x0002, "bitmap", 0, nullptr},
    {0x001e, "bitmap16", 0, nullptr},
    {0x0008, "mode", 0, nullptr},
    {0x0003, "default_dest_dir", 0, nullptr},
    {0x0012, "default_dest_drive", 0, nullptr},
    {0x0004, "copy_files", 1, nullptr},
    {0x0005, "reg_associate", 1, nullptr},
    {0x0029, "reg_associate_01", 1, nullptr},
    {0x002a, "reg_associate_02", 1, nullptr},
    {0x002b, "reg_associate_03", 1, nullptr},
    {0x002c, "reg_associate_04", 1, nullptr},
    {0x002d, "reg_associate_05", 1, nullptr},
    {0x0006, "program_group", 1, nullptr},
    {0x0007, "desktop_shortcut", 1, nullptr},
    {0x0009, "find_dest", 0, nullptr},
    {0x000a, "license", 0, nullptr},
    {0x000b, "foldertext", 0, nullptr},
    {0x000c, "programgroupyesno", 0, nullptr},
    {0x000d, "desktopyesno", 0, nullptr},
    {0x000e, "showwelcome", 4, nullptr},
    {0x000f, "showlicense", 4, nullptr},
    {0x0010, "foldersettings", 4, nullptr},
    {0x0013, "startinstall", 4, nullptr},
    {0x0011, "steps", 0, nullptr},
    {0x0014, "install_steps", 0, nullptr},
    {0x0015, "checkdiskspace", 0, nullptr},
    {0x0016, "createfolders", 0, nullptr},
    {0x0017, "copyfiles", 0, nullptr},
    {0x0018, "registry", 0, nullptr},
    {0x0019, "startmenu", 0, nullptr},
    {0x001a, "desktop", 0, nullptr},
    {0x001b, "finished", 4, nullptr},
    {0x001c, "launchyesno", 0, nullptr},
    {0x001d, "launchfile", 0, nullptr},
    {0x001f, "welcome", 0, nullptr},
    {0x0020, "extrareg01", 0, nullptr},
    {0x0021, "extrareg02", 0, nullptr},
    {0x0022, "extrareg03", 0, nullptr},
    {0x0023, "extrareg04", 0, nullptr},
    {0x0024, "extrareg05", 0, nullptr},
    {0x0025, "extrareg06", 0, nullptr},
    {0x0026, "extrareg07", 0, nullptr},
    {0x0027, "extrareg08", 0, nullptr},
    {0x0028, "extrareg09", 0, nullptr},
    {0x0032, "dir01", 0, nullptr},
    {0x0033, "dir02", 0, nullptr},
    {0x0034, "dir03", 0, nullptr},
    {0x0035, "dir04", 0, nullptr},
    {0x0036, "dir05", 0, nullptr},
    {0x0037, "dir06", 0, nullptr},
    {0x0038, "dir07", 0, nullptr},
    {0x0039, "dir08", 0, nullptr},
    {0x003a, "dir09", 0, nullptr},
    {0x003b, "folders", 1, nullptr},
    {0x0100, "[source]", 2, nullptr},
    {0x0101, "[dest]", 2, nullptr},
    {0x0102, "[programs]", 2, nullptr},
    {0x0103, "overwrite_always", 2, nullptr},
    {0x0104, "overwrite_never", 2, nullptr},
    {0x0105, "overwrite_ask", 2, nullptr},
    {0x0106, "[install]", 2, nullptr},
    {0x0107, "[update]", 2, nullptr},
    {0x0108, "[remove]", 2, nullptr},
    {0x0109, "true", 0, nullptr},
    {0x010a, "false", 0, nullptr},
    {0x010b, "break", 0, nullptr},
    {0x010c, "[dir01]", 2, nullptr},
    {0x010d, "[dir02]", 2, nullptr},
    {0x010e, "[dir03]", 2, nullptr},
    {0x010f, "[dir04]", 2, nullptr},
    {0x0110, "[dir05]", 2, nullptr},
    {0x0111, "[dir06]", 2, nullptr},
    {0x0112, "[dir07]", 2, nullptr},
    {0x0113, "[dir08]", 2, nullptr},
    {0x0114, "[dir09]", 2, nullptr},
    {0x0115, "vital", 2, nullptr},
    {0x0200, "{", 3, nullptr},
    {0x0201, "}", 3, nullptr},
    {0x0300, "text_cancel", 0, "Annuleren"},
    {0x0301, "text_ok", 0, nullptr},
    {0x0302, "text_prev", 0, "&<  Vorige"},
    {0x0303, "text_next", 0, "Volgende  &>"},
    {0x0304, "text_finish", 0, "Voltooien"},
    {0x0305, "text_startinstall", 0, "&Start installatie"},
    {0x0306, "text_close", 0, "Sluiten"},
    {0x0307, "text_ins_complete", 0, "Installatie voltooid"},
    {0x0309, "text_abort", 0, "Installatie afbreken ?"},
    {0x030a, "text_pickfolder", 0,
     "Kies de map waarin het programma geinstalleerd dient te worden"},
    {0x030b, "text_inserror", 0, "Fout tijdens installatie"},
    {0x030c, "text_error2", 0, "Fout tijdens '%s'"},
    {0x030d, "text_inscontinues", 0, "De installatie wordt voortgezet"},
    {0x030e, "text_fileexists", 0, "Dit bestand bestaat al. Wilt u het bestand overschrijven ?"},
    {0x0400, "text_agree", 0, nullptr},
    {0x0401, "text_disagree", 0, nullptr},
    {0x0402, "text_yes", 0, nullptr},
    {0x0403, "text_yestoall", 0, nullptr},
    {0x0404, "text_no", 0, nullptr},
    {0x0405, "text_notoall", 0, nullptr},
    {0x0406, "text_progress", 0, nullptr},
    {0x0407, "text_browse", 0, nullptr},
    // This product's additions, after every row above so that no id or position changes.
    {0x0500, "uninstall", 0, nullptr},
    {0x0510, "product_name", 0, nullptr},
    {0x0511, "product_publisher", 0, nullptr},
    {0x0512, "product_version", 0, nullptr},
    {0, nullptr, 0, nullptr},
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

const char *keyword_builtin_text(uint32_t id) {
    const keyword_row *row = row_of(id);
    return row ? row->builtin_text : nullptr;
}
