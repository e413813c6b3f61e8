#!/usr/bin/env bash
# `wine-run.sh prog.exe args` (the cross build's CMAKE_CROSSCOMPILING_EMULATOR)
# runs a Windows program under Wine and exits with its exit code. The prefix,
# a scratch HOME and the one TMPDIR all wine calls share are in SETUP_WINE_ROOT
# (set by ctest), else in the win32 preset's build tree.
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
    shift  # `--server ARGS`: wineserver in the same environment
    exec wineserver "$@"
    ;;
  --64)
    # `--64 PROGRAM ARGS`: wine's own 64-bit tools (wineboot, cmd) skip the
    # 32-bit loader, which may run under emulation (see wine-fixture.sh).
    shift
    if [ -x /usr/lib/wine/wine64 ]; then exec /usr/lib/wine/wine64 "$@"; fi
    exec wine "$@"
    ;;
esac
# So does a 64-bit program: the plain `wine` starts the 32-bit loader first.
if is_pe64 "${1:-}" && [ -x /usr/lib/wine/wine64 ]; then exec /usr/lib/wine/wine64 "$@"; fi
exec wine "$@"
