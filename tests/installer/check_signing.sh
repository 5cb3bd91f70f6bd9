#!/usr/bin/env bash
# scripts/sign.sh with a throwaway self-signed certificate: it signs copies of
# the given files (a module, a survey tool, an MSI, the CAB), osslsigncode
# finds each signature valid and made with that certificate, and a copy with
# one byte changed no longer verifies.
#   check_signing.sh <sign.sh> <file>...
set -euo pipefail
sign=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "signing: $*" >&2; exit 1; }

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Pelmora Control test" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/test.pfx" -passout pass:throwaway

copies=()
for file; do
  cp "$file" "$work/"
  copies+=("$work/$(basename "$file")")
done
ORVANTA_SIGN_PFX=$work/test.pfx ORVANTA_SIGN_PASSWORD=throwaway "$sign" "${copies[@]}" >/dev/null

verify() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" 2>&1; }
for copy in "${copies[@]}"; do
  name=$(basename "$copy")
  output=$(verify "$copy") || fail "$name: the signature does not verify:"$'\n'"$output"
  grep -q 'Subject: /CN=Pelmora Control test' <<<"$output" || fail "$name: not signed with the test certificate"

  # One byte in the middle of the file, inside what the signature covers.
  tampered=$work/tampered-$name
  cp "$copy" "$tampered"
  offset=$(($(stat -c %s "$copy") / 2))
  byte=$(od -An -tu1 -j "$offset" -N1 "$copy" | tr -d ' ')
  printf "\\$(printf '%03o' $(((byte + 1) % 256)))" | dd of="$tampered" bs=1 seek="$offset" conv=notrunc status=none
  if verify "$tampered" >/dev/null; then
    fail "$name: the signature still verifies after a byte of the file changed"
  fi
  echo "signing: $name signed and verified; a changed byte breaks it"
done
