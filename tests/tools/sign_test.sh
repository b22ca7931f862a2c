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
# Tampering after signing must be detected, in the image and in the payload
# attached after it (the last bytes before the signature).
signed="$work/signed.exe"
cp "$work/app.exe" "$signed"
for offset in 1024 $(( $(stat -c %s "$exe") - 100 )); do
    cp "$signed" "$work/app.exe"
    python3 -c 'import sys; f = open(sys.argv[1], "r+b"); f.seek(int(sys.argv[2])); b = f.read(1)[0]; f.seek(-1, 1); f.write(bytes([b ^ 0xFF]))' "$work/app.exe" "$offset"
    if osslsigncode verify -CAfile "$work/cert.pem" -in "$work/app.exe" 2>&1 | grep -q "Signature verification: ok"; then
        echo "FAIL: a file changed at $offset still verifies"; exit 1
    fi
done
echo "tampering detected"
