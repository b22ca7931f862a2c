#!/bin/bash
# Runs one Windows program under Wine in the build tree's prefix; CTest uses it
# as the cross-compiling emulator. The exit code is the program's.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
wine_prefix_ready || wine_prefix_init
if [ "$QM_LOCALE" = "$QM_DEFAULT_LOCALE" ] && [ -z "$QM_WOW64" ]; then exec wine "$@"; fi
# Another locale's prefix, and the 64-bit one, has no session of its own (wine-session.sh keeps the
# default prefix's server): its server and Wine's service processes start here
# without inherited output, which would keep the test runner's pipe open, and
# end with the program.
wineserver -p
wine wineboot </dev/null >/dev/null 2>&1
wine "$@"
status=$?
wineserver -k >/dev/null 2>&1
exit $status
