#!/bin/bash
# Checks the import tables of built programs: every DLL they import statically
# must be a KnownDLL, which Windows always takes from the system directory. Any
# other DLL would be searched for beside the program first, where a planted copy
# (an installer in a downloads folder) would be loaded. Also checks ASLR and DEP,
# and with --stripped that no symbol table ships with the programs.
set -uo pipefail
stripped=0
if [ "${1:-}" = --stripped ]; then
    stripped=1
    shift
fi
allowed="kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll shlwapi.dll ole32.dll
oleaut32.dll comdlg32.dll imm32.dll msvcrt.dll psapi.dll ws2_32.dll rpcrt4.dll setupapi.dll"
status=0
for exe in "$@"; do
    dump="$(i686-w64-mingw32-objdump -p "$exe")" || { echo "FAIL: cannot read $exe"; status=1; continue; }
    while read -r dll; do
        lower="$(echo "$dll" | tr 'A-Z' 'a-z')"
        if ! echo " $allowed " | tr '\n' ' ' | grep -q " $lower "; then
            echo "FAIL: $(basename "$exe") imports $dll, which is not a KnownDLL"
            status=1
        fi
    done < <(echo "$dump" | sed -n 's/^\s*DLL Name: //p')
    chars="$(echo "$dump" | sed -n 's/^DllCharacteristics\s*//p' | head -n1)"
    value=$((16#${chars}))
    (( value & 0x40 )) || { echo "FAIL: $(basename "$exe") lacks ASLR (DYNAMIC_BASE)"; status=1; }
    (( value & 0x100 )) || { echo "FAIL: $(basename "$exe") lacks DEP (NX_COMPAT)"; status=1; }
    # The COFF header's symbol count, 16 bytes past the PE signature.
    pe=$(od -An -t u4 -j 60 -N 4 "$exe" | tr -d ' ')
    symbols=$(od -An -t u4 -j $((pe + 16)) -N 4 "$exe" | tr -d ' ')
    if [ $stripped = 1 ] && [ "${symbols:-1}" != 0 ]; then
        echo "FAIL: $(basename "$exe") ships its symbol table"
        status=1
    fi
    [ $status = 0 ] && echo "ok: $(basename "$exe")"
done
exit $status
