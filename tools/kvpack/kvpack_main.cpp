// kvpack: builds installer archives and inspects them. The first argument names a command;
// each command is one cmd_<name>.cpp with its own --help, listed in the table below.
#include "kvpack.h"
#include "kvpack_os.h"
#include "kvpack_stub_version.h"

#include <cstdio>
#include <cstring>

int cmd_pack(int argc, char **argv);
int cmd_list(int argc, char **argv);
int cmd_extract(int argc, char **argv);
int cmd_verify(int argc, char **argv);
int cmd_simulate(int argc, char **argv);
int cmd_lint(int argc, char **argv);

namespace {

struct kvp_command {
    const char *name;
    const char *summary;
    int (*run)(int argc, char **argv); // argv[0] is the command name; returns the exit code
};

const kvp_command commands[] = {
    {"pack", "build an installer, a stub with a .pck file, or a bare archive", cmd_pack},
    {"list", "show the members of an installer, .pck file or archive", cmd_list},
    {"extract", "unpack members into a folder", cmd_extract},
    {"verify", "check every record and decode every member", cmd_verify},
    {"simulate", "run the install natively with drives mapped into a folder", cmd_simulate},
    {"lint", "check a setup script for the mistakes the installer passes over", cmd_lint},
};

void usage(FILE *out) {
    fputs("usage: kvpack COMMAND [OPTIONS] [ARGS]\n\ncommands:\n", out);
    for (const kvp_command &c : commands) fprintf(out, "  %-10s %s\n", c.name, c.summary);
    fputs("\n'kvpack COMMAND --help' describes a command; 'kvpack --version' shows the\n"
          "versions of kvpack and of its default stub.\n",
          out);
}

} // namespace

int main(int argc, char **argv) {
    kvp_os_start(&argc, &argv);
    if (argc < 2) {
        usage(stderr);
        return 1;
    }
    if (kvp_is_help(argv[1])) {
        usage(stdout);
        return 0;
    }
    if (!strcmp(argv[1], "--version")) return kvp_print_version();
    for (const kvp_command &c : commands)
        if (!strcmp(argv[1], c.name)) return c.run(argc - 1, argv + 1);
    return kvp_fail("unknown command '%s' (try kvpack --help)", argv[1]);
}
