#!/usr/bin/env bash
# Signs files in place with an Authenticode signature (osslsigncode): the
# module files, the survey tools, the MSI packages and the CAB. Then it
# verifies each signature against the signing certificate's own chain, so
# that a file that does not verify is never left looking signed. The
# certificate is yours; nothing is signed without one. Its key is either in a
# PKCS#12 file or on a hardware token or HSM, through the token's PKCS#11
# module (publicly trusted code-signing keys have had to live on such
# hardware since June 2023).
#
#   ORVANTA_SIGN_PFX=cert.pfx [ORVANTA_SIGN_PASSWORD=...] scripts/sign.sh FILE...
#   ORVANTA_SIGN_PKCS11_MODULE=module.so ORVANTA_SIGN_KEY='pkcs11:...' \
#     ORVANTA_SIGN_CERTS=chain.pem [ORVANTA_SIGN_PASSWORD=PIN] scripts/sign.sh FILE...
#
# ORVANTA_SIGN_PFX            a PKCS#12 file with the code-signing certificate,
#                             its chain and its private key
# ORVANTA_SIGN_PKCS11_MODULE  instead: the token's PKCS#11 module (its
#                             vendor's library, or OpenSC's opensc-pkcs11.so),
#                             loaded through OpenSSL's pkcs11 engine
# ORVANTA_SIGN_KEY            with it: the key's PKCS#11 URI, for example
#                             pkcs11:token=CodeSigning;object=signing
# ORVANTA_SIGN_CERTS          with it: the certificate and its chain, PEM
# ORVANTA_SIGN_PASSWORD       the PKCS#12 file's password or the token's PIN
#                             (none if unset)
# ORVANTA_SIGN_TIMESTAMP      an RFC 3161 timestamp server, so that signatures
#                             stay valid after the certificate expires (optional)
set -euo pipefail

fail() { echo "sign: $*" >&2; exit 1; }
[[ $# -gt 0 ]] || { echo "usage: sign.sh FILE..." >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# osslsigncode with the password through a pipe, never on a command line that
# ps shows; with none, none is given (osslsigncode refuses an empty one).
osslsigncode_sign() {
  if [[ -n ${ORVANTA_SIGN_PASSWORD:-} ]]; then
    osslsigncode sign "$@" -readpass <(printf '%s' "$ORVANTA_SIGN_PASSWORD")
  else
    osslsigncode sign "$@"
  fi
}

if [[ -n ${ORVANTA_SIGN_PFX:-} ]]; then
  [[ -z ${ORVANTA_SIGN_PKCS11_MODULE:-} ]] || fail "set ORVANTA_SIGN_PFX or ORVANTA_SIGN_PKCS11_MODULE, not both"
  [[ -r $ORVANTA_SIGN_PFX ]] || fail "cannot read $ORVANTA_SIGN_PFX"
  key=(-pkcs12 "$ORVANTA_SIGN_PFX")
  # The chain that the signatures are verified against: the file's certificates.
  passin=pass:
  [[ -z ${ORVANTA_SIGN_PASSWORD:-} ]] || passin=env:ORVANTA_SIGN_PASSWORD
  ORVANTA_SIGN_PASSWORD=${ORVANTA_SIGN_PASSWORD:-} openssl pkcs12 -in "$ORVANTA_SIGN_PFX" -nokeys \
    -out "$work/chain.pem" -passin "$passin" 2>"$work/openssl.log" ||
    fail "cannot read the certificates of $ORVANTA_SIGN_PFX: $(cat "$work/openssl.log")"
  chain=$work/chain.pem
elif [[ -n ${ORVANTA_SIGN_PKCS11_MODULE:-} ]]; then
  [[ -r $ORVANTA_SIGN_PKCS11_MODULE ]] || fail "cannot read the PKCS#11 module $ORVANTA_SIGN_PKCS11_MODULE"
  [[ ${ORVANTA_SIGN_KEY:-} == pkcs11:* ]] || fail "set ORVANTA_SIGN_KEY to the key's PKCS#11 URI (pkcs11:...)"
  [[ -r ${ORVANTA_SIGN_CERTS:-} ]] || fail "set ORVANTA_SIGN_CERTS to a PEM file with the certificate and its chain"
  key=(-pkcs11module "$ORVANTA_SIGN_PKCS11_MODULE" -key "$ORVANTA_SIGN_KEY" -certs "$ORVANTA_SIGN_CERTS")
  chain=$ORVANTA_SIGN_CERTS
else
  fail "set ORVANTA_SIGN_PFX to the PKCS#12 file of your code-signing certificate, or ORVANTA_SIGN_PKCS11_MODULE for a key on a token"
fi

options=(-h sha256 -n "Pelmora Control")
[[ -z ${ORVANTA_SIGN_TIMESTAMP:-} ]] || options+=(-ts "$ORVANTA_SIGN_TIMESTAMP")
for file; do
  [[ -f $file ]] || fail "no file $file"
  if ! output=$(osslsigncode_sign "${key[@]}" "${options[@]}" -in "$file" -out "$file.signed" 2>&1); then
    rm -f "$file.signed"
    fail "signing $file failed:"$'\n'"$output"
  fi
  # Revocation lists are the installing machine's business; the signature
  # and the chain up to the given certificates are checked here.
  if ! output=$(osslsigncode verify -CAfile "$chain" -ignore-cdp -in "$file.signed" 2>&1); then
    rm -f "$file.signed"
    fail "the signature made on $file does not verify:"$'\n'"$output"
  fi
  mv "$file.signed" "$file"
  echo "sign: signed and verified $file"
done
