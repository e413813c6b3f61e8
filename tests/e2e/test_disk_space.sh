#!/usr/bin/env bash
# The target's drive (Q:, a small tmpfs): a tree larger than its free space is refused before
# anything is written or run, silently with exit 2 and interactively with a box that names
# both figures, after which the user chooses again; a drive that [prepare] fills lets the
# write fail (exit 3) with the older file it would have replaced intact and nothing after the
# tree run.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin space
title="Disk Space E2E"
drive="$scratch/drive" letter="$SETUP_WINE_ROOT/wineprefix/dosdevices/q:"
[ ! -e "$letter" ] || fail "drive Q: is taken in the prefix"
mkdir -p "$drive"
mount -t tmpfs -o size=8m tmpfs "$drive" 2>"$artifacts/mount.txt" ||
  skip "no small drive to fill: $(cat "$artifacts/mount.txt")"
e2e_on_exit "umount '$drive' || umount -l '$drive'"
ln -s "$drive" "$letter"
e2e_on_exit "rm -f '$letter'"
expect_empty_drive() { [ -z "$(ls -A "$drive")" ] || fail "written to Q: $(ls -A "$drive")"; }

note "12 MiB into 8, silently"
head -c 6M /dev/urandom >"$scratch/tree/a.bin"
head -c 6M /dev/urandom >"$scratch/tree/b.bin"
{ e2e_locale "$title" 'Q:\app' && e2e_logging prepare; } >"$scratch/setup.txt"
e2e_build
e2e_run_silent 2 'Q:\app'
expect_empty_drive
[ ! -e "$scratch/order.log" ] || fail "sections ran: $(text_of "$scratch/order.log")"

note "12 MiB into 8, interactively"
e2e_start
e2e_show "$title"
e2e_click_child "$(e2e_child button Start)"
e2e_dialog
[ "$(grep -oE '[0-9]+' <<<"$dialog_text" | wc -l)" -ge 2 ] || fail "the box names no two sizes: $dialog_text"
e2e_answer_dialog
e2e_rects "$title"
expect_controls <<<"start button|button|Start|1"
expect_empty_drive
e2e_close "$title"

note "the drive filled by [prepare]"
rm -rf "$scratch/tree" && mkdir "$scratch/tree" && e2e_make_tree
mkdir -p "$drive/app/docs/deep"
head -c 100000 /dev/urandom | tee "$scratch/older.bin" >"$drive/app/docs/deep/blob.bin"
e2e_order_script "$title" 'Q:\unused' "\"$probe_win\" fill Q:\\filler 99999999 >$scratch_win\\fill.txt"
e2e_run_silent 3 'Q:\app'
cmp -s "$scratch/older.bin" "$drive/app/docs/deep/blob.bin" || fail "the older blob.bin was lost"
expect_log "prepare"$'\n''prepare cd=Q:\app'
[ ! -e "$drive/app/uninstall.bat" ] || fail "[uninstall] ran"
key="HKEY_CURRENT_USER\\Software\\$scratch_name"
! "$wine_run" --64 reg query "$key" >/dev/null 2>&1 || fail "[register] ran"
echo "PASS"
