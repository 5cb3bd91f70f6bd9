#!/usr/bin/env bash
# The benchmark: builds the control and the benchmark, runs them in the Wine
# harness of build/x64 together with the full soak, and writes
# docs/performance.md. Takes several minutes; not part of the test run.
#
#   bench/run.sh            # ORVANTA_SOAK_CALLS=<n> bench/run.sh for a shorter soak
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/x64
harness=$root/scripts/harness.sh
state=$build/wine
soak_calls=${ORVANTA_SOAK_CALLS:-10000}

"$root/scripts/build.sh"
ninja -C "$build" --quiet orvanta_bench soak_test

"$harness" start "$state"
trap '"$harness" stop "$state"' EXIT

methods=$(mktemp)
"$harness" run "$state" "$build/bin/orvanta_bench.exe" "Z:${methods//\//\\}"
soak=$(ORVANTA_SOAK_CALLS=$soak_calls "$harness" run "$state" "$build/bin/soak_test.exe" 2>&1 |
  grep -E '^soak |\[  (PASSED|FAILED)  \]' || true)

# The survey tool, side by side against --serial, with the counter's rate
# that the benchmark measured as the clock's reference.
survey_section=$(mktemp)
counter_mhz=$(sed -n 's/^| 1 | [^|]* | [0-9]* | \([0-9.]*\) MHz | .*/\1/p' "$methods")
"$root/bench/survey.sh" "$harness" "$state" "$build/bin" "${counter_mhz:--}" 5 >"$survey_section"

size_of() { stat -c %s "$1"; }
{
  echo "# Performance"
  echo
  echo "Measured by \`bench/run.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC'). Regenerate with that command;"
  echo "the notes at the end come from \`bench/notes.md\`."
  echo
  echo "## Machine"
  echo
  echo "- Processor: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) logical processors available"
  echo "- Memory: $(awk '/MemTotal/ {printf "%.1f GB", $2 / 1048576}' /proc/meminfo)"
  echo "- System: $(uname -sr), Wine $(/usr/lib/wine/wine64 --version 2>/dev/null | sed 's/^wine-//'), 64-bit prefix, Xvfb display, null ALSA output"
  echo "- Load: $(cut -d' ' -f1-3 /proc/loadavg) (1, 5 and 15 minute averages when the run ended; the machine is shared)"
  echo
  echo "## Module files"
  echo
  echo "| file | bytes |"
  echo "|---|---:|"
  echo "| build/x86/bin/ORVANTA.OCX (32-bit) | $(size_of "$root/build/x86/bin/ORVANTA.OCX") |"
  echo "| build/x64/bin/ORVANTA.OCX (64-bit) | $(size_of "$build/bin/ORVANTA.OCX") |"
  echo
  cat "$methods"
  echo
  cat "$survey_section"
  echo
  echo "## Soak"
  echo
  echo "Every method but the clock and the About box, round-robin, $soak_calls calls in one process, three"
  echo "control instances with the oldest replaced every 37 calls (\`tests/hardening/soak.cpp\`):"
  echo
  echo '```'
  echo "$soak"
  echo '```'
  echo
  cat "$root/bench/notes.md"
} >"$root/docs/performance.md"
rm -f "$methods" "$survey_section"
echo "wrote docs/performance.md"
