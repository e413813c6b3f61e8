#!/usr/bin/env bash
# A silent install (a target on the command line): every section in its place and order, the
# files with their times, registry values, the shortcut, uninstall.bat left unrun, the [run]
# program started, exit code 0, and no window ever visible; a cmd.exe planted beside the setup
# (the current folder) and in the target never runs, and a path past MAX_PATH installs. Then
# a relative target, made absolute against the current directory, and a drive root, where
# every batch runs at the root.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin silent
e2e_make_tree
# With the target's folder in front, over 300 units.
long_file="long/$(printf 'd%.0s' $(seq 200))/$(printf 'f%.0s' $(seq 80)).txt"
mkdir -p "$(dirname "$scratch/tree/$long_file")"
printf 'far down\n' >"$scratch/tree/$long_file"
e2e_order_script "Silent E2E Setup" 'C:\never\used' "" "" "Never shown"

target="$scratch_win\\app"
mkdir -p "$scratch/app"
cp "$scratch/probe.exe" "$scratch/app/cmd.exe"
cp "$scratch/probe.exe" "$scratch/cmd.exe"
e2e_run_silent 0 "$target"
e2e_check_installed "$target"
for planted in "$scratch/planted.log" "$scratch/app/planted.log"; do
  [ ! -e "$planted" ] || fail "a planted cmd.exe ran: $(text_of "$planted")"
done
cmp -s "$scratch/tree/$long_file" "$scratch/app/$long_file" || fail "the long path is missing"
[ ! -e "$(e2e_unix_path 'C:\never\used')" ] || fail "line 3's directory was used"
e2e_read_dump bin
expect_eq "window visible during [bin_64]" 0 "$win_visible"

note "relative target"
e2e_forget_install
E2E_CWD="$scratch" e2e_run_silent 0 rel
e2e_check_installed "$scratch_win\\rel"

note "a drive root, with the current directory elsewhere on that drive"
letter=""
for candidate in r s t u v w x y; do
  [ -e "$SETUP_WINE_ROOT/wineprefix/dosdevices/$candidate:" ] || { letter=$candidate; break; }
done
[ -n "$letter" ] || fail "no spare drive letter in the prefix"
drive=${letter^^}:
mkdir -p "$scratch/root/elsewhere"
ln -s "$scratch/root" "$SETUP_WINE_ROOT/wineprefix/dosdevices/$letter:"
e2e_on_exit "rm -f '$SETUP_WINE_ROOT/wineprefix/dosdevices/$letter:'"
e2e_forget_install
E2E_CWD="$scratch/root/elsewhere" e2e_run_silent 0 "$drive\\"
e2e_check_order "$drive" "$drive\\"
cmp -s "$scratch/tree/readme.txt" "$scratch/root/readme.txt" || fail "readme.txt is not at the root"
e2e_check_shortcut "$drive" "$drive"
left=$(cd "$scratch/root" && find . -name '*.bat' ! -path ./uninstall.bat)
[ -z "$left" ] || fail "batch files left behind: $left"
[ -f "$scratch/root/uninstall.bat" ] || fail "uninstall.bat is not at the root"
echo "PASS"
