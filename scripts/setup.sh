#!/usr/bin/env bash
# Installs, from Debian's packages, what a command of this project needs and
# this machine lacks. Quiet when everything is there. Needs root (or sudo).
#
#   setup.sh survey    the build and the Wine harness (scripts/survey.sh)
#   setup.sh test      all of that and what the tests add (scripts/test.sh; the default)
set -euo pipefail

# The packages, by what needs them.
build=(
  cmake ninja-build
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools
  libwine-dev googletest nlohmann-json3-dev
  # The packages: wixl builds the MSI packages and msitools' msibuild
  # finishes them (with each program's version, which pefile reads), gcab
  # makes the CAB.
  wixl msitools gcab python3-pefile
)
harness=(
  wine wine64
  xvfb xauth
  # What Wine needs for Direct3D through Mesa and for display modes under Xvfb,
  # named here in case the machine does not install recommended packages.
  libgl1-mesa-dri libxrandr2 libxrender1 libxi6 libxcursor1 libxcomposite1 libxinerama1 libxxf86vm1
)
checks=(
  # The survey tool's JSON schema.
  python3-jsonschema
  # The survey tool's merge: its JSON Lines loaded by sqlite3, its page
  # opened in headless Chromium.
  sqlite3 chromium
  # Signing: osslsigncode signs and verifies, openssl makes the test's
  # throwaway certificate, and SoftHSM with OpenSSL's pkcs11 engine stands in
  # for a hardware token.
  osslsigncode openssl softhsm2 libengine-pkcs11-openssl
)
lane32=(
  # The 32-bit lane: a QEMU guest built with debootstrap on an ext4 image.
  qemu-system-x86 debootstrap e2fsprogs
)

case ${1:-test} in
  survey) packages=("${build[@]}" "${harness[@]}") ;;
  test) packages=("${build[@]}" "${harness[@]}" "${checks[@]}" "${lane32[@]}") ;;
  *)
    echo "usage: setup.sh [survey|test]" >&2
    exit 2
    ;;
esac

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "setup: installing ${missing[*]}"
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
