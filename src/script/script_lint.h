// Checks a setup script for the mistakes the installer tolerates in silence: each finding
// names the line of the vendor's own file and says what the installer will actually do.
// Used by the packer (kvpack lint, kvpack pack); the installer itself never reports them.
#pragma once

#include <cstddef>
#include <cstdint>

enum : size_t { LINT_MESSAGE_CAPACITY = 400 };

// A file that will be packed, for the checks that need to know the members.
struct lint_member {
    const char *name; // member name as stored in the archive
    uint64_t size;    // unpacked bytes
    int encoding;     // script_encoding of its bytes when the packer read them; 0: not read
};

struct lint_finding {
    int line; // 1-based line of the original script; 0 for the script as a whole
    char message[LINT_MESSAGE_CAPACITY];
    int error; // 1: the installer refuses what the line asks (always an error), 0: a warning
};

// Receives each finding, in line order.
typedef void (*lint_report_fn)(void *context, const lint_finding *finding);

// Checks size bytes of script text (the installer's view ends at a NUL). members may be null
// with member_count < 0 when the members are not known; the member checks are then left out.
// Returns the number of findings reported, or -1 when memory was short.
int script_lint(const char *text, size_t size, const lint_member *members, int member_count,
                lint_report_fn report, void *context);
