#!/usr/bin/env python3
"""Packs the installer's payload reproducibly: the same inputs give the same
bytes, whatever the file times, the order the file system lists them in, the
umask or the machine.

    pack_payload.py OUT DIGEST [--dir DIR | --zip ZIP] [--add NAME=PATH ...]
                    [--list NAME] [--codec zstd|lzma] [--level N] [--window-log N]

--dir packs a folder's content (its subfolders as folder entries); --zip
repacks a ZIP archive (names flagged UTF-8 read as UTF-8, others as code page
936, as Chinese archivers write them). --add puts one more file in under NAME
('/'-separated), for files that are built elsewhere. --list adds an entry NAME
holding the names of all other entries, one a line, folders ending in '/'.

--codec chooses the compressor: zstd (the default; level 19, a window of
2^23 bytes) decodes several times faster, lzma (LZMA2 at xz's preset 9e with
a dictionary of at most 2^23 bytes) gives the smaller payload. Either way PE
files go through the x86 branch converter first.

OUT is the payload the installer carries after its image:

    offset size
     0     8   "QMPACK\\0\\1"
     8     4   entry count
    12     4   codec: 0 zstd, 1 LZMA2
    16     8   bytes of the index frame
    24     8   bytes of the index unpacked
    32     8   bytes of the data frame
    40     8   bytes of the data unpacked
    48         the index frame, then the data frame

A zstd frame is one zstd frame; an LZMA2 frame is one byte that names the
dictionary size (as in the .xz format's LZMA2 properties) followed by raw
LZMA2 chunks up to the end marker.

The index holds, for every entry in the order of the data: the name's length
(2 bytes) and the name (UTF-8, folders ending in '/'), the size (8 bytes) and
the CRC-32 (4 bytes) of its data as installed, and its filter (1 byte): 0
none, 1 the x86 branch converter's encoding, applied to the entry alone from
offset 0, which the installer undoes. The data is every file's content, one
after the other, as one solid stream. All numbers are little-endian.

DIGEST is what the installer's image carries to check OUT against (resource
QMPAYLOAD / 101): "QMDIGEST", the payload's size (8 bytes) and its SHA-256.

A payload without the client (Quillmossdex.exe) and the uninstaller
(uninst.exe) is refused: it would install a product that can neither be
started nor removed. So is, with one line that says why, an archive that
cannot be read whole (not a ZIP, cut short, a CRC-32 or compressed data that
does not match, encrypted entries, an unknown method) and a name the
installer could not create as it is (absolute, leading out with '..', a
character or device name Windows refuses, two names that differ only in case,
an entry below a file).
"""
import argparse
import hashlib
import lzma
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
CODECS = {"zstd": 0, "lzma": 1}
FILTER_NONE, FILTER_X86 = 0, 1
# The smallest LZMA2 dictionary; smaller payloads get one no larger than
# themselves, so the installer holds no more memory than they need.
LZMA_DICT_LOG_MIN = 12


def fail(text):
    sys.exit("pack_payload: " + text)


# What the standard library raises on an archive it cannot make sense of:
# every kind is answered with one line naming the archive and what is wrong.
ARCHIVE_ERRORS = (zipfile.BadZipFile, zipfile.LargeZipFile, EOFError, struct.error, ValueError,
                  IndexError, KeyError, OverflowError)
# ... and on an entry whose data is damaged (a CRC-32 that does not match,
# compressed data that ends early or does not decode).
ENTRY_ERRORS = ARCHIVE_ERRORS + (zlib.error, lzma.LZMAError, OSError, NotImplementedError,
                                 RuntimeError)
READABLE_METHODS = (zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED, zipfile.ZIP_BZIP2, zipfile.ZIP_LZMA)
# Characters no Windows file name may hold; the installer would fail on them.
FORBIDDEN = set('<>:"|?*') | {chr(c) for c in range(32)}
DEVICES = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"} | \
    {"%s%d" % (d, n) for d in ("COM", "LPT") for n in range(1, 10)}


def entry_name(path, info):
    if info.flag_bits & 0x800:
        return info.filename
    # zipfile decodes names without the flag as code page 437; their bytes
    # are those a Chinese archiver wrote.
    raw = info.orig_filename.encode("cp437")
    try:
        return raw.decode("cp936")
    except UnicodeDecodeError:
        fail("%s: the entry name %r is not valid code page 936 text (nor flagged as UTF-8)"
             % (path, raw))


def zip_entries(path):
    entries = {}
    try:
        archive = zipfile.ZipFile(path)
    except OSError as e:
        fail("%s cannot be read: %s" % (path, e.strerror or e))
    except ARCHIVE_ERRORS as e:
        fail("%s is not a ZIP archive, or it is cut short or damaged (%s)" % (path, e))
    with archive:
        try:
            infos = archive.infolist()
        except ARCHIVE_ERRORS as e:
            fail("%s: its directory is damaged (%s)" % (path, e))
        for info in infos:
            name = entry_name(path, info).replace("\\", "/")
            if name in entries:
                fail("%s names %r twice" % (path, name))
            if name.endswith("/"):
                entries[name] = None
                continue
            if info.flag_bits & 0x1:
                fail("%s: the entry %r is encrypted; the payload is packed from plain entries"
                     % (path, name))
            if info.compress_type not in READABLE_METHODS:
                fail("%s: the entry %r uses compression method %d, which cannot be read here"
                     % (path, name, info.compress_type))
            try:
                entries[name] = archive.read(info)
            except ENTRY_ERRORS as e:
                fail("%s: the entry %r is damaged (%s)" % (path, name, e))
    return entries


