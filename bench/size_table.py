#!/usr/bin/env python3
"""The installer beside NSIS 3 installers of the same payloads, built with
Debian's makensis (zlib, and /SOLID lzma): for each payload (the bench
payload, 10,000 small files, a realistic payload of files from Debian
packages) and each of our compressors, the installer's bytes, the time of a
silent install and its peak memory, each a median of several runs under
Wine, in turn with the NSIS installers; beside them a no-op program's peak
(Wine's own share of every figure). Also 30,000 small files beside 10,000.

    size_table.py BUILD32 BUILD WORK [--runs N] [--only NAME]

Each compressor's installer carries its own decoder only: qm_setup_zstd.exe
and qm_setup_lzma.exe in a build tree. Those of BUILD32 (the shipped 32-bit
build) give the sizes: the stub of each (what comes before the payload it
carries) plus each payload of its compressor. Those of BUILD are the ones
that run here (the 64-bit build where the kernel runs no 32-bit programs, see
tools/host-arch.sh): each payload is attached to a copy of the one of its
compressor, its digest put in place (tools/attach_payload.py --digest). NSIS's sizes are those
of its x86 stubs; where our 64-bit build runs, its amd64 stubs run.

Time is the wall time of the whole process from its start to its end, and
memory the peak resident set of its Unix process, as the system accounts
both to the one who waits for it (wait4): the same for every installer.
"""
import argparse
import os
import shutil
import statistics
import struct
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = os.path.join(HERE, "..", "tools")
MIB = 1024.0 * 1024.0
# The product's registry record: a silent run installs over a recorded
# installation, so every timed run starts from a machine without it.
RECORD = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\青梧云端助手"

NSIS = """{target}
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


def quiet(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL)


def tree_size(folder):
    count = size = 0
    for root, _, files in os.walk(folder):
        for f in files:
            count += 1
            size += os.path.getsize(os.path.join(root, f))
    return count, size


def wine(*args):
    return [os.path.join(TOOLS, "wine-run.sh")] + list(args)


def timed(command):
    """Wall seconds and peak resident MiB of one run of command."""
    start = time.monotonic()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    elapsed = time.monotonic() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    return elapsed, usage.ru_maxrss / 1024.0, child.returncode


def unix_path(windows_path):
    """Where a folder below C:\\ of the prefix lies on the Unix side."""
    return os.path.join(os.environ["WINEPREFIX"], "drive_c",
                        *windows_path[3:].strip("\\").split("\\"))


def run_installers(installers, runs):
    """installers: (key, command, folder to clear) in turn, runs times each
    after one warm-up; medians of time and peak memory by key."""
    figures = {key: ([], []) for key, _, _ in installers}
    for round_ in range(runs + 1):
        for key, command, folder in installers:
            shutil.rmtree(unix_path(folder), ignore_errors=True)
            # The record is in the 32-bit view, where the shipped 32-bit
            # installer writes it (the 64-bit build writes it there too).
            for view in ("/reg:32", "/reg:64"):
                subprocess.run(wine("reg", "delete", RECORD, "/f", view),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            # The previous run's files reach the disk now, not during this
            # run: with thousands of files the write-back would otherwise
            # land in whichever installer runs next.
            os.sync()
            seconds, peak, code = timed(command)
            if code != 0:
                sys.exit("size_table: %s ended with %d" % (key, code))
            if round_ > 0:
                figures[key][0].append(seconds)
                figures[key][1].append(peak)
    shutil.rmtree(unix_path("C:\\qmbench"), ignore_errors=True)
    return {key: (statistics.median(t), statistics.median(m)) for key, (t, m) in figures.items()}


def setup_of(build, codec):
    return os.path.join(build, "qm_setup_%s.exe" % codec)


def stub_size(build, codec):
    """The installer's bytes before its payload, page padding included."""
    exe = setup_of(build, codec)
    return os.path.getsize(exe) - os.path.getsize(os.path.join(build, "payload", "payload.qmp"))


def build_ours(build32, build, folder, work, codec):
    """Our installer of folder that runs here, and the size of the shipped one:
    its stub, padded to the page the payload starts at, and the payload."""
    qmp = os.path.join(work, "payload-%s.qmp" % codec)
    digest = os.path.join(work, "payload-%s.digest" % codec)
    quiet(sys.executable, os.path.join(TOOLS, "pack_payload.py"), qmp, digest, "--dir", folder,
          "--codec", codec)
    exe = os.path.join(work, "ours-%s.exe" % codec)
    shutil.copyfile(setup_of(build, codec), exe)
    quiet(sys.executable, os.path.join(TOOLS, "attach_payload.py"), exe, qmp, "--digest", digest)
    return exe, stub_size(build32, codec) + os.path.getsize(qmp)


