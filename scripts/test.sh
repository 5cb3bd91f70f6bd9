#!/usr/bin/env bash
# Every test: set up, build both architectures, run each tree's tests (the
# 64-bit programs under Wine, the file checks of both modules).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/setup.sh"
"$root/scripts/build.sh"

status=0
for arch in x86 x64; do
  ctest --test-dir "$root/build/$arch" --output-on-failure "$@" || status=1
done
exit $status
