#!/usr/bin/env bash
# A file of the tree that another process holds open: silently it keeps its old bytes, the new
# ones wait beside it for a rename at restart and the setup exits 3010; interactively a box
# names the file with Retry and Cancel, and Retry once the file is free installs it.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin locked
title="Locked File E2E"
session='HKLM\System\CurrentControlSet\Control\Session Manager'
renames() { "$wine_run" --64 reg "$1" "$session" /v PendingFileRenameOperations "${@:2}" 2>&1; }
e2e_on_exit "renames delete /f >/dev/null"
mkdir -p "$scratch/tree/docs"
printf 'new bytes\r\n' >"$scratch/tree/docs/held.txt"
printf 'readme\r\n' >"$scratch/tree/readme.txt"
e2e_locale "$title" "$scratch_win\\asked" >"$scratch/setup.txt"
e2e_build
hold() { # DIR: its docs\held.txt with old bytes, held open by a probe
  mkdir -p "$scratch/$1/docs"
  printf 'old bytes\r\n' >"$scratch/$1/docs/held.txt"
  "$wine_run" "$scratch/probe.exe" lock "$scratch_win\\$1\\docs\\held.txt" 60000 \
    >"$artifacts/lock.txt" 2>&1 &
  lock_pid=$!
  e2e_poll 100 grep -qs '^locked' "$artifacts/lock.txt" || fail "cannot hold the file: $(cat "$artifacts/lock.txt")"
}
release() { { kill "$lock_pid" && wait "$lock_pid"; } 2>/dev/null || true; }

note "silently"
hold silent
e2e_run_silent 3010 "$scratch_win\\silent"
release
[ "$(text_of "$scratch/silent/docs/held.txt")" = "old bytes" ] || fail "the held file changed"
pending=$(e2e_temp_files "$scratch/silent/docs" pending)
cmp -s "$scratch/tree/docs/held.txt" "$pending" ||
  fail "no ~setup*.pending with the new bytes: $(ls -A "$scratch/silent/docs")"
pending_renames=$(renames query | tr -d '\r') || true
for name in "$scratch_win\\silent\\docs\\held.txt" "${pending##*/}"; do
  grep -qiF "$name" <<<"$pending_renames" || fail "no rename pending for $name: $pending_renames"
done

note "interactively, Retry once the file is free"
hold asked
e2e_start
e2e_show "$title"
e2e_click_child "$(e2e_child button Start)"
e2e_dialog
grep -qF 'docs\held.txt' <<<"$dialog_text" || fail "the box does not name docs\\held.txt: $dialog_text"
e2e_child button Cancel >/dev/null
release
e2e_click_child "$(e2e_child button Retry)"
sleep 1
! box=$(probe dialog "$setup_name" 3000) ||
  fail "a box after Retry: $(awk -F '\t' '$1 == "title" || tolower($2) == "static" { print $NF }' <<<"$box")"
e2e_wait_exit 0
cmp -s "$scratch/tree/docs/held.txt" "$scratch/asked/docs/held.txt" || fail "no new held.txt in place"
echo "PASS"
