#!/usr/bin/env python3
"""Writes a small product folder into OUT that exercises both payload
compressors: programs whose calls the x86 branch converter rewrites (with
call bytes on both sides of the edges of the installer's 256 KiB buffers and
in the last bytes of a file), sizes around those edges, an empty file, an
empty folder, Chinese names, text and noise. Seeded: the same folder every
time.

    make_codec_tree.py OUT
"""
import os
import random
import shutil
import struct
import sys

BUFFER = 256 * 1024


def program(rng, size):
    head = bytearray(0x400)
    head[:2] = b"MZ"
    struct.pack_into("<I", head, 0x3C, 0x80)
    head[0x80:0x86] = b"PE\0\0\x4c\x01"
    out = bytearray(head)
    while len(out) < size:
        out += bytes([0x55, 0x8B, 0xEC, 0xE8]) + struct.pack("<i", rng.randint(-40000, 40000))
        out += rng.randbytes(rng.randint(0, 5))
    out = out[:size]
    # Call opcodes just before, on and after each buffer edge, and in the
    # last four bytes, where the converter must see bytes it may not have.
    for edge in range(BUFFER, size, BUFFER):
        for at in range(edge - 6, min(edge + 6, size), 3):
            out[at] = 0xE8
    for at in range(max(0, size - 4), size):
        out[at] = 0xE8 if at % 2 == 0 else 0x00
    return bytes(out)


def text(rng, size):
    words = b"install window client folder sync upload progress update setting".split()
    out = bytearray()
    while len(out) < size:
        out += b" ".join(rng.choice(words) for _ in range(rng.randint(3, 12))) + b"\r\n"
    return bytes(out[:size])


def main():
    out = sys.argv[1]
    if os.path.isdir(out):
        shutil.rmtree(out)
    rng = random.Random(36)
    files = {
        "Quillmossdex.exe": program(rng, 3 * BUFFER + 2),
        "uninst.exe": program(rng, 5000),
        "bin/helper.dll": program(rng, BUFFER),
        "bin/edge.dll": program(rng, BUFFER + 1),
        "bin/tiny.dll": program(rng, 0x404),
        "data/noise.bin": rng.randbytes(BUFFER + 1),
        "data/text.txt": text(rng, 2 * BUFFER - 1),
        "data/empty.bin": b"",
        "res/深层/说明.txt": "中文内容\r\n".encode("utf-8") * 100,
    }
    for name, content in files.items():
        path = os.path.join(out, *name.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content)
    os.makedirs(os.path.join(out, "empty"))


if __name__ == "__main__":
    main()
