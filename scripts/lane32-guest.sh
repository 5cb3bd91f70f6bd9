#!/bin/sh
# Runs inside the 32-bit lane's guest (see lane32.sh), from the disk that
# lane32.sh made: puts the sources, the i686 tree and the x64 tree's package
# and programs at the paths they have on the host, and runs the tree's Wine
# tests under 32-bit Wine, in a win32 prefix of the tree's own harness (the
# WOW64 test in a win64 prefix of its own). Leaves ctest's output and its exit status in
# /lane/results for the host.
set -u
. /lane/lane.conf
results=/lane/results

mkdir -p "$source_dir"
mount --bind /lane/src "$source_dir"
mkdir -p "$build_dir"
mount --bind /lane/build "$build_dir"
mkdir -p "$x64_dir"
mount --bind /lane/x64 "$x64_dir"

export ORVANTA_WINEARCH=win32
echo "guest: $(nproc) processors, $(awk '/^MemTotal:/ {print int($2 / 1024)}' /proc/meminfo) MB; running the 32-bit tests"
# The memory left free, every two seconds while the tests run.
while :; do
  awk '/^MemAvailable:/ {print int($2 / 1024)}' /proc/meminfo >>/tmp/available
  sleep 2
done &
sampler=$!
{
  # Two at a time, one a processor: the tests of the win32 prefix hold its
  # registry lock and follow one another, and beside them runs what has a
  # prefix of its own (the WOW64 test). The benchmark's tables (label bench)
  # run only when asked for by name.
  if [ -n "$tests" ]; then
    ctest --test-dir "$build_dir" -j "$(nproc)" -L wine -LE host_lane -R "$tests" --output-on-failure --no-tests=error
  else
    ctest --test-dir "$build_dir" -j "$(nproc)" -L wine -LE 'host_lane|bench' --output-on-failure --no-tests=error
  fi
  echo $? >"$results/status"
  kill "$sampler"
  # A test program that the kernel ended (out of memory, a fault in Linux
  # code) leaves no word of its own: the kernel's says why.
  echo "guest: at least $(sort -n /tmp/available | head -n 1) MB of memory stayed available"
  dmesg | grep -iE 'out of memory|oom-kill|killed process|segfault|general protection|traps:' |
    tail -n 20 | sed 's/^/guest: kernel: /'
} 2>&1 | tee "$results/ctest.log"
# The harness's own record of how the prefix was made, for a failing start.
cp "$build_dir/wine/wineboot.log" "$results/" 2>/dev/null || true
echo "guest: done"
