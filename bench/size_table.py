#!/usr/bin/env python3
"""The installer's size beside NSIS 3 installers of the same payloads, built
with Debian's makensis (zlib, and /SOLID lzma): the bench payload, 10,000
small files, and a realistic payload of files from Debian packages.

    size_table.py SETUP PAYLOAD WORK

SETUP is the built installer and PAYLOAD the payload attached to it: what
comes before the payload is the stub every installer of ours carries.
"""
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = os.path.join(HERE, "..", "tools")

NSIS = """Unicode true
SetCompressor {compressor}
OutFile "{out}"
Name "Quillmossdex"
InstallDir "$PROGRAMFILES\\Quillmossdex"
RequestExecutionLevel admin
SilentInstall silent
Section
SetOutPath "$INSTDIR"
File /r "{dir}/*.*"
SectionEnd
"""


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL)


def tree_size(folder):
    count = size = 0
    for root, _, files in os.walk(folder):
        for f in files:
            count += 1
            size += os.path.getsize(os.path.join(root, f))
    return count, size


def main():
    setup, payload, work = sys.argv[1:]
    stub = os.path.getsize(setup) - os.path.getsize(payload)
    if shutil.which("makensis") is None:
        sys.exit("size_table: makensis is missing (Debian's nsis package)")
    os.makedirs(work, exist_ok=True)
    payloads = [
        ("bench payload", [sys.executable, os.path.join(HERE, "make_payload.py")], []),
        ("10,000 small files", [sys.executable, os.path.join(HERE, "make_payload.py")],
         ["--small", "10000"]),
        ("realistic (Debian files)",
         [sys.executable, os.path.join(HERE, "make_realistic_payload.py")], []),
    ]
    print("%-26s %6s %12s %12s %12s %16s %9s" % ("payload", "files", "unpacked", "ours",
                                                   "NSIS zlib", "NSIS /SOLID lzma",
                                                   "ours/lzma"))
    for title, command, args in payloads:
        folder = os.path.join(work, "tree")
        run(*command, folder, *args)
        files, unpacked = tree_size(folder)
        qmp = os.path.join(work, "payload.qmp")
        run(sys.executable, os.path.join(TOOLS, "pack_payload.py"), qmp,
            os.path.join(work, "payload.digest"), "--dir", folder)
        ours = stub + os.path.getsize(qmp)
        nsis = {}
        for key, compressor in (("zlib", "zlib"), ("lzma", "/SOLID lzma")):
            out = os.path.join(work, "nsis-%s.exe" % key)
            script = os.path.join(work, "nsis-%s.nsi" % key)
            with open(script, "w") as f:
                f.write(NSIS.format(compressor=compressor, out=out, dir=folder))
            run("makensis", "-V1", script)
            nsis[key] = os.path.getsize(out)
        print("%-26s %6d %12s %12s %12s %16s %9.3f" % (
            title, files, "{:,}".format(unpacked), "{:,}".format(ours),
            "{:,}".format(nsis["zlib"]), "{:,}".format(nsis["lzma"]), ours / nsis["lzma"]))
        sys.stdout.flush()
        shutil.rmtree(folder)
    print("stub (installer without its payload): {:,} bytes (target <= 450,000)".format(stub))


if __name__ == "__main__":
    main()
