#!/usr/bin/env bash
# On 64-bit Windows the architecture batch is [bin_64] (the 32-bit stub
# under WOW64 as much as its 64-bit twin), never [bin_32]: a script with
# both runs only [bin_64]; one with only [bin_32] writes and runs no
# install_bin.bat, and the install still goes on.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin bin64

log="$scratch_win\\order.log"
printf 'payload\n' >"$scratch/tree/readme.txt"
bin_section() { printf '[bin_%s]\necho bin_%s>>%s\n' "$1" "$1" "$log"; }
install_section() { printf '[install]\necho install>>%s\n[end]\n' "$log"; }

note "[bin_32] and [bin_64]"
{
  printf '[locale]\nBin E2E\nPrompt\nC:\\unused\nStart\nBusy\nCopying\n'
  bin_section 32
  bin_section 64
  install_section
} >"$scratch/setup.txt"
e2e_build
e2e_run_silent "$scratch_win\\both"
expect_eq "exit code" 0 "$setup_rc"
expect_eq "sections run" "bin_64
install" "$(text_of "$scratch/order.log")"

note "[bin_32] alone"
rm -f "$scratch/order.log"
{
  bin_section 32
  install_section
} >"$scratch/setup.txt"
e2e_build
e2e_run_silent "$scratch_win\\only32"
expect_eq "exit code" 0 "$setup_rc"
expect_eq "sections run" install "$(text_of "$scratch/order.log")"
[ ! -e "$scratch/only32/install_bin.bat" ] || fail "install_bin.bat was written"
echo "PASS"
