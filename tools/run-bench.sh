#!/bin/bash
# `make bench`: runs every benchmark program in the build tree; each prints its
# figures beside a floor measured in the same run.
set -uo pipefail
build="$1"
status=0
shopt -s nullglob
for exe in "$build"/bench/*.exe; do
    echo "== $(basename "$exe")"
    "$(dirname "${BASH_SOURCE[0]}")/wine-run.sh" "$exe" || status=1
done
exit $status
