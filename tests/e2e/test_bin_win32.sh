#!/usr/bin/env bash
# On 32-bit Windows the 32-bit stub runs [bin_32] and not [bin_64]: a 32-bit prefix of its own
# (made once beside the fixture's, sharing its display, its server stopped again), on a
# machine that runs 32-bit programs natively.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
offset=$(od -An -tu4 -j60 -N4 "${SETUP_STUB:?}" | tr -d ' ')
[ "$(od -An -tx2 -j$((offset + 4)) -N2 "$SETUP_STUB" | tr -d ' ')" = 014c ] ||
  skip "the stub is not a 32-bit program (the win32 build runs this test)"
if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386 || ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  skip "32-bit programs do not run natively on this machine"
fi
root32="${SETUP_WINE_ROOT:?}/wine32"
mkdir -p "$root32"
cp "$SETUP_WINE_ROOT/xvfb.display" "$root32/" 2>/dev/null || fail "no display: run tests/win/wine-fixture.sh setup"
export SETUP_WINE_ROOT="$root32" WINEARCH=win32
if [ ! -f "$root32/wineprefix.stamp" ]; then
  rm -rf "$root32/wineprefix"
  note "making a 32-bit prefix (once)"
  "$wine_run" wineboot -i </dev/null >"$root32/wineboot.log" 2>&1 || fail "wineboot failed: $root32/wineboot.log"
  touch "$root32/wineprefix.stamp"
fi

e2e_begin bin32
e2e_on_exit "'$wine_run' --server -k >/dev/null 2>&1"
printf 'payload\n' >"$scratch/tree/readme.txt"
{ e2e_logging bin_32 && e2e_logging bin_64 && e2e_logging install; } >"$scratch/setup.txt"
e2e_build_unchecked # no [locale]
e2e_run_silent 0 "$scratch_win\\app"
expect_log "bin_32
install"
echo "PASS"
