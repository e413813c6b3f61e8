#!/usr/bin/env bash
# On 64-bit Windows the architecture batch is [bin_64] (for the 32-bit stub
# under WOW64 as for its 64-bit twin), never [bin_32]: a script with both runs
# only [bin_64]; one with only [bin_32] writes and runs no install_bin.bat,
# and the install goes on.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin bin64
printf 'payload\n' >"$scratch/tree/readme.txt"

note "[bin_32] and [bin_64]"
{ e2e_locale "Bin E2E" 'C:\unused' && e2e_logging bin_32 && e2e_logging bin_64 && e2e_logging install; } >"$scratch/setup.txt"
e2e_build
e2e_run_silent "$scratch_win\\both"
expect_rc 0
expect_log "bin_64
install"

note "[bin_32] alone"
rm -f "$scratch/order.log"
{ e2e_logging bin_32 && e2e_logging install; } >"$scratch/setup.txt"
e2e_build
e2e_run_silent "$scratch_win\\only32"
expect_rc 0
expect_log install
[ ! -e "$scratch/only32/install_bin.bat" ] || fail "install_bin.bat was written"
echo "PASS"
