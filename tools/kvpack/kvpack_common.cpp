// Messages, the progress line and MS-DOS times, shared by every command.
#include "kvpack.h"

#include "kvpack_os.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

int kvp_fail(const char *format, ...) {
    va_list args;
    va_start(args, format);
    fputs("kvpack: ", stderr);
    vfprintf(stderr, format, args);
    fputc('\n', stderr);
    va_end(args);
    return 1;
}

int kvp_is_help(const char *arg) {
    return !strcmp(arg, "-h") || !strcmp(arg, "--help");
}

void kvp_progress_start(kvp_progress *p, uint64_t total, int quiet) {
    p->enabled = !quiet && kvp_stderr_is_terminal();
    p->total = total;
    p->done = 0;
    p->last_percent = -1;
}

void kvp_progress_add(kvp_progress *p, uint64_t bytes) {
    p->done += bytes;
    if (!p->enabled) return;
    const int percent = p->total ? (int)(p->done * 100 / p->total) : 100;
    if (percent == p->last_percent) return;
    p->last_percent = percent;
    enum { WIDTH = 30 };
    char bar[WIDTH + 1];
    for (int i = 0; i < WIDTH; i++) bar[i] = i < percent * WIDTH / 100 ? '#' : '.';
    bar[WIDTH] = 0;
    fprintf(stderr, "\r[%s] %3d%%  %-40.40s", bar, percent, p->label.c_str());
    fflush(stderr);
}

void kvp_progress_end(kvp_progress *p) {
    if (p->enabled && p->last_percent >= 0) fprintf(stderr, "\r%80s\r", "");
    p->last_percent = -1;
}

uint32_t kvp_dos_time(const struct tm *local) {
    const int year = local->tm_year + 1900;
    if (year < 1980) return (1u << 5 | 1u) << 16; // 1980-01-01 00:00, the earliest there is
    if (year > 2107) return (127u << 9 | 12u << 5 | 31u) << 16 | (23u << 11 | 59u << 5 | 29u);
    return (uint32_t)(year - 1980) << 25 | (uint32_t)(local->tm_mon + 1) << 21 |
           (uint32_t)local->tm_mday << 16 | (uint32_t)local->tm_hour << 11 |
           (uint32_t)local->tm_min << 5 | (uint32_t)(local->tm_sec / 2);
}

std::string kvp_format_dos_time(uint32_t t) {
    char text[32];
    snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u", 1980 + (t >> 25), (t >> 21) & 15,
             (t >> 16) & 31, (t >> 11) & 31, (t >> 5) & 63);
    return text;
}

std::string kvp_path_display(const std::filesystem::path &path) {
    std::string text;
    return kvp_path_text(path, &text) ? text : std::string("(unprintable name)");
}
