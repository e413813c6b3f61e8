#!/usr/bin/env bash
# Scripts that give the window fewer texts than it reads: without any [locale] section the
# window shows the defaults ("Setup", "Start", the rest empty) and both installs work; a script
# that ends inside [locale] (no LF after its last line) keeps what it has and defaults the
# rest. On 64-bit Windows (the 32-bit stub under WOW64 as its 64-bit twin) a lone [bin_32]
# writes and runs no install_bin.bat, and the install goes on.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin nolocale
printf 'payload\n' >"$scratch/tree/readme.txt"
expect_installed() { # DIR
  cmp -s "$scratch/tree/readme.txt" "$scratch/$1/readme.txt" || fail "not installed into $1"
  expect_log install
  rm -f "$scratch/order.log"
}

note "no [locale] section, silent and interactive"
{ e2e_logging bin_32 && e2e_logging install; } >"$scratch/setup.txt"
e2e_build_unchecked # no plain [locale]: the lint refuses it
e2e_run_silent 0 "$scratch_win\\silent"
[ ! -e "$scratch/silent/install_bin.bat" ] || fail "install_bin.bat was written"
expect_installed silent
e2e_start
e2e_show Setup
expect_eq "default prompt" "" "${c_text[$(e2e_child static)]}"
edit=$(e2e_child edit)
expect_eq "default target" "" "${c_text[$edit]}"
e2e_type_into Setup "$edit" "$scratch_win\\typed"
e2e_click_child "$(e2e_child button Start)"
e2e_wait_exit 0
expect_installed typed

note "a script that ends inside [locale]"
{ e2e_logging install && printf '[locale]\nCut Short E2E\nOnly a prompt'; } >"$scratch/setup.txt"
e2e_build_unchecked
e2e_start
e2e_show "Cut Short E2E"
expect_eq "prompt" "Only a prompt" "${c_text[$(e2e_child static)]}"
e2e_child button Start >/dev/null
e2e_close "Cut Short E2E"
[ ! -e "$scratch/order.log" ] || fail "closing the window ran sections"
e2e_run_silent 0 "$scratch_win\\cut"
expect_installed cut
echo "PASS"
