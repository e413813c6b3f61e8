#!/usr/bin/env bash
# The Wine prefix every Windows test runs in: `setup` creates it once and
# starts one persistent server (each test process then starts in about 0.01 s
# instead of over a second) and one Xvfb; `cleanup` stops both.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="${SETUP_WINE_ROOT:-$here/../../build/win32}"
run="$here/wine-run.sh"
prefix="$root/wineprefix"
stamp="$root/wineprefix.stamp"
log="$root/wineserver.log"

# Wine's background processes inherit stdout and stderr; were either a pipe
# to ctest, ctest would wait for them until the server ends.
start_server() {
  # Fails harmlessly when the server already runs.
  "$run" --server -p </dev/null >>"$log" 2>&1 || true
}

# On the first free display from 90 up; given by wine-run.sh to tests that
# set SETUP_WINE_DISPLAY=1.
display_file="$root/xvfb.display"
start_display() {
  stop_display
  local n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  # In a session of its own: ctest ends the fixture's process group with it.
  setsid Xvfb ":$n" -nolisten tcp -screen 0 1280x1024x24 </dev/null >>"$root/xvfb.log" 2>&1 &
  echo $! >"$root/xvfb.pid"
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
  done
  echo "$n" >"$display_file"
}
stop_display() {
  if [ -f "$root/xvfb.pid" ]; then
    kill "$(cat "$root/xvfb.pid")" 2>/dev/null || true
    rm -f "$root/xvfb.pid"
  fi
  rm -f "$display_file"
}

case "${1:-}" in
  setup)
    # The display comes first, for the fixture's own wine calls too: whatever
    # starts Wine's desktop process (wineboot does) binds it to its display
    # for the server's life, and without one no window can be created.
    start_display
    export SETUP_WINE_DISPLAY=1
    if [ ! -f "$stamp" ] || [ ! -d "$prefix" ]; then
      # A half-made prefix (an interrupted run) is made anew.
      "$run" --server -k </dev/null >>"$log" 2>&1 || true
      rm -rf "$prefix" "$stamp"
      mkdir -p "$prefix"
      start_server
      start=$SECONDS
      "$run" --64 wineboot -i </dev/null >>"$log" 2>&1
      touch "$stamp"
      echo "wine prefix created in $((SECONDS - start)) s: $prefix"
    else
      start_server
    fi
    # Fail here, not in every test, when wine cannot run at all.
    "$run" --64 cmd /c exit 0 </dev/null >>"$log" 2>&1 || {
      echo "wine cannot run programs in $prefix; see $log" >&2
      exit 1
    }
    # 32-bit programs need wine's 32-bit loader (only the 32-bit build's
    # tests do), an i386 Linux program that a kernel without 32-bit support
    # runs only through a qemu-i386 binfmt handler, a minute or more a start.
    if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
      echo "note: wine's 32-bit loader cannot run on this machine; 32-bit programs will not start"
    fi
    if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
      echo "note: i386 programs run under qemu-i386 here; each 32-bit test process is slow"
    fi
    ;;
  cleanup)
    "$run" --server -k </dev/null >>"$log" 2>&1 || true
    stop_display
    ;;
  *)
    echo "usage: $0 setup|cleanup" >&2
    exit 2
    ;;
esac
