#!/usr/bin/env python3
"""What each section and each object contributes to a stub.

Usage: scripts/stub_size.py EXE [MAP]
  EXE  the linked stub (setup.exe); its sections are read from the PE headers.
  MAP  the linker map written beside it (-Wl,-Map, default EXE with .map): bytes per input
       object, summed over the output sections that are loaded (.text, .data, .rdata, ...).
Prints two tables in Markdown: the file's sections (raw bytes in the file) and the objects,
largest first, grouped by library member so the runtime's pieces show by name.
"""
import os
import re
import struct
import sys
from collections import defaultdict


def pe_sections(path):
    with open(path, 'rb') as f:
        data = f.read()
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    count = struct.unpack_from('<H', data, pe + 6)[0]
    optional = struct.unpack_from('<H', data, pe + 20)[0]
    table = pe + 24 + optional
    headers = struct.unpack_from('<I', data, pe + 24 + 60)[0]  # SizeOfHeaders, PE32 and PE32+
    rows = [('(headers)', headers, headers)]
    for i in range(count):
        name, vsize, _, raw, _ = struct.unpack_from('<8sIIII', data, table + 40 * i)
        rows.append((name.rstrip(b'\0').decode(), vsize, raw))
    return len(data), rows


def owner(name):
    """A short label for an input file of the map: the object, or library(member)."""
    m = re.match(r'(.*/)?([^/(]+)\((.*)\)$', name)
    if m:
        return '%s(%s)' % (m.group(2), m.group(3))
    return os.path.basename(name)


def map_objects(path):
    sizes = defaultdict(int)
    by_section = defaultdict(lambda: defaultdict(int))
    out = None
    pending = None
    line_re = re.compile(r'^\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$')
    started = False
    with open(path, errors='replace') as f:
        for line in f:
            if not started:  # the discarded sections come first: not in the file
                started = line.startswith('Linker script and memory map')
                continue
            if line.startswith('.'):  # an output section starts
                out = line.split()[0]
                continue
            if out is None or out.startswith('.debug') or out in ('.reloc',):
                continue
            m = re.match(r'^ (\.\S+)\s*$', line)
            if m:
                pending = m.group(1)
                continue
            m = re.match(r'^ (\.\S+)\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$', line)
            if m:
                size, name = int(m.group(2), 16), m.group(3)
            elif pending:
                m = line_re.match(line)
                pending = None
                if not m:
                    continue
                size, name = int(m.group(1), 16), m.group(2)
            else:
                continue
            if size == 0 or name.startswith('*'):
                continue
            who = owner(name.strip())
            sizes[who] += size
            by_section[who][out] += size
    return sizes, by_section


def main():
    exe = sys.argv[1]
    mapfile = sys.argv[2] if len(sys.argv) > 2 else os.path.splitext(exe)[0] + '.map'
    total, rows = pe_sections(exe)
    print('%s: %d bytes\n' % (exe, total))
    print('| section | in memory | in the file |')
    print('|---|---:|---:|')
    for name, vsize, raw in rows:
        print('| %s | %d | %d |' % (name, vsize, raw))
    if not os.path.exists(mapfile):
        print('\n(no map %s: link with -Wl,-Map to see the objects)' % mapfile)
        return
    sizes, by_section = map_objects(mapfile)
    print('\n| object | bytes | sections |')
    print('|---|---:|---|')
    shown = 0
    for who, size in sorted(sizes.items(), key=lambda kv: -kv[1]):
        parts = ' '.join('%s %d' % (s, n) for s, n in
                         sorted(by_section[who].items(), key=lambda kv: -kv[1]))
        if shown < int(os.environ.get('KV_SIZE_ROWS', '40')):
            print('| %s | %d | %s |' % (who, size, parts))
        shown += 1
    rest = sorted(sizes.values(), reverse=True)[int(os.environ.get('KV_SIZE_ROWS', '40')):]
    if rest:
        print('| (%d more) | %d | |' % (len(rest), sum(rest)))


if __name__ == '__main__':
    main()
