#!/usr/bin/env bash
# The main job: set up, build, register the 64-bit control in the build tree's
# Wine prefix with regsvr32, and survey this machine with orvanta-survey.exe.
# Arguments are passed to the tool (--json, --only NAME[,NAME], --help).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/setup.sh"
"$root/scripts/build.sh"

harness=("$root/scripts/harness.sh")
state=$root/build/x64/wine
trap '"${harness[@]}" stop "$state"' EXIT

cd "$root/build/x64/bin"
"${harness[@]}" run "$state" regsvr32 /s ORVANTA.OCX
"${harness[@]}" run "$state" orvanta-survey.exe "$@"
