#!/usr/bin/env bash
# Re-entry: a second start of the same file while an install runs exits 1 and the first goes
# on to the end; timer ticks and clicks that reach the window during an install run nothing a
# second time.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin second
title="Second Start E2E"
e2e_make_tree
# [prepare] takes 3 s, which leaves time to interfere.
e2e_order_script "$title" "$scratch_win\\default" "\"$probe_win\" sleep 3000"

note "a second start during a silent install"
e2e_start "$scratch_win\\app"
first_pid=$setup_pid
e2e_poll 200 test -e "$scratch/order.log" || fail "the first start never reached [prepare]"
e2e_start "$scratch_win\\second"
e2e_wait_exit 1 20
kill -0 "$first_pid" 2>/dev/null || fail "the first start ended with the second"
setup_pid=$first_pid
e2e_wait_exit 0
e2e_check_installed "$scratch_win\\app"
[ ! -e "$scratch/second" ] || fail "the second start installed"

note "more triggers during an interactive install"
e2e_forget_install
e2e_start
e2e_show "$title"
e2e_click_child "$(e2e_child button Start)"
e2e_poll 200 test -e "$scratch/order.log" || fail "the install did not start"
# Queued while [prepare] runs; the extraction's pumping dispatches them.
for _ in 1 2; do
  probe post "$title" timer
  probe post "$title" click Working
done
e2e_wait_exit 0
e2e_check_installed "$scratch_win\\default"
echo "PASS"
