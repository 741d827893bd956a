#!/usr/bin/env bash
# Draws the pictures of the small dialogs (edit boxes, secondary buttons, radio marks, rounded
# dialog backgrounds, the translucent mask, the skip button, the sending spinner) for both skins
# with ImageMagick (colours #RRGGBB or #RRGGBBAA), into skin/img/<skin>/. The PNGs are committed;
# run this again after a change.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# draw SKIN FILE WIDTH HEIGHT DRAW-ARGUMENTS...: a transparent canvas with the given drawing.
draw() {
  local skin="$1" file="$2" w="$3" h="$4"; shift 4
  convert -size "${w}x${h}" xc:none "$@" +repage -strip "PNG32:$root/img/$skin/$file"
}

for skin in blue orange; do
  if [ "$skin" = blue ]; then
    field=#2A303B; line=#3A4150; accent=#2F9AFF; caption=#252A33; body=#1E2129
    btn=#2A303B; btn_hot=#323946; btn_hot_line=#4A5263; btn_down=#232830
    mark=#5C6577; pill=#252A33E6
  else
    field=#FFFFFF; line=#D5D7DC; accent=#F89B33; caption=#F4F4F4; body=#FFFFFF
    btn=#FFFFFF; btn_hot=#FFF6EC; btn_hot_line=#F89B33; btn_down=#F4F4F4
    mark=#B9BCC4; pill=#FFFFFFF0
  fi

  # Edit box: normal piece 0..240, focused piece 240..480.
  draw $skin editbk.png 480 36 \
    -fill $field -stroke $line -draw "roundrectangle 0,0,239,35,4,4" \
    -fill $field -stroke $accent -draw "roundrectangle 240,0,479,35,4,4"

  # Secondary (outlined) button: normal, hot, pushed; 96 x 30 each.
  draw $skin button2.png 288 30 \
    -fill $btn -stroke $line -draw "roundrectangle 0,0,95,29,4,4" \
    -fill $btn_hot -stroke $btn_hot_line -draw "roundrectangle 96,0,191,29,4,4" \
    -fill $btn_down -stroke $line -draw "roundrectangle 192,0,287,29,4,4"

  # Radio mark: unselected 0..16, selected 16..32.
  draw $skin radio.png 32 16 \
    -fill none -stroke $mark -strokewidth 1.2 -draw "circle 8,8 8,1.5" \
    -fill none -stroke $accent -strokewidth 1.2 -draw "circle 24,8 24,1.5" \
    -fill $accent -stroke none -draw "circle 24,8 24,4.5"

  # Rounded dialog: 20-pixel corners, a 40-pixel caption strip, a one-pixel frame.
  draw $skin dialog_bk.png 100 100 \
    -fill $caption -stroke none -draw "roundrectangle 0,0,99,99,20,20" \
    -fill $body -draw "rectangle 0,40,99,79" -draw "roundrectangle 0,40,99,99,20,20" \
    -fill none -stroke $line -draw "roundrectangle 0,0,99,99,20,20"

  # The mask over the main window: translucent black, 10-pixel corners.
  draw $skin trans.png 40 40 -fill '#00000099' -stroke none -draw "roundrectangle 0,0,39,39,10,10"

  # Skip button on the mask: normal, hot, disabled; 110 x 36 each; white frame, see-through.
  draw $skin skip_btn.png 330 36 \
    -fill '#00000000' -stroke '#FFFFFF99' -draw "roundrectangle 0,0,109,35,18,18" \
    -fill '#FFFFFF26' -stroke '#FFFFFFCC' -draw "roundrectangle 110,0,219,35,18,18" \
    -fill '#00000000' -stroke '#FFFFFF40' -draw "roundrectangle 220,0,329,35,18,18"

  # Sending spinner: five 20 x 20 frames, the bright arc turning by 72 degrees a frame.
  args=()
  for k in 0 1 2 3 4; do
    x=$((k * 20 + 10)); a=$((k * 72 - 90))
    args+=(-fill none -stroke $mark -strokewidth 2 -draw "circle $x,10 $x,3")
    args+=(-fill none -stroke $accent -strokewidth 2 -draw "arc $((x - 7)),3 $((x + 7)),17 $a,$((a + 100))")
  done
  draw $skin sending.png 100 20 "${args[@]}"

  # The wait window's rounded background.
  draw $skin logsend_bk.png 36 36 -fill $pill -stroke $line -draw "roundrectangle 0,0,35,35,18,18"
done

# The device test window's step pictures: four 60 x 60 cells each (current step, another step,
# the device does not work, the device works), a disc in the state's colour with the step's
# white sign inside.
step_sprite() {
  local skin="$1" file="$2" current="$3" other="$4"; shift 4
  local args=() k x colour
  for k in 0 1 2 3; do
    x=$((k * 60))
    case $k in 0) colour=$current ;; 1) colour=$other ;; 2) colour=#EA494B ;; 3) colour=#3FC27A ;; esac
    args+=(-fill "$colour" -stroke none -draw "circle $((x + 30)),30 $((x + 30)),3")
    args+=(-fill white -stroke white -strokewidth 2)
    for shape in "$@"; do args+=(-draw "translate $x,0 $shape"); done
  done
  draw "$skin" "$file" 240 60 "${args[@]}"
}
for skin in blue orange; do
  if [ "$skin" = blue ]; then current=#2F9AFF; other=#3A4150; else current=#F89B33; other=#C9CCD3; fi
  # camera: a body and a lens
  step_sprite $skin av_video_logo.png $current $other \
    "roundrectangle 17,22 35,38 3,3" "polygon 37,27 44,23 44,37 37,33"
  # microphone: a capsule on a stand
  step_sprite $skin av_mic_logo.png $current $other \
    "roundrectangle 25,16 35,34 5,5" "line 30,38 30,43" "line 25,43 35,43"
  # speaker: a box with its cone and a sound arc
  step_sprite $skin av_audio_logo.png $current $other \
    "rectangle 18,25 23,35" "polygon 23,25 31,18 31,42 23,35" "line 36,24 39,30" "line 39,30 36,36"
  # results: a list of three lines
  step_sprite $skin av_res_logo.png $current $other \
    "line 19,22 41,22" "line 19,30 41,30" "line 19,38 33,38"
done

# The beauty settings window's background tiles: the frame of the selected tile (12 x 12, drawn
# in nine slices with corner='4,4,4,4', transparent inside) and the tile's close mark (14 x 14).
for skin in blue orange; do
  if [ "$skin" = blue ]; then accent=#2F9AFF; else accent=#F89B33; fi
  draw $skin tile_sel.png 12 12 -fill none -stroke $accent -strokewidth 3 \
    -draw "roundrectangle 1,1,10,10,3,3"
  draw $skin tile_close.png 14 14 -fill '#000000B0' -stroke none -draw "circle 7,7 7,0" \
    -stroke '#FFFFFF' -strokewidth 1.5 -draw "line 4,4 10,10" -draw "line 10,4 4,10"
done
