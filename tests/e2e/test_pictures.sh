#!/usr/bin/env bash
# The background picture in its kinds, as the screen shows it: a palette PNG
# and a 16-bit PNG converted to true colour, a JPEG, each upright with its
# colours and not sheared (odd widths); the window as wide as the picture.
# A picture that gives no bitmap (undecodable, grey, a name in capitals) is
# no picture: the pane hidden, the window 500 wide and P = 0. Files someone
# left where the picture once went through are neither shown nor touched.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin pictures

title="Pictures E2E"
mkdir -p "$scratch/tree/pic"

# show_picture NAME: builds a setup whose [locale] names pic\NAME, starts
# it, reads the window and takes a screenshot into $shot; then closes it.
show_picture() {
  printf '[locale]\n%s\nPrompt\n%s\\unused\nStart\nBusy\nCopying\npic\\%s\n[end]\n' \
    "$title" "$scratch_win" "$1" >"$scratch/setup.txt"
  e2e_build
  e2e_start
  e2e_wait_window "$title" >/dev/null
  e2e_rects "$title"
  R=$((c_h[$(e2e_child static)] - 8))
  shot="$artifacts/${1//./_}.png"
  sleep 0.3
  e2e_screenshot "$shot"
  probe post "$title" close
  e2e_wait_exit 20
  expect_eq "exit code after closing" 0 "$setup_rc"
  e2e_check_no_temp_picture
}

expect_window_for() { # WIDTH HEIGHT
  expect_eq "window size" "$1 x $(($2 + cy_caption + 3 * R + 64))" "$win_w x $win_h"
}

# The four quarters at their centres, and (unless blurred by JPEG) both
# sides of the middle on the last row, where a shear would show most.
expect_quarters() { # WIDTH HEIGHT SHARP
  local w=$1 h=$2 pane
  pane=$(e2e_picture_child)
  expect_shown picture "$pane" 1
  expect_rect picture "$pane" 0 0 "$w" "$h"
  at() { expect_pixel "$1" "$shot" $((client_x + $2)) $((client_y + $3)) "$4"; }
  at "top left" $((w / 4)) $((h / 4)) 255,0,0
  at "top right" $((3 * w / 4)) $((h / 4)) 0,255,0
  at "bottom left" $((w / 4)) $((3 * h / 4)) 0,0,255
  at "bottom right" $((3 * w / 4)) $((3 * h / 4)) 255,255,0
  if [ "$3" = sharp ]; then
    at "left of the middle, last row" $((w / 2 - 3)) $((h - 1)) 0,0,255
    at "right of the middle, last row" $((w / 2 + 3)) $((h - 1)) 255,255,0
  fi
}

expect_no_picture() {
  local pane
  pane=$(e2e_picture_child)
  expect_shown picture "$pane" 0
  expect_window_for 500 0
}

templates=$(e2e_templates_dir)
for planted in temp_install.png temp_install.jpg; do
  convert -size 201x81 xc:'#ff00ff' "PNG24:$templates/$planted"
  cp "$templates/$planted" "$artifacts/$planted"
  e2e_on_exit "rm -f '$templates/$planted'"
done

note "palette PNG"
e2e_picture "$artifacts/rgb.png" 201 81
convert "$artifacts/rgb.png" -type Palette "PNG8:$scratch/tree/pic/palette.png"
show_picture palette.png
expect_window_for 201 81
expect_quarters 201 81 sharp

note "16-bit PNG"
convert "$artifacts/rgb.png" -depth 16 "PNG48:$scratch/tree/pic/deep.png"
show_picture deep.png
expect_window_for 201 81
expect_quarters 201 81 sharp

note "JPEG"
e2e_picture "$artifacts/for-jpeg.png" 241 97
convert "$artifacts/for-jpeg.png" -quality 95 "$scratch/tree/pic/photo.jpg"
show_picture photo.jpg
expect_window_for 241 97
expect_quarters 241 97 blurred
for planted in temp_install.png temp_install.jpg; do
  cmp -s "$templates/$planted" "$artifacts/$planted" || fail "$planted was changed or removed"
done

note "a .png that is no PNG"
head -c 2000 /dev/urandom >"$scratch/tree/pic/broken.png"
show_picture broken.png
expect_no_picture

note "a grey PNG"
convert "$artifacts/rgb.png" -colorspace Gray -type Grayscale "PNG:$scratch/tree/pic/grey.png"
show_picture grey.png
expect_no_picture

note "an extension in capitals"
cp "$artifacts/rgb.png" "$scratch/tree/pic/CAPS.PNG"
show_picture CAPS.PNG
expect_no_picture
echo "PASS"
