#!/usr/bin/env bash
# Per-user scope: mksetup builds a Scope=user setup on the stub beside the machine one, whose
# manifest asks for no elevation where the machine one asks for an administrator. A %Programs%
# shortcut goes to the common Programs folder in a machine install; with Scope=user and no
# folder line a silent install goes to %LOCALAPPDATA%\Programs\<Name>, makes that shortcut in
# the user's own Programs folder, writes its HKEY_CLASSES_ROOT line under the user's
# Software\Classes and registers under HKCU, never HKLM. A target in the Windows folder or
# Program Files is refused before anything is made: silently exit 2 with the reason logged,
# interactively a box and the choice again (the field showing the folder line's %LOCALAPPDATA%
# expanded); the window closed then ends with 1602, logged, and nothing written. The real
# 32-bit stub, where it runs, refuses both Program Files.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin scope
title="Scope E2E" id="E2E.Scope.$$" name="Scope E2E $$" link="$scratch_name.lnk"
# The setup's manifest, in its stub part (the uninstaller in the package has one too).
level() { head -c "$(stat -c %s "$SETUP_STUB")" "$setup_exe" | grep -a -o 'ExecutionLevel level="[a-zA-Z]*"'; }

folders=$("$wine_run" --64 cmd /c 'echo %LOCALAPPDATA%;%APPDATA%;%ALLUSERSPROFILE%' | tr -d '\r')
IFS=';' read -r local_win roaming_win common_win <<<"$folders"
[ -n "$common_win" ] || fail "cmd.exe did not name the user's folders"
programs="\\Microsoft\\Windows\\Start Menu\\Programs\\$link"
user_link=$(e2e_unix_path "$roaming_win$programs") common_link=$(e2e_unix_path "$common_win$programs")
app_win="$local_win\\Programs\\$name" uninstall="Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$id"
e2e_on_exit "rm -rf '$(e2e_unix_path "$app_win")' '$user_link' '$common_link'"
e2e_on_exit "'$wine_run' --64 reg delete 'HKCU\\$uninstall' /f >/dev/null 2>&1"
ext=".e2e$$" classes="Software\\Classes\\.e2e$$"
e2e_on_exit "'$wine_run' --64 reg delete 'HKCU\\$classes' /f >/dev/null 2>&1"
printf 'readme\r\n' >"$scratch/tree/readme.txt"
build() { # STUB FOLDER_LINE [SCOPE]: with a SCOPE, a [product] of it; the user stub beside
  cp "$1" "$scratch/stub.exe"
  cp "${1%.exe}-user.exe" "$scratch/setup-stub-user.exe"
  {
    e2e_locale "$title" "$2"
    [ -z "${3:-}" ] || printf '[product]\nId=%s\nName=%s\nVersion=1.0\nScope=%s\n[register]\nHKEY_CLASSES_ROOT\\%s\\=Scope.File\n' "$id" "$name" "$3" "$ext"
    printf '[shortcuts]\n%%Programs%%\\%s=readme.txt;Read me\n' "$link"
  } >"$scratch/setup.txt"
  e2e_build
}
expect_link() { # LINK TARGET_FOLDER
  expect_eq shortcut "target=$2\\readme.txt"$'\n'"workdir=$2"$'\n'"description=Read me" "$(probe lnk "$1")"
}

note "machine scope: the common Programs folder"
build "$SETUP_STUB" "$scratch_win\\machine"
expect_eq "manifest" 'ExecutionLevel level="requireAdministrator"' "$(level)"
e2e_run_silent 0 /S
expect_link "$common_win$programs" "$scratch_win\\machine"
[ ! -e "$user_link" ] || fail "a machine install made the user's shortcut"
rm "$common_link"

note "user scope, silently to the default folder"
build "$SETUP_STUB" "" user
expect_eq "manifest" 'ExecutionLevel level="asInvoker"' "$(level)"
e2e_run_silent 0 /S "/LOG=$scratch_win\\user.log"
grep -qx 'locale variant: .*; scope: user' <(e2e_install_log "$scratch/user.log") ||
  fail "scope not logged: $(text_of "$scratch/user.log")"
