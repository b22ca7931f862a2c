#!/usr/bin/env python3
"""Packs files into a ZIP archive reproducibly: the same inputs give the same
bytes, whatever the file times, the order the file system lists them in, the
umask or the machine.

    pack_zip.py OUT [--dir DIR] [--add NAME=PATH ...] [--list NAME]

--dir packs a folder's content (its subfolders as directory entries).
--add puts one more file into the archive under NAME ('/'-separated), for
files that are built elsewhere. --list adds an entry NAME holding the names of
all other entries, one a line, directories ending in '/'.
"""
import argparse
import io
import os
import sys
import zipfile

# 1980-01-01 00:00:00, the earliest time a ZIP entry can carry.
FIXED_TIME = (1980, 1, 1, 0, 0, 0)


def collect(folder):
    entries = {}
    for root, dirs, files in os.walk(folder):
        dirs.sort()
        rel = os.path.relpath(root, folder)
        prefix = "" if rel == "." else rel.replace(os.sep, "/") + "/"
        if prefix:
            entries[prefix] = None
        for name in files:
            entries[prefix + name] = os.path.join(root, name)
    return entries


def add_named(entries, specs, list_name, fail):
    """Adds the --add files (NAME=PATH) and then the --list entry, which names
    all the others; fail(text) ends the run on a malformed --add."""
    for spec in specs:
        name, sep, path = spec.partition("=")
        if not sep or not name or name.endswith("/"):
            fail("--add wants NAME=PATH, got %r" % spec)
        # Folders above an added file get their own entries, as with --dir.
        parts = name.split("/")
        for i in range(1, len(parts)):
            entries.setdefault("/".join(parts[:i]) + "/", None)
        entries[name] = path
    if list_name:
        entries[list_name] = b"".join(n.encode("utf-8") + b"\n" for n in sorted(entries))


def add_entry(archive, name, data):
    info = zipfile.ZipInfo(name, FIXED_TIME)
    info.create_system = 0  # MS-DOS: no Unix permission bits in the archive
    if name.endswith("/"):
        info.external_attr = 0x10  # FILE_ATTRIBUTE_DIRECTORY
        info.compress_type = zipfile.ZIP_STORED
        archive.writestr(info, b"")
    else:
        info.external_attr = 0x20  # FILE_ATTRIBUTE_ARCHIVE
        info.compress_type = zipfile.ZIP_DEFLATED
        archive.writestr(info, data, compresslevel=9)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--dir")
    parser.add_argument("--add", action="append", default=[])
    parser.add_argument("--list")
    args = parser.parse_args()

    entries = collect(args.dir) if args.dir else {}
    add_named(entries, args.add, args.list, lambda text: sys.exit("pack_zip: " + text))

    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w") as archive:
        for name in sorted(entries):
            source = entries[name]
            if isinstance(source, bytes):
                data = source
            elif source is None:
                data = b""
            else:
                with open(source, "rb") as f:
                    data = f.read()
            add_entry(archive, name, data)
    # Written whole or not at all, so an interrupted build never leaves a
    # truncated archive that looks up to date.
    tmp = args.out + ".tmp"
    with open(tmp, "wb") as f:
        f.write(buf.getvalue())
    os.replace(tmp, args.out)


if __name__ == "__main__":
    main()
