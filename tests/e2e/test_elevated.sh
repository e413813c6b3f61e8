#!/usr/bin/env bash
# An elevated install into a folder every user may write: another user who rewrites, replaces
# or deletes a batch file while it runs never gets a line of his run; the folders a per-machine
# install makes get Program Files' protection (an existing one keeps its own); a /LOG= file
# that is a link, another name of a file or in a linked folder is refused and its target keeps
# its bytes; a second setup of the same product waits for the first (/WAIT= bounds a silent
# wait, then exit 1618), interactively in a box that says so, whose Cancel ends it (1618) and
# which goes away by itself when the first ends; so does the product's uninstaller.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin elevated
printf 'readme\r\n' >"$scratch/tree/readme.txt"
owned="$scratch_win\\owned.txt"
{
  e2e_locale "Elevated E2E" "$scratch_win\\unused"
  printf '[product]\nId=E2E.Elevated.%s\nName=Elevated E2E\n' "$$"
  # [prepare] waits as long as hold.txt is there.
  printf '[prepare]\necho start>>%s\\order.log\n"%s" sleep 1000\n:hold\n' "$scratch_win" "$probe_win"
  printf 'if not exist %s\\hold.txt goto held\n"%s" sleep 100\ngoto hold\n:held\n' "$scratch_win" "$probe_win"
  printf 'echo.>%s\\prepare.ran\n' "$scratch_win"
  printf '[install]\n"%s" sleep 1000\necho end>>%s\\order.log\necho.>%s\\install.ran\n' \
    "$probe_win" "$scratch_win" "$scratch_win"
} >"$scratch/setup.txt"
e2e_build
e2e_product "E2E.Elevated.$$"
built=$setup_exe
# first_setup: the setup, silently into shared, held in [prepare] until hold.txt goes.
first_setup() {
  rm -f "$scratch/order.log"
  touch "$scratch/hold.txt"
  setup_exe=$built && e2e_start /S "/D=$scratch_win\\shared"
  first_pid=$setup_pid
  e2e_poll 300 grep -qs start "$scratch/order.log" || fail "the first setup did not start"
}

note "batch files rewritten, replaced and deleted while they run"
mkdir -p "$scratch/shared"
tampering=()
for batch in prepare install; do
  probe tamper "$scratch_win\\shared\\$batch.bat" "echo $batch>$owned" "$scratch_win\\$batch.ran" \
    30000 >"$scratch/$batch-tamper.txt" &
  tampering+=($!)
done
e2e_run_silent 0 /S "/LOG=$scratch_win\\run.log" "/D=$scratch_win\\shared"
wait "${tampering[@]}"
expect_eq "tampering" "tampered 0 tampered 0" "$(cat "$scratch/"{prepare,install}-tamper.txt | tr '\t\n\r' '  ' | xargs)"
[ ! -e "$scratch/owned.txt" ] || fail "another user's line ran: $(cat "$scratch/owned.txt")"
expect_eq "batches" "start end" "$(text_of "$scratch/order.log" | xargs)"
grep -q '^batch install.bat: ran, exit code 0' <(text_of "$scratch/run.log") || fail "log: $(cat "$scratch/run.log")"
[ -z "$(find "$scratch/shared" -name '*.bat' ! -name uninstall.bat)" ] || fail "a batch file was left"

note "folders a per-machine install makes are Program Files'; an existing one keeps its own"
e2e_run_silent 0 /S "/D=$scratch_win\\tools\\app"
# Wine keeps of a descriptor only what its mode bits hold: no read for every user, which the
# prefix's folders give.
for folder in tools tools\\app; do
  dacl=$(probe acl "$scratch_win\\$folder")
  [[ $dacl == "D:"* && $dacl != *";;;WD)"* ]] || fail "$folder was made readable by everyone: $dacl"
done
expect_eq "existing target" "$(probe acl "$scratch_win")" "$(probe acl "$scratch_win\\shared")"
[[ $(probe acl "$scratch_win\\shared") == *";;;WD)"* ]] || fail "the prefix's folders are no example"

note "a /LOG= file that is a link, another name of a file, or in a linked folder"
mkdir -p "$scratch/logs" "$scratch/victims/dir"
for victim in sym hard dir/in; do printf 'victim\n' >"$scratch/victims/$victim.log"; done
ln -s "$scratch/victims/sym.log" "$scratch/logs/sym.log"
ln "$scratch/victims/hard.log" "$scratch/logs/hard.log"
ln -s "$scratch/victims/dir" "$scratch/logs/dir"
for log in sym.log hard.log 'dir\in.log'; do
  e2e_run_silent 0 /S "/LOG=$scratch_win\\logs\\$log" "/D=$scratch_win\\shared"
done
expect_eq "the links' targets" "victim victim victim" "$(cat "$scratch/victims/"{sym,hard,dir/in}.log | xargs)"

note "a second setup of the product waits for the first; /WAIT= bounds a silent wait"
cp "$setup_exe" "$scratch/second.exe"
first_setup
second() { "$wine_run" "$scratch/second.exe" /S "$@" "/D=$scratch_win\\shared" </dev/null >/dev/null 2>&1; }
rc=0 && second /WAIT=1 || rc=$?
expect_eq "a second one's exit code after 1 s" $((1618 & 255)) "$rc"
second &
setup_pid=$!
sleep 3
expect_eq "batches while the first holds" "start" "$(text_of "$scratch/order.log" | xargs)"
rm "$scratch/hold.txt"
e2e_wait_exit 0
setup_pid=$first_pid
e2e_wait_exit 0
expect_eq "batches" "start end start end" "$(text_of "$scratch/order.log" | xargs)"

note "an interactive second setup waits in a box: Cancel gives up, or the first ends"
first_setup
for answer in Cancel wait; do
  setup_exe="$scratch/second.exe" setup_name=second.exe
  e2e_start "/D=$scratch_win\\shared"
  e2e_show "Elevated E2E"
  e2e_click_child "$(e2e_child button Start)"
  e2e_dialog
  expect_eq "the box" "Another installation or removal of Elevated E2E is in progress. This one \
goes on by itself once it has ended; Cancel ends it." "$dialog_text"
  [ $answer = Cancel ] || break
  e2e_click_child "$(e2e_child button Cancel)"
  e2e_wait_exit 1618 20
done
rm "$scratch/hold.txt"
e2e_wait_exit 0
setup_pid=$first_pid
e2e_wait_exit 0
expect_eq "batches" "start end start end" "$(text_of "$scratch/order.log" | xargs)"

note "the product's uninstaller waits for a setup"
first_setup
setup_exe="$scratch/shared/uninstall.exe" setup_name=uninstall.exe
e2e_run_silent 1618 /S /WAIT=1
e2e_start /S
sleep 3
kill -0 "$setup_pid" && [ -f "$scratch/shared/readme.txt" ] || fail "the uninstaller did not wait"
rm "$scratch/hold.txt"
uninstaller_pid=$setup_pid setup_pid=$first_pid
# The waiting uninstaller is a running program: Windows lets no one replace its file, and the
# setup says that it could not (its own uninstaller, of the same record, is not in place).
e2e_wait_exit 3
setup_pid=$uninstaller_pid
e2e_wait_exit 0
# (Wine's ReplaceFileW leaves its backup files rf*.tmp where the tampering tried it.)
left=$(find "$scratch/shared" -mindepth 1 ! -name 'rf*.tmp')
expect_eq "left by the uninstall" "" "$left"
expect_eq "entry" "" "$(e2e_entry)"
