#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and
# this machine lacks. Quiet when everything is there. Needs root (or sudo).
set -euo pipefail

packages=(
  cmake ninja-build
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools
  wine wine64 libwine-dev
  xvfb xauth
  googletest python3-pefile nlohmann-json3-dev
  # What Wine needs for Direct3D through Mesa and for display modes under Xvfb,
  # named here in case the machine does not install recommended packages.
  libgl1-mesa-dri libxrandr2 libxrender1 libxi6 libxcursor1 libxcomposite1 libxinerama1 libxxf86vm1
  # The 32-bit lane: a QEMU guest built with debootstrap on an ext4 image.
  qemu-system-x86 debootstrap e2fsprogs
  # Deployment. The build, so both commands: wixl builds the MSI packages and
  # msitools' msibuild finishes them, gcab makes the CAB. The tests only (and
  # signing a release): osslsigncode signs and verifies, openssl makes the
  # test's throwaway certificate.
  wixl msitools gcab
  osslsigncode openssl
)

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
