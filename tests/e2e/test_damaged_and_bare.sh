#!/usr/bin/env bash
# A package whose bytes no longer match its digest shows "This file is
# corrupted" (caption "Error") and, once the box is dismissed, ends with exit
# code 1, having installed nothing; with a target on the command line too.
# A stub without a package ends at once with 0 and shows nothing.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin damaged

printf 'hello\n' >"$scratch/tree/readme.txt"
printf '[locale]\nDamaged E2E\nPrompt\n%s\\app\nStart\nBusy\nCopying\n[install]\necho install>>%s\\order.log\n[end]\n' \
  "$scratch_win" "$scratch_win" >"$scratch/setup.txt"
e2e_build
# One bit of the last byte of the tree, far behind the stub.
size=$(stat -c %s "$setup_exe")
last=$(od -An -tu1 -j $((size - 1)) -N1 "$setup_exe" | tr -d ' ')
printf '%b' "\\0$(printf '%o' $((last ^ 1)))" | dd of="$setup_exe" bs=1 seek=$((size - 1)) conv=notrunc status=none

# dismiss_box: the box must be there and stay until it is answered.
dismiss_box() {
  e2e_dialog
  expect_eq "caption of the box" Error "$dialog_title"
  expect_eq "text of the box" "This file is corrupted" "$dialog_text"
  sleep 0.5
  kill -0 "$setup_pid" 2>/dev/null || fail "the process ended before the box was answered"
  e2e_answer_dialog
}

note "damaged, interactive"
e2e_start
dismiss_box
e2e_wait_exit 20
expect_eq "exit code of a damaged package" 1 "$setup_rc"

note "damaged, with a target"
e2e_start "$scratch_win\\app"
dismiss_box
e2e_wait_exit 20
expect_eq "exit code of a damaged package with a target" 1 "$setup_rc"
if [ -e "$scratch/app" ] || [ -e "$scratch/order.log" ]; then fail "a damaged package installed"; fi

note "bare stub"
cp "$scratch/stub.exe" "$setup_exe"
# shellcheck disable=SC2119 # no arguments: started without a target
e2e_run_silent
expect_eq "exit code of a bare stub" 0 "$setup_rc"
elapsed=$(e2e_elapsed)
[ "$(echo "$elapsed < 10" | bc)" = 1 ] || fail "a bare stub took $elapsed s to end"
echo "PASS"
