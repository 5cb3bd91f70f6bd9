#!/usr/bin/env bash
# The main job: set up, build the 64-bit tree, register its control in the
# build tree's Wine prefix with regsvr32, and survey this machine with
# orvanta-survey.exe. Arguments are passed to the tool (--json,
# --only NAME[,NAME], --help); its exit code is this script's.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/setup.sh" survey
"$root/scripts/build.sh" x64

harness=("$root/scripts/harness.sh")
state=$root/build/x64/wine
trap '"${harness[@]}" stop "$state"' EXIT

cd "$root/build/x64/bin"
"${harness[@]}" run "$state" regsvr32 /s ORVANTA.OCX
"${harness[@]}" run "$state" orvanta-survey.exe "$@"
