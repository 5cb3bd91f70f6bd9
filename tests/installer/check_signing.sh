#!/usr/bin/env bash
# scripts/sign.sh with a throwaway self-signed certificate, by each route it
# offers: a PKCS#12 file with a password, one without, and the key on a
# PKCS#11 token (SoftHSM's). Each signs copies of the given files (a module,
# a survey tool, an MSI, the CAB); osslsigncode finds each signature valid and
# made with that certificate, and a copy with one byte changed no longer
# verifies. Then scripts/release.sh makes a signed bundle: every file that
# can carry a signature verifies, and SHA256SUMS matches the files.
#   check_signing.sh <scripts-dir> <file>...
set -euo pipefail
scripts=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "signing: $*" >&2; exit 1; }

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Pelmora Control test" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/password.pfx" -passout pass:throwaway
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/no-password.pfx" -passout pass:
# The same key on a software token.
export SOFTHSM2_CONF=$work/softhsm2.conf
mkdir "$work/tokens"
printf 'directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\n' "$work/tokens" >"$SOFTHSM2_CONF"
softhsm2-util --init-token --free --label orvanta-test --pin 1234 --so-pin 5678 >/dev/null
openssl pkcs8 -topk8 -nocrypt -in "$work/key.pem" -out "$work/key8.pem"
softhsm2-util --import "$work/key8.pem" --token orvanta-test --label signing --id 01 --pin 1234 >/dev/null

verify() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" 2>&1; }
check_signed() {
  local output
  output=$(verify "$1") || fail "$1: the signature does not verify:"$'\n'"$output"
  grep -q 'Subject: /CN=Pelmora Control test' <<<"$output" || fail "$1: not signed with the test certificate"
}

# route <name> <environment...>: signs copies of the files with those settings.
route() {
  local name=$1 copies=() file
  shift
  mkdir "$work/$name"
  for file in "${files[@]}"; do
    cp "$file" "$work/$name/"
    copies+=("$work/$name/$(basename "$file")")
  done
  env "$@" "$scripts/sign.sh" "${copies[@]}" >/dev/null || fail "sign.sh failed with $name"
  for file in "${copies[@]}"; do
    check_signed "$file"
  done
  echo "signing: $name: ${#copies[@]} files signed and verified"
}
files=("$@")
route password ORVANTA_SIGN_PFX="$work/password.pfx" ORVANTA_SIGN_PASSWORD=throwaway
route no-password ORVANTA_SIGN_PFX="$work/no-password.pfx"
route pkcs11 ORVANTA_SIGN_PKCS11_MODULE=/usr/lib/softhsm/libsofthsm2.so ORVANTA_SIGN_CERTS="$work/cert.pem" \
  ORVANTA_SIGN_KEY="pkcs11:token=orvanta-test;object=signing" ORVANTA_SIGN_PASSWORD=1234
if env ORVANTA_SIGN_PFX="$work/password.pfx" ORVANTA_SIGN_PASSWORD=wrong "$scripts/sign.sh" "$work/password/$(basename "$1")" 2>/dev/null; then
  fail "sign.sh succeeded with a wrong password"
fi

# One byte in the middle of each file, inside what the signature covers.
for copy in "$work"/password/*; do
  tampered=$work/tampered-$(basename "$copy")
  cp "$copy" "$tampered"
  offset=$(($(stat -c %s "$copy") / 2))
  byte=$(od -An -tu1 -j "$offset" -N1 "$copy" | tr -d ' ')
  printf "\\$(printf '%03o' $(((byte + 1) % 256)))" | dd of="$tampered" bs=1 seek="$offset" conv=notrunc status=none
  if verify "$tampered" >/dev/null; then
    fail "$(basename "$copy"): the signature still verifies after a byte of the file changed"
  fi
done
echo "signing: a changed byte breaks each signature"

ORVANTA_SIGN_PFX=$work/no-password.pfx "$scripts/release.sh" "$work/dist" >/dev/null || fail "the signed release failed"
bundle=$(echo "$work"/dist/ORVANTA-*)
signed=0
while IFS= read -r -d '' file; do
  check_signed "$file"
  signed=$((signed + 1))
done < <(find "$bundle" -type f \( -name '*.OCX' -o -name '*.exe' -o -name '*.msi' -o -name '*.CAB' \) -print0)
[[ $signed -eq 7 ]] || fail "the signed bundle has $signed files that carry a signature, not 7"
(cd "$bundle" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the signed bundle"
[[ $(wc -l <"$bundle/SHA256SUMS") -eq $(find "$bundle" -type f ! -name SHA256SUMS | wc -l) ]] ||
  fail "SHA256SUMS does not list every file of the bundle"
echo "signing: the signed bundle's $signed files verify and SHA256SUMS matches them"
