#!/usr/bin/env bash
# High-DPI screens: at 96 DPI the window is the layout it always was; at 144 and 192 every
# control and the picture are those scaled by 1.5 and 2 within rounding, the picture fills its
# pane in its colours, and the prompt's and the Start button's text grows with the font and
# stays inside its control with room to spare. Wine reads its DPI (LogPixels) when its server
# starts: so as not to disturb the other tests, this one has a prefix of its own (made once
# beside the fixture's) on an Xvfb of its own, and restarts that server for each DPI.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
main_root=${SETUP_WINE_ROOT:?} root="$SETUP_WINE_ROOT/winedpi"
mkdir -p "$root"
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$root/xvfb.display" </dev/null >"$root/xvfb.log" 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid' EXIT
e2e_poll 100 grep -qs . "$root/xvfb.display" || fail "Xvfb did not start: $(cat "$root/xvfb.log")"
export SETUP_WINE_ROOT="$root"
if [ ! -f "$root/wineprefix.stamp" ]; then
  rm -rf "$root/wineprefix"
  note "making the prefix (once)"
  SETUP_WINE_DISPLAY=1 "$wine_run" --64 wineboot -i </dev/null >"$root/wineboot.log" 2>&1 ||
    fail "wineboot failed: $root/wineboot.log"
  touch "$root/wineprefix.stamp"
fi
e2e_begin dpi
e2e_on_exit "'$wine_run' --server -k >/dev/null 2>&1; kill $xvfb_pid"
artifacts="$main_root/e2e-artifacts/dpi" # with the other tests' findings
rm -rf "$artifacts" && mkdir -p "$artifacts"
title="DPI E2E"
e2e_picture "$scratch/tree/back.png" 401 121
e2e_locale "$title" "$scratch_win\\app" back.png Start "Choose a folder: gjpqy" >"$scratch/setup.txt"
e2e_build

controls=("picture|" "static|" "edit|" "button|..." "msctls_progress32|" "button|Start")
declare -A base text96
rect_of() { local i; i=$(e2e_child "${1%|*}" "${1#*|}") && echo "${c_x[i]} ${c_y[i]} ${c_w[i]} ${c_h[i]}"; }
near() { # WHAT GOT AT_96 DPI TOLERANCE
  local want=$((($3 * $4 + 48) / 96)) d
  d=$(($2 - want))
  [ "${d#-}" -le "$5" ] || fail "$1 at $4 DPI: $2, expected $want within $5"
}
# text_in WHAT INDEX MARGIN DPI: the dark pixels of child INDEX on the screenshot lie MARGIN
# or more from its edges (the prompt's start at its top left: the right and bottom only), and
# are as high as at 96 DPI scaled.
text_in() {
  local i=$2 m=$3 x y w h
  local area="${c_w[i]}x${c_h[i]}+$((client_x + c_x[i]))+$((client_y + c_y[i]))"
  read -r w h x y <<<"$(convert "$shot" -crop "$area" +repage -colorspace Gray -threshold 50% -negate \
    -format '%@' info: 2>/dev/null | tr 'x+' '  ')"
  [ "$w" -gt 0 ] || fail "no text in the $1 at $4 DPI"
  [ "$1" = prompt ] || { [ "$x" -ge "$m" ] && [ "$y" -ge "$m" ]; } ||
    fail "$1 text at $x,$y in its control at $4 DPI"
  if [ $((c_w[i] - x - w)) -lt "$m" ] || [ $((c_h[i] - y - h)) -lt "$m" ]; then
    fail "$1 text (${w}x$h at $x,$y) cut or crowded in its ${c_w[i]}x${c_h[i]} at $4 DPI"
  fi
  [ "$4" != 96 ] || text96[$1]=$h
  near "$1 text height" "$h" "${text96[$1]}" "$4" 2
}

for dpi in 96 144 192; do
  note "$dpi DPI"
  "$wine_run" --64 reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1 ||
    fail "cannot set LogPixels"
  { kill "$holder_pid" && wait "$holder_pid"; } 2>/dev/null || true
  "$wine_run" --server -k >/dev/null 2>&1 && "$wine_run" --server -w
  "$wine_run" --server -p </dev/null >>"$root/wineserver.log" 2>&1
  e2e_hold_desktop
  e2e_start
  e2e_show "$title"
  sleep 0.5
  shot="$scratch/screen.png"
  import -window root "$shot"
  convert "$shot" -crop "${win_w}x${win_h}+$win_x+$win_y" +repage "$artifacts/dpi-$dpi.png"
  e2e_close "$title"
  if [ $dpi = 96 ]; then
    # The layout of test_interactive.sh: R, the row height, from the prompt's.
    R=$((c_h[$(e2e_child static)] - 8)) P=121 W=401
    expect_eq "window size" "$W x $((P + cy_caption + 3 * R + 64))" "$win_w x $win_h"
    expect_controls <<EOT
picture|picture||1|0|0|$W|$P
prompt|static||1|30|$((P + 8))|$((W - 90))|$((R + 8))
target field|edit||1|30|$((P + R + 16))|$((W - 90))|$((R + 8))
browse button|button|...|1|$((W - 50))|$((P + R + 16))|30|$((R + 8))
progress bar|msctls_progress32||0|30|$((P + R + 16))|$((W - 60))|$((R + 8))
start button|button|Start|1|$(((W - 100) / 2))|$((P + 2 * R + 34))|100|$((R + 14))
EOT
    for kind in "${controls[@]}"; do base[$kind]=$(rect_of "$kind"); done
    base_window="$win_w $win_h"
  else
    for kind in "${controls[@]}"; do
      read -ra got <<<"$(rect_of "$kind")"
      read -ra was <<<"${base[$kind]}"
      for j in 0 1 2 3; do near "$kind rectangle's field $j" "${got[j]}" "${was[j]}" $dpi 2; done
    done
    # Three rows of text and the caption, each the font's or the system's own height at this
    # DPI, may each round a pixel or two away from an exact scale.
    near "window width" "$win_w" "${base_window% *}" $dpi 2
    near "window height" "$win_h" "${base_window#* }" $dpi 6
  fi
  pane=$(e2e_child picture)
  w=${c_w[pane]} h=${c_h[pane]}
  e2e_expect_pixels "$shot" <<EOT
top-left $((w / 4)) $((h / 4)) 255,0,0
top-right $((3 * w / 4)) $((h / 4)) 0,255,0
bottom-left $((w / 4)) $((3 * h / 4)) 0,0,255
bottom-right $((3 * w / 4)) $((3 * h / 4)) 255,255,0
EOT
  text_in prompt "$(e2e_child static)" 2 $dpi
  text_in "Start button" "$(e2e_child button Start)" 3 $dpi
done
echo "PASS"
