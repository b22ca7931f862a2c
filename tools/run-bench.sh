#!/bin/bash
# `make bench`: runs every benchmark program in the build tree; each prints its
# figures beside a floor measured in the same run.
set -uo pipefail
build="$1"
# The shipped programs whose sizes are reported: the 32-bit build, which may be
# another tree than the one whose benchmarks run (see host-arch.sh).
ship="${2:-$1}"
status=0
shopt -s nullglob
for exe in "$build"/bench/*.exe; do
    echo "== $(basename "$exe")"
    "$(dirname "${BASH_SOURCE[0]}")/wine-run.sh" "$exe" || status=1
done

# Sizes beside the figures of the release before the programs were built for
# size, and where each program's bytes go (from its linker map).
echo "== sizes (bytes)"
here="$(dirname "${BASH_SOURCE[0]}")"
setup="$ship/QuillmossdexSetup.exe"
payload="$ship/payload/payload.qmp"
client="$ship/payload/client/Quillmossdex.exe"
uninst="$ship/payload/uninst/uninst.exe"
size() { stat -L -c %s "$1"; }
if [ -f "$setup" ] && [ -f "$payload" ] && [ -f "$client" ] && [ -f "$uninst" ]; then
    stub=$(( $(size "$setup") - $(size "$payload") ))
    printf "installer stub (without payload): %'10d  (before: 1,682,531; target <= 450,000 with the decoder)\n" "$stub"
    printf "installer with payload:           %'10d  (before: 2,473,472)\n" "$(size "$setup")"
    printf "client Quillmossdex.exe:          %'10d  (before:   812,032)\n" "$(size "$client")"
    printf "uninstaller uninst.exe:           %'10d  (before: 1,168,384)\n" "$(size "$uninst")"
    echo "== size report"
    # The copies that kept their symbols share out the code optimised as a
    # whole at link time.
    report() { python3 "$here/size_report.py" "$1.map" "$1" --symbols "$1.syms" "${@:2}"; }
    report "$setup" --payload "$payload" || status=1
    report "$client" || status=1
    report "$uninst" || status=1
    # The same payloads as NSIS 3 installers (Debian's makensis), side by
    # side: sizes, silent install times and peak memory, for both compressors.
    echo "== installers beside NSIS (bytes, silent install, peak memory)"
    python3 "$here/../bench/size_table.py" "$ship" "$build" \
        "$build/bench/size-table" ${QM_BENCH_TABLE_ARGS:-} || status=1
else
    echo "programs missing: build the installer first"
    status=1
fi
exit $status
