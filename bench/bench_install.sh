#!/bin/sh
# Install benchmark: N small files plus one large file through kvpack simulate, beside
# kvpack extract decoding the same members straight to disk (the decode floor).
# Usage: bench/bench_install.sh KVPACK [SMALL_FILES] [LARGE_MB]
# Prints seconds for both and the engine's overhead over the decode.
set -eu
kvpack=$1
small=${2:-10000}
large_mb=${3:-100}
work=$(mktemp -d)
trap '[ -n "${KV_BENCH_KEEP:-}" ] || rm -rf "$work"' EXIT
mkdir -p "$work/src/files"

python3 - "$work/src" "$small" "$large_mb" <<'PY'
import os, random, sys
root, small, large_mb = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(7)
words = [''.join(rng.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rng.randint(2, 9)))
         for _ in range(2000)]
def text(size):
    out, n = [], 0
    while n < size:
        w = rng.choice(words)
        out.append(w)
        n += len(w) + 1
    return (' '.join(out))[:size].encode()
for i in range(small):
    with open(os.path.join(root, 'files', 'f%05d.txt' % i), 'wb') as f:
        f.write(text(rng.randint(200, 4000)))
chunk = text(1 << 20)
with open(os.path.join(root, 'big.dat'), 'wb') as f:
    for i in range(large_mb):
        f.write(chunk[i % 7:] + chunk[:i % 7])
with open(os.path.join(root, 'setup.txt'), 'w') as f:
    f.write('default_dest_dir="Bench"\n'
            'steps\n{\nfoldersettings\nstartinstall\nfinished\n}\n'
            'install_steps\n{\ncheckdiskspace="Ruimte","Te weinig",break\n'
            'createfolders="Mappen"\ncopyfiles="Bestanden","Fout",break\n}\n'
            'dir01="[dest]\\files"\n'
            'copy_files\n{\n"Groot",big.dat,[dest]\\*.*,overwrite_always\n'
            '"Klein",files\\*.*,[dir01]\\*.*,overwrite_always\n}\n')
PY

"$kvpack" pack --bare --quiet -o "$work/bench.pck" "$work/src"
now() { date +%s.%N; }
t0=$(now)
"$kvpack" extract "$work/bench.pck" -C "$work/extracted" --quiet > /dev/null
t1=$(now)
"$kvpack" simulate "$work/bench.pck" --root "$work/root" > "$work/simulate.txt" ||
    { echo "simulate failed" >&2; tail -5 "$work/simulate.txt" >&2; exit 1; }
t2=$(now)
python3 - "$t0" "$t1" "$t2" "$small" "$large_mb" <<'PY'
import sys
t0, t1, t2 = map(float, sys.argv[1:4])
decode, install = t1 - t0, t2 - t1
print(f"{sys.argv[4]} small files + {sys.argv[5]} MB: decode to disk {decode:.2f} s, "
      f"install run {install:.2f} s, overhead {100 * (install - decode) / decode:+.0f}%")
PY
