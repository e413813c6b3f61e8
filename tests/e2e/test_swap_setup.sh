#!/usr/bin/env bash
# A setup program that another program tries to replace while its window waits: the rename
# and the copy of another setup to its name, then Start. What installs is the package that
# was checked at the start, never the other one: its tree and its [run] line stay out.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin swap
title="Swap E2E"
# Both scripts of one length: a setup that opened its file again by name would find the other
# package at this one's offsets and install it whole.
swap_package() { # README_TEXT RUN_MARKER
  rm -rf "$scratch/tree" && mkdir -p "$scratch/tree/bin"
  cp "$SETUP_WIN_PROBE" "$scratch/tree/bin/probe.exe"
  printf '%s\r\n' "$1" >"$scratch/tree/readme.txt"
  { e2e_locale "$title" "$scratch_win\\app" && printf '[run]\nbin\\probe.exe record=%s\\%s.log\n' \
    "$scratch_win" "$2"; } >"$scratch/setup.txt"
  e2e_build
}
swap_package "imposter tree" other
printf 'only in the other\r\n' >"$scratch/tree/other-only.txt"
e2e_build
mv "$setup_exe" "$scratch/other.exe"
swap_package "original tree" first

e2e_start
e2e_show "$title"
note "renaming the running setup and copying another to its name"
probe swap "$scratch_win\\$setup_name" "$scratch_win\\other.exe" | tee "$artifacts/swap.txt"
e2e_click_child "$(e2e_child button Start)"
e2e_wait_exit 0
e2e_poll 150 test -s "$scratch/first.log" || fail "the [run] line of the running setup did not run"
cmp -s "$scratch/tree/readme.txt" "$scratch/app/readme.txt" ||
  fail "readme.txt is not the original's: $(text_of "$scratch/app/readme.txt")"
[ ! -e "$scratch/app/other-only.txt" ] || fail "the other package's tree was installed"
[ ! -e "$scratch/other.log" ] || fail "the other package's [run] line ran"
echo "PASS"
