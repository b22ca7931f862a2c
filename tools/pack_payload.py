#!/usr/bin/env python3
"""Packs the installer's payload reproducibly: the same inputs give the same
bytes, whatever the file times, the order the file system lists them in, the
umask or the machine.

    pack_payload.py OUT DIGEST [--dir DIR | --zip ZIP] [--add NAME=PATH ...]
                    [--list NAME] [--level N] [--window-log N]

--dir packs a folder's content (its subfolders as folder entries); --zip
repacks a ZIP archive (names flagged UTF-8 read as UTF-8, others as code page
936, as Chinese archivers write them). --add puts one more file in under NAME
('/'-separated), for files that are built elsewhere. --list adds an entry NAME
holding the names of all other entries, one a line, folders ending in '/'.

OUT is the payload the installer carries after its image:

    offset size
     0     8   "QMPACK\\0\\1"
     8     4   entry count
    12     4   0
    16     8   bytes of the index frame
    24     8   bytes of the index unpacked
    32     8   bytes of the data frame
    40     8   bytes of the data unpacked
    48         the index frame, then the data frame (zstd)

The index holds, for every entry in the order of the data: the name's length
(2 bytes) and the name (UTF-8, folders ending in '/'), the size (8 bytes) and
the CRC-32 (4 bytes) of its data. The data is every file's content, one after
the other, as one solid stream. All numbers are little-endian.

DIGEST is what the installer's image carries to check OUT against (resource
QMPAYLOAD / 101): "QMDIGEST", the payload's size (8 bytes) and its SHA-256.

A payload without the client (Quillmossdex.exe) and the uninstaller
(uninst.exe) is refused: it would install a product that can neither be
started nor removed.
"""
import argparse
import hashlib
import os
import struct
import subprocess
import sys
import zipfile
import zlib

# A folder is walked, and files are added by name, the same way for either
# format.
from pack_zip import add_named, collect

MAGIC = b"QMPACK\x00\x01"
DIGEST_MAGIC = b"QMDIGEST"
REQUIRED = ("Quillmossdex.exe", "uninst.exe")
# The decoder's window is memory the install holds for its whole length; the
# installer refuses frames that ask for more than 2^24 bytes.
DEFAULT_WINDOW_LOG = 23
DEFAULT_LEVEL = 19


def fail(text):
    sys.exit("pack_payload: " + text)


def zip_entries(path):
    entries = {}
    with zipfile.ZipFile(path) as archive:
        for info in archive.infolist():
            if info.flag_bits & 0x800:
                name = info.filename
            else:
                # zipfile decodes names without the flag as code page 437;
                # their bytes are those a Chinese archiver wrote.
                name = info.orig_filename.encode("cp437").decode("cp936")
            name = name.replace("\\", "/")
            if name in entries:
                fail("%s names %r twice" % (path, name))
            entries[name] = None if name.endswith("/") else archive.read(info)
    return entries


def safe(name):
    if not name or name.startswith("/") or ":" in name or "\0" in name:
        return False
    return all(part.strip(". ") for part in name.rstrip("/").split("/"))


def compress(data, level, window_log):
    # One thread and no frame checksum (every entry carries its CRC-32, the
    # whole payload its SHA-256): the same bytes on every machine.
    args = ["zstd", "-q", "-c", "-T1", "--no-check", "--no-progress"]
    if level > 19:
        args.append("--ultra")
    args += ["-%d" % level, "--zstd=wlog=%d" % window_log]
    done = subprocess.run(args, input=data, stdout=subprocess.PIPE, check=False)
    if done.returncode != 0:
        fail("zstd failed (%d)" % done.returncode)
    return done.stdout


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("digest")
    parser.add_argument("--dir")
    parser.add_argument("--zip")
    parser.add_argument("--add", action="append", default=[])
    parser.add_argument("--list")
    parser.add_argument("--level", type=int, default=DEFAULT_LEVEL)
    parser.add_argument("--window-log", type=int, default=DEFAULT_WINDOW_LOG)
    args = parser.parse_args()
    if args.dir and args.zip:
        fail("--dir and --zip exclude each other")

    entries = {}
    if args.dir:
        entries = collect(args.dir)
    elif args.zip:
        entries = zip_entries(args.zip)
    add_named(entries, args.add, args.list, fail)

    for name in entries:
        if not safe(name):
            fail("unsafe entry name %r" % name)
    files = {n.lower() for n, v in entries.items() if not n.endswith("/")}
    missing = [r for r in REQUIRED if r.lower() not in files]
    if missing:
        fail("the payload lacks %s; a product without its client and its uninstaller "
             "cannot be started or removed" % " and ".join(missing))

    index = bytearray()
    data = bytearray()
    for name in sorted(entries):
        source = entries[name]
        if source is None:
            content = b""
        elif isinstance(source, bytes):
            content = source
        else:
            with open(source, "rb") as f:
                content = f.read()
        encoded = name.encode("utf-8")
        if len(encoded) > 0xFFFF:
            fail("entry name too long: %r" % name)
        index += struct.pack("<H", len(encoded)) + encoded
        index += struct.pack("<QI", len(content), zlib.crc32(content) & 0xFFFFFFFF)
        data += content

    packed_index = compress(bytes(index), args.level, args.window_log)
    packed_data = compress(bytes(data), args.level, args.window_log)
    header = MAGIC + struct.pack("<II", len(entries), 0)
    header += struct.pack("<QQQQ", len(packed_index), len(index), len(packed_data), len(data))
    payload = header + packed_index + packed_data
    digest = DIGEST_MAGIC + struct.pack("<Q", len(payload)) + hashlib.sha256(payload).digest()

    # Written whole or not at all, so an interrupted build never leaves a
    # truncated payload that looks up to date.
    for path, content in ((args.out, payload), (args.digest, digest)):
        tmp = path + ".tmp"
        with open(tmp, "wb") as f:
            f.write(content)
        os.replace(tmp, path)


if __name__ == "__main__":
    main()