def is_64bit(exe):
    with open(exe, "rb") as f:
        head = f.read(4096)
    pe = struct.unpack_from("<I", head, 0x3C)[0]
    return struct.unpack_from("<H", head, pe + 4)[0] == 0x8664


def build_nsis(folder, work, key, compressor, amd64):
    """NSIS's installer of folder: the x86 one for its size, the one that
    runs here (amd64 where our 64-bit build runs) for its time."""
    built = []
    for target in ("x86-unicode", "amd64-unicode") if amd64 else ("x86-unicode",):
        out = os.path.join(work, "nsis-%s-%s.exe" % (key, target))
        script = out[:-4] + ".nsi"
        line = "Unicode true" if target == "x86-unicode" else "Target " + target
        with open(script, "w") as f:
            f.write(NSIS.format(target=line, compressor=compressor, out=out, dir=folder))
        quiet("makensis", "-V1", script)
        built.append(out)
    return built[0], built[-1]


def measure(title, command, work, build32, build, runs):
    folder = os.path.join(work, "tree")
    # The generators take the folder first and their options after it.
    quiet(command[0], command[1], folder, *command[2:])
    files, unpacked = tree_size(folder)
    sizes, installers = {}, []
    for codec in ("zstd", "lzma"):
        exe, sizes[codec] = build_ours(build32, build, folder, work, codec)
        installers.append((codec, wine(exe, "/S", "/D=C:\\qmbench\\" + codec),
                           "C:\\qmbench\\" + codec))
    for key, compressor in (("NSIS zlib", "zlib"), ("NSIS lzma", "/SOLID lzma")):
        sized, exe = build_nsis(folder, work, key.split()[1], compressor,
                                is_64bit(setup_of(build, "zstd")))
        sizes[key] = os.path.getsize(sized)
        target = "C:\\qmbench\\" + key.replace(" ", "-")
        installers.append((key, wine(exe, "/S", "/D=" + target), target))
    shutil.rmtree(folder)
    figures = run_installers(installers, runs)
    return files, unpacked, sizes, figures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build32")
    parser.add_argument("build")
    parser.add_argument("work")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--only")
    args = parser.parse_args()
    if shutil.which("makensis") is None:
        sys.exit("size_table: makensis is missing (Debian's nsis package)")
    os.makedirs(args.work, exist_ok=True)
    make = [sys.executable, os.path.join(HERE, "make_payload.py")]
    payloads = [
        ("realistic (Debian files)", [sys.executable,
                                      os.path.join(HERE, "make_realistic_payload.py")]),
        ("bench payload", make),
        ("10,000 small files", make + ["--small", "10000"]),
        ("30,000 small files", make + ["--small", "30000"]),
    ]
    noop = statistics.median(timed(wine("cmd", "/c", "exit"))[1] for _ in range(3))
    print("a no-op program (cmd /c exit) peaks at %.1f MiB: Wine's share of every figure" % noop)
    for codec in ("zstd", "lzma"):
        print("stub with %s (installer without its payload, 32-bit): {:,} bytes "
              "(target <= 450,000)".format(stub_size(args.build32, codec)) % codec)
    times = {}
    for title, command in payloads:
        if args.only and args.only not in title:
            continue
        # The two small-file payloads only say how time grows with the count.
        runs = args.runs if "small" not in title else max(3, args.runs // 2)
        files, unpacked, sizes, figures = measure(title, command, args.work, args.build32,
                                                  args.build, runs)
        times[title] = figures
        print("\n%s: %d files, %s bytes unpacked (medians of %d runs)" % (
            title, files, "{:,}".format(unpacked), runs))
        print("  %-10s %12s %10s %10s %10s %10s %10s" % (
            "", "bytes", "/NSIS lzma", "install s", "/NSIS zlib", "/NSIS lzma", "peak MiB"))
        for key in ("zstd", "lzma", "NSIS zlib", "NSIS lzma"):
            seconds, peak = figures[key]
            print("  %-10s %12s %10.3f %10.3f %10.2f %10.2f %10.1f" % (
                key, "{:,}".format(sizes[key]), sizes[key] / sizes["NSIS lzma"], seconds,
                seconds / figures["NSIS zlib"][0], seconds / figures["NSIS lzma"][0], peak))
        sys.stdout.flush()
    small, large = times.get("10,000 small files"), times.get("30,000 small files")
    if small and large:
        for key in ("zstd", "lzma", "NSIS zlib", "NSIS lzma"):
            print("30,000 / 10,000 small files, %-9s: %.2f (target <= 3.3)" % (
                key, large[key][0] / small[key][0]))


if __name__ == "__main__":
    main()
