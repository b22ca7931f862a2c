#!/bin/bash
# Signs a copy of a built program with a throwaway certificate made here and
# checks that the signature verifies against that certificate.
set -euo pipefail
exe="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 2 -subj "/CN=Quillmoss Test Signing" \
    -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1
cp "$exe" "$work/app.exe"
"$(dirname "$0")/../../tools/sign.sh" "$work/cert.pem" "$work/key.pem" "$work/app.exe"
out="$(osslsigncode verify -CAfile "$work/cert.pem" -in "$work/app.exe" 2>&1 || true)"
echo "$out" | grep -q "Signature verification: ok" || { echo "$out"; echo "FAIL: signature does not verify"; exit 1; }
echo "signature verifies"
# Tampering after signing must be detected.
printf 'x' | dd of="$work/app.exe" bs=1 seek=1024 conv=notrunc 2>/dev/null
if osslsigncode verify -CAfile "$work/cert.pem" -in "$work/app.exe" 2>&1 | grep -q "Signature verification: ok"; then
    echo "FAIL: a changed file still verifies"; exit 1
fi
echo "tampering detected"
