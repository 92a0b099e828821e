// How the POSIX backend names Windows paths: drive letters and network names inside the root,
// backslashes as slashes, and nothing cut silently.
#include "platform/posix/platform_posix_paths.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(posix_paths, DrivesAndNetworkNamesMapIntoTheRoot) {
    struct row {
        const char *root, *path, *native;
    };
    const row rows[] = {
        {"/sim", "C:\\Prog\\a.txt", "/sim/c/Prog/a.txt"},
        {"/sim/", "d:\\", "/sim/d"},
        {"/sim", "C:", "/sim/c"},
        {"/sim", "C:rel", "/sim/c/rel"},
        {"/sim", "\\\\server\\share\\x", "/sim/unc/server/share/x"},
        {"/sim", "/sim/setup.pck", "/sim/setup.pck"},       // a host path below the root
        {"/sim", "/tmp/setup.pck", "/sim/c/tmp/setup.pck"}, // any other is a Windows path
        {"/sim", "rel\\dir", "/sim/c/rel/dir"},
        {"", "C:\\Prog", "C:/Prog"},
        {"", "/tmp/a\\b", "/tmp/a/b"},
    };
    for (const row &r : rows) {
        ASSERT_EQ(platform_posix_set_root(r.root), 1);
        char out[PLATFORM_NATIVE_PATH_CAPACITY];
        EXPECT_EQ(platform_posix_native_path(r.path, out, sizeof out), 1) << r.path;
        EXPECT_STREQ(out, r.native) << r.root << " " << r.path;
    }
    char small[8];
    platform_posix_set_root("/sim");
    EXPECT_EQ(platform_posix_native_path("C:\\Prog", small, sizeof small), 0);
    EXPECT_STREQ(small, "");
    EXPECT_EQ(platform_posix_set_root(std::string(PLATFORM_NATIVE_PATH_CAPACITY, 'r').c_str()), 0);
    platform_posix_set_root(nullptr);
}

} // namespace
