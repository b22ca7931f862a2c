#!/usr/bin/env python3
"""Attaches the payload to the installer's image: cut the file after its
sections' raw data and string table (dropping any payload attached before), pad with zeros to
the next multiple of 4096 and append the payload. The loader maps only the
sections, so no page of the payload is read before the installer reads it;
the installer finds it at the same offset from its own section table.

    attach_payload.py EXE PAYLOAD
"""
import os
import shutil
import struct
import sys

ALIGNMENT = 4096


def image_end(image):
    """Where the image's file ends: past every section's raw data and past
    the COFF string table, which holds section names longer than eight
    characters (".eh_frame") even in a stripped image."""
    if image[:2] != b"MZ":
        sys.exit("attach_payload: not a PE image")
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        sys.exit("attach_payload: not a PE image")
    count, = struct.unpack_from("<H", image, pe + 6)
    symbols, symbol_count = struct.unpack_from("<II", image, pe + 12)
    optional, = struct.unpack_from("<H", image, pe + 20)
    table = pe + 24 + optional
    end = 0
    for i in range(count):
        raw_size, raw_pointer = struct.unpack_from("<II", image, table + 40 * i + 16)
        if raw_size:
            end = max(end, raw_pointer + raw_size)
    if symbols:
        strings = symbols + 18 * symbol_count
        size, = struct.unpack_from("<I", image, strings)
        end = max(end, strings + size)
    return pe, end


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: attach_payload.py EXE PAYLOAD")
    exe, payload = sys.argv[1:]
    with open(exe, "rb") as f:
        image = f.read()
    with open(payload, "rb") as f:
        data = f.read()
    pe, end = image_end(image)
    # A signature is appended after the image too: an image that carries one
    # must be given its payload before it is signed.
    magic, = struct.unpack_from("<H", image, pe + 24)
    security = pe + 24 + (0x80 if magic == 0x10B else 0x90)
    if struct.unpack_from("<I", image, security)[0]:
        sys.exit("attach_payload: %s is signed; attach the payload first" % exe)
    start = (end + ALIGNMENT - 1) // ALIGNMENT * ALIGNMENT
    out = image[:end] + b"\0" * (start - end) + data
    tmp = exe + ".tmp"
    with open(tmp, "wb") as f:
        f.write(out)
    shutil.copymode(exe, tmp)
    os.replace(tmp, exe)


if __name__ == "__main__":
    main()
