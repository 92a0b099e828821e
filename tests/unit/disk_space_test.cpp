// The member scan and the space check: 64-bit totals, real free space, quoted patterns, the
// two-pass progress, cancel, and records that lie.
#include "archive/lza_decode.h"
#include "run_support.h"

namespace {

const int64_t GiB = 1024LL * 1024 * 1024;

// An archive of records whose headers claim sizes; the packed bytes are not LZARI, but as many
// as such a size needs at least.
void write_claims(const std::string &path,
                  const std::vector<std::pair<std::string, uint32_t>> &claims) {
    bytes archive;
    for (auto &c : claims) {
        const size_t packed = c.second / LZA_MAX_EXPANSION + 3;
        bytes record = make_record(c.first, c.second, bytes(packed, 1));
        archive.insert(archive.end(), record.begin(), record.end());
    }
    write_file(path, archive);
}

struct space_test : run_test {
    void prepare_claims(const std::vector<std::pair<std::string, uint32_t>> &claims,
                        const std::string &copy_files) {
        std::string archive = root.path + "/setup.pck";
        write_claims(archive, claims);
        text_copy(g_state.archive_path, sizeof g_state.archive_path, archive.c_str());
        std::string script = "copy_files\n{\n" + copy_files + "}\n";
        ASSERT_EQ(load_script_text(&g_state, script.data(), script.size()), 1);
        text_copy(g_state.dest_path, sizeof g_state.dest_path, "C:\\Prog");
    }
};

TEST_F(space_test, TotalsAndFreeSpaceIn64Bits) {
    struct row {
        const char *name;
        const char *copy_files;
        int64_t free_space; // -2: the platform cannot tell
        int result;
        int64_t total;
        const char *label;
    };
    const uint32_t big = (uint32_t)(GiB + GiB / 2);
    const row rows[] = {
        {"3 GiB on 100 GiB", "\"Groot\",*.big,[dest]\\*.*\n", 100 * GiB, 1, 3 * GiB, "3145728 KB"},
        {"3 GiB on 2 GiB", "\"Groot\",*.big,[dest]\\*.*\n", 2 * GiB, 0, 3 * GiB, "3145728 KB"},
        {"quoted pattern counts", "\"Een\",\"[source]a.big\",[dest]\\*.*\n", 2 * GiB, 1, big,
         "1572864 KB"},
        {"matched twice counts twice", "\"1\",a.txt,[dest]\n\"2\",a.txt,[dest]\\x\n", 1000, 1, 600,
         "0 KB"},
        {"exactly equal fails", "\"1\",a.txt,[dest]\n", 300, 0, 300, "0 KB"},
        {"nothing matches, no space", "\"1\",*.none,[dest]\n", 0, 0, 0, "0 KB"},
        {"nothing matches, any space", "\"1\",*.none,[dest]\n\n\"2\"\n", 1, 1, 0, "0 KB"},
        {"unknown free space: below 2 GiB passes", "\"1\",a.big,[dest]\n", -2, 1, big,
         "1572864 KB"},
        {"unknown free space: 3 GiB fails", "\"1\",*.big,[dest]\n", -2, 0, 3 * GiB, "3145728 KB"},
    };
    for (const row &r : rows) {
        SetUp();
        prepare_claims({{"a.big", big}, {"a.txt", 300}, {"b.big", big}}, r.copy_files);
        platform_faults.free_space = r.free_space;
        EXPECT_EQ(check_disk_space(step_job()), r.result) << r.name;
        EXPECT_EQ(g_state.bytes_total, r.total) << r.name;
        EXPECT_STREQ(platform_ui_text(IDC_STATUS_LINE), r.label) << r.name;
        TearDown();
    }
}

TEST_F(space_test, TheScanFillsTheTableInTwoPassesWithProgress) {
    std::string long_name(254, 'n'); // the longest name a record holds, with its NUL
    prepare_claims({{"one.txt", 10}, {long_name, 20}, {"three.txt", 30}}, "\"1\",*.*,[dest]\n");
    std::vector<int> positions;
    press_back = [&] {
        positions.push_back(platform_ui_view.progress_pos);
        return false;
    };
    ASSERT_EQ(scan_members(step_job()), 1);
    ASSERT_EQ(g_state.member_count, 3);
    member_row *rows = member_rows(&g_state);
    EXPECT_STREQ(rows[0].name, "one.txt");
    EXPECT_EQ(rows[1].name, long_name);
    EXPECT_STREQ(rows[2].name, "three.txt");
    EXPECT_EQ(rows[2].unpacked_size, 30u);
    EXPECT_EQ(rows[1].record_offset, 24 + 8 + 3);
    // Four pumps per pass (three records and the end), 0..50 then 50..100.
    ASSERT_EQ(positions.size(), 8u);
    EXPECT_EQ(positions[0], 0);
    EXPECT_EQ(positions[3], 50);
    EXPECT_EQ(positions[4], 50);
    EXPECT_EQ(positions[7], 100);
    EXPECT_EQ(platform_ui_view.progress_max, 100);

    // A second scan rebuilds the table from nothing.
    rows[0].match_count = 7;
    ASSERT_EQ(scan_members(step_job()), 1);
    EXPECT_EQ(member_rows(&g_state)[0].match_count, 0);
}

TEST_F(space_test, CancelAtAnyRecordAndArchivesWithoutRecords) {
    for (int at = 1; at <= 9; at++) { // eight record pumps, then the one after the check
        SetUp();
        prepare_claims({{"a", 1}, {"b", 2}, {"c", 3}}, "\"1\",*.*,[dest]\n");
        int pumps = 0;
        press_back = [&] { return ++pumps == at; };
        EXPECT_EQ(check_disk_space(step_job()), STEP_CANCELLED) << at;
        TearDown();
    }
    SetUp();
    prepare_claims({}, "");
    EXPECT_EQ(check_disk_space(step_job()), 0);
    text_copy(g_state.archive_path, sizeof g_state.archive_path, "/nonexistent");
    EXPECT_EQ(check_disk_space(step_job()), 0);
}

// A name length outside the format is damage: the scan fails rather than guess where the
// records behind it begin.
TEST_F(space_test, ANegativeNameLengthIsDamage) {
    bytes archive = make_record("", 5, {9, 9}, -4);
    bytes next = make_record("b.txt", 7, {1});
    archive.insert(archive.end(), next.begin(), next.end());
    std::string path = root.path + "/setup.pck";
    prepare_claims({}, "\"1\",*.txt,[dest]\n");
    write_file(path, archive);
    EXPECT_EQ(scan_members(step_job()), 0);
    EXPECT_EQ(g_state.member_count, 0);
}

TEST_F(space_test, FreeSpaceIsAskedOfTheDestinationsDrive) {
    platform_faults.free_space = 5 * GiB;
    text_copy(g_state.dest_path, sizeof g_state.dest_path, "C:\\Prog");
    EXPECT_EQ(free_space_on_dest(&g_state), 5 * GiB);
    platform_faults.free_space = -1; // the real figure of the drive's folder
    EXPECT_GT(free_space_on_dest(&g_state), 0);
    EXPECT_LT(free_space_on_dest(&g_state), FREE_SPACE_UNKNOWN * 1024);
    text_copy(g_state.dest_path, sizeof g_state.dest_path, "Q:\\Nowhere");
    EXPECT_EQ(free_space_on_dest(&g_state), FREE_SPACE_UNKNOWN);
}

} // namespace
