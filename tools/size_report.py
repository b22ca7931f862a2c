#!/usr/bin/env python3
"""Where a program's bytes go: reads the GNU linker's map of a program and
prints the bytes each library or group of objects contributes to the file,
largest first, beside the program's size.

    size_report.py MAP EXE [--payload ZIP] [--title TEXT]

Only what the file holds is counted (code, data, read-only data, resources,
import tables); zero-filled data takes no room in the file and is left out.
The rest of the file (headers, the relocation table, alignment) is shown as
one line. With --payload, the archive embedded among the resources is shown
on a line of its own, so the program's own part is visible.
"""
import argparse
import os
import re
import sys

# Output sections with no bytes in the file.
NO_FILE_BYTES = {".bss", ".tls$ZZZ"}

# Object paths to groups, the first match wins.
GROUPS = [
    (r"libstdc\+\+", "C++ runtime (libstdc++)"),
    (r"libsupc\+\+", "C++ runtime (libstdc++)"),
    (r"libgcc", "compiler support (libgcc)"),
    (r"libwinpthread|libpthread", "threads (winpthread)"),
    (r"libmingw|crt2|crtbegin|crtend|dllcrt|libmoldname|/lib/crt|lib/[a-z0-9]*crt", "C runtime start-up (mingw)"),
    (r"libmsvcrt|libucrt", "C runtime imports (msvcrt)"),
    (r"libz\.a", "zlib"),
    (r"libminizip", "minizip"),
    (r"libskinui", "skinui"),
    (r"libinstaller_lib", "installer engine (installer_lib)"),
    (r"\.rc\.res|\.res\.obj|\.rc\.obj|_version\.rc", "resources"),
    (r"lib(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|uuid|shlwapi|comdlg32|"
     r"comctl32|msimg32|psapi|version|dbghelp|imm32|winmm|uxtheme|gdiplus|ws2_32|crypt32|"
     r"wintrust|userenv|ntdll|[a-z0-9_]+)\.a", "system import stubs"),
    (r"CMakeFiles/", "the program's own objects"),
    # The linker's own input: the base relocations that ASLR needs.
    (r"^dll stuff$", "relocation table (ASLR)"),
]


def group_of(path):
    for pattern, name in GROUPS:
        if re.search(pattern, path):
            return name
    return "other: " + os.path.basename(path)


def parse_map(path):
    """Yields (output section, size, object path) for every input section."""
    with open(path, errors="replace") as f:
        lines = f.read().splitlines()
    try:
        start = lines.index("Linker script and memory map")
    except ValueError:
        sys.exit("%s: not a GNU linker map" % path)
    output = None
    pending = None  # an input section name whose numbers are on the next line
    out_re = re.compile(r"^(\.[^\s]+|[A-Za-z_][^\s]*)\s+0x[0-9a-f]+\s+0x([0-9a-f]+)")
    out_name_only = re.compile(r"^(\.[^\s]+)\s*$")
    in_re = re.compile(r"^ (\S+)\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$")
    in_name_only = re.compile(r"^ (\S+)\s*$")
    in_numbers = re.compile(r"^\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$")
    for line in lines[start + 1:]:
        m = out_re.match(line)
        if m:
            output = m.group(1)
            pending = None
            continue
        m = out_name_only.match(line)
        if m:
            output = m.group(1)
            pending = None
            continue
        if pending is not None:
            m = in_numbers.match(line)
            pending = None
            if m:
                yield output, int(m.group(1), 16), m.group(2).strip()
            continue
        m = in_re.match(line)
        if m:
            yield output, int(m.group(2), 16), m.group(3).strip()
            continue
        m = in_name_only.match(line)
        if m and not m.group(1).startswith("*"):
            pending = m.group(1)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("map")
    parser.add_argument("exe")
    parser.add_argument("--payload")
    parser.add_argument("--title")
    args = parser.parse_args()

    totals = {}
    for section, size, obj in parse_map(args.map):
        if section in NO_FILE_BYTES or size == 0 or obj.startswith("LONG "):
            continue
        name = group_of(obj)
        totals[name] = totals.get(name, 0) + size

    exe_size = os.path.getsize(args.exe)
    payload = os.path.getsize(args.payload) if args.payload else 0
    if payload and "resources" in totals:
        totals["resources"] -= payload
        totals["payload archive (resource ZIP / 101)"] = payload
    counted = sum(totals.values())

    title = args.title or os.path.basename(args.exe)
    print("%s: %s bytes" % (title, format(exe_size, ",")))
    for name, size in sorted(totals.items(), key=lambda kv: -kv[1]):
        print("  %12s  %5.1f %%  %s" % (format(size, ","), 100.0 * size / exe_size, name))
    rest = exe_size - counted
    print("  %12s  %5.1f %%  %s" % (format(rest, ","), 100.0 * rest / exe_size,
                                   "headers, relocations, alignment"))


if __name__ == "__main__":
    main()
