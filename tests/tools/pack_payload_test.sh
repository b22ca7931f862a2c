#!/bin/bash
# The payload packer: the same tree gives the same bytes, a ZIP of the tree
# gives the same payload as the tree itself (names without the UTF-8 flag read
# as code page 936), the frames decode with Debian's zstd to exactly the
# files, and a payload without the client and the uninstaller is refused.
set -euo pipefail
tools="$(cd "$(dirname "$0")/../../tools" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

tree="$work/tree"
mkdir -p "$tree/res/深层" "$tree/empty"
printf 'client' >"$tree/Quillmossdex.exe"
printf 'uninstaller' >"$tree/uninst.exe"
head -c 300000 /dev/urandom >"$tree/res/noise.bin"
printf '中文内容' >"$tree/res/深层/说明.txt"
: >"$tree/res/zero.bin"

pack() { python3 "$tools/pack_payload.py" "$@"; }
pack "$work/a.qmp" "$work/a.digest" --dir "$tree"
touch -d '2001-01-01' "$tree/uninst.exe"
pack "$work/b.qmp" "$work/b.digest" --dir "$tree"
cmp -s "$work/a.qmp" "$work/b.qmp" || fail "the same tree packed twice differs"
cmp -s "$work/a.digest" "$work/b.digest" || fail "the same tree's digests differ"
echo "packing is reproducible"

python3 - "$tree" "$work/t.zip" <<'PY'
import os, sys, zipfile
tree, out = sys.argv[1:]


class Gbk(zipfile.ZipInfo):
    # As a Chinese archiver writes names: code page 936 bytes, no UTF-8 flag.
    def _encodeFilenameFlags(self):
        return self.filename.encode("cp936"), self.flag_bits


with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
    for root, dirs, files in os.walk(tree):
        dirs.sort()
        rel = os.path.relpath(root, tree)
        prefix = "" if rel == "." else rel.replace(os.sep, "/") + "/"
        if prefix:
            z.writestr(zipfile.ZipInfo(prefix), b"")
        for name in sorted(files):
            info = Gbk(prefix + name)
            z.writestr(info, open(os.path.join(root, name), "rb").read())
PY
pack "$work/z.qmp" "$work/z.digest" --zip "$work/t.zip"
cmp -s "$work/a.qmp" "$work/z.qmp" || fail "a ZIP of the tree gives another payload than the tree"
echo "a repacked ZIP gives the tree's payload"

# A program-like entry, whose calls the x86 converter changes with LZMA.
python3 - "$tree/bin/tool.dll" <<'PY'
import random, struct, sys, os
rng = random.Random(7)
os.makedirs(os.path.dirname(sys.argv[1]), exist_ok=True)
head = bytearray(0x200)
head[:2] = b"MZ"
struct.pack_into("<I", head, 0x3C, 0x80)
head[0x80:0x86] = b"PE\0\0\x4c\x01"
code = bytearray()
while len(code) < 200000:
    code += bytes([0x55, 0x8B, 0xEC, 0xE8]) + struct.pack("<i", rng.randint(-5000, 5000))
    code += rng.randbytes(rng.randint(0, 6))
open(sys.argv[1], "wb").write(bytes(head) + bytes(code) + b"\xe8\x01\x02")
PY
pack "$work/a.qmp" "$work/a.digest" --dir "$tree"
pack "$work/l.qmp" "$work/l.digest" --dir "$tree" --codec lzma
pack "$work/l2.qmp" "$work/l2.digest" --dir "$tree" --codec lzma
cmp -s "$work/l.qmp" "$work/l2.qmp" || fail "the same tree packed twice with lzma differs"

