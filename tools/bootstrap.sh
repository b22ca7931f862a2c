#!/bin/bash
# Installs everything the build and the test bench need on a Debian 12 machine.
# Idempotent: when every tool and the cached decoder sources are present it only
# checks and returns, so both make targets can call it on every run.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
CACHE="$ROOT/.cache"
SUDO=""
if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi

need_pkgs=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# zstd packs the payload; nsis, adwaita-icon-theme and iso-codes serve the
# benchmarks (the NSIS installers beside ours, files of a realistic payload).
for p in g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 \
         libz-mingw-w64-dev libstb-dev googletest cmake ninja-build make \
         wine wine32:i386 xvfb xauth fonts-wqy-microhei osslsigncode openssl \
         dpkg-dev zip unzip python3 locales ccache zstd nsis \
         adwaita-icon-theme iso-codes; do
    if ! have_pkg "$p"; then need_pkgs+=("$p"); fi
done

apt_updated=0
apt_update() {
    if [ "$apt_updated" = 0 ]; then
        $SUDO apt-get update -qq
        apt_updated=1
    fi
}

if [ "${#need_pkgs[@]}" -gt 0 ]; then
    echo "bootstrap: installing ${need_pkgs[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
    fi
    apt_update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need_pkgs[@]}" >/dev/null
fi

# The 32-bit programs are also tested in a 64-bit prefix (a 32-bit program on
# 64-bit Windows, as nearly every user runs them), which needs 64-bit Wine.
if [ "$("$ROOT/tools/host-arch.sh")" = i686 ] && ! have_pkg wine64; then
    echo "bootstrap: installing wine64 (the 64-bit prefix of the WOW64 tests)"
    apt_update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends wine64 >/dev/null
fi

# Where this kernel cannot run 32-bit Linux programs, the tests run a 64-bit
# build under 64-bit Wine (tools/host-arch.sh), which needs its own compilers.
if [ "$("$ROOT/tools/host-arch.sh")" = x86_64 ]; then
    need64=()
    for p in g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64; do
        if ! have_pkg "$p"; then need64+=("$p"); fi
    done
    if [ "${#need64[@]}" -gt 0 ]; then
        echo "bootstrap: installing ${need64[*]} (this kernel runs no 32-bit programs)"
        apt_update
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need64[@]}" >/dev/null
    fi
fi

# Wine takes its code pages from the Unix locale: zh_CN.UTF-8 gives the ANSI and
# OEM code page 936 of a Chinese Windows, but only when glibc has that locale.
# The tests also run the product under an English (code page 1252) and a
# Japanese (code page 932) system locale.
missing_locales=()
for loc in zh_CN en_US ja_JP; do
    if ! locale -a 2>/dev/null | grep -qix "$loc.utf8"; then missing_locales+=("$loc"); fi
done
if [ "${#missing_locales[@]}" -gt 0 ]; then
    echo "bootstrap: generating the locales ${missing_locales[*]} (UTF-8)"
    if ! have_pkg locales; then apt_update; DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq locales >/dev/null; fi
    for loc in "${missing_locales[@]}"; do
        grep -qx "$loc.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null || echo "$loc.UTF-8 UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    done
    $SUDO locale-gen >/dev/null
fi

ensure_deb_src() {
    if ! grep -rqs "^Types: deb-src" /etc/apt/sources.list.d/ && ! grep -qs "^deb-src" /etc/apt/sources.list; then
        suite="$(. /etc/os-release && echo "$VERSION_CODENAME")"
        printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
            "$suite" | $SUDO tee /etc/apt/sources.list.d/zlib-src.sources >/dev/null
        apt_updated=0
    fi
    apt_update
}

# Unpacks Debian's source package $1 into the scratch folder $2 of the cache
# and sets `found` to the first path in it, at most $3 levels down, of find
# type $4 that matches the pattern $5; ends the bootstrap when there is none.
fetch_source() {
    ensure_deb_src
    rm -rf "$2" && mkdir -p "$2"
    (cd "$2" && apt-get source -qq "$1" >/dev/null 2>&1)
    found="$(find "$2" -maxdepth "$3" -type "$4" -path "$5" | head -n1)"
    if [ -z "$found" ]; then
        local what="${5#\*}"
        echo "bootstrap: ${what#/} not found in the $1 source" >&2
        exit 1
    fi
}

# The payload's decoder: zstd's decompression sources (the common part and the
# decoder, no compressor, no legacy formats) from Debian's libzstd source
# package, unpacked once into a cache that git ignores. The packing side uses Debian's zstd program.
ZS="$CACHE/zstd"
if [ ! -f "$ZS/decompress/zstd_decompress.c" ] || [ ! -f "$ZS/zstd.h" ]; then
    echo "bootstrap: fetching the libzstd source package for the payload decoder"
    fetch_source libzstd "$CACHE/zstd-src" 3 f '*/lib/zstd.h'
    lib="$(dirname "$found")"
    rm -rf "$ZS" && mkdir -p "$ZS"
    cp -r "$lib/common" "$lib/decompress" "$ZS"/
    cp "$lib/zstd.h" "$lib/zstd_errors.h" "$lib/../LICENSE" "$ZS"/
    rm -rf "$CACHE/zstd-src"
fi

# The payload's other decoder: LZMA2 and the x86 branch filter, decompression
# only, from the LZMA SDK's C sources in Debian's 7zip source package (public
# domain), unpacked once into the same cache. The packing side uses Debian's
# liblzma through python3's lzma module.
LZ="$CACHE/lzma"
LZMA_FILES="LzmaDec.c LzmaDec.h Lzma2Dec.c Lzma2Dec.h Bra86.c Bra.h 7zTypes.h 7zWindows.h Compiler.h CpuArch.h Precomp.h"
if [ ! -f "$LZ/Lzma2Dec.c" ] || [ ! -f "$LZ/Bra86.c" ]; then
    echo "bootstrap: fetching the 7zip source package for the payload's LZMA decoder"
    fetch_source 7zip "$CACHE/lzma-src" 3 f '*/C/Lzma2Dec.c'
    src="$(dirname "$found")"
    rm -rf "$LZ" && mkdir -p "$LZ"
    for f in $LZMA_FILES; do cp "$src/$f" "$LZ"/; done
    cp "$src/../DOC/License.txt" "$LZ"/ 2>/dev/null || true
    rm -rf "$CACHE/lzma-src"
fi
