#!/usr/bin/env bash
# Every test: set up, build both architectures, run the 64-bit tree's tests
# (its programs under Wine, the file checks), the 32-bit tree's file checks,
# and the 32-bit lane: the 32-bit tree's programs and the survey under 32-bit
# Wine in a QEMU guest (scripts/lane32.sh). ORVANTA_SKIP_LANE32=1 leaves the
# lane out of a quick local run; CI always runs it.
#
# The lane is the longest step and keeps about one processor busy, so it runs
# beside the rest: its guest image (mostly downloads and disk) is made while
# the compilers run, and the guest runs its tests while this machine runs the
# 64-bit lane. The guest's output follows the host's, and the lane's processes
# end with this script.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
lane=$root/build/x86
lane_log=$lane/lane32.log

"$root/scripts/setup.sh" test

lane32=0
[[ ${ORVANTA_SKIP_LANE32:-0} != 0 ]] || lane32=1

# lane_start <command>: the lane's step in a process group of its own, so that
# stopping it stops QEMU too; its output goes to the lane's log.
lane_pid=
lane_start() {
  setsid "$root/scripts/lane32.sh" "$1" "$lane" >>"$lane_log" 2>&1 </dev/null &
  lane_pid=$!
}
lane_stop() {
  [[ -n $lane_pid ]] && kill -TERM -- "-$lane_pid" 2>/dev/null || true
}
trap lane_stop EXIT

# lane_wait: waits for the lane's step, shows its output, and answers with its status.
lane_wait() {
  local status=0
  wait "$lane_pid" || status=$?
  lane_pid=
  cat "$lane_log"
  : >"$lane_log"
  return $status
}

if ((lane32)); then
  mkdir -p "$lane"
  : >"$lane_log"
  lane_start image
fi

"$root/scripts/build.sh"

status=0
if ((lane32)); then
  if lane_wait; then
    lane_start run
  else
    echo "test: the 32-bit lane's guest image could not be made" >&2
    status=1
    lane32=0
  fi
fi

ctest --test-dir "$root/build/x64" --output-on-failure "$@" || status=1
ctest --test-dir "$root/build/x86" --output-on-failure --label-exclude wine "$@" || status=1

if [[ ${ORVANTA_SKIP_LANE32:-0} != 0 ]]; then
  echo "test: the 32-bit lane is skipped (ORVANTA_SKIP_LANE32=$ORVANTA_SKIP_LANE32)"
elif ((lane32)); then
  echo "test: waiting for the 32-bit lane"
  if ! lane_wait; then
    echo "test: the 32-bit lane failed" >&2
    status=1
  fi
fi
exit $status
