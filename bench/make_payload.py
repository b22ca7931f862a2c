#!/usr/bin/env python3
"""Writes a product folder shaped like the shipped payload into OUT: 58
entries of which 6 are folders, about 48 MiB in all, the largest file about
27 MiB, a mix of data deflate shrinks well (text, tables, code-like bytes)
and data it cannot shrink (media, already compressed resources). Seeded: the
same folder every time. SCALE multiplies every file's size (the same
entries), for checking that the installer's memory does not grow with the
payload.

    make_payload.py OUT [SCALE]
    make_payload.py OUT --small COUNT

--small writes COUNT small text files (1 to 8 KiB, about 4 KiB each) in
folders of 100, beside the client and the uninstaller, for checking that the
cost of each file does not grow with the number of files before it.
"""
import os
import random
import shutil
import sys

MIB = 1024 * 1024
FOLDERS = ["bin", "locale", "plugins", "res", "res/images", "res/skin"]
WORDS = (b"install window client service account cloud folder sync upload "
         b"download progress update version setting profile message error "
         b"network session token retry timeout channel").split()


def text(rng, size):
    out = bytearray()
    while len(out) < size:
        line = b" ".join(rng.choice(WORDS) for _ in range(rng.randint(4, 14)))
        out += line + b"\r\n"
    return bytes(out[:size])


def code(rng, size):
    # Like machine code and tables: short repeated patterns with noise,
    # which deflate shrinks to about a third.
    out = bytearray()
    patterns = [rng.randbytes(rng.randint(8, 48)) for _ in range(64)]
    while len(out) < size:
        out += rng.choice(patterns)
        out += rng.randbytes(rng.randint(0, 2))
    return bytes(out[:size])


def noise(rng, size):
    return rng.randbytes(size)


def mixed(rng, size):
    # The largest file: a program with resources inside, mostly code, some
    # media, in 1 MiB stretches.
    out = bytearray()
    while len(out) < size:
        part = min(MIB, size - len(out))
        out += code(rng, part) if rng.random() < 0.75 else noise(rng, part)
    return bytes(out)


def files(rng, scale):
    # 52 files: (folder, name, kind, size)
    plan = [("bin", "core.dll", mixed, 27 * MIB),
            ("", "Quillmossdex.exe", code, 3 * MIB),
            ("", "uninst.exe", code, 400 * 1024),
            ("bin", "net.dll", code, 2 * MIB),
            ("bin", "media.dll", noise, 3 * MIB // 2)]
    for i in range(7):
        plan.append(("bin", "module%d.dll" % i, code, rng.randint(150, 600) * 1024))
    for i in range(8):
        plan.append(("plugins", "plugin%d.dll" % i, code, rng.randint(100, 400) * 1024))
    for i in range(6):
        plan.append(("locale", "lang%d.txt" % i, text, rng.randint(80, 300) * 1024))
    for i in range(15):
        plan.append(("res/images", "image%02d.png" % i, noise, rng.randint(60, 400) * 1024))
    for i in range(8):
        plan.append(("res/skin", "skin%d.xml" % i, text, rng.randint(20, 200) * 1024))
    plan.append(("res", "resources.pak", noise, 3 * MIB))
    plan.append(("res", "strings.txt", text, 1 * MIB))
    plan.append(("res", "empty.dat", text, 0))
    return [(folder, name, kind, size * scale) for folder, name, kind, size in plan]


def small(out, count, rng):
    with open(os.path.join(out, "Quillmossdex.exe"), "wb") as f:
        f.write(code(rng, 200 * 1024))
    with open(os.path.join(out, "uninst.exe"), "wb") as f:
        f.write(code(rng, 100 * 1024))
    for i in range(count):
        folder = os.path.join(out, "data", "d%03d" % (i // 100))
        if i % 100 == 0:
            os.makedirs(folder)
        with open(os.path.join(folder, "f%05d.txt" % i), "wb") as f:
            f.write(text(rng, rng.randint(1024, 8 * 1024)))


def main():
    out = sys.argv[1]
    rng = random.Random(220822)
    if os.path.isdir(out):
        shutil.rmtree(out)
    if len(sys.argv) > 3 and sys.argv[2] == "--small":
        os.makedirs(out)
        small(out, int(sys.argv[3]), rng)
        return
    scale = int(sys.argv[2]) if len(sys.argv) > 2 else 1
    for folder in FOLDERS:
        os.makedirs(os.path.join(out, folder))
    plan = files(rng, scale)
    assert len(plan) + len(FOLDERS) == 58, len(plan)
    for folder, name, kind, size in plan:
        with open(os.path.join(out, folder, name), "wb") as f:
            f.write(kind(rng, size))


if __name__ == "__main__":
    main()
