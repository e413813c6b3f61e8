#!/usr/bin/env bash
# The main job on a fresh machine: install what is needed, build the tools
# and the stub, build the demo setup program from examples/demo and follow
# an application's life under Wine in a scratch prefix: a silent install
# (what it wrote, its entry among the installed programs), a file of the
# user's, an upgrade to a version 2 that drops a file, the uninstall and
# what it leaves; last, a screenshot of the setup's window.
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

# build_setup SCRIPT TREE OUT: the setup the installs run, on the stub this machine runs.
build_setup() { build/bin/mksetup build --quiet --stub "$stub" --script "$1" --tree "$2" -o "$3"; }
build_setup examples/demo/setup.txt examples/demo/files "$drive_c/demo-setup.exe"
# Version 2: another version number, and docs/changelog.txt dropped.
rm -rf "$out/v2" && mkdir -p "$out/v2" && cp -a examples/demo/files "$out/v2/files"
rm "$out/v2/files/docs/changelog.txt"
sed 's/^Version=1\.0$/Version=2.0/' examples/demo/setup.txt >"$out/v2/setup.txt"
build_setup "$out/v2/setup.txt" "$out/v2/files" "$drive_c/demo-setup-2.exe"
cp "$probe_exe" "$drive_c/win_probe.exe"
target_unix="$drive_c/Program Files/Demo"
rm -rf "$target_unix"
# The entry is where Windows keeps the entries of programs of the stub's bitness.
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Setup.Demo'
view=/reg:64
[ "$stub" != build/bin/setup-stub.exe ] || view=/reg:32

# show_files: the install folder's files with their sizes and times.
show_files() {
  echo
  echo "== Files in C:\\Program Files\\Demo${1:-}"
  [ -d "$target_unix" ] || { echo "  (no folder)"; return; }
  (cd "$target_unix" && find . -mindepth 1 | LC_ALL=C sort | while IFS= read -r path; do
    if [ -d "$path" ]; then
      printf '  %-28s folder\n' "${path#./}"
    else
      printf '  %-28s %8d bytes  %s\n' "${path#./}" "$(stat -c %s "$path")" \
        "$(date -u -r "$path" '+%Y-%m-%d %H:%M:%S UTC')"
    fi
  done)
}
# show_key TITLE KEY [VIEW]: the values of a registry key, or that it is gone.
show_key() {
  echo
  echo "== $1"
  "$wine_run" --64 reg query "$2" "${@:3}" 2>/dev/null | tr -d '\r' | sed -n 's/^ \+/  /p' |
    grep . || echo "  (no such key)"
}
# run_setup TITLE PROGRAM ARGS...: runs it and says its exit code (0 when all went well).
status=0
run_setup() {
  echo
  echo "== $1"
  local code=0
  "$wine_run" "${@:2}" || code=$?
  echo "exit code $code"
  [ "$code" = 0 ] || status=$code
  sleep 1  # [run] starts hello.bat without waiting for it
}

run_setup "Silent install: setup.exe \"C:\\Program Files\\Demo\" ($(basename "$stub") $(
  [ "$stub" = build/bin/setup-stub.exe ] && echo 32-bit || echo 64-bit twin))" \
  "$drive_c/demo-setup.exe" 'C:\Program Files\Demo'
show_files
show_key 'Registry: HKEY_CURRENT_USER\Software\Demo' 'HKCU\Software\Demo'
show_key "Apps & Features: $entry" "$entry" "$view"

links=('C:\Program Files\Demo\Demo Readme.lnk' 'C:\users\Public\Desktop\Demo Readme.lnk')
echo
echo "== Shortcuts"
for link in "${links[@]}"; do
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
echo "== uninstall.bat (run by uninstall.exe before it removes the install)"
tr -d '\r' <"$target_unix/uninstall.bat" | sed 's/^/  /'

printf 'My own notes, kept by upgrades and the uninstall.\r\n' >"$target_unix/my notes.txt"
echo
echo "== The user writes C:\\Program Files\\Demo\\my notes.txt"
run_setup "Upgrade to version 2 (docs\\changelog.txt dropped): demo-setup-2.exe /S" \
  "$drive_c/demo-setup-2.exe" /S
show_files " after the upgrade"
show_key "Apps & Features: DisplayVersion" "$entry" /v DisplayVersion "$view"

run_setup "Uninstall: \"C:\\Program Files\\Demo\\uninstall.exe\" /S (the entry's QuietUninstallString)" \
  "$target_unix/uninstall.exe" /S
show_files " after the uninstall"
show_key 'Registry: HKEY_CURRENT_USER\Software\Demo' 'HKCU\Software\Demo'
show_key "Apps & Features: $entry" "$entry" "$view"
echo
echo "== Shortcuts after the uninstall"
for link in "${links[@]}"; do
  path=${link#C:\\} && path=$drive_c/${path//\\//}
  if [ -e "$path" ]; then echo "  $link is left"; else echo "  $link is gone"; fi
done

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
