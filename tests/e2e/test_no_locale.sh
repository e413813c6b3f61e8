#!/usr/bin/env bash
# Scripts that give the window fewer texts than it reads: without any
# [locale] section the window shows the defaults ("Setup", "Start", the rest
# empty) and both installs work; a script that ends inside [locale] (no LF
# after its last line) keeps what it has and defaults the rest.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin nolocale

log="$scratch_win\\order.log"
printf 'payload\n' >"$scratch/tree/readme.txt"

note "no [locale] section, silent"
printf '[install]\necho install>>%s\n[end]\n' "$log" >"$scratch/setup.txt"
e2e_build
e2e_run_silent "$scratch_win\\silent"
expect_eq "exit code" 0 "$setup_rc"
cmp -s "$scratch/tree/readme.txt" "$scratch/silent/readme.txt" || fail "not installed"
expect_eq "sections run" install "$(text_of "$scratch/order.log")"

note "no [locale] section, interactive"
rm -f "$scratch/order.log"
e2e_start
e2e_wait_window Setup >/dev/null
e2e_rects Setup
expect_eq "default prompt" "" "${c_text[$(e2e_child static)]}"
edit=$(e2e_child edit)
expect_eq "default target" "" "${c_text[$edit]}"
start=$(e2e_child button Start)
e2e_type_into Setup "$edit" "$scratch_win\\typed"
e2e_click_child "$start"
e2e_wait_exit
expect_eq "exit code" 0 "$setup_rc"
cmp -s "$scratch/tree/readme.txt" "$scratch/typed/readme.txt" || fail "not installed"
expect_eq "sections run" install "$(text_of "$scratch/order.log")"

note "a script that ends inside [locale]"
rm -f "$scratch/order.log"
printf '[install]\necho install>>%s\n[locale]\nCut Short E2E\nOnly a prompt' "$log" >"$scratch/setup.txt"
e2e_build
e2e_start
e2e_wait_window "Cut Short E2E" >/dev/null
e2e_rects "Cut Short E2E"
expect_eq "prompt" "Only a prompt" "${c_text[$(e2e_child static)]}"
e2e_child button Start >/dev/null
probe post "Cut Short E2E" close
e2e_wait_exit 20
expect_eq "exit code after closing" 0 "$setup_rc"
[ ! -e "$scratch/order.log" ] || fail "closing the window ran sections"
e2e_run_silent "$scratch_win\\cut"
expect_eq "exit code" 0 "$setup_rc"
cmp -s "$scratch/tree/readme.txt" "$scratch/cut/readme.txt" || fail "not installed"
expect_eq "sections run" install "$(text_of "$scratch/order.log")"
echo "PASS"
