#!/usr/bin/env bash
# Locale variants under a German system locale (LC_ALL=de_DE.UTF-8): the
# window takes [locale.de] (non-ASCII texts included) and the install then
# runs [install.de]; an English system gets the plain sections; with
# [locale.de-DE] present the full form wins, for the window and for
# [install.de-DE]. Closing that window before the start installs nothing
# and exits 0.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin locale

# Wine takes its locale from the C library, which must know the German one:
# the system's when it is generated, else one made here once.
if ! LC_ALL=de_DE.UTF-8 locale 2>&1 | grep -q 'Cannot set'; then
  :
elif command -v localedef >/dev/null; then
  export LOCPATH="$SETUP_WINE_ROOT/locales"
  if [ ! -d "$LOCPATH/de_DE.UTF-8" ]; then
    mkdir -p "$LOCPATH"
    localedef -i de_DE -f UTF-8 "$LOCPATH/de_DE.UTF-8" 2>/dev/null ||
      [ -d "$LOCPATH/de_DE.UTF-8" ] || skip "cannot make the de_DE.UTF-8 locale"
  fi
else
  skip "no de_DE.UTF-8 locale and no localedef"
fi
german() { LC_ALL=de_DE.UTF-8 "$@"; }
english() { LC_ALL=C.UTF-8 "$@"; }

log="$scratch_win\\order.log"
# locale_body TITLE PROMPT TARGET START
locale_body() { printf '%s\n%s\n%s\n%s\nBusy\nCopying\n' "$1" "$2" "$3" "$4"; }
install_section() { printf '[install%s]\necho install %s>>%s\n' "$1" "$2" "$log"; }

german_prompt="Wählen Sie den Zielordner – Größe ändern"
{
  printf '[locale]\n'
  locale_body "Locale Plain" "Choose a folder" "$scratch_win\\plain" Start
  printf '[locale.de]\n'
  locale_body "Locale Deutsch" "$german_prompt" "$scratch_win\\de" Los
  install_section "" plain
  install_section .de de
  printf '[end]\n'
} >"$scratch/setup.txt"
e2e_build

note "German system, [locale.de]"
german e2e_start
e2e_wait_window "Locale Deutsch" >/dev/null
e2e_rects "Locale Deutsch"
expect_eq "German prompt" "$german_prompt" "${c_text[$(e2e_child static)]}"
expect_eq "German target" "$scratch_win\\de" "${c_text[$(e2e_child edit)]}"
e2e_click_child "$(e2e_child button Los)"
e2e_wait_exit
expect_eq "exit code" 0 "$setup_rc"
expect_eq "sections run" "install de" "$(text_of "$scratch/order.log")"
[ -d "$scratch/de" ] || fail "not installed into [locale.de]'s target"

note "English system, plain sections"
rm -f "$scratch/order.log"
english e2e_run_silent "$scratch_win\\plain-silent"
expect_eq "exit code" 0 "$setup_rc"
expect_eq "sections run" "install plain" "$(text_of "$scratch/order.log")"

note "German system, [locale.de-DE] wins over [locale.de]"
{
  printf '[locale]\n'
  locale_body "Locale Plain" "Choose a folder" "$scratch_win\\plain" Start
  printf '[locale.de]\n'
  locale_body "Locale Deutsch" "$german_prompt" "$scratch_win\\de" Los
  printf '[locale.de-DE]\n'
  locale_body "Locale Deutschland" "Bitte wählen" "$scratch_win\\de-DE" Los
  install_section "" plain
  install_section .de de
  install_section .de-DE de-DE
  printf '[end]\n'
} >"$scratch/setup.txt"
e2e_build
rm -f "$scratch/order.log"
german e2e_start
e2e_wait_window "Locale Deutschland" >/dev/null
e2e_rects "Locale Deutschland"
expect_eq "de-DE target" "$scratch_win\\de-DE" "${c_text[$(e2e_child edit)]}"
note "closing the window before the start"
probe post "Locale Deutschland" close
e2e_wait_exit 20
expect_eq "exit code after closing" 0 "$setup_rc"
if [ -e "$scratch/order.log" ] || [ -e "$scratch/de-DE" ]; then fail "closing the window installed"; fi

german e2e_run_silent "$scratch_win\\de-DE-silent"
expect_eq "exit code" 0 "$setup_rc"
expect_eq "sections run" "install de-DE" "$(text_of "$scratch/order.log")"
echo "PASS"
