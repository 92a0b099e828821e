// Windows side of the packer's OS needs, through the C runtime: wide-character paths for the
// file system, UTF-8 for the arguments and the names stored in archives.
#include "kvpack_os.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdlib>
#include <ctime>
#include <io.h>
#include <pthread.h>
#include <sys/stat.h>
#include <string>
#include <vector>

FILE *kvp_open(const std::filesystem::path &path, const char *mode) {
    wchar_t wide_mode[8] = {0};
    for (int i = 0; i < 7 && mode[i]; i++) wide_mode[i] = (wchar_t)mode[i];
    return _wfopen(path.c_str(), wide_mode);
}

int kvp_seek(FILE *file, int64_t offset) {
    return _fseeki64(file, offset, SEEK_SET) == 0;
}
int64_t kvp_tell(FILE *file) {
    return _ftelli64(file);
}

int kvp_file_local_time(const std::filesystem::path &path, struct tm *local) {
    struct _stat64 st;
    if (_wstat64(path.c_str(), &st) != 0) return 0;
    const __time64_t t = st.st_mtime;
    return _localtime64_s(local, &t) == 0;
}

int kvp_stderr_is_terminal() {
    return _isatty(_fileno(stderr));
}

int kvp_path_text(const std::filesystem::path &path, std::string *text) {
    const std::wstring &wide = path.native();
    if (wide.empty()) return text->clear(), 1;
    const int n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.c_str(), (int)wide.size(),
                                      nullptr, 0, nullptr, nullptr);
    if (n <= 0) return 0;
    std::vector<char> out((size_t)n);
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.c_str(), (int)wide.size(), out.data(),
                        n, nullptr, nullptr);
    text->assign(out.data(), (size_t)n);
    return 1;
}

std::filesystem::path kvp_text_path(const std::string &text) {
    if (text.empty()) return std::filesystem::path();
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), (int)text.size(),
                                      nullptr, 0);
    if (n <= 0) return std::filesystem::path(std::wstring());
    std::vector<wchar_t> out((size_t)n);
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), (int)text.size(), out.data(),
                        n);
    return std::filesystem::path(std::wstring(out.data(), (size_t)n));
}

int kvp_processor_count() {
    const int n = pthread_num_processors_np(); // winpthreads: the process's affinity mask
    return n >= 1 ? n : 1;
}

void kvp_os_start(int *argc, char ***argv) {
    SetConsoleOutputCP(CP_UTF8);
    // The C runtime's argv holds the ANSI code page's reading of the command line: a folder
    // such as C:\Ωμέγα would arrive as question marks. The wide one, in UTF-8, replaces it.
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return;
    static std::vector<std::string> texts;
    static std::vector<char *> pointers;
    texts.resize((size_t)count);
    for (int i = 0; i < count; i++)
        if (!kvp_path_text(std::filesystem::path(wide[i]), &texts[(size_t)i]))
            texts[(size_t)i].clear();
    LocalFree(wide);
    for (std::string &t : texts) pointers.push_back(&t[0]);
    pointers.push_back(nullptr);
    *argc = count;
    *argv = pointers.data();
}
