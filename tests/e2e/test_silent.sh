#!/usr/bin/env bash
# A silent install (a target on the command line): every section in its
# place and order, the files with their times, registry values, the shortcut,
# uninstall.bat left unrun, the [run] program started, exit code 0, and no
# window ever visible. Then a relative target, made absolute against the
# current directory.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin silent

title="Silent E2E Setup"
e2e_make_tree
e2e_order_script "$title
Never shown
C:\\never\\used
Start
Busy
Copying
pic\\back.png" "$title"
e2e_build

target="$scratch_win\\app"
e2e_run_silent "$target"
expect_eq "exit code of the silent install" 0 "$setup_rc"
e2e_check_order "$target"
e2e_check_installed "$target"
[ ! -e "$(e2e_unix_path 'C:\never\used')" ] || fail "line 3's directory was used"

e2e_read_window "$(text_of "$scratch/bin-window.txt")" || fail "no setup window during [bin_64]"
expect_eq "window visible during [bin_64]" 0 "$win_visible"

note "relative target"
e2e_forget_install
E2E_CWD="$scratch" e2e_run_silent rel
expect_eq "exit code with a relative target" 0 "$setup_rc"
e2e_check_order "$scratch_win\\rel"
e2e_check_installed "$scratch_win\\rel"
echo "PASS"
