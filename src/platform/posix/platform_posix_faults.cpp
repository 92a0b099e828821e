// The POSIX backend's table of calls and its one fault point: the plan a test sets, and what
// each kind of call fails with when the plan numbers it.
#include "platform/platform_remove.h"
#include "platform/posix/platform_faults.h"

platform_fault_plan platform_faults;

// Each kind fails as its Win32 call fails most often: files and keys are refused, a read or a
// write breaks off, a removal meets a file held open, COM runs out of memory.
const platform_call_info platform_calls[PLATFORM_CALL_KINDS] = {
    {"open for reading", PLATFORM_ERROR_ACCESS_DENIED},
    {"create for writing", PLATFORM_ERROR_ACCESS_DENIED},
    {"open for update", PLATFORM_ERROR_ACCESS_DENIED},
    {"open for appending", PLATFORM_ERROR_ACCESS_DENIED},
    {"read", PLATFORM_ERROR_READ_FAULT},
    {"write", PLATFORM_ERROR_WRITE_FAULT},
    {"seek", PLATFORM_ERROR_INVALID_PARAMETER},
    {"file size", PLATFORM_ERROR_ACCESS_DENIED},
    {"attributes", PLATFORM_ERROR_ACCESS_DENIED},
    {"make folder", PLATFORM_ERROR_ACCESS_DENIED},
    {"delete file", PLATFORM_ERROR_ACCESS_DENIED},
    {"move", PLATFORM_ERROR_ACCESS_DENIED},
    {"free space", PLATFORM_ERROR_ACCESS_DENIED},
    {"module path", PLATFORM_ERROR_ACCESS_DENIED},
    {"registry open", PLATFORM_ERROR_ACCESS_DENIED},
    {"registry create", PLATFORM_ERROR_ACCESS_DENIED},
    {"registry set value", PLATFORM_ERROR_ACCESS_DENIED},
    {"registry enumerate", PLATFORM_ERROR_ACCESS_DENIED},
    {"registry delete", PLATFORM_ERROR_ACCESS_DENIED},
    {"elevation query", PLATFORM_ERROR_ACCESS_DENIED},
    {"special folder", PLATFORM_ERROR_FILE_NOT_FOUND},
    {"COM start", PLATFORM_ERROR_NOT_ENOUGH_MEMORY},
    {"link object", PLATFORM_ERROR_NOT_ENOUGH_MEMORY},
    {"link save", PLATFORM_ERROR_ACCESS_DENIED},
    {"list add", PLATFORM_ERROR_NOT_ENOUGH_MEMORY},
    {"list data", PLATFORM_ERROR_INVALID_PARAMETER},
    {"node open", PLATFORM_ERROR_ACCESS_DENIED},
    {"node read", PLATFORM_ERROR_READ_FAULT},
    {"node remove", PLATFORM_ERROR_SHARING_VIOLATION},
    {"folder entries", PLATFORM_ERROR_ACCESS_DENIED},
};

uint32_t platform_fault_point(platform_call call) {
    platform_faults.by_kind[call]++;
    if (++platform_faults.calls != platform_faults.fail_call) return 0;
    platform_faults.failed_kind = call;
    return platform_calls[call].error;
}
