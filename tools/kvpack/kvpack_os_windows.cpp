// Windows side of the packer's OS needs, through the C runtime: wide-character paths for the
// file system, the ANSI code page for the names stored in archives.
#include "kvpack_os.h"

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <io.h>
#include <pthread.h>
#include <sys/stat.h>
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
    const size_t n = wcstombs(nullptr, wide.c_str(), 0);
    if (n == (size_t)-1) return 0;
    std::vector<char> out(n + 1);
    wcstombs(out.data(), wide.c_str(), n + 1);
    text->assign(out.data(), n);
    return 1;
}

std::filesystem::path kvp_text_path(const std::string &text) {
    const size_t n = mbstowcs(nullptr, text.c_str(), 0);
    if (n == (size_t)-1) return std::filesystem::path(std::wstring());
    std::vector<wchar_t> out(n + 1);
    mbstowcs(out.data(), text.c_str(), n + 1);
    return std::filesystem::path(std::wstring(out.data(), n));
}

int kvp_processor_count() {
    const int n = pthread_num_processors_np(); // winpthreads: the process's affinity mask
    return n >= 1 ? n : 1;
}

void kvp_os_start() {
    setlocale(LC_CTYPE, "");
}
