#!/usr/bin/env bash
# The background picture in its kinds, as the screen shows it: a palette PNG and a 16-bit PNG
# in true colour, a JPEG, each upright with its colours and not sheared (odd widths); the
# window as wide as the picture. A picture that gives no bitmap (undecodable, grey, a name in
# capitals) is no picture: the pane hidden, the window 500 wide and P = 0. Files someone left
# where the picture once went through are neither shown nor touched.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin pictures
title="Pictures E2E"
pic="$scratch/tree/pic"
mkdir -p "$pic"

# show_picture NAME WIDTH HEIGHT [SHARP]: a setup whose [locale] names pic\NAME, started,
# read, its screen taken, closed again. With a width the window must be the picture's and its
# four quarters (and, when sharp, both sides of the middle on the last row, where a shear
# shows most) in their colours; with 0 there must be no picture.
show_picture() {
  local w=$2 h=$3 pane shot="$artifacts/${1//./_}.png"
  note "$1"
  e2e_locale "$title" "$scratch_win\\unused" "pic\\$1" >"$scratch/setup.txt"
  if [ "$1" = CAPS.PNG ]; then e2e_build_unchecked; else e2e_build; fi # the lint refuses .PNG
  e2e_start
  e2e_show "$title"
  sleep 0.3
  import -window root "$shot"
  e2e_close "$title"
  e2e_check_no_temp_picture
  pane=$(e2e_child picture)
  R=$((c_h[$(e2e_child static)] - 8))
  expect_eq "window size" "$((w == 0 ? 500 : w)) x $((h + cy_caption + 3 * R + 64))" "$win_w x $win_h"
  expect_shown picture "$pane" $((w == 0 ? 0 : 1))
  [ "$w" != 0 ] || return 0
  expect_rect picture "$pane" 0 0 "$w" "$h"
  e2e_expect_pixels "$shot" <<EOT
top-left $((w / 4)) $((h / 4)) 255,0,0
top-right $((3 * w / 4)) $((h / 4)) 0,255,0
bottom-left $((w / 4)) $((3 * h / 4)) 0,0,255
bottom-right $((3 * w / 4)) $((3 * h / 4)) 255,255,0
${4:+left-of-the-middle,last-row $((w / 2 - 3)) $((h - 1)) 0,0,255}
${4:+right-of-the-middle,last-row $((w / 2 + 3)) $((h - 1)) 255,255,0}
EOT
}

templates=$(e2e_templates_dir)
for planted in temp_install.png temp_install.jpg; do
  convert -size 201x81 xc:'#ff00ff' "PNG24:$templates/$planted"
  cp "$templates/$planted" "$artifacts/$planted"
  e2e_on_exit "rm -f '$templates/$planted'"
done
e2e_picture "$artifacts/rgb.png" 201 81
e2e_picture "$artifacts/for-jpeg.png" 241 97
convert "$artifacts/rgb.png" -type Palette "PNG8:$pic/palette.png"
convert "$artifacts/rgb.png" -depth 16 "PNG48:$pic/deep.png"
convert "$artifacts/for-jpeg.png" -quality 95 "$pic/photo.jpg"
head -c 2000 /dev/urandom >"$pic/broken.png" # a .png that is no PNG
convert "$artifacts/rgb.png" -colorspace Gray -type Grayscale "PNG:$pic/grey.png"
cp "$artifacts/rgb.png" "$pic/CAPS.PNG"
for row in "palette.png 201 81 sharp" "deep.png 201 81 sharp" "photo.jpg 241 97" \
  "broken.png 0 0" "grey.png 0 0" "CAPS.PNG 0 0"; do
  # shellcheck disable=SC2086 # the row's fields
  show_picture $row
done
for planted in temp_install.png temp_install.jpg; do
  cmp -s "$templates/$planted" "$artifacts/$planted" || fail "$planted was changed or removed"
done
echo "PASS"
