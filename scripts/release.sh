#!/usr/bin/env bash
# The release bundle, from the two trees that scripts/build.sh built (it ends
# by calling this): dist/ORVANTA-<version>/ with both module files and survey
# tools (x86/ and x64/, each with the manifests for registration-free use),
# both MSI packages, the CAB for web pages, the manual, the JSON Schema of the
# survey tool's output, the examples and SHA256SUMS.
#
#   release.sh [<folder>]    the bundle in <folder>/ORVANTA-<version> (default dist)
#
# With a certificate (ORVANTA_SIGN_PFX or ORVANTA_SIGN_PKCS11_MODULE and the
# other settings that scripts/sign.sh reads) everything that can carry a
# signature is signed and verified: the module files and tools first, then
# the packages are made anew from those signed files, and then signed
# themselves. SHA256SUMS is written after the last signature. Without one the
# bundle holds the unsigned files that the build made and the tests checked.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

version=$(sed -nE 's/^project\(Orvanta VERSION ([0-9]+\.[0-9]+\.[0-9]+).*/\1/p' "$root/CMakeLists.txt")
mkdir -p "${1:-$root/dist}"
dist=$(cd "${1:-$root/dist}" && pwd)/ORVANTA-$version
packages=("$root/build/x86/installer/ORVANTA-$version-x86.msi" "$root/build/x64/installer/ORVANTA-$version-x64.msi"
  "$root/build/x86/installer/ORVANTA.CAB")
files=(ORVANTA.OCX orvanta-survey.exe Orvanta.Control.manifest orvanta-survey.here.manifest)
for needed in "${packages[@]}" "${files[@]/#/$root/build/x86/bin/}" "${files[@]/#/$root/build/x64/bin/}"; do
  [[ -f $needed ]] || { echo "release: $needed is missing; scripts/build.sh builds it" >&2; exit 1; }
done

rm -rf "$dist"
mkdir -p "$dist/x86" "$dist/x64" "$dist/examples"
for arch in x86 x64; do
  cp "${files[@]/#/$root/build/$arch/bin/}" "$dist/$arch/"
done
cp "$root/docs/manual.md" "$root"/docs/*.png "$root/docs/survey.schema.json" "$dist/"
cp "$root"/examples/{survey.vbs,survey.js,early_binding.cpp} "$dist/examples/"

if [[ -n ${ORVANTA_SIGN_PFX:-}${ORVANTA_SIGN_PKCS11_MODULE:-} ]]; then
  "$root/scripts/sign.sh" "$dist"/x86/{ORVANTA.OCX,orvanta-survey.exe} "$dist"/x64/{ORVANTA.OCX,orvanta-survey.exe}
  "$root/installer/package.sh" msi x86 "$version" "$dist/ORVANTA-$version-x86.msi" "$dist/x86"
  "$root/installer/package.sh" msi x64 "$version" "$dist/ORVANTA-$version-x64.msi" "$dist/x86" "$dist/x64"
  "$root/installer/package.sh" cab "$version" "$dist/ORVANTA.CAB" "$dist/x86"
  "$root/scripts/sign.sh" "$dist/ORVANTA-$version-x86.msi" "$dist/ORVANTA-$version-x64.msi" "$dist/ORVANTA.CAB"
else
  cp "${packages[@]}" "$dist/"
fi

(cd "$dist" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort | xargs sha256sum >SHA256SUMS)
echo "release: $dist"