for codec in zstd lzma; do
qmp="$work/a.qmp" && [ "$codec" = zstd ] || qmp="$work/l.qmp"
python3 - "$qmp" "${qmp%.qmp}.digest" "$tree" "$codec" <<'PY'
import hashlib, lzma, os, struct, subprocess, sys, zlib
payload, digest, tree, codec = sys.argv[1:]
data = open(payload, "rb").read()
d = open(digest, "rb").read()
assert d[:8] == b"QMDIGEST" and struct.unpack_from("<Q", d, 8)[0] == len(data)
assert d[16:] == hashlib.sha256(data).digest(), "digest"
assert data[:8] == b"QMPACK\0\1"
count, codec_id, ip, isz, dp, dsz = struct.unpack_from("<IIQQQQ", data, 8)
assert codec_id == {"zstd": 0, "lzma": 1}[codec] and 48 + ip + dp == len(data), "sizes"
lzma2 = lambda preset: [{"id": lzma.FILTER_LZMA2, "preset": preset}]


def unz(b):
    if codec == "zstd":
        return subprocess.run(["zstd", "-d", "-c"], input=b, stdout=subprocess.PIPE, check=True).stdout
    # The first byte names the dictionary: at most 2^24 bytes.
    assert b[0] <= 24, "dictionary"
    filters = [{"id": lzma.FILTER_LZMA2, "dict_size": (2 | (b[0] & 1)) << (b[0] // 2 + 11)}]
    return lzma.decompress(b[1:], format=lzma.FORMAT_RAW, filters=filters)


def x86_decode(b):
    raw = lzma.compress(b, format=lzma.FORMAT_RAW, filters=lzma2(0))
    return lzma.decompress(raw, format=lzma.FORMAT_RAW, filters=[{"id": lzma.FILTER_X86}] + lzma2(0))


index, stream = unz(data[48:48 + ip]), unz(data[48 + ip:])
assert len(index) == isz and len(stream) == dsz, "unpacked sizes"
expected = {}
for root, dirs, files in os.walk(tree):
    rel = os.path.relpath(root, tree)
    prefix = "" if rel == "." else rel.replace(os.sep, "/") + "/"
    if prefix:
        expected[prefix] = b""
    for f in files:
        expected[prefix + f] = open(os.path.join(root, f), "rb").read()
expected_content = lambda name: expected[name]
at = pos = 0
got = {}
for _ in range(count):
    n, = struct.unpack_from("<H", index, at)
    name = index[at + 2:at + 2 + n].decode("utf-8")
    size, crc, filt = struct.unpack_from("<QIB", index, at + 2 + n)
    at += 15 + n
    content = stream[pos:pos + size]
    pos += size
    assert filt == (1 if name.endswith(".dll") else 0), name
    if filt:
        assert content != expected_content(name), "the converter changed nothing"
        content = x86_decode(content)
    assert zlib.crc32(content) == crc, name
    got[name] = content
assert at == len(index) and pos == len(stream)
assert got == expected, sorted(set(got) ^ set(expected))
# The decoder refuses windows above 2^24 bytes.
for frame in (data[48:48 + ip], data[48 + ip:]):
    if codec == "zstd" and not frame[4] & 0x20:
        assert 10 + (frame[5] >> 3) <= 24, "window"
PY
echo "the $codec frames decode to exactly the tree"
done

for missing in Quillmossdex.exe uninst.exe; do
    rm -rf "$work/part" && cp -r "$tree" "$work/part" && rm "$work/part/$missing"
    if out="$(pack "$work/p.qmp" "$work/p.digest" --dir "$work/part" 2>&1)"; then
        fail "a payload without $missing was packed"
    fi
    echo "$out" | grep -q "$missing" || fail "the refusal does not name $missing: $out"
done
mkdir -p "$work/none"
if pack "$work/n.qmp" "$work/n.digest" --dir "$work/none" 2>/dev/null; then
    fail "an empty payload was packed"
fi
python3 -c 'import zipfile; zipfile.ZipFile("'"$work"'/e.zip", "w").close()'
if pack "$work/e.qmp" "$work/e.digest" --zip "$work/e.zip" 2>/dev/null; then
    fail "an empty archive was packed"
fi
[ ! -e "$work/n.qmp" ] && [ ! -e "$work/e.qmp" ] || fail "a refused payload left a file"
echo "payloads without the client and the uninstaller are refused"

# Every kind of damaged archive or unusable name is refused with one line
# that says what is wrong, never a traceback, and leaves no payload behind.
python3 - "$tree" "$work/damaged" <<'PY'
import os, sys, zipfile
tree, out = sys.argv[1:]
os.makedirs(out)
base = [("Quillmossdex.exe", b"client" * 500), ("uninst.exe", b"uninstaller" * 400)]


def write(name, entries, method=zipfile.ZIP_DEFLATED):
    path = os.path.join(out, name + ".zip")
    with zipfile.ZipFile(path, "w", method) as z:
        for n, data in entries:
            z.writestr(n, data)
    return open(path, "rb").read()


def save(name, data):
    open(os.path.join(out, name + ".zip"), "wb").write(data)


good = write("good", base)
stored = write("stored", base, zipfile.ZIP_STORED)
# A data byte changed in a stored entry: its CRC-32 no longer matches.
at = stored.index(b"uninstaller") + 5
save("crc", stored[:at] + b"X" + stored[at + 1:])
# Deflated data that does not decode.
first = good.index(b"Quillmossdex.exe") + len("Quillmossdex.exe")
save("deflate", good[:first + 2] + bytes(b ^ 0x5A for b in good[first + 2:first + 40]) +
     good[first + 40:])
save("truncated", good[:len(good) // 2])
save("notzip", b"this is not an archive\n" * 50)
save("empty-file", b"")
directory = good.rindex(b"PK\x01\x02")
# The first entry's local header offset points past the file.
save("offset", good[:directory + 42] + b"\xff\xff\xff\x0f" + good[directory + 46:])
# An unknown compression method and an encrypted flag in the directory.
first_cd = good.index(b"PK\x01\x02")
save("method", good[:first_cd + 10] + b"\x63\x00" + good[first_cd + 12:])
save("encrypted", good[:first_cd + 8] + bytes([good[first_cd + 8] | 1]) + good[first_cd + 9:])
for name, extra in (("absolute", "/etc/passwd"), ("dotdot", "a/../../x"), ("drive", "C:/x"),
                    ("device", "res/nul.txt"), ("wild", "res/a?b"), ("trailing-dot", "res/a."),
                    ("case", "QUILLMOSSDEX.EXE"), ("file-folder", "uninst.exe/inner")):
    write("name-" + name, base + [(extra, b"x")])
import warnings
warnings.simplefilter("ignore")
write("twice", base + [("uninst.exe", b"again")])
PY
for z in "$work"/damaged/*.zip; do
    case "$(basename "$z")" in good.zip|stored.zip) continue ;; esac
    rm -f "$work/d.qmp"
    if out="$(pack "$work/d.qmp" "$work/d.digest" --zip "$z" 2>&1)"; then
        fail "the damaged archive $(basename "$z") was packed"
    fi
    [ "$(printf '%s\n' "$out" | wc -l)" = 1 ] || fail "$(basename "$z") is refused with more than one line: $out"
    case "$out" in pack_payload:*) ;; *) fail "$(basename "$z"): not the packer's own refusal: $out" ;; esac
    case "$out" in *Traceback*|*Error:*) fail "$(basename "$z"): a traceback: $out" ;; esac
    [ ! -e "$work/d.qmp" ] || fail "$(basename "$z") left a payload"
    [ -z "${VERBOSE:-}" ] || echo "$out"
done
pack "$work/g.qmp" "$work/g.digest" --zip "$work/damaged/good.zip" || fail "a sound archive was refused"
out="$(pack "$work/m.qmp" "$work/m.digest" --zip "$work/no-such.zip" 2>&1)" && fail "a missing archive was packed"
[ "$(printf '%s\n' "$out" | wc -l)" = 1 ] || fail "a missing archive is refused with more than one line: $out"
echo "damaged archives and unusable names are refused with one line each"
