#!/usr/bin/env bash
# The benchmark: builds the control and the benchmark, runs them in the Wine
# harness of build/x64 together with the full soak, runs the method and floor
# tables of the 32-bit file in the 32-bit lane's guest, and writes
# docs/performance.md. Takes the better part of an hour; not part of the test run.
#
#   bench/run.sh            # ORVANTA_SOAK_CALLS=<calls per method> bench/run.sh for a shorter soak
#                           # ORVANTA_BENCH_SKIP_X86=1: without the 32-bit tables
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/x64
harness=$root/scripts/harness.sh
state=$build/wine
soak_calls=${ORVANTA_SOAK_CALLS:-300}
soak_dxdiag_calls=${ORVANTA_SOAK_DXDIAG_CALLS:-60}

"$root/scripts/build.sh"
ninja -C "$build" --quiet orvanta_bench soak_test

"$harness" start "$state"
trap '"$harness" stop "$state"' EXIT

methods=$(mktemp)
"$harness" run "$state" "$build/bin/orvanta_bench.exe" "Z:${methods//\//\\}"
soak=$(ORVANTA_SOAK_CALLS=$soak_calls ORVANTA_SOAK_DXDIAG_CALLS=$soak_dxdiag_calls "$harness" run "$state" "$build/bin/soak_test.exe" 2>&1 |
  grep -E '^soak |\[  (PASSED|FAILED)  \]' || true)

# The survey tool, side by side against --serial, with the counter's rate
# that the benchmark measured as the clock's reference.
survey_section=$(mktemp)
counter_mhz=$(sed -n 's/^| 1 | [^|]* | [0-9]* | \([0-9.]*\) MHz | .*/\1/p' "$methods")
"$root/bench/survey.sh" "$harness" "$state" "$build/bin" "${counter_mhz:--}" 5 >"$survey_section"
# The merge of a large fleet's records.
merge_section=$(mktemp)
"$root/bench/merge.sh" "$harness" "$state" "$build/bin" 10000 >"$merge_section"

# --- The 32-bit file: its method and floor tables, in the 32-bit lane's guest.
# Absolute times mean little under emulation; the tables show the ratios.
tables32=$(mktemp)
if [[ ${ORVANTA_BENCH_SKIP_X86:-0} != 0 ]]; then
  echo "## The 32-bit file" >"$tables32"
  echo >>"$tables32"
  echo "Not measured in this run (ORVANTA_BENCH_SKIP_X86)." >>"$tables32"
else
  guest_started=$SECONDS
  ninja -C "$root/build/x86" -j2 --quiet orvanta_bench
  ORVANTA_LANE32_TESTS='^bench_tables$' "$root/scripts/lane32.sh" run "$root/build/x86" >&2
  {
    echo "## The 32-bit file, emulated"
    echo
    echo "- Machine: the machine above, emulating a 64-bit PC with QEMU (TCG, no hardware virtualisation; up to"
    echo "  4 emulated processors, 3 GB): Debian 12, 32-bit Wine $(/usr/lib/wine/wine64 --version 2>/dev/null | sed 's/^wine-//') (the guest has the same Debian release), win32 prefix, Xvfb, null ALSA output"
    echo "- The guest run (boot, prefix, tables) took $((SECONDS - guest_started)) s"
    echo
    debugfs -R "cat /build/bench-tables.md" "$root/build/x86/guest/work.raw" 2>/dev/null | sed 's/^## /### /'
  } >"$tables32"
fi
# --- end of the 32-bit block

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
  cat "$merge_section"
  echo
  cat "$tables32"
  echo
  echo "## Soak"
  echo
  echo "Every method but the clock and the About box on its own, $soak_calls calls each after two of warm-up, through"
  echo "three control instances with the oldest replaced every 7 calls; the three DxDiag reports $soak_dxdiag_calls calls"
  echo "each against as many queries of the provider; the About box and the property sheet; all in one process"
  echo "(\`tests/hardening/soak.cpp\`). Growth after the warm-up:"
  echo
  echo '```'
  echo "$soak"
  echo '```'
  echo
  cat "$root/bench/notes.md"
} >"$root/docs/performance.md"
rm -f "$methods" "$survey_section" "$merge_section" "$tables32"
echo "wrote docs/performance.md"
