#!/usr/bin/env bash
# Builds both architectures: build/x86 (the 32-bit ORVANTA.OCX) and build/x64
# (the 64-bit twin and the test programs), or only those named.
#
#   build.sh [x86] [x64]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

arches=("$@")
[[ ${#arches[@]} -gt 0 ]] || arches=(x86 x64)
for arch in "${arches[@]}"; do
  case $arch in
    x86) toolchain=$root/cmake/toolchain-i686-w64-mingw32.cmake ;;
    x64) toolchain=$root/cmake/toolchain-x86_64-w64-mingw32.cmake ;;
    *) echo "build: unknown architecture $arch (x86 or x64)" >&2; exit 2 ;;
  esac
  if [[ ! -f "$root/build/$arch/build.ninja" ]]; then
    cmake -S "$root" -B "$root/build/$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
  fi
  # Quiet when there is nothing to build; everything ninja says otherwise.
  if ! output=$(ninja -C "$root/build/$arch" --quiet 2>&1); then
    printf '%s\n' "$output" >&2
    exit 1
  fi
  [[ -z "$output" ]] || grep -v '^ninja: no work to do\.$' <<<"$output" || true
done
