#!/usr/bin/env bash
# What does not go, or does not start: an unknown switch is answered in a box and refused with
# exit 2 before anything is made; a damaged setup with /S exits 1 and shows nothing; a setup
# without [product] leaves no uninstaller and no entry. The uninstaller asks with the product's
# question and caption, refuses a second start meanwhile, and "No" leaves everything (exit 2);
# a silent uninstall that cannot remove a file held open leaves it, itself and the entry (exit
# 3), and a second one, the file free, finishes. Installed again into another folder, the
# product moves there: the first folder's files go but for one held open, whose uninstaller
# stays, and that uninstaller, run later, leaves the entry of the second folder alone; the
# first folder keeps no shortcut the install made in it, only the user's own file.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin refusals
id="E2E.Refusals.$$" app="$scratch_win\\app"
e2e_product "$id"
mkdir -p "$scratch/tree/docs"
printf 'readme\r\n' >"$scratch/tree/readme.txt"
printf 'held\r\n' >"$scratch/tree/docs/held.txt"
e2e_locale "Refusals E2E" "$scratch_win\\default" >"$scratch/setup.txt"
e2e_build
cp "$setup_exe" "$scratch/plain.exe"
printf '[product]\nId=%s\nName=Refused App\nRemovePrompt=Take {name} out of {folder}?\n' "$id" \
  >>"$scratch/setup.txt"
printf '[shortcuts]\napp.lnk=readme.txt\n' >>"$scratch/setup.txt"
e2e_build
uninstall_list() { "$wine_run" --64 reg query "${entry_key%\\*}" "$entry_view" 2>&1 | tr -d '\r'; }
entries=$(uninstall_list)

note "an unknown switch"
e2e_start /X
e2e_dialog
grep -qF /X <<<"$dialog_text" || fail "the box does not name /X: $dialog_text"
e2e_answer_dialog
e2e_wait_exit 2 20
[ ! -e "$scratch/default" ] || fail "a refused start made its folder"

note "damaged, silent"
cp "$setup_exe" "$scratch/good.exe"
e2e_flip "$setup_exe" $(($(stat -c %s "$setup_exe") - 1))
e2e_run_silent 1 /S
[ ! -e "$scratch/default" ] || fail "a damaged setup made its folder"

note "without [product]"
cp "$scratch/plain.exe" "$setup_exe"
e2e_run_silent 0 /S "/D=$scratch_win\\plain"
cmp -s "$scratch/tree/readme.txt" "$scratch/plain/readme.txt" || fail "the plain setup did not install"
[ ! -e "$scratch/plain/uninstall.exe" ] || fail "a setup without [product] brought an uninstaller"
expect_eq "installed programs" "$entries" "$(uninstall_list)"

note "the uninstaller's question, answered No"
cp "$scratch/good.exe" "$setup_exe"
e2e_run_silent 0 /S "/D=$app"
setup_exe="$scratch/app/uninstall.exe" setup_name=uninstall.exe
e2e_start
e2e_dialog
expect_eq "caption" "Refused App" "$dialog_title"
expect_eq "question" "Take Refused App out of $app?" "$dialog_text"
first_pid=$setup_pid
e2e_start /S
e2e_wait_exit 1 20
setup_pid=$first_pid
e2e_click_child "$(e2e_child button No)"
e2e_wait_exit 2 20
for file in readme.txt docs/held.txt uninstall.exe; do
  [ -f "$scratch/app/$file" ] || fail "$file went with the answer No"
done
version=$(e2e_entry_value DisplayName)
expect_eq "entry after No" "Refused App" "$version"

note "a file held open"
"$wine_run" "$scratch/probe.exe" lock "$app\\docs\\held.txt" 60000 >"$artifacts/lock.txt" 2>&1 &
lock_pid=$!
e2e_poll 100 grep -qs '^locked' "$artifacts/lock.txt" || fail "cannot hold the file: $(cat "$artifacts/lock.txt")"
e2e_quiet_uninstall 3
{ kill "$lock_pid" && wait "$lock_pid"; } 2>/dev/null || true
left() { (cd "$scratch/app" 2>/dev/null && find . -mindepth 1 | sed 's|^\./||' | sort | xargs); }
expect_eq "left in the folder" "docs docs/held.txt uninstall.exe" "$(left)"
expect_eq "entry kept to finish with" "Refused App" "$(e2e_entry_value DisplayName)"
note "uninstalling again, the file free"
e2e_quiet_uninstall 0
expect_eq "left in the folder" "" "$(left)"
expect_eq "entry" "" "$(e2e_entry_value DisplayName)"

note "moved to another folder while a file of the first is held"
setup_exe="$scratch/good.exe" setup_name=good.exe
e2e_run_silent 0 /S "/D=$app"
"$wine_run" "$scratch/probe.exe" lock "$app\\docs\\held.txt" 60000 >"$artifacts/lock.txt" 2>&1 &
lock_pid=$!
e2e_poll 100 grep -qs '^locked' "$artifacts/lock.txt" || fail "cannot hold the file: $(cat "$artifacts/lock.txt")"
printf 'mine\r\n' >"$scratch/app/user.txt"
e2e_run_silent 0 /S "/D=$app-2"
{ kill "$lock_pid" && wait "$lock_pid"; } 2>/dev/null || true
expect_eq "left in the first folder" "docs docs/held.txt uninstall.exe user.txt" "$(left)"
second_link() { # the second install's shortcut, left alone
  expect_eq "shortcut" "target=$app-2\\readme.txt" "$(probe lnk "$app-2\\app.lnk" | head -1)"
}
second_link
cmp -s "$scratch/tree/readme.txt" "$scratch/app-2/readme.txt" || fail "the second folder holds no install"
expect_eq "entry's folder" "$app-2" "$(e2e_entry_value InstallLocation)"
note "the first folder's uninstaller"
setup_exe="$scratch/app/uninstall.exe" setup_name=uninstall.exe
e2e_run_silent 0 /S
expect_eq "left in the first folder" user.txt "$(left)"
second_link
expect_eq "entry's folder" "$app-2" "$(e2e_entry_value InstallLocation)"
e2e_quiet_uninstall 0
expect_eq "entry" "" "$(e2e_entry_value DisplayName)"
[ ! -e "$scratch/app-2" ] || fail "the second folder is left: $(find "$scratch/app-2")"
echo "PASS"
