#!/bin/bash
# Stops the wineserver of the build tree's prefix, if one runs.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
[ -d "$WINEPREFIX" ] && wineserver -k >/dev/null 2>&1
exit 0
