// The packer's shared pieces: failure messages, the progress line, option parsing helpers, and
// the command entry points. Each command lives in its own cmd_<name>.cpp with its own --help;
// kvpack_main.cpp maps names to them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

// Prints "kvpack: " and the formatted message as one line on stderr; returns 1, the exit code
// of every failure (functions whose failure is 0 return !kvp_fail(...)).
int kvp_fail(const char *format, ...) __attribute__((format(printf, 1, 2)));

// 1 when arg is "-h" or "--help".
int kvp_is_help(const char *arg);

// A single-line progress bar on stderr, drawn only when stderr is a terminal and not quiet.
struct kvp_progress {
    int enabled;       // 0: draws nothing
    uint64_t total;    // bytes of the whole job
    uint64_t done;     // bytes finished
    int last_percent;  // last drawn, -1 before the first
    std::string label; // what is being worked on
};
void kvp_progress_start(kvp_progress *progress, uint64_t total, int quiet);
// Adds bytes to done and redraws when the percentage changed.
void kvp_progress_add(kvp_progress *progress, uint64_t bytes);
// Wipes the line so the next output starts clean.
void kvp_progress_end(kvp_progress *progress);

// A local time in MS-DOS form (date high, time low), clamped to 1980-01-01 .. 2107-12-31.
uint32_t kvp_dos_time(const struct tm *local);
// MS-DOS date and time as "YYYY-MM-DD HH:MM".
std::string kvp_format_dos_time(uint32_t file_time);
