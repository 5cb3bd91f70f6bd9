#!/usr/bin/env bash
# Every test: set up, build both architectures, run the 64-bit tree's tests
# (its programs under Wine, the file checks), the 32-bit tree's file checks,
# and then the 32-bit lane: the 32-bit tree's programs and the survey under
# 32-bit Wine in a QEMU guest (scripts/lane32.sh). ORVANTA_SKIP_LANE32=1 leaves
# the lane out of a quick local run; CI always runs it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/setup.sh" test
"$root/scripts/build.sh"

status=0
ctest --test-dir "$root/build/x64" --output-on-failure "$@" || status=1
ctest --test-dir "$root/build/x86" --output-on-failure --label-exclude wine "$@" || status=1
if [[ ${ORVANTA_SKIP_LANE32:-0} != 0 ]]; then
  echo "test: the 32-bit lane is skipped (ORVANTA_SKIP_LANE32=$ORVANTA_SKIP_LANE32)"
elif ! "$root/scripts/lane32.sh" run "$root/build/x86"; then
  echo "test: the 32-bit lane failed" >&2
  status=1
fi
exit $status
