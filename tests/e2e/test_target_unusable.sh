#!/usr/bin/env bash
# A target that cannot be used (empty, an invalid name, below a file) is never installed
# around: silently the setup exits 2 showing no window and running nothing; interactively a
# message box says so and the user chooses again, and the next, usable target installs
# normally: a relative one with missing parents, made absolute once against the current
# directory.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin unusable
title="Unusable Target E2E"
e2e_make_tree
e2e_order_script "$title" "$scratch_win\\missing\\deeper"

# Nothing of the package or the sections anywhere but in the payload.
expect_nothing_installed() {
  [ ! -e "$scratch/order.log" ] || fail "$1: sections ran: $(text_of "$scratch/order.log")"
  local stray
  stray=$(find "$scratch" -path "$scratch/tree" -prune -o \( -name readme.txt -o -name '*.bat' \) -print)
  [ -z "$stray" ] || fail "$1: files were written: $stray"
}

for target in "$scratch_win\\bad|name" "$scratch_win\\readme.txt\\"; do
  note "silent, target $target"
  [ "${target##*\\}" = "" ] && printf 'a file\n' >"$scratch/readme.txt"
  e2e_run_silent 2 "$target"
  rm -f "$scratch/readme.txt"
  expect_nothing_installed "$target"
done

note "interactive: an empty target, an invalid name, then a relative one"
mkdir -p "$scratch/cwd"
E2E_CWD="$scratch/cwd" e2e_start
e2e_show "$title"
edit=$(e2e_child edit)
e2e_type_into "$title" "$edit" ""
e2e_click_child "$(e2e_child button Start)"
for next in "$scratch_win\\bad|name" 'rel\inst'; do
  e2e_dialog
  printf '%s' "$dialog_text" | grep -qi target || fail "the box does not speak of the target: $dialog_text"
  expect_nothing_installed "before $next"
  e2e_answer_dialog
  # Back to the choice: field, browse button and start button again.
  e2e_rects "$title"
  expect_controls <<EOT
target field|edit||1
browse button|button|...|1
progress bar|msctls_progress32||0
start button|button|Start|1
EOT
  e2e_type_into "$title" "$(e2e_child edit)" "$next"
  e2e_click_child "$(e2e_child button Start)"
done
e2e_wait_exit 0
e2e_check_installed "$scratch_win\\cwd\\rel\\inst"
[ ! -e "$scratch/cwd/rel/inst/rel" ] || fail "installed into a doubled path"
echo "PASS"
