#!/usr/bin/env bash
# A package whose bytes no longer match its digest, or that is too short for one, shows "This
# file is corrupted" and exits 1 having installed nothing, with or without a target. A stub
# without a package ends at once with 0 and shows nothing.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin damaged
printf 'hello\n' >"$scratch/tree/readme.txt"
{ e2e_locale "Damaged E2E" "$scratch_win\\app" && e2e_logging install; } >"$scratch/setup.txt"
e2e_build
e2e_flip "$setup_exe" $(($(stat -c %s "$setup_exe") - 1)) # far behind the stub
note "damaged, interactive"
e2e_start
e2e_expect_corrupted
note "damaged, with a target"
e2e_start "$scratch_win\\app"
e2e_expect_corrupted
if [ -e "$scratch/app" ] || [ -e "$scratch/order.log" ]; then fail "a damaged package installed"; fi
note "too short for a digest"
{ cat "$scratch/stub.exe" && printf 'seven b'; } >"$setup_exe"
e2e_start
e2e_expect_corrupted
note "bare stub"
cp "$scratch/stub.exe" "$setup_exe"
e2e_run_silent 0
# Ends without waiting for anything: far below the hang limit even on a loaded machine.
[ "$(echo "$(e2e_elapsed) < 30" | bc)" = 1 ] || fail "a bare stub took $(e2e_elapsed) s to end"
echo "PASS"
