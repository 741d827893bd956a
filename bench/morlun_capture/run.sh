#!/usr/bin/env bash
# Registers TarvoTestDevices.dll in a Wine prefix of its own and runs MorlunCaptureBench:
#   bench/morlun_capture/run.sh BUILD_DIR
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${1:-$root/build}"
# shellcheck source=bench/wine_session.sh
source "$root/bench/wine_session.sh"
bench_wine_session "$build/bench-morlun-capture"
"$root/scripts/wine-run" regsvr32 /s "Z:$build/bin/TarvoTestDevices.dll"
"$root/scripts/wine-run" "$build/bin/MorlunCaptureBench.exe"
