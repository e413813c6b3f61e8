#!/usr/bin/env bash
# The main job on a fresh machine: install what is needed, build the tools
# and the stub, build the demo setup program from examples/demo, install it
# silently under Wine into a scratch prefix, show what it installed, and take
# a screenshot of its window.
#
# The shipped stub is 32-bit. Where this machine cannot run 32-bit programs
# natively (scripts/native-i386.sh), the demo runs the same setup built
# around the stub's 64-bit twin, from the same sources; build/demo/setup.exe
# is the shipped one either way.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/setup.sh
for preset in native win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
if scripts/native-i386.sh; then
  arch_build=build/win32
  stub=build/bin/setup-stub.exe
else
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 --target setup-stub win_probe
  arch_build=build/win64
  stub=build/win64/bin/setup-stub.exe
fi
probe_exe=$arch_build/tests/e2e/win_probe.exe

out=build/demo
mkdir -p "$out"
build/bin/mksetup check --script examples/demo/setup.txt --tree examples/demo/files
build/bin/mksetup build --quiet --script examples/demo/setup.txt --tree examples/demo/files \
  -o "$out/setup.exe"
build/bin/mksetup verify "$out/setup.exe"
ls -l build/bin/setup-stub.exe "$out/setup.exe"

# A scratch prefix of the demo's own, with a display for the window.
export SETUP_WINE_ROOT=$root/$out/wine
export SETUP_WINE_DISPLAY=1
mkdir -p "$SETUP_WINE_ROOT"
tests/win/wine-fixture.sh setup
trap 'tests/win/wine-fixture.sh cleanup' EXIT
DISPLAY=":$(cat "$SETUP_WINE_ROOT/xvfb.display")"
export DISPLAY
drive_c=$SETUP_WINE_ROOT/wineprefix/drive_c
wine_run=tests/win/wine-run.sh

build/bin/mksetup build --quiet --stub "$stub" --script examples/demo/setup.txt \
  --tree examples/demo/files -o "$drive_c/demo-setup.exe"
cp "$probe_exe" "$drive_c/win_probe.exe"
target_unix="$drive_c/Program Files/Demo"
rm -rf "$target_unix"

echo
echo "== Silent install: setup.exe \"C:\\Program Files\\Demo\" ($(basename "$stub") $(
  [ "$stub" = build/bin/setup-stub.exe ] && echo 32-bit || echo 64-bit twin))"
status=0
"$wine_run" "$drive_c/demo-setup.exe" 'C:\Program Files\Demo' || status=$?
echo "exit code $status"
sleep 1  # [run] starts hello.bat without waiting for it

echo
echo "== Files in C:\\Program Files\\Demo"
(cd "$target_unix" && find . -mindepth 1 | LC_ALL=C sort | while IFS= read -r path; do
  if [ -d "$path" ]; then
    printf '  %-28s folder\n' "${path#./}"
  else
    printf '  %-28s %8d bytes  %s\n' "${path#./}" "$(stat -c %s "$path")" \
      "$(date -u -r "$path" '+%Y-%m-%d %H:%M:%S UTC')"
  fi
done)

echo
echo "== Registry: HKEY_CURRENT_USER\\Software\\Demo"
"$wine_run" --64 reg query 'HKCU\Software\Demo' | tr -d '\r' | sed -n 's/^ \+/  /p'

echo
echo "== Shortcuts"
for link in 'C:\Program Files\Demo\Demo Readme.lnk' 'C:\users\Public\Desktop\Demo Readme.lnk'; do
  echo "  $link"
  "$wine_run" "$drive_c/win_probe.exe" lnk "$link" | tr -d '\r' | sed 's/^/    /' ||
    echo "    (missing)"
done

for log in setup.log bin/hello.log; do
  echo
  echo "== $log"
  tr -d '\r' <"$target_unix/$log" | sed 's/^/  /'
done
echo
echo "== uninstall.bat (left for the uninstall, not run)"
tr -d '\r' <"$target_unix/uninstall.bat" | sed 's/^/  /'

# The window of an interactive start, photographed, then closed.
"$wine_run" "$drive_c/demo-setup.exe" &
setup_pid=$!
window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Demo Setup$' | head -1)
sleep 1  # let it paint
eval "$(xdotool getwindowgeometry --shell "$window")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/setup-window.png"
"$wine_run" "$drive_c/win_probe.exe" post 'Demo Setup' close >/dev/null || kill "$setup_pid"
wait "$setup_pid" || true
echo
echo "== Screenshot of the setup window: $out/setup-window.png (${WIDTH}x${HEIGHT})"
exit "$status"
