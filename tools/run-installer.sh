#!/bin/bash
# `make run`: starts the built installer under Wine. With a display it shows
# the window; without one it runs under a private Xvfb.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
exe="$BUILD_DIR/QuillmossdexSetup.exe"
if [ -n "${DISPLAY:-}" ]; then
    wine_prefix_ready || wine_prefix_init
    wine "$exe" "$@"
    exit $?
fi
"$(dirname "${BASH_SOURCE[0]}")/wine-session.sh" wine "$exe" "$@"
