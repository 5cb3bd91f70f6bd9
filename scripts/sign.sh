#!/usr/bin/env bash
# Signs files in place with an Authenticode signature (osslsigncode): the
# module files, the survey tools, the MSI packages and the CAB. The
# certificate is yours; nothing is signed without one.
#
#   ORVANTA_SIGN_PFX=cert.pfx [ORVANTA_SIGN_PASSWORD=...] [ORVANTA_SIGN_TIMESTAMP=URL] \
#     scripts/sign.sh FILE...
#
# ORVANTA_SIGN_PFX        a PKCS#12 file with the code-signing certificate,
#                         its chain and its private key
# ORVANTA_SIGN_PASSWORD   the file's password (none if unset)
# ORVANTA_SIGN_TIMESTAMP  an RFC 3161 timestamp server, so that signatures
#                         stay valid after the certificate expires (optional)
set -euo pipefail

pfx=${ORVANTA_SIGN_PFX:?sign: set ORVANTA_SIGN_PFX to the PKCS#12 file of your code-signing certificate}
[[ -r $pfx ]] || { echo "sign: cannot read $pfx" >&2; exit 1; }
[[ $# -gt 0 ]] || { echo "usage: sign.sh FILE..." >&2; exit 2; }

options=(-pkcs12 "$pfx" -h sha256 -n "Pelmora Control")
[[ -z ${ORVANTA_SIGN_TIMESTAMP:-} ]] || options+=(-ts "$ORVANTA_SIGN_TIMESTAMP")
for file; do
  # The password goes through a pipe, not the command line that ps shows.
  if ! output=$(osslsigncode sign "${options[@]}" -readpass <(printf '%s' "${ORVANTA_SIGN_PASSWORD:-}") \
    -in "$file" -out "$file.signed" 2>&1); then
    rm -f "$file.signed"
    printf 'sign: signing %s failed:\n%s\n' "$file" "$output" >&2
    exit 1
  fi
  mv "$file.signed" "$file"
  echo "sign: signed $file"
done