def check_name(name):
    """None when the installer can create name below its folder; else why not."""
    if not name:
        return "it is empty"
    if name.startswith("/"):
        return "it is absolute"
    if "\0" in name:
        return "it holds a NUL"
    try:
        name.encode("utf-8")
    except UnicodeEncodeError:
        return "it is not valid text (a file name in no known encoding)"
    parts = name.rstrip("/").split("/")
    for part in parts:
        if not part:
            return "it has an empty part (two slashes in a row)"
        if part.strip(" ") == "..":
            return "'..' would lead out of the install folder"
        if not part.strip(". "):
            return "%r is only dots and blanks" % part
        bad = FORBIDDEN.intersection(part)
        if bad:
            return "it holds %r, which Windows does not allow in a name" % "".join(sorted(bad))
        if part.split(".")[0].rstrip(" ").upper() in DEVICES:
            return "%r is a device name on Windows" % part
        if part != part.rstrip(". "):
            return "%r ends in a dot or a blank, which Windows drops" % part
    return None


def check_names(entries):
    """Refuses names the installer could not create or would make one file of
    (Windows compares names without case)."""
    seen = {}
    for name in sorted(entries):
        why = check_name(name)
        if why:
            fail("the entry name %r cannot be installed: %s" % (name, why))
        key = name.lower()
        if key in seen and seen[key] != name:
            fail("the entry names %r and %r are one name on Windows" % (seen[key], name))
        seen[key] = name
    files = {n.lower() for n in entries if not n.endswith("/")}
    for name in entries:
        parts = name.lower().rstrip("/").split("/")
        # A folder entry may not share its name with a file either.
        for i in range(1, len(parts) + name.endswith("/")):
            if "/".join(parts[:i]) in files:
                fail("the entry %r lies below %r, which the payload has as a file"
                     % (name, "/".join(name.split("/")[:i])))


def is_pe(content):
    """A Windows image for x86 or x64 code, whose calls the branch converter
    makes alike."""
    if len(content) < 0x40 or content[:2] != b"MZ":
        return False
    pe, = struct.unpack_from("<I", content, 0x3C)
    if pe + 6 > len(content) or content[pe:pe + 4] != b"PE\0\0":
        return False
    machine, = struct.unpack_from("<H", content, pe + 4)
    return machine in (0x14C, 0x8664)


def x86_encode(content):
    """The x86 branch converter's encoding of content from offset 0, as
    liblzma applies it: chained before an LZMA2 stream, which a decoder of the
    LZMA2 stream alone then turns back into the converted bytes."""
    raw = lzma.compress(content, format=lzma.FORMAT_RAW,
                        filters=[{"id": lzma.FILTER_X86}, {"id": lzma.FILTER_LZMA2, "preset": 0}])
    return lzma.decompress(raw, format=lzma.FORMAT_RAW,
                           filters=[{"id": lzma.FILTER_LZMA2, "preset": 0}])


def compress_lzma(data, window_log):
    # The dictionary: a power of two no larger than the window and, for a
    # small stream, no larger than needed. Its LZMA2 property byte is 2 *
    # (log - 12) for a power of two.
    log = LZMA_DICT_LOG_MIN
    while log < window_log and (1 << log) < len(data):
        log += 1
    options = {"id": lzma.FILTER_LZMA2, "preset": 9 | lzma.PRESET_EXTREME, "dict_size": 1 << log}
    return bytes([2 * (log - LZMA_DICT_LOG_MIN)]) + \
        lzma.compress(data, format=lzma.FORMAT_RAW, filters=[options])


def compress(data, level, window_log, codec="zstd"):
    if codec == "lzma":
        return compress_lzma(data, window_log)
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
    parser.add_argument("--codec", choices=sorted(CODECS), default="zstd")
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

    check_names(entries)
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
            try:
                with open(source, "rb") as f:
                    content = f.read()
            except OSError as e:
                fail("%s cannot be read: %s" % (source, e.strerror or e))
        encoded = name.encode("utf-8")
        if len(encoded) > 0xFFFF:
            fail("entry name too long: %r" % name)
        index += struct.pack("<H", len(encoded)) + encoded
        # The branch converter makes a program's calls of one function alike,
        # which either coder finds: a few tenths of a percent with zstd, more
        # with LZMA. Undoing it costs zstd's install nothing, as that install
        # waits for the writing, not the decoding.
        filtered = is_pe(content)
        index += struct.pack("<QIB", len(content), zlib.crc32(content) & 0xFFFFFFFF,
                             FILTER_X86 if filtered else FILTER_NONE)
        data += x86_encode(content) if filtered else content

    packed_index = compress(bytes(index), args.level, args.window_log, args.codec)
    packed_data = compress(bytes(data), args.level, args.window_log, args.codec)
    header = MAGIC + struct.pack("<II", len(entries), CODECS[args.codec])
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
