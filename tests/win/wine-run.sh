#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's private prefix and
# exits with the program's exit code. It is the cross build's
# CMAKE_CROSSCOMPILING_EMULATOR, so ctest calls it as `wine-run.sh prog.exe args`.
#
# SETUP_WINE_ROOT (set by ctest) is the folder that holds the prefix, a scratch
# HOME and the one TMPDIR all wine calls on that prefix share; without it the
# win32 preset's build tree is used.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="${SETUP_WINE_ROOT:-$here/../../build/win32}"
mkdir -p "$root/wine-home" "$root/wine-tmp"

export WINEPREFIX="$root/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export HOME="$root/wine-home"
export TMPDIR="$root/wine-tmp"
# Tests ask for the display the wine fixture keeps (see tests/win/CMakeLists.txt).
if [ "${SETUP_WINE_DISPLAY:-0}" = 1 ] && [ -f "$root/xvfb.display" ]; then
  DISPLAY=":$(cat "$root/xvfb.display")"
  export DISPLAY
else
  unset DISPLAY
fi

# True when $1 is a PE file for x86-64 (machine 0x8664 in its COFF header).
is_pe64() {
  [ -f "$1" ] || return 1
  local offset machine
  offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ') || return 1
  [ -n "$offset" ] || return 1
  machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$1" 2>/dev/null | tr -d ' ') || return 1
  [ "$machine" = 8664 ]
}

case "${1:-}" in
  --server)
    # `wine-run.sh --server ARGS` runs wineserver in the same environment.
    shift
    exec wineserver "$@"
    ;;
  --64)
    # `wine-run.sh --64 PROGRAM ARGS` starts the 64-bit loader directly, for
    # wine's own 64-bit tools (wineboot, cmd): it skips the 32-bit loader,
    # which may run under emulation (see wine-fixture.sh).
    shift
    if [ -x /usr/lib/wine/wine64 ]; then exec /usr/lib/wine/wine64 "$@"; fi
    exec wine "$@"
    ;;
esac
# A 64-bit program goes straight to the 64-bit loader: the plain `wine` starts
# the 32-bit loader first, which may run under emulation (see wine-fixture.sh).
if is_pe64 "${1:-}" && [ -x /usr/lib/wine/wine64 ]; then exec /usr/lib/wine/wine64 "$@"; fi
exec wine "$@"
