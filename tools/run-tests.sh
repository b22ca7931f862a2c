#!/bin/bash
# `make test`: builds every program and test, then runs them all; Wine programs
# run through wine-session.sh. Usage: run-tests.sh BUILD BUILD64 JOBS [ctest args]
# Where this machine's kernel runs no 32-bit programs (host-arch.sh), the
# shipped 32-bit programs are still built and checked as files, and the tests
# that run under Wine use BUILD64, a 64-bit build of the same sources.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$1" build64="$2" jobs="$3"
shift 3

if [ "$("$here/host-arch.sh")" = i686 ]; then
    cmake --build "$build" -j "$jobs" || exit 1
    cmake --build "$build" --target qm_tests -j "$jobs" || exit 1
    BUILD_DIR="$build" "$here/wine-session.sh" \
        ctest --test-dir "$build" --output-on-failure -j "$jobs" "$@"
    exit $?
fi

echo "run-tests: this kernel runs no 32-bit programs; Wine tests use the 64-bit build in $build64"
cmake --build "$build" --target QuillmossdexSetup skinview -j "$jobs" || exit 1
ctest --test-dir "$build" -R '^build_' --output-on-failure "$@"
files=$?
cmake --build "$build64" -j "$jobs" || exit 1
cmake --build "$build64" --target qm_tests -j "$jobs" || exit 1
BUILD_DIR="$build64" "$here/wine-session.sh" \
    ctest --test-dir "$build64" -E '^build_' --output-on-failure -j "$jobs" "$@"
wine=$?
[ "$files" = 0 ] && [ "$wine" = 0 ]
