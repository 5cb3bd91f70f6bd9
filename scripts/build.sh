#!/usr/bin/env bash
# Builds both architectures: build/x86 (the 32-bit ORVANTA.OCX, its MSI
# package and the CAB) and build/x64 (the 64-bit twin and the x64 MSI package,
# which also carries the 32-bit files, so x86 is built first), and then the
# release bundle in dist/ (scripts/release.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

for arch in x86 x64; do
  case $arch in
    x86) toolchain=$root/cmake/toolchain-i686-w64-mingw32.cmake ;;
    x64) toolchain=$root/cmake/toolchain-x86_64-w64-mingw32.cmake ;;
  esac
  if [[ ! -f "$root/build/$arch/build.ninja" ]]; then
    cmake -S "$root" -B "$root/build/$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DORVANTA_X86_BIN="$root/build/x86/bin" >/dev/null
  fi
  # Quiet when there is nothing to build; everything ninja says otherwise.
  if ! output=$(ninja -C "$root/build/$arch" --quiet 2>&1); then
    printf '%s\n' "$output" >&2
    exit 1
  fi
  [[ -z "$output" ]] || grep -v '^ninja: no work to do\.$' <<<"$output" || true
done

"$root/scripts/release.sh" >/dev/null
