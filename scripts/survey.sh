#!/usr/bin/env bash
# The main job: set up, build, register the 64-bit control in the build tree's
# Wine prefix with regsvr32, and survey this machine through a script client.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/setup.sh"
"$root/scripts/build.sh"

harness=("$root/scripts/harness.sh")
state=$root/build/x64/wine
trap '"${harness[@]}" stop "$state"' EXIT

(cd "$root/build/x64/bin" && "${harness[@]}" run "$state" regsvr32 /s ORVANTA.OCX)
(cd "$root/examples" && "${harness[@]}" run "$state" cscript //nologo survey.vbs)
