#!/bin/bash
# Signs Windows executables in place with a certificate and key in PEM form:
#   tools/sign.sh CERT KEY FILE...
# Used by the build when signing is asked for (make sign CERT=... KEY=...), on
# the payload's programs before they are packed and on the installer itself.
set -euo pipefail
if [ $# -lt 3 ]; then
    echo "usage: $0 CERT KEY FILE..." >&2
    exit 2
fi
cert="$1"; key="$2"; shift 2
for f in "$@"; do
    tmp="$f.signing"
    rm -f "$tmp"
    osslsigncode sign -certs "$cert" -key "$key" -h sha256 \
        -n "青梧云端助手" -i "https://quillmoss.com" \
        -in "$f" -out "$tmp" >/dev/null
    mv -f "$tmp" "$f"
done
