#!/usr/bin/env bash
# Builds both architectures: build/x86 (the 32-bit ORVANTA.OCX, its MSI
# package and the CAB) and build/x64 (the 64-bit twin, the test programs and
# the x64 MSI package, which also carries the 32-bit files), and then the
# release bundle in dist/ (scripts/release.sh). With architectures named, only
# those trees; the 64-bit tree alone still builds the 32-bit module and survey
# tool that its package carries.
#
#   build.sh [x86] [x64]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# build_tree <arch> [ninja target...]: configures the tree once and builds it.
build_tree() {
  local arch=$1 toolchain
  shift
  case $arch in
    x86) toolchain=$root/cmake/toolchain-i686-w64-mingw32.cmake ;;
    x64) toolchain=$root/cmake/toolchain-x86_64-w64-mingw32.cmake ;;
    *) echo "build: unknown architecture $arch (x86 or x64)" >&2; exit 2 ;;
  esac
  if [[ ! -f "$root/build/$arch/build.ninja" ]]; then
    cmake -S "$root" -B "$root/build/$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DORVANTA_X86_BIN="$root/build/x86/bin" >/dev/null
  fi
  # Quiet when there is nothing to build; everything ninja says otherwise.
  local output
  if ! output=$(ninja -C "$root/build/$arch" --quiet "$@" 2>&1); then
    printf '%s\n' "$output" >&2
    exit 1
  fi
  [[ -z "$output" ]] || grep -v '^ninja: no work to do\.$' <<<"$output" || true
}

arches=("$@")
[[ ${#arches[@]} -gt 0 ]] || arches=(x86 x64)
if [[ " ${arches[*]} " == *" x64 "* && " ${arches[*]} " != *" x86 "* ]]; then
  build_tree x86 orvanta_ocx orvanta_survey
fi
for arch in "${arches[@]}"; do
  build_tree "$arch"
done

[[ " ${arches[*]} " != *" x86 "* || " ${arches[*]} " != *" x64 "* ]] || "$root/scripts/release.sh" >/dev/null
