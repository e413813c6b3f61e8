#!/usr/bin/env bash
# The mode character after line 3's comma. ",1": only picture and prompt are shown and the
# install starts by itself (a second comma belongs to the mode's tail, not to the folder).
# ",0": the field shows the folder but is disabled, there is no "..." button, and "Start"
# installs there. With a target on the command line both give a silent install into that
# target; with ",1" the silent start's 2 s timer replaces the automatic 0.5 s one.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin modes
title="Modes E2E"
e2e_make_tree

note "automatic mode"
# [prepare] holds the install until the window has been read: a fast install would hide it.
e2e_order_script "$title" "$scratch_win\\auto,1,0" ":hold
if not exist $scratch_win\\read ( \"$probe_win\" sleep 100 & goto hold )"
e2e_start
e2e_show "$title"
# Before the start or already in progress mode: the same controls are hidden.
expect_controls <<EOT
picture|picture||1
prompt|static||1
target field|edit||0
browse button|button|...|0
EOT
expect_eq "visible buttons" "" "$(for i in "${!c_class[@]}"; do
  [ "${c_class[$i],,}" = button ] && [ "${c_vis[$i]}" = 1 ] && echo "${c_text[$i]}"
done)"
: >"$scratch/read"
e2e_wait_exit 0
e2e_check_installed "$scratch_win\\auto"

note "a command-line target with mode 1"
e2e_forget_install
rm -rf "$scratch/auto"
# The log appears when [prepare] runs; a watcher notes when.
(e2e_poll 600 test -e "$scratch/order.log" && date +%s.%N >"$artifacts/prepare-seen") &
watcher=$!
e2e_run_silent 0 "$scratch_win\\given"
wait "$watcher" || fail "[prepare] never ran"
delay=$(echo "$(cat "$artifacts/prepare-seen") - $setup_started" | bc)
echo "-- [prepare] ran $delay s after the start"
[ "$(echo "$delay >= 1.9" | bc)" = 1 ] || fail "the install began $delay s after the start, before the 2 s timer"
e2e_check_installed "$scratch_win\\given"
[ ! -e "$scratch/auto" ] || fail "line 3's folder was used"

note "fixed mode"
e2e_forget_install
e2e_order_script "$title" "$scratch_win\\fixed,0"
e2e_start
e2e_show "$title"
edit=$(e2e_child edit)
expect_eq "fixed target" "$scratch_win\\fixed" "${c_text[$edit]}"
expect_eq "target field enabled" 0 "${c_en[$edit]}"
expect_controls <<EOT
target field|edit||1
browse button|button|...|0
start button|button|Start|1
EOT
e2e_click_child "$(e2e_child button Start)"
e2e_wait_exit 0
e2e_check_installed "$scratch_win\\fixed"

note "a command-line target with mode 0"
e2e_forget_install
e2e_run_silent 0 "$scratch_win\\given0"
e2e_check_order "$scratch_win\\given0"
echo "PASS"
