#!/usr/bin/env bash
# Makes a 10 s 720p H.264 + AAC file with the host's ffmpeg (as bench/morlun does) and runs
# LodViewBench on it under Wine; prints the ratio of the two rates:
#   bench/lod_view/run.sh BUILD_DIR
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${1:-$root/build}"
work="$build/bench-lod-view"
mkdir -p "$work"
file="$work/bench_720p.mp4"
if [ ! -f "$file" ]; then
  ffmpeg -nostdin -hide_banner -loglevel error -y \
    -f lavfi -i testsrc2=size=1280x720:rate=30:duration=10 \
    -f lavfi -i sine=frequency=440:sample_rate=48000:duration=10 \
    -c:v libx264 -preset medium -pix_fmt yuv420p -c:a aac -shortest "$file"
fi

# shellcheck source=bench/wine_session.sh
source "$root/bench/wine_session.sh"
bench_wine_session "$work/scratch"
out="$work/result.txt"
LOD_BENCH_FILE="Z:$file" "$root/scripts/wine-run" "$build/bin/LodViewBench.exe" | tee "$out"
alone=$(sed -n 's/^BM_EngineAlone.*frames_per_second=\([0-9.]*\)\([kM]\?\)\/s.*/\1\2/p' "$out")
window=$(sed -n 's/^BM_ThroughLodView.*frames_per_second=\([0-9.]*\)\([kM]\?\)\/s.*/\1\2/p' "$out")
python3 - "$alone" "$window" <<'PY'
import sys
def value(text):
    scale = {"k": 1e3, "M": 1e6}.get(text[-1:], 1)
    return float(text.rstrip("kM")) * scale
alone, window = value(sys.argv[1]), value(sys.argv[2])
print(f"through the window / engine alone: {window:.1f} / {alone:.1f} = {window / alone:.3f}")
PY
