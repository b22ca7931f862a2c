#!/usr/bin/env python3
"""Where a program's bytes go: reads the GNU linker's map of a program and
prints the bytes each library or group of objects contributes to the file,
largest first, beside the program's size.

    size_report.py MAP EXE [--payload FILE] [--title TEXT] [--symbols COPY]

Only what the file holds is counted (code, data, read-only data, resources,
import tables); zero-filled data takes no room in the file and is left out.
The rest of the file (headers, the relocation table, alignment) is shown as
one line. With --payload, the payload attached after the image is shown on a
line of its own, so the program's own part is visible.

Code optimised as a whole at link time reaches the map as one object. With
--symbols (a copy of the program that kept its symbol table) its bytes are
shared out symbol by symbol, each to the library whose object defines that
symbol; templates of the C++ standard library, instantiated wherever they are
used, get a line of their own.
"""
import argparse
import bisect
import os
import re
import subprocess
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
    (r"libskinui", "skinui"),
    (r"libzstd_decoder", "payload decoder (zstd)"),
    (r"libinstaller_services", "product services (installer_services)"),
    (r"libinstaller_engine", "install engine (installer_engine)"),
    (r"libinstaller_lib", "installer program (installer_lib)"),
    (r"libuninst_lib", "uninstaller (uninst_lib)"),
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
    """Yields (output section, address, size, object path) for every input
    section."""
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
    in_re = re.compile(r"^ (\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")
    in_name_only = re.compile(r"^ (\S+)\s*$")
    in_numbers = re.compile(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")
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
                yield output, int(m.group(1), 16), int(m.group(2), 16), m.group(3).strip()
            continue
        m = in_re.match(line)
        if m:
            yield output, int(m.group(2), 16), int(m.group(3), 16), m.group(4).strip()
            continue
        m = in_name_only.match(line)
        if m and not m.group(1).startswith("*"):
            pending = m.group(1)


def loaded_objects(path):
    """The archives and objects the link loaded, as the map lists them."""
    with open(path, errors="replace") as f:
        return [line[5:].strip() for line in f if line.startswith("LOAD ")]


def defined_symbols(objdump, path):
    """Yields the names an object or archive defines, local ones included.
    objdump reads the ordinary symbol tables of objects that also carry
    intermediate code for link-time work (nm would read that code's table,
    which lists no local names)."""
    try:
        out = subprocess.run([objdump, "-t", path], capture_output=True, text=True,
                             errors="replace").stdout
    except OSError:
        return
    defined = re.compile(r"^\[\s*\d+\]\(sec\s+([1-9]\d*)\).*\s(\S+)$")
    for line in out.splitlines():
        m = defined.match(line)
        if m and not m.group(2).startswith("."):
            yield m.group(2)


def bare_name(name):
    """A symbol without the suffixes of the compiler's clones (.isra.0,
    .constprop.1, .part.0, .lto_priv.0, .cold)."""
    return name.split(".", 1)[0]


STD_TEMPLATES = "C++ standard templates (std::, instantiated where used)"


def share_out_by_symbols(ranges, copy, map_path, nm_prefix):
    """Shares the bytes of the whole-program object's input sections out to
    the libraries whose objects define its symbols."""
    owner = {}
    for obj in loaded_objects(map_path):
        # Paths of the build tree are relative to where the link ran: the
        # top of the build tree, at or above the map.
        here = os.path.dirname(os.path.abspath(map_path))
        for _ in range(5):
            if os.path.isabs(obj) or os.path.exists(os.path.join(here, obj)):
                break
            here = os.path.dirname(here)
        obj = os.path.join(here, obj)
        if obj.startswith("/usr/") or not os.path.exists(obj):
            continue
        group = group_of(obj)
        for name in defined_symbols(nm_prefix + "objdump", obj):
            owner.setdefault(bare_name(name), group)
    try:
        out = subprocess.run([nm_prefix + "nm", "-n", "--defined-only", copy],
                             capture_output=True, text=True, errors="replace").stdout
    except OSError:
        return None
    symbols = []
    for line in out.splitlines():
        parts = line.split()
        if len(parts) == 3 and not parts[2].startswith("."):
            symbols.append((int(parts[0], 16), parts[2]))
    symbols.sort()
    addresses = [a for a, _ in symbols]
    totals = {}
    for start, size in ranges:
        end = start + size
        inside = symbols[bisect.bisect_left(addresses, start):bisect.bisect_left(addresses, end)]
        marks = [a for a, _ in inside] + [end]
        covered = 0
        for (addr, name), next_addr in zip(inside, marks[1:]):
            bare = bare_name(name)
            if re.match(r"^_*Z[NK]*S[tas]", bare):
                group = STD_TEMPLATES
            else:
                group = owner.get(bare, "whole-program bytes no symbol places (literals, merged helpers)")
            totals[group] = totals.get(group, 0) + (next_addr - addr)
            covered += next_addr - addr
        if size > covered:
            key = "whole-program bytes no symbol places (literals, merged helpers)"
            totals[key] = totals.get(key, 0) + size - covered
    return totals


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("map")
    parser.add_argument("exe")
    parser.add_argument("--payload")
    parser.add_argument("--title")
    parser.add_argument("--symbols", help="a copy of the program with its symbol table")
    parser.add_argument("--nm-prefix", default="i686-w64-mingw32-")
    args = parser.parse_args()

    totals = {}
    whole = []
    for section, address, size, obj in parse_map(args.map):
        if section in NO_FILE_BYTES or size == 0 or obj.startswith("LONG "):
            continue
        # The program links with its symbols and debugging sections and is
        # stripped afterwards: those never reach the shipped file.
        if section.startswith((".debug", ".zdebug", ".stab")):
            continue
        if ".ltrans" in obj and args.symbols:
            whole.append((address, size))
            continue
        name = group_of(obj)
        totals[name] = totals.get(name, 0) + size
    if whole:
        shared = share_out_by_symbols(whole, args.symbols, args.map, args.nm_prefix)
        if shared is None:
            shared = {"whole-program code": sum(size for _, size in whole)}
        for name, size in shared.items():
            totals[name] = totals.get(name, 0) + size

    exe_size = os.path.getsize(args.exe)
    payload = os.path.getsize(args.payload) if args.payload else 0
    if payload:
        totals["payload (solid zstd stream after the image)"] = payload
    counted = sum(totals.values())

    title = args.title or os.path.basename(args.exe)
    print("%s: %s bytes" % (title, format(exe_size, ",")))
    for name, size in sorted(totals.items(), key=lambda kv: -kv[1]):
        print("  %12s  %5.1f %%  %s" % (format(size, ","), 100.0 * size / exe_size, name))
    rest = exe_size - counted
    print("  %12s  %5.1f %%  %s" % (format(rest, ","), 100.0 * rest / exe_size,
                                   "headers, relocations, string table, alignment"))


if __name__ == "__main__":
    main()
