#!/usr/bin/env bash
# Registers TarvoTestDevices.dll in a Wine prefix of its own and runs MorlunCaptureBench:
#   bench/morlun_capture/run.sh BUILD_DIR
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${1:-$root/build}"
export TARVO_SCRATCH="$build/bench-morlun-capture"
mkdir -p "$TARVO_SCRATCH"
# shellcheck source=scripts/env.sh
source "$root/scripts/env.sh"
unset DISPLAY
trap tarvo_services_stop EXIT
tarvo_display_start
tarvo_wine_start
"$root/scripts/wine-run" regsvr32 /s "Z:$build/bin/TarvoTestDevices.dll"
"$root/scripts/wine-run" "$build/bin/MorlunCaptureBench.exe"
