#!/usr/bin/env bash
# Makes a 10 s 720p H.264 + AAC file with the host's ffmpeg, runs MorlunDecodeBench on it under
# Wine, and times the same decode by the host's ffmpeg (-benchmark) for comparison:
#   bench/morlun/run.sh BUILD_DIR
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${1:-$root/build}"
work="$build/bench-morlun"
mkdir -p "$work"
file="$work/bench_720p.mp4"
if [ ! -f "$file" ]; then
  ffmpeg -nostdin -hide_banner -loglevel error -y \
    -f lavfi -i testsrc2=size=1280x720:rate=30:duration=10 \
    -f lavfi -i sine=frequency=440:sample_rate=48000:duration=10 \
    -c:v libx264 -preset medium -pix_fmt yuv420p -c:a aac -shortest "$file"
fi
frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames \
  -of csv=p=0 "$file")
echo "file: $file ($frames frames)"

# shellcheck source=bench/wine_session.sh
source "$root/bench/wine_session.sh"
bench_wine_session "$work/scratch"
MORLUN_BENCH_FILE="Z:$file" "$root/scripts/wine-run" "$build/bin/MorlunDecodeBench.exe"

echo "host ffmpeg:"
ffmpeg -nostdin -hide_banner -benchmark -i "$file" -f null - 2>&1 | grep -E '^frame=|bench:' | tail -3

# Whole commands side by side where the host has farm-bench: the engine decodes the file three
# times in one process (Wine start-up included), ffmpeg three times in a row.
if command -v farm-bench >/dev/null; then
  echo "whole commands (A: engine under Wine, B: host ffmpeg, 3 decodes each):"
  farm-bench -n 5 --timeout 300 \
    --vs "sh -c 'for i in 1 2 3; do ffmpeg -nostdin -v error -i $file -f null -; done'" \
    -- env MORLUN_BENCH_FILE="Z:$file" "$root/scripts/wine-run" "$build/bin/MorlunDecodeBench.exe"
fi
