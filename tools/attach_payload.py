#!/usr/bin/env python3
"""Attaches the payload to the installer's image: cut the file after its
sections' raw data and string table (dropping any payload attached before), pad with zeros to
the next multiple of 4096 and append the payload. The loader maps only the
sections, so no page of the payload is read before the installer reads it;
the installer finds it at the same offset from its own section table.

    attach_payload.py EXE PAYLOAD [--digest DIGEST]

--digest puts another payload's digest record (pack_payload.py's DIGEST) in
place of the one the image carries, so that one built installer can be given
any payload (the benchmarks give it several); the record has a fixed size and
is found as the one that names the payload attached now.
"""
import os
import shutil
import struct
import sys

ALIGNMENT = 4096
DIGEST_MAGIC = b"QMDIGEST"
DIGEST_SIZE = 48


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


def replace_digest(image, end, record):
    """The image with its digest record replaced: the record among the first
    end bytes whose size field is that of the payload attached after them."""
    if len(record) != DIGEST_SIZE or not record.startswith(DIGEST_MAGIC):
        sys.exit("attach_payload: not a digest record")
    attached = len(image) - (end + ALIGNMENT - 1) // ALIGNMENT * ALIGNMENT
    found = []
    at = image.find(DIGEST_MAGIC, 0, end)
    while at >= 0:
        size, = struct.unpack_from("<Q", image, at + 8)
        if size == attached:
            found.append(at)
        at = image.find(DIGEST_MAGIC, at + 1, end)
    if len(found) != 1:
        sys.exit("attach_payload: the image's digest record was not found")
    return image[:found[0]] + record + image[found[0] + DIGEST_SIZE:]


def main():
    args = sys.argv[1:]
    record = None
    if len(args) == 4 and args[2] == "--digest":
        with open(args[3], "rb") as f:
            record = f.read()
        args = args[:2]
    if len(args) != 2:
        sys.exit("usage: attach_payload.py EXE PAYLOAD [--digest DIGEST]")
    exe, payload = args
    with open(exe, "rb") as f:
        image = f.read()
    with open(payload, "rb") as f:
        data = f.read()
    pe, end = image_end(image)
    if record is not None:
        image = replace_digest(image, end, record)
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
