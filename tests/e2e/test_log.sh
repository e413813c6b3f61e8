#!/usr/bin/env bash
# /LOG=FILE, its FILE with blanks in quotes: a silent install into a quoted "/D=" with a blank
# logs the program with its command line, locale and scope, target, each file (a UTF-8 name
# too), value, shortcut and batch, [run] skipped (nothing started), and the exit code and a time
# without pauses; a file whose place a folder takes (/D= unquoted, last) with its reason, a
# target that cannot be made, an unknown switch and a damaged package. [register] lands in the
# stub's registry view and [register64] in the 64-bit one, also with the real 32-bit stub.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin log
key="HKEY_LOCAL_MACHINE\\Software\\$scratch_name"
forget_key() {
  for view in 32 64; do "$wine_run" --64 reg delete "$key" /f /reg:$view >/dev/null 2>&1 || true; done
}
e2e_on_exit forget_key
mkdir -p "$scratch/tree/docs" "$scratch/log dir"
printf 'readme\r\n' >"$scratch/tree/readme.txt"
printf 'Grüße\r\n' >"$scratch/tree/docs/grüße.txt"
cp "$SETUP_WIN_PROBE" "$scratch/tree/probe.exe"
{
  e2e_locale "Log E2E" "$scratch_win\\unused"
  printf '[register]\n%s\\Plain=plain\n[register64]\n%s\\Wide=DWORD:28\n' "$key" "$key"
  printf '[shortcuts]\ne2e.lnk=readme.txt;Read me\n'
  e2e_logging install
  printf '[run]\nprobe.exe record=%s\\ran.log\n' "$scratch_win"
} >"$scratch/setup.txt"
e2e_build
version=$(sed -n 's/^project(setup VERSION \([0-9.]*\).*/\1/p' "$e2e_dir/../../CMakeLists.txt")
bits() { # PE: 64 or 32, by the machine its header names
  local pe
  pe=$(od -An -tu4 -j 60 -N4 "$1")
  if [ "$(od -An -tx2 -j $((pe + 4)) -N2 "$1" | tr -d ' ')" = 8664 ]; then echo 64; else echo 32; fi
}
# run_logged CODE ARGS: the setup with the command line "SETUP ARGS" as a user types it (Wine
# would quote a word with blanks whole), silently.
run_logged() { setup_exe="$scratch/probe.exe" e2e_run_silent "$1" exec "\"$scratch_win\\$setup_name\" $2"; }
first_line() { echo "setup $version ($(bits "$scratch/stub.exe")-bit): $scratch_win\\$setup_name $1"; } # ARGS
view() { e2e_reg_values "$key" "/reg:$1" | tr '\n' ';'; }
expect_views() { # BITS of the stub that installed: [register] in its view, [register64] in the 64-bit one
  local plain="Plain REG_SZ plain;" wide="Wide REG_DWORD 0x28;"
  if [ "$1" = 64 ]; then set -- "" "$plain$wide"; else set -- "$plain" "$wide"; fi
  expect_eq "32-bit view" "$1" "$(view 32)"
  expect_eq "64-bit view" "$2" "$(view 64)"
}

note "a silent install"
args="/S /LOG=\"$scratch_win\\log dir\\install log.txt\" \"/D=$scratch_win\\app dir\""
run_logged 0 "$args"
expect_eq "log" "$(first_line "$args")
locale variant: (the plain sections); scope: machine
target: $scratch_win\\app dir
file docs\\grüße.txt
file probe.exe
file readme.txt
register $key\\Plain=plain: set
register64 $key\\Wide=DWORD:28: set
shortcut e2e.lnk: made
batch install.bat: ran, exit code 0
run: skipped (/S)
exit code 0 after T s" "$(e2e_install_log "$scratch/log dir/install log.txt")"
seconds=$(tail -1 "$scratch/log dir/install log.txt" | sed -E 's/.* after ([0-9.]+) s.*/\1/')
[ "$(echo "$seconds < 2" | bc)" = 1 ] || fail "/S took $seconds s: it waited as the plain form does"
expect_views "$(bits "$scratch/stub.exe")"
sleep 1
[ ! -e "$scratch/ran.log" ] || fail "/S started [run]'s program"

note "a file that cannot be written"
mkdir -p "$scratch/stuck dir/readme.txt"
run_logged 3 "/S /LOG=$scratch_win\\stuck.log /D=$scratch_win\\stuck dir"
log=$(e2e_install_log "$scratch/stuck.log")
grep -qxF 'file readme.txt: failed: the file could not be created' <<<"$log" || fail "no reason for readme.txt: $log"
grep -qxF 'file docs\grüße.txt' <<<"$log" || fail "the file that was written is not logged: $log"
expect_eq "last line" "exit code 3 after T s" "${log##*$'\n'}"

note "a target that cannot be made"
printf 'a file\n' >"$scratch/afile"
args="/S /LOG=$scratch_win\\refused.log /D=$scratch_win\\afile\\app"
run_logged 2 "$args"
expect_eq "log" "$(first_line "$args")
locale variant: (the plain sections); scope: machine
target refused: The target directory cannot be used. Please choose another one.
exit code 2 after T s" "$(e2e_install_log "$scratch/refused.log")"

note "an unknown switch"
args="/S /LOG=$scratch_win\\switch.log /X"
run_logged 2 "$args"
expect_eq "log" "$(first_line "$args")
switch refused: /X
exit code 2 after T s" "$(e2e_install_log "$scratch/switch.log")"

note "the real 32-bit stub"
stub32="$e2e_dir/../../build/bin/setup-stub.exe"
if [ "$(bits "$SETUP_STUB")" = 32 ] || ! "$e2e_dir/../../scripts/native-i386.sh" || [ ! -f "$stub32" ]; then
  echo "-- skipped: the stub is the 32-bit one, 32-bit programs do not run natively, or $stub32 is not built"
else
  cp "$stub32" "$scratch/stub.exe"
  e2e_build
  forget_key
  run_logged 0 "/S /LOG=$scratch_win\\32.log /D=$scratch_win\\app32"
  grep -q '^setup .* (32-bit): ' "$scratch/32.log" || fail "not the 32-bit stub: $(head -1 "$scratch/32.log")"
  expect_views 32
fi

note "a damaged package"
e2e_flip "$setup_exe" $(($(stat -c %s "$setup_exe") - 1))
args="/S /LOG=$scratch_win\\damaged.log"
run_logged 1 "$args"
expect_eq "log" "$(first_line "$args")
package: damaged
exit code 1 after T s" "$(e2e_install_log "$scratch/damaged.log")"
echo "PASS"
