#!/usr/bin/env bash
# Locale variants under a German system locale: the window takes [locale.de] (non-ASCII texts
# included) and the install runs [install.de]; an English system gets the plain sections;
# with [locale.de-DE] present the full form wins, for the window and for [install.de-DE].
# Closing that window before the start installs nothing and exits 0.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin locale
# Wine takes its locale from the C library, which must know the German one: the system's when
# it is generated, else one made here once.
if LC_ALL=de_DE.UTF-8 locale 2>&1 | grep -q 'Cannot set'; then
  command -v localedef >/dev/null || skip "no de_DE.UTF-8 locale and no localedef"
  export LOCPATH="$SETUP_WINE_ROOT/locales"
  mkdir -p "$LOCPATH"
  [ -d "$LOCPATH/de_DE.UTF-8" ] || localedef -i de_DE -f UTF-8 "$LOCPATH/de_DE.UTF-8" 2>/dev/null ||
    [ -d "$LOCPATH/de_DE.UTF-8" ] || skip "cannot make the de_DE.UTF-8 locale"
fi
german() { LC_ALL=de_DE.UTF-8 "$@"; }

german_prompt="Wählen Sie den Zielordner – Größe ändern"
script() { # [ full ]: with the de-DE sections
  e2e_locale "Locale Plain" "$scratch_win\\plain"
  e2e_locale_variant .de "Locale Deutsch" "$scratch_win\\de" "" Los "$german_prompt"
  [ -z "${1:-}" ] || e2e_locale_variant .de-DE "Locale Deutschland" "$scratch_win\\de-DE" "" Los "Bitte wählen"
  e2e_logging install "install plain"
  e2e_logging install.de "install de"
  [ -z "${1:-}" ] || e2e_logging install.de-DE "install de-DE"
}
script >"$scratch/setup.txt"
e2e_build

note "German system, [locale.de]"
german e2e_start
e2e_show "Locale Deutsch"
expect_eq "German prompt" "$german_prompt" "${c_text[$(e2e_child static)]}"
expect_eq "German target" "$scratch_win\\de" "${c_text[$(e2e_child edit)]}"
e2e_click_child "$(e2e_child button Los)"
e2e_wait_exit 0
expect_log "install de"
[ -d "$scratch/de" ] || fail "not installed into [locale.de]'s target"

note "English system, plain sections"
rm -f "$scratch/order.log"
LC_ALL=C.UTF-8 e2e_run_silent 0 "$scratch_win\\plain-silent"
expect_log "install plain"

note "German system, [locale.de-DE] wins over [locale.de]"
script full >"$scratch/setup.txt"
e2e_build
rm -f "$scratch/order.log"
german e2e_start
e2e_show "Locale Deutschland"
expect_eq "de-DE target" "$scratch_win\\de-DE" "${c_text[$(e2e_child edit)]}"
note "closing the window before the start"
e2e_close "Locale Deutschland"
if [ -e "$scratch/order.log" ] || [ -e "$scratch/de-DE" ]; then fail "closing the window installed"; fi
german e2e_run_silent 0 "$scratch_win\\de-DE-silent"
expect_log "install de-DE"
echo "PASS"
