// kvpack list: one line per member with its date, sizes and ratio.
#include "kvpack.h"
#include "kvpack_archive.h"
#include "kvpack_os.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const char usage[] =
    "usage: kvpack list FILE\n"
    "\n"
    "Lists the members of FILE: an installer (records behind the stub, or in the sibling .pck\n"
    "file when its marker reads 00000000), a .pck file or a bare archive. Columns: name, date\n"
    "(the packed file's last-write time), unpacked size, packed size, packed/unpacked ratio.\n"
    "Names that the installer refuses (they would leave the destination, name a device or one\n"
    "of its logs, or name the same file as an earlier member) are flagged. Exits 1 when the\n"
    "records are damaged.\n";

double ratio(uint64_t packed, uint64_t unpacked) {
    return unpacked ? 100.0 * (double)packed / (double)unpacked : 0.0;
}

} // namespace

int cmd_list(int argc, char **argv) {
    const char *file = nullptr;
    for (int i = 1; i < argc; i++) {
        if (kvp_is_help(argv[i])) return fputs(usage, stdout), 0;
        if (argv[i][0] == '-' || file) return kvp_fail("list: unexpected argument '%s'", argv[i]);
        file = argv[i];
    }
    if (!file) return kvp_fail("list: no FILE given");
    kvp_archive archive;
    if (!kvp_archive_open(kvp_text_path(file), &archive)) return 1;
    std::vector<kvp_record> records;
    int refused = 0;
    const int result = kvp_archive_records(&archive, &records, &refused);
    printf("%-40s %-16s %12s %12s %7s\n", "Name", "Date", "Size", "Packed", "Ratio");
    uint64_t unpacked = 0, packed = 0;
    for (const kvp_record &r : records) {
        printf("%-40s %-16s %12u %12u %6.1f%%\n", r.name.c_str(),
               kvp_format_dos_time(r.header.file_time).c_str(), r.header.unpacked_size,
               r.header.packed_size, ratio(r.header.packed_size, r.header.unpacked_size));
        unpacked += r.header.unpacked_size;
        packed += r.header.packed_size;
    }
    printf("%-40s %-16s %12llu %12llu %6.1f%%\n",
           (std::to_string(records.size()) + " members").c_str(), "", (unsigned long long)unpacked,
           (unsigned long long)packed, ratio(packed, unpacked));
    kvp_archive_close(&archive);
    if (result < 0) return kvp_fail("%s: %s", archive.path.c_str(), archive.error.c_str());
    return 0;
}
