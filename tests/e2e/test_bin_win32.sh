#!/usr/bin/env bash
# On 32-bit Windows the 32-bit stub runs [bin_32] and not [bin_64]. Needs a
# 32-bit Wine prefix of its own (made once beside the fixture's, with a
# server this test stops again) and a machine that runs 32-bit programs
# natively; the 64-bit build's twin has nothing to show here.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"

pe_machine() { # FILE -> 014c (i386) or 8664 (x86-64)
  local offset
  offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' '
}
[ "$(pe_machine "${SETUP_STUB:?}")" = 014c ] || skip "the stub is not a 32-bit program (the win32 build runs this test)"
if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386 || ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  skip "32-bit programs do not run natively on this machine"
fi

# The 32-bit prefix shares the fixture's display.
fixture_root=${SETUP_WINE_ROOT:?}
root32="$fixture_root/wine32"
mkdir -p "$root32"
cp "$fixture_root/xvfb.display" "$root32/xvfb.display" 2>/dev/null || fail "no display: run tests/win/wine-fixture.sh setup"
export SETUP_WINE_ROOT="$root32" WINEARCH=win32
if [ ! -f "$root32/wineprefix.stamp" ]; then
  rm -rf "$root32/wineprefix"
  note "making a 32-bit prefix (once)"
  "$wine_run" wineboot -i </dev/null >"$root32/wineboot.log" 2>&1 || fail "wineboot failed: $root32/wineboot.log"
  touch "$root32/wineprefix.stamp"
fi

e2e_begin bin32
e2e_on_exit "'$wine_run' --server -k >/dev/null 2>&1"
log="$scratch_win\\order.log"
printf 'payload\n' >"$scratch/tree/readme.txt"
{
  printf '[bin_32]\necho bin_32>>%s\n' "$log"
  printf '[bin_64]\necho bin_64>>%s\n' "$log"
  printf '[install]\necho install>>%s\n[end]\n' "$log"
} >"$scratch/setup.txt"
e2e_build
e2e_run_silent "$scratch_win\\app"
expect_eq "exit code" 0 "$setup_rc"
expect_eq "sections run" "bin_32
install" "$(text_of "$scratch/order.log")"
echo "PASS"
