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
# One bit of the last byte of the package, far behind the stub.
e2e_flip "$setup_exe" $(($(stat -c %s "$setup_exe") - 1))

note "damaged, interactive"
e2e_start
e2e_dismiss_corrupted
e2e_wait_exit 20
expect_eq "exit code of a damaged package" 1 "$setup_rc"

note "damaged, with a target"
e2e_start "$scratch_win\\app"
e2e_dismiss_corrupted
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
