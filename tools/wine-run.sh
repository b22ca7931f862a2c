#!/bin/bash
# Runs one Windows program under Wine in the build tree's prefix; CTest uses it
# as the cross-compiling emulator. The exit code is the program's.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
wine_prefix_ready || wine_prefix_init
exec wine "$@"
