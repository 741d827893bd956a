#!/usr/bin/env bash
# Writes the host ffprobe's video frame count of each FILE in DIR as FILE.frames:
#   count_frames.sh DIR FILE...
set -euo pipefail
dir="$1"; shift
cd "$dir"
for f in "$@"; do
  ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames \
    -of csv=p=0 "$f" | head -n 1 | tr -d '\r \n' > "$f.frames"
done
