#!/usr/bin/env bash
# An install in which an entry could not be written, or was skipped as unsafe, runs to its end
# but exits 3: a file whose place a folder takes (silent), a folder of the tree that is a
# symbolic link in the target (silent; never followed), and an index that names a folder ".."
# (automatic start, the interactive path, whose last box lists it), which must not write outside.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin incomplete
tree="$scratch/tree"
mkdir -p "$tree/docs" "$tree/zq"
printf 'readme\n' >"$tree/readme.txt"
printf 'notes\n' >"$tree/docs/notes.txt"
printf 'must stay inside\n' >"$tree/zq/escape.txt"
printf 'last\n' >"$tree/zz-last.txt"
script() { { e2e_locale "Incomplete E2E" "$1" && e2e_logging install && printf '[uninstall]\necho uninstall\n'; } >"$scratch/setup.txt"; }
expect_rest_installed() { # DIR
  cmp -s "$tree/docs/notes.txt" "$1/docs/notes.txt" || fail "docs\\notes.txt not installed"
  cmp -s "$tree/zz-last.txt" "$1/zz-last.txt" || fail "the entry after the failed one not installed"
  [ -f "$1/uninstall.bat" ] || fail "uninstall.bat missing"
  expect_log install
}

note "a file that cannot be written, silently"
script "$scratch_win\\unused"
e2e_build
mkdir -p "$scratch/app/readme.txt"
e2e_run_silent 3 "$scratch_win\\app"
expect_rest_installed "$scratch/app"
[ -d "$scratch/app/readme.txt" ] || fail "the folder in the file's place is gone"

note "a folder of the tree that is a link in the target, silently"
rm -f "$scratch/order.log"
mkdir -p "$scratch/linked" "$scratch/outside"
ln -s "$scratch/outside" "$scratch/linked/docs"
e2e_run_silent 3 "$scratch_win\\linked"
[ -z "$(ls -A "$scratch/outside")" ] || fail "written through the link: $(ls -A "$scratch/outside")"
cmp -s "$tree/zz-last.txt" "$scratch/linked/zz-last.txt" || fail "the rest was not installed"

note "an unsafe name in the index, automatic start"
rm -rf "$scratch/order.log" "$scratch/app" "$scratch/linked"
script "$scratch_win\\auto,1"
E2E_BUILD=--store e2e_build
# The folder "zq" renamed ".." in the stored index.
e2e_edit_package 'at = data.find(b"\x01zq\x00", stub)
assert at > 0 and data.find(b"\x01zq\x00", at + 1) < 0, "the folder entry is not unique"
data[at + 1:at + 3] = b".."'
e2e_start
e2e_dialog # the end of an install with the window lists what it left out
expect_eq summary 'These files could not be installed:\n    ..' "$dialog_text"
e2e_answer_dialog
e2e_wait_exit 3
expect_rest_installed "$scratch/auto"
escaped=$(find "$drive_c" -name escape.txt -not -path "$tree/*")
[ -z "$escaped" ] || fail "the unsafe entry was written: $escaped"
echo "PASS"
