#!/bin/bash
# `make run`: starts the built installer under Wine. With a display it shows
# the window for a person. Without one it runs under a private Xvfb and drives
# one install through the window on its own (tools/run/RunDriver.cpp): the
# welcome and the finish page are saved as PNG files in $BUILD_DIR/run/, and
# it prints where the product went.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/wine-env.sh"
exe="$BUILD_DIR/QuillmossdexSetup.exe"
if [ -n "${DISPLAY:-}" ]; then
    wine_prefix_ready || wine_prefix_init
    wine "$exe" "$@"
    exit $?
fi

cmake --build "$BUILD_DIR" --target qm_run_driver >/dev/null || exit 1
out="$BUILD_DIR/run"
mkdir -p "$out"
# Wine's drive Z: is the Unix root.
windows_path() { local p="$1"; echo "Z:${p//\//\\}"; }
echo "No display: installing through the window under Xvfb."
"$here/wine-session.sh" wine "$BUILD_DIR/qm_run_driver.exe" \
    "$(windows_path "$exe")" "$(windows_path "$out")"
status=$?
for page in welcome finish; do
    [ -f "$out/$page.png" ] && echo "screenshot: $out/$page.png"
done
exit $status
