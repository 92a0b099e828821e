// The stubs' bounded formatter against the C library's snprintf: every format the code uses,
// the flags and widths around them, and cutting at every capacity.
#include "state/text_format.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Formats with both and compares text and returned length, at a roomy capacity and at every
// capacity from 0 to the full length (a cut must leave a terminated prefix).
#define EXPECT_LIKE_LIBC(...)                                                                      \
    do {                                                                                           \
        char want[256], got[256];                                                                  \
        const int want_n = snprintf(want, sizeof want, __VA_ARGS__);                               \
        const int got_n = text_format(got, sizeof got, __VA_ARGS__);                               \
        EXPECT_EQ(want_n, got_n) << #__VA_ARGS__;                                                  \
        EXPECT_STREQ(want, got) << #__VA_ARGS__;                                                   \
        for (int cap = 0; cap <= want_n; cap++) {                                                  \
            char cut[256];                                                                         \
            memset(cut, 'Z', sizeof cut);                                                          \
            EXPECT_EQ(want_n, text_format(cut, (size_t)cap, __VA_ARGS__));                         \
            if (cap > 0) {                                                                         \
                EXPECT_EQ(std::string(want, (size_t)cap - 1), std::string(cut));                   \
            }                                                                                      \
            EXPECT_EQ('Z', cut[cap]) << "wrote past capacity " << cap;                             \
        }                                                                                          \
    } while (0)

TEST(TextFormat, MatchesTheCLibraryOnTheFormatsTheStubsUse) {
    EXPECT_LIKE_LIBC("plain text, no directive");
    EXPECT_LIKE_LIBC("%s,%d", "C:\\Program Files\\demo.exe", -3);
    EXPECT_LIKE_LIBC("%" PRId64 " KB", (int64_t)-9223372036854775807 - 1);
    EXPECT_LIKE_LIBC("%" PRId64 " KB", (int64_t)123456789012345);
    EXPECT_LIKE_LIBC("%s created: %02d-%02d-%04d %02d:%02d:%02d.%04d", "Uninstal", 7, 12, 2026, 9,
                     5, 3, 12);
    EXPECT_LIKE_LIBC("~%0*x", 4, 0x2a);
    EXPECT_LIKE_LIBC("Registersleutel niet verwijderd (fout %u): %s", 4294967295u, "HKCR\\.kvd");
    EXPECT_LIKE_LIBC("%skvuninst-%lu.exe", "C:\\temp\\", 4000000000ul);
    EXPECT_LIKE_LIBC("%s (%d%%)", "demo.exe", 100);
    EXPECT_LIKE_LIBC("\t%d-%d-%d\t%u", 31, 12, 2107, 0u);
    EXPECT_LIKE_LIBC("[%5d|%-5d|%05d|%+d|% d|%.3d|%8.3d|%-8.3d|%5.1d]", 42, 42, -42, 42, 42, 7, -7,
                     7, 0);
    EXPECT_LIKE_LIBC("[%x|%X|%#x|%#o|%o|%08X|%-#6x]", 255u, 255u, 255u, 8u, 0u, 0xbeefu, 10u);
    EXPECT_LIKE_LIBC("[%.0d|%.0u|%5.0d]", 0, 0u, 0);
    EXPECT_LIKE_LIBC("[%10s|%-10s|%.3s|%*s|%-*s|%.*s]", "ab", "ab", "abcdef", 4, "x", 4, "y", 2,
                     "xyz");
    EXPECT_LIKE_LIBC("[%c|%3c|%-3c]", 'a', 'b', 'c');
    EXPECT_LIKE_LIBC("[%zu|%lld|%llu|%ld|%hd|%hhu]", (size_t)12345, -5ll, 18446744073709551615ull,
                     -2147483647l, (short)-3, (unsigned char)200);
    EXPECT_LIKE_LIBC("[%d|%d]", -2147483647 - 1, 2147483647);
}

// Without the format attribute: the compiler would refuse the directives below.
int format_unchecked(char *out, size_t cap, const char *format, ...) {
    va_list args;
    va_start(args, format);
    const int n = text_vformat(out, cap, format, args);
    va_end(args);
    return n;
}

TEST(TextFormat, LeavesWhatItDoesNotUnderstandAsItStands) {
    char out[64];
    EXPECT_EQ(11, format_unchecked(out, sizeof out, "[%Q|%5.2f]%", 1.5));
    EXPECT_STREQ("[%Q|%5.2f]%", out);
    EXPECT_EQ(3, format_unchecked(nullptr, 0, "%s", "abc"));
}

} // namespace
