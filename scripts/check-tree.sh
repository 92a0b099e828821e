#!/bin/bash
# The tree's own checks, run by the test command before anything is built:
#   formatting  every C++ source and header as clang-format (the repo's .clang-format) writes it;
#   layering    a file under src/ includes headers only from its own folder or folders below:
#                 1 state, platform, resources   2 archive   3 script   4 engine   5 shell
#               (resources/ holds the ids and the version every floor may name; tools/ and
#               tests/ may include anything; src/ never includes tools/ or tests/). An include
#               without a folder names a header beside the file or in resources/, nothing else:
#               the include paths would otherwise let any floor reach any other unseen.
# Exits non-zero with one line per finding.
set -uo pipefail
cd "$(dirname "$0")/.."
status=0

mapfile -t sources < <(git ls-files 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h' \
    'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' 'examples/*.cpp')
if ! clang-format --dry-run -Werror "${sources[@]}" 2>/tmp/kv-format.$$; then
    echo >>/tmp/kv-format.$$
    grep -E '^[^ ].*(warning|error):' /tmp/kv-format.$$ | sed 's/^/format: /' | head -20
    echo "format: run clang-format -i on the files above" >&2
    status=1
fi
rm -f /tmp/kv-format.$$

floor_of() {
    case $1 in
    state | platform | resources) echo 1 ;; archive) echo 2 ;; script) echo 3 ;; engine) echo 4 ;; shell) echo 5 ;;
    *) echo 0 ;;
    esac
}
while IFS=: read -r file line text; do
    mine=$(floor_of "$(echo "$file" | cut -d/ -f2)")
    theirs_dir=$(echo "$text" | sed -E 's/.*#\s*include\s+"([^"/]+)\/.*/\1/')
    theirs=$(floor_of "$theirs_dir")
    if [ "$theirs" = 0 ]; then
        case $theirs_dir in tools | tests) echo "layering: $file:$line includes $theirs_dir/" && status=1 ;; esac
        continue
    fi
    mine_dir=$(echo "$file" | cut -d/ -f2)
    if [ "$theirs_dir" != "$mine_dir" ] && [ "$theirs_dir" != resources ] && [ "$theirs" -ge "$mine" ]; then
        echo "layering: $file:$line includes $theirs_dir/ (floor $theirs) from floor $mine"
        status=1
    fi
done < <(git grep -n -E '^\s*#\s*include\s+"[^"/]+/' -- 'src/*.cpp' 'src/*.h')

while IFS=: read -r file line text; do
    name=$(echo "$text" | sed -E 's/.*#\s*include\s+"([^"]+)".*/\1/')
    [ -f "$(dirname "$file")/$name" ] && continue
    [ -f "resources/$name" ] || [ -f "resources/$name.in" ] && continue
    echo "layering: $file:$line includes \"$name\" without its folder (not beside it, not in resources/)"
    status=1
done < <(git grep -n -E '^\s*#\s*include\s+"[^"/]+"' -- 'src/*.cpp' 'src/*.h')

[ $status = 0 ] && echo "check-tree: formatting and layering clean"
exit $status
