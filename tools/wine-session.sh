#!/bin/bash
# Runs a command with a display and one persistent wineserver for all the Wine
# programs it starts, then stops whatever this script started.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

xvfb_pid=""
cleanup() {
    wineserver -k >/dev/null 2>&1
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -z "${DISPLAY:-}" ]; then
    for n in $(seq 90 140); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb_pid=$!
        for _ in $(seq 1 100); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            kill -0 "$xvfb_pid" 2>/dev/null || break
            sleep 0.05
        done
        if [ -e "/tmp/.X11-unix/X$n" ]; then export DISPLAY=":$n"; break; fi
        xvfb_pid=""
    done
    if [ -z "${DISPLAY:-}" ]; then echo "wine-session: could not start Xvfb" >&2; exit 1; fi
fi

wine_prefix_ready || wine_prefix_init
wineserver -p
# Start Wine's own service processes now, with no inherited output: started
# later by a test they would keep the test runner's output pipe open until the
# wineserver ends, and the runner would wait for them.
wine wineboot </dev/null >/dev/null 2>&1
# The desktop's own process likewise: Wine starts it with the first window a
# program makes, as a child of that program, where it would hold that test's
# output open (and a test that ends its children would end the desktop).
wine explorer.exe /desktop </dev/null >/dev/null 2>&1 &
"$@"
