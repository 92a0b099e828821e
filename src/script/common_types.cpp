// The list of file types that Windows or common programs own.
#include "script/common_types.h"

#include <cstring>

namespace {

// By what opens them on a machine fresh from its maker; each line lists types, lower case, each
// followed by a blank.
const char *const COMMON[] = {
    // text, data and the web: Notepad, the browser, the mail program
    ".txt .log .ini .csv .xml .json .htm .html .xhtml .mht .mhtml .css .svg .eml .pdf .xps .rtf ",
    // office documents
    ".doc .docx .docm .dot .dotx .xls .xlsx .xlsm .xlt .xltx .ppt .pptx .pps .ppsx .odt .ods ",
    ".odp .mdb .accdb .one .msg .vsd ",
    // archives and disc images
    ".zip .cab .7z .rar .gz .tgz .tar .bz2 .xz .iso .img .vhd .vhdx ",
    // pictures, sound and video
    ".jpg .jpeg .jpe .jfif .png .gif .bmp .dib .ico .tif .tiff .webp .heic .wmf .emf ",
    ".mp3 .wav .wma .mid .midi .aac .m4a .flac .ogg .mp4 .m4v .avi .wmv .mkv .mov .mpg .mpeg ",
    ".webm ",
    // scripts and programs of the system beside those no script may take at all
    ".ps1 .psm1 .psd1 .py .pyw .jse .vbe .wsh .ws .sct .appx .msix .appxbundle .application ",
    ".xbap .gadget .diagcab ",
    // fonts, help, certificates and the shell's own documents
    ".ttf .otf .fon .chm .hlp .cat .cer .crt .der .p7b .pfx .p12 .theme .deskthemepack ",
    ".library-ms .search-ms .website .rdp .ics .vcf .contact .evtx .dmp ",
};

enum : size_t { TYPE_CAPACITY = 32 }; // the longest type above and its blank fit

} // namespace

int is_common_file_type(const char *extension) {
    if (!extension || extension[0] != '.') return 0;
    char wanted[TYPE_CAPACITY];
    size_t n = 0;
    for (; extension[n]; n++) {
        char c = extension[n];
        if (c == ' ' || n + 2 > sizeof wanted) return 0; // no type of the list is so long
        wanted[n] = c >= 'A' && c <= 'Z' ? (char)(c + ('a' - 'A')) : c;
    }
    wanted[n++] = ' ';
    wanted[n] = 0;
    for (const char *line : COMMON)
        for (const char *at = strstr(line, wanted); at; at = strstr(at + 1, wanted))
            if (at == line || at[-1] == ' ') return 1;
    return 0;
}
