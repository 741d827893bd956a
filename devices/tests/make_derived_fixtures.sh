#!/usr/bin/env bash
# Makes the decode engine's derived fixtures in DIR from the files tarvo_media_fixture made:
# a truncated file, a file whose container gives no duration, a file without audio or video, a
# file with nothing this build can decode, and the host ffprobe's video frame count of each
# playable file (FILE.frames).
set -euo pipefail
dir="$1"
cd "$dir"
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

# The first 60 % of a Matroska file: its packets up to the cut are intact.
size=$(stat -c %s morlun_h264_aac.mkv)
head -c $((size * 6 / 10)) morlun_h264_aac.mkv > morlun_truncated.mkv

# Matroska written to a pipe carries no duration.
ff -i morlun_short.mp4 -c copy -f matroska - > morlun_no_duration.mkv

# Badly interleaved: three seconds of sound come before the first picture.
ff -i morlun_h264_aac.mp4 -c copy -audio_preload 3000000 -max_interleave_delta 0 \
  morlun_audio_first.mkv

# Only a subtitle stream.
printf '1\n00:00:00,000 --> 00:00:01,000\nhello\n' > morlun_subtitle.srt
ff -i morlun_subtitle.srt -c:s srt morlun_subtitle_only.mkv

# Only a sound stream that this build cannot decode.
ff -i morlun_flv_nellymoser.flv -map 0:a -c copy morlun_nellymoser_only.flv

for f in morlun_h264_aac.mp4 morlun_short.mp4 morlun_hevc_flac.mkv morlun_mpeg4_mp3.avi \
         morlun_video_only.mp4 morlun_truncated.mkv morlun_wmv2_wma.wmv morlun_h264_aac.ts \
         morlun_h264_ac3.mp4 morlun_flv_nellymoser.flv; do
  # A transport stream lists its streams once more under its program: the first line counts.
  count=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames \
    -of csv=p=0 "$f" | tr -d '\r ')
  printf '%s' "${count%%$'\n'*}" > "$f.frames"
done
