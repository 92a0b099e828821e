// POSIX side of the packer's OS needs.
#include "kvpack_os.h"

#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

FILE *kvp_open(const std::filesystem::path &path, const char *mode) {
    return fopen(path.c_str(), mode);
}

int kvp_seek(FILE *file, int64_t offset) {
    return fseeko(file, (off_t)offset, SEEK_SET) == 0;
}
int64_t kvp_tell(FILE *file) {
    return (int64_t)ftello(file);
}

int kvp_file_local_time(const std::filesystem::path &path, struct tm *local) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return 0;
    const time_t t = st.st_mtime;
    return localtime_r(&t, local) != nullptr;
}

int kvp_stderr_is_terminal() {
    return isatty(2);
}

int kvp_path_text(const std::filesystem::path &path, std::string *text) {
    *text = path.native();
    return 1;
}

std::filesystem::path kvp_text_path(const std::string &text) {
    return std::filesystem::path(text);
}

int kvp_processor_count() {
    const long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n >= 1 ? (int)n : 1;
}

void kvp_os_start(int *, char ***) {}
