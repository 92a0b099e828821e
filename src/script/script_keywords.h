// The script's whole vocabulary: every word setup.txt may use, known to the rest of the
// installer by its numeric id. Queries and steps pass ids, never words.
#pragma once

#include <cstdint>

// What a word is; only KW_KIND_PAGE changes behaviour (it counts as a wizard page).
enum keyword_kind_value : uint32_t {
    KW_KIND_SETTING = 0, // setting or value word
    KW_KIND_LIST = 1,    // list of entries read field by field
    KW_KIND_ENTRY = 2,   // placeholder or entry word
    KW_KIND_BRACE = 3,   // { or }
    KW_KIND_PAGE = 4,    // wizard page
};

enum keyword_id : uint32_t {
    KW_NONE = 0, // not a word of the table
    KW_WINDOWTITLE = 0x0001,
    KW_BITMAP = 0x0002,
    KW_BITMAP16 = 0x001e,
    KW_MODE = 0x0008,
    KW_DEFAULT_DEST_DIR = 0x0003,
    KW_DEFAULT_DEST_DRIVE = 0x0012,
    KW_COPY_FILES = 0x0004,
    KW_REG_ASSOCIATE = 0x0005,
    KW_REG_ASSOCIATE_01 = 0x0029, // 0x0029..0x002d: reg_associate_01..05
    KW_REG_ASSOCIATE_05 = 0x002d,
    KW_PROGRAM_GROUP = 0x0006,
    KW_DESKTOP_SHORTCUT = 0x0007,
    KW_FIND_DEST = 0x0009,
    KW_LICENSE = 0x000a,
    KW_FOLDERTEXT = 0x000b,
    KW_PROGRAMGROUPYESNO = 0x000c,
    KW_DESKTOPYESNO = 0x000d,
    KW_SHOWWELCOME = 0x000e,
    KW_SHOWLICENSE = 0x000f,
    KW_FOLDERSETTINGS = 0x0010,
    KW_STARTINSTALL = 0x0013,
    KW_STEPS = 0x0011,
    KW_INSTALL_STEPS = 0x0014,
    KW_CHECKDISKSPACE = 0x0015,
    KW_CREATEFOLDERS = 0x0016,
    KW_COPYFILES = 0x0017,
    KW_REGISTRY = 0x0018,
    KW_STARTMENU = 0x0019,
    KW_DESKTOP = 0x001a,
    KW_FINISHED = 0x001b,
    KW_LAUNCHYESNO = 0x001c,
    KW_LAUNCHFILE = 0x001d,
    KW_WELCOME = 0x001f,
    KW_EXTRAREG01 = 0x0020, // 0x0020..0x0028: extrareg01..09
    KW_EXTRAREG09 = 0x0028,
    KW_DIR01 = 0x0032, // 0x0032..0x003a: dir01..dir09
    KW_DIR09 = 0x003a,
    KW_FOLDERS = 0x003b,
    KW_PH_SOURCE = 0x0100,   // [source]
    KW_PH_DEST = 0x0101,     // [dest]
    KW_PH_PROGRAMS = 0x0102, // [programs]
    KW_OVERWRITE_ALWAYS = 0x0103,
    KW_OVERWRITE_NEVER = 0x0104,
    KW_OVERWRITE_ASK = 0x0105,
    KW_PH_INSTALL = 0x0106, // [install]
    KW_PH_UPDATE = 0x0107,  // [update]
    KW_PH_REMOVE = 0x0108,  // [remove]
    KW_TRUE = 0x0109,
    KW_FALSE = 0x010a,
    KW_BREAK = 0x010b,
    KW_PH_DIR01 = 0x010c, // 0x010c..0x0114: [dir01]..[dir09]
    KW_PH_DIR09 = 0x0114,
    KW_VITAL = 0x0115,
    KW_OPEN_BRACE = 0x0200,
    KW_CLOSE_BRACE = 0x0201,
    KW_TEXT_CANCEL = 0x0300,
    KW_TEXT_OK = 0x0301,
    KW_TEXT_PREV = 0x0302,
    KW_TEXT_NEXT = 0x0303,
    KW_TEXT_FINISH = 0x0304,
    KW_TEXT_STARTINSTALL = 0x0305,
    KW_TEXT_CLOSE = 0x0306,
    KW_TEXT_INS_COMPLETE = 0x0307,
    KW_TEXT_ABORT = 0x0309,
    KW_TEXT_PICKFOLDER = 0x030a,
    KW_TEXT_INSERROR = 0x030b,
    KW_TEXT_ERROR2 = 0x030c,
    KW_TEXT_INSCONTINUES = 0x030d,
    KW_TEXT_FILEEXISTS = 0x030e,
    KW_TEXT_AGREE = 0x0400,
    KW_TEXT_DISAGREE = 0x0401,
    KW_TEXT_YES = 0x0402,
    KW_TEXT_YESTOALL = 0x0403,
    KW_TEXT_NO = 0x0404,
    KW_TEXT_NOTOALL = 0x0405,
    KW_TEXT_PROGRESS = 0x0406,
    KW_TEXT_BROWSE = 0x0407,
    // Added by this product: uninstall="display name","uninstaller","publisher","version",
    // the entry in Windows' list of installed programs (written by the registry step).
    KW_UNINSTALL = 0x0500,
    // The product as the installer's and uninstaller's file properties name it (kvpack pack
    // writes their version resources); each overrides the uninstall line's field.
    KW_PRODUCT_NAME = 0x0510,
    KW_PRODUCT_PUBLISHER = 0x0511,
    KW_PRODUCT_VERSION = 0x0512,
    // language=en|de|fr|nl (or the language's name, ui_language_of): the column of the
    // built-in texts (ui_text.h) that the installer, /X and the uninstaller show; Dutch
    // without it.
    KW_LANGUAGE = 0x0520,
    // Texts of the installer and of /X that had no key before, each overriding its built-in.
    KW_TEXT_FINISHED = 0x0530,
    KW_TEXT_STATUS = 0x0531,
    KW_TEXT_FILEEXISTS_TITLE = 0x0532,
    KW_TEXT_X_TITLE = 0x0540,
    KW_TEXT_X_SELECTALL = 0x0541,
    KW_TEXT_X_FOLDER = 0x0542,
    KW_TEXT_X_NONE_SELECTED = 0x0543,
    KW_TEXT_X_BAD_FOLDER = 0x0544,
    KW_TEXT_X_CREATE_FOLDER = 0x0545,
    KW_TEXT_X_DONE = 0x0546,
    KW_TEXT_X_FAILED = 0x0547,
    KW_TEXT_X_FOLDER_FAILED = 0x0548,
    KW_TEXT_X_DAMAGED = 0x0549,
    KW_TEXT_X_NOTE = 0x054a,
    KW_TEXT_X_DONE_TITLE = 0x054b,
    KW_TEXT_X_NO_NAME = 0x054c,
    KW_TEXT_X_DEVICE = 0x054d,
    KW_TEXT_X_TOO_LONG = 0x054e,
    KW_TEXT_X_SAME_NAME = 0x054f,
    KW_TEXT_X_OUTSIDE = 0x0550,
    KW_TEXT_X_NOT_FOUND = 0x0551,
    KW_TEXT_X_NO_SUBFOLDER = 0x0552,
    KW_TEXT_X_NOT_WRITTEN = 0x0553,
    KW_TEXT_X_NOT_EXTRACTED = 0x0554,
    KW_TEXT_X_NOT_REPLACED = 0x0555,
    KW_TEXT_X_NO_ARCHIVE = 0x0556,
    KW_TEXT_X_MORE = 0x0557,
    // Texts of the uninstaller: kvpack pack writes the script's language and these keys into
    // the kvuninst.exe it packs.
    KW_TEXT_UN_TITLE = 0x0580,
    KW_TEXT_UN_FAILED_TITLE = 0x0581,
    KW_TEXT_UN_QUESTION = 0x0582,
    KW_TEXT_UN_DIALOG_TITLE = 0x0583,
    KW_TEXT_UN_BUSY = 0x0584,
    KW_TEXT_UN_CLOSE = 0x0585,
    KW_TEXT_UN_DONE = 0x0586,
    KW_TEXT_UN_CLEANUP = 0x0587,
    KW_TEXT_UN_INCOMPLETE = 0x0588,
    KW_TEXT_UN_INCOMPLETE_STATUS = 0x0589,
    KW_TEXT_UN_LOG_MISSING = 0x058a,
    KW_TEXT_UN_LOG_UNREADABLE = 0x058b,
    KW_TEXT_UN_NO_MEMORY = 0x058c,
    KW_TEXT_UN_BAD_FOLDER = 0x058d,
    KW_TEXT_UN_NOT_A_LOG = 0x058e,
    KW_TEXT_UN_TOO_LARGE = 0x058f,
    KW_TEXT_UN_TOO_SHORT = 0x0590,
    KW_TEXT_UN_NO_HEADER = 0x0591,
    KW_TEXT_UN_BAD_LINE = 0x0592,
    KW_TEXT_UN_NO_KIND = 0x0593,
    KW_TEXT_UN_ALONE = 0x0594,
    KW_TEXT_UN_OTHER_FOLDER = 0x0595,
    KW_TEXT_UN_DRIVE_ROOT = 0x0596,
    KW_TEXT_UN_LOG_CHANGED = 0x0597,
    KW_TEXT_UN_NOT_EMPTY = 0x0598,
    KW_TEXT_UN_OUTSIDE = 0x0599,
    KW_TEXT_UN_BEHIND_LINK = 0x059a,
    KW_TEXT_UN_LINK = 0x059b,
    KW_TEXT_UN_NOT_SHORTCUT = 0x059c,
    KW_TEXT_UN_NOT_OURS = 0x059d,
    KW_TEXT_UN_KEPT_FOR_RETRY = 0x059e,
    KW_TEXT_UN_IN_USE = 0x059f,
    KW_TEXT_UN_KEY_FAILED = 0x05a0,
    KW_TEXT_UN_FAILED = 0x05a1,
    KW_TEXT_UN_MORE = 0x05a2,
    KW_TEXT_UN_LINE = 0x05a3,
    KW_TEXT_UN_LINE_ERROR = 0x05a4,
    KW_TEXT_UN_REMOVED = 0x05a5,
    KW_TEXT_UN_ABSENT = 0x05a6,
    KW_TEXT_UN_KEPT = 0x05a7,
    KW_TEXT_UN_FAILURE = 0x05a8,
    KW_TEXT_UN_REFUSED = 0x05a9,
    KW_TEXT_UN_LAST = 0x05aa,
    KW_TEXT_UN_REFUSED_BEHIND_LINK = 0x05ab,
    KW_TEXT_UN_REFUSED_LINK = 0x05ac,
    KW_TEXT_UN_REFUSED_NOT_SHORTCUT = 0x05ad,
    KW_TEXT_UN_REFUSED_NOT_OURS = 0x05ae,
    KW_TEXT_UN_GIVEN_BACK = 0x05af,
    KW_TEXT_X_LINK_REFUSED = 0x05b0,
};

struct keyword_row {
    uint32_t id;      // unique
    const char *word; // unique without regard to case; null in the terminating row
    uint32_t kind;    // keyword_kind_value
};

enum : int { KEYWORD_ROWS = 182 }; // rows before the terminating one

// The table in its fixed order, ended by a row whose fields are all zero.
extern const keyword_row keyword_table[KEYWORD_ROWS + 1];

// Id of the row whose word equals word without regard to (ASCII) case; 0 when none or null.
uint32_t lookup_keyword(const char *word);
// Kind of the row with that id; 0 when there is none.
uint32_t keyword_kind(uint32_t id);
// 1 when the two words are equal without regard to (ASCII) case, as the lookups compare.
int keyword_equal(const char *a, const char *b);
// Word of the row with that id, or null when there is none.
const char *keyword_word(uint32_t id);
