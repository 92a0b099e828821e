// kvpack simulate needs the POSIX backend's scripted user; the Windows packer runs the real
// installer instead.
#include "kvpack.h"

int cmd_simulate(int, char **) {
    return kvp_fail("simulate: only the Linux build of kvpack simulates; run the installer itself");
}
