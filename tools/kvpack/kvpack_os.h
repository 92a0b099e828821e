// What the packer needs of the operating system beyond std::filesystem: files opened by path
// (Unicode-safe on Windows), 64-bit seeks, local MS-DOS file times, terminal detection and
// the 8-bit names the archive stores. One implementation per platform, chosen by the build.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

// fopen by path; null on failure.
FILE *kvp_open(const std::filesystem::path &path, const char *mode);
// Moves to offset from the start / tells the position; 1 / the offset, or 0 / -1 on failure.
int kvp_seek(FILE *file, int64_t offset);
int64_t kvp_tell(FILE *file);
// The file's last-write time in local time. 1 on success, 0 when it cannot be read.
int kvp_file_local_time(const std::filesystem::path &path, struct tm *local);
// 1 when stderr is a terminal.
int kvp_stderr_is_terminal();
// The path as the 8-bit text archive names and the core's file functions use (the native
// bytes on POSIX, UTF-8 on Windows). 0 when it is no text (an unpaired surrogate).
int kvp_path_text(const std::filesystem::path &path, std::string *text);
// The path for messages: its 8-bit text, or a placeholder when it has none.
std::string kvp_path_display(const std::filesystem::path &path);
// The inverse: a path from such a text.
std::filesystem::path kvp_text_path(const std::string &text);
// The processors this process can run on, at least 1: the default number of packing threads.
int kvp_processor_count();
// Prepares the process: on Windows the arguments in *argv become UTF-8, read from the wide
// command line (every character kept), and the console is told to show UTF-8.
void kvp_os_start(int *argc, char ***argv);
