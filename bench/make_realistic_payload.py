#!/usr/bin/env python3
"""Writes a product folder of real files into OUT, taken from Debian packages
the bootstrap installs, in the proportions of a desktop client: Windows DLLs
(Wine's PE libraries, stripped), a CJK font, PNG artwork and translation
catalogues, beside a client and an uninstaller (two more of the DLLs). The
same packages give the same folder: files are taken in the order of their
paths, up to fixed counts and sizes.

    make_realistic_payload.py OUT
"""
import os
import shutil
import subprocess
import sys

MIB = 1024 * 1024
DLL_BYTES = 40 * MIB
PNG_COUNT = 150
MO_COUNT = 80


def package_files(package, suffix):
    listed = subprocess.run(["dpkg", "-L", package], stdout=subprocess.PIPE, check=True,
                            universal_newlines=True).stdout.split("\n")
    return sorted(p for p in listed if p.endswith(suffix) and os.path.isfile(p))


def main():
    out = sys.argv[1]
    if os.path.isdir(out):
        shutil.rmtree(out)
    plan = []
    dlls = package_files("libwine:i386", ".dll")
    if len(dlls) < 3:
        sys.exit("make_realistic_payload: Wine's 32-bit libraries (libwine:i386) are missing")
    plan.append(("Quillmossdex.exe", dlls[0]))
    plan.append(("uninst.exe", dlls[1]))
    total = 0
    for path in dlls[2:]:
        if total >= DLL_BYTES:
            break
        plan.append(("bin/" + os.path.basename(path), path))
        total += os.path.getsize(path)
    for path in package_files("fonts-wqy-microhei", ".ttc"):
        plan.append(("fonts/" + os.path.basename(path), path))
    for path in package_files("adwaita-icon-theme", ".png")[:PNG_COUNT]:
        rel = os.path.relpath(path, "/usr/share/icons/Adwaita")
        plan.append(("res/icons/" + rel, path))
    for path in package_files("iso-codes", ".mo")[:MO_COUNT]:
        parts = path.split("/")
        # /usr/share/locale/<language>/LC_MESSAGES/<catalogue>.mo
        plan.append(("locale/%s/%s" % (parts[-3], parts[-1]), path))
    for name, path in plan:
        target = os.path.join(out, *name.split("/"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(path, target)


if __name__ == "__main__":
    main()