cmp -s "$scratch/tree/readme.txt" "$(e2e_unix_path "$app_win\\readme.txt")" || fail "not installed to $app_win"
expect_link "$roaming_win$programs" "$app_win"
[ ! -e "$common_link" ] || fail "a per-user install made the common shortcut"
location=$(e2e_reg_values "HKCU\\$uninstall" | grep '^InstallLocation ') || fail "no entry under HKCU"
expect_eq "entry" "InstallLocation REG_SZ $app_win" "$location"
hklm=$(e2e_reg_values "HKLM\\$uninstall" /reg:64)$(e2e_reg_values "HKLM\\$uninstall" /reg:32)
expect_eq "HKLM entry" "" "$hklm"
expect_eq "the user's class" "(Default) REG_SZ Scope.File" "$(e2e_reg_values "HKCU\\$classes")"
expect_eq "the machine's class" "" "$(e2e_reg_values "HKLM\\$classes" /reg:64)$(e2e_reg_values "HKLM\\$classes" /reg:32)"

note "the Windows folder, silently"
e2e_run_silent 2 /S "/LOG=$scratch_win\\refused.log" "/D=C:\\windows\\$scratch_name"
grep -qF "target refused: You may not write to C:\\windows\\$scratch_name," "$scratch/refused.log" ||
  fail "no refusal logged: $(text_of "$scratch/refused.log")"
[ ! -e "$drive_c/windows/$scratch_name" ] || fail "the folder in the Windows folder was made"

note "Program Files, interactively"
"$wine_run" --64 reg delete "HKCU\\$uninstall" /f >/dev/null 2>&1 || fail "cannot forget the entry"
build "$SETUP_STUB" "%LOCALAPPDATA%\\$scratch_name" user
e2e_start "/LOG=$scratch_win\\closed.log"
e2e_show "$title"
expect_eq "field" "$local_win\\$scratch_name" "${c_text[$(e2e_child edit)]}"
e2e_type_into "$title" "$(e2e_child edit)" "C:\\Program Files\\$scratch_name"
e2e_click_child "$(e2e_child button Start)"
e2e_dialog
[[ $dialog_text == "You may not write to C:\\Program Files\\$scratch_name,"* ]] || fail "the box says: $dialog_text"
e2e_answer_dialog
e2e_rects "$title"
expect_controls <<EOT
target field|edit||1
progress bar|msctls_progress32||0
start button|button|Start|1
EOT
[ ! -e "$drive_c/Program Files/$scratch_name" ] || fail "the folder in Program Files was made"
e2e_close "$title" 1602
log=$(e2e_install_log "$scratch/closed.log")
expect_eq "log's end" "cancelled by the user"$'\n'"exit code 1602 after T s" "$(tail -2 <<<"$log")"
[ ! -e "$(e2e_unix_path "$local_win\\$scratch_name")" ] || fail "the closed setup made its folder"
expect_eq "entry after closing" "" "$(e2e_reg_values "HKCU\\$uninstall")"

note "the real 32-bit stub: both Program Files folders"
stub32="$e2e_dir/../../build/bin/setup-stub.exe"
if ! "$e2e_dir/../../scripts/native-i386.sh" || [ ! -f "$stub32" ]; then
  echo "-- skipped: 32-bit programs do not run natively or $stub32 is not built"
else
  build "$stub32" "" user
  for rest in Files "Files (x86)"; do
    read -ra words <<<"/D=C:\\Program $rest\\$scratch_name" # the line a user types
    e2e_run_silent 2 /S "/LOG=$scratch_win\\32.log" "${words[@]}"
    grep -qF "target refused: You may not write to C:\\Program $rest\\$scratch_name," "$scratch/32.log" ||
      fail "no refusal logged: $(text_of "$scratch/32.log")"
  done
  [ -z "$(find "$drive_c"/Program* -maxdepth 1 -name "$scratch_name")" ] || fail "a folder in Program Files was made"
fi
echo "PASS"
