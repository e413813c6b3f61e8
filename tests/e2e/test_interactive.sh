#!/usr/bin/env bash
# The interactive install: the window with its texts at the layout's places and the picture
# upright in its colours (on a screenshot), a target typed with a trailing backslash, "Start"
# clicked; the progress mode while [prepare] runs, the file prefix and a file name in the
# status text afterwards, and the window hidden before [bin_64].
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin interactive
title="E2E Interactive"
prompt="Choose where to install"
e2e_make_tree
e2e_order_script "$title" "$scratch_win\\default" "" "Go ahead" "$prompt"
e2e_start
e2e_show "$title"

note "layout"
# The row height R comes from the font: the prompt is R + 8 high, and every other place must
# agree with it. P and W are the picture's size.
label=$(e2e_child static)
R=$((c_h[label] - 8)) P=121 W=401
if [ "$R" -lt 8 ] || [ "$R" -gt 40 ]; then fail "implausible row height $R"; fi
H=$((P + cy_caption + 3 * R + 64))
expect_eq "window size" "$W x $H" "$win_w x $win_h"
expect_eq "window position" "$(((cx_screen - W) / 2)) $(((cy_screen - H) / 2))" "$win_x $win_y"
expect_eq "prompt text" "$prompt" "${c_text[$label]}"
edit=$(e2e_child edit)
expect_eq "target field text" "$scratch_win\\default" "${c_text[$edit]}"
expect_eq "target field enabled" 1 "${c_en[$edit]}"
expect_controls <<EOT
picture|picture||1|0|0|$W|$P
prompt|static||1|30|$((P + 8))|$((W - 90))|$((R + 8))
target field|edit||1|30|$((P + R + 16))|$((W - 90))|$((R + 8))
browse button|button|...|1|$((W - 50))|$((P + R + 16))|30|$((R + 8))
progress bar|msctls_progress32||0|30|$((P + R + 16))|$((W - 60))|$((R + 8))
start button|button|Go ahead|1|$(((W - 100) / 2))|$((P + 2 * R + 34))|100|$((R + 14))
EOT

note "picture on the screen"
shot="$artifacts/window.png"
import -window root "$shot"
right=$((client_w < W ? client_w - 4 : W - 4)) # the frame covers the picture's right edge
# The corners, and both sides of the quarters' borders at the top and the bottom: a row length
# that is no multiple of 4 would shear the lower rows.
e2e_expect_pixels "$shot" <<EOT
top-left 3 3 255,0,0
top-right $right 3 0,255,0
bottom-left 3 $((P - 4)) 0,0,255
bottom-right $right $((P - 4)) 255,255,0
left-of-the-middle,top 196 2 255,0,0
right-of-the-middle,top 204 2 0,255,0
left-of-the-middle,bottom 196 $((P - 2)) 0,0,255
right-of-the-middle,bottom 204 $((P - 2)) 255,255,0
above-the-middle 100 57 255,0,0
below-the-middle 100 63 0,0,255
EOT

note "typing a target and starting"
e2e_type_into "$title" "$edit" "$scratch_win\\typed\\"
e2e_click_child "$(e2e_child button "Go ahead")"
e2e_wait_exit 0
e2e_check_installed "$scratch_win\\typed"

note "the window while [prepare] ran"
e2e_read_dump prepare
expect_eq "window visible" 1 "$win_visible"
expect_eq "status text" "" "${c_text[$(e2e_child static)]}"
expect_controls <<EOT
target field|edit||0
browse button|button|...|0
start button|button|Working|0
progress bar|msctls_progress32||1|30|$((P + R + 16))|$((W - 60))|$((R + 8))
EOT

note "the window when [bin_64] ran"
e2e_read_dump bin
expect_eq "window visible" 0 "$win_visible"
status=${c_text[$(e2e_child static)]}
case "$status" in "Copying "*) ;; *) fail "status text after the extraction: '$status'" ;; esac
names=$(cd "$scratch/tree" && find . -type f | sed 's|^\./||' | tr / "\\\\" && find . -type f -printf '%f\n')
grep -qxF -- "${status#Copying }" <<<"$names" || fail "status text names no file of the tree: '$status'"
echo "PASS"
