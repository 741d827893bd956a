#!/usr/bin/env bash
# Draws the default picture and records the test sound that lie beside the program as
# "res\defalutpic.jpg" (640 x 360 JPEG: a dark field with a picture frame) and "res\test.mp3"
# (three seconds of a two-note chime), with ImageMagick and ffmpeg, into skin/files/res/. The
# files are committed; make_files.py copies them beside the program. Run this again after a
# change.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
convert -size 640x360 gradient:'#2A3344-#151922' \
  -fill none -stroke '#5A6E8C' -strokewidth 6 -draw "roundrectangle 250,110 390,230 10,10" \
  -fill '#5A6E8C' -stroke none -draw "polygon 262,218 300,170 330,200 350,180 378,218" \
  -draw "circle 350,145 350,130" -strip -quality 90 "$here/res/defalutpic.jpg"
ffmpeg -nostdin -hide_banner -loglevel error -y \
  -f lavfi -i "sine=frequency=660:sample_rate=44100:duration=1.5" \
  -f lavfi -i "sine=frequency=880:sample_rate=44100:duration=1.5" \
  -filter_complex "[0][1]concat=n=2:v=0:a=1,afade=t=out:st=2.6:d=0.4,volume=0.5" \
  -ac 1 -c:a libmp3lame -b:a 64k -map_metadata -1 "$here/res/test.mp3"
