#!/usr/bin/env bash
# An application's life with [product]: version 1, given a folder with a blank in the plain
# form, installs there, registers with every value, runs [run], makes a Start-menu group, and
# its %InstallDir% is that folder in a value, a shortcut and [run]. Version 2, with /S alone,
# goes to the registered folder, runs no [run], removes the file and folder it no longer has and
# keeps a user's file; an older version under /S is refused (exit 2, logged, nothing changed) and
# installed with /ALLOWDOWNGRADE. The QuietUninstallString, run as Windows runs it, runs
# [uninstall] once, removes files, folders, shortcuts and the group, values, the keys the install
# made (not an empty one that was there before) and the entry, parks itself for deletion at the
# next restart and leaves the user's file. A folder swapped for a link to another while the
# upgrade, or the uninstaller, removes its files leads no deletion there. Where osslsigncode is,
# version 2 and its uninstaller are signed and verify, and the signed uninstaller removes all.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin uninstall
id="E2E.App.$$" key="HKEY_CURRENT_USER\\Software\\$scratch_name"
e2e_product "$id"
e2e_on_exit e2e_forget_install
dir="$scratch/Some Dir" win="$scratch_win\\Some Dir"
common=$("$wine_run" --64 cmd /c 'echo %ALLUSERSPROFILE%' | tr -d '\r')
group="$common\\Microsoft\\Windows\\Start Menu\\Programs\\E2E Group $$" old="${group/Group/Old}"
e2e_on_exit "rm -rf '$(e2e_unix_path "$group")' '$(e2e_unix_path "$old")'"
build_version() { # VERSION
  {
    e2e_locale "Uninstall E2E" "$scratch_win\\default"
    printf '[product]\nId=%s\nName=Lifecycle App\nVersion=%s\nPublisher=E2E Tests\n' "$id" "$1"
    printf 'Url=https://example.org/e2e\nIcon=bin\\probe.exe\n[register]\n%s\\App\\Level=DWORD:7\n' "$key"
    printf '%s\\Pre\\Made\\Deep=1\n' "$key"
    printf '%s\\App\\Path=%%InstallDir%%\\bin\n' "$key"
    [ "$1" != 1.0 ] || printf '%s\\Old\\Gone=1\n' "$key"
    printf '[shortcuts]\ne2e.lnk=bin\\probe.exe;Probe of the e2e test\n'
    printf '%%Programs%%\\E2E Group %s\\Sub\\App.lnk=bin\\probe.exe;Grouped;"%%InstallDir%%\\readme.txt";bin\\probe.exe,1\n' $$
    [ "$1" != 1.0 ] || printf '%%Programs%%\\E2E Old %s\\Old.lnk=bin\\probe.exe\n' $$
    printf '[run]\nbin\\probe.exe "record=%%InstallDir%%\\ran.log"\n'
    e2e_logging uninstall "uninstall ran"
  } >"$scratch/setup.txt"
  e2e_build
}
mkdir -p "$scratch/tree/bin" "$scratch/tree/docs" "$scratch/tree/old"
e2e_many "$scratch/tree/old" 400 "version 1"
e2e_many "$scratch/outside" 400 outside
cp -r "$scratch/outside" "$scratch/kept"
key_exists() { "$wine_run" --64 reg query "$1" >/dev/null 2>&1; }
# An empty key there before (reg.exe gives a key of its own a default value).
"$wine_run" --64 reg add "$key\\Pre\\Aside" /f >/dev/null 2>&1 || fail "reg add failed"
"$wine_run" --64 reg delete "$key\\Pre\\Aside" /f >/dev/null 2>&1 || fail "reg delete failed"
printf 'readme\r\n' >"$scratch/tree/readme.txt"
head -c 5000 /dev/urandom >"$scratch/tree/docs/notes.bin"
printf 'dropped by version 2\r\n' >"$scratch/tree/old/gone.txt"
cp "$SETUP_WIN_PROBE" "$scratch/tree/bin/probe.exe"
build_version 1.0

note "version 1, a folder with a blank"
e2e_run_silent 0 "$win"
e2e_poll 150 test -s "$dir/ran.log" || fail "[run] did not start the probe"
expect_eq "[run]'s record" "run cwd=$win\\bin" "$(text_of "$dir/ran.log")"
expect_eq "grouped shortcut" "target=$win\\bin\\probe.exe
workdir=$win\\bin
description=Grouped
arguments=\"$win\\readme.txt\"
icon=$win\\bin\\probe.exe,1" "$(probe lnk "$group\\Sub\\App.lnk")"
rm "$dir/ran.log"
for file in readme.txt docs/notes.bin old/gone.txt bin/probe.exe; do
  cmp -s "$scratch/tree/$file" "$dir/$file" || fail "$file is missing or differs"
done
bytes=$(find "$scratch/tree" "$dir/uninstall.exe" -type f -printf '%s\n' | awk '{ n += $1 } END { print n }')
entry=$(e2e_entry)
grep -q '^SetupLocale REG_SZ' <<<"$entry" || fail "no SetupLocale value"
record=$(printf '%s\\0' "key $key\\App" "value $key\\App\\Level" "key $key\\Pre\\Made" \
  "value $key\\Pre\\Made\\Deep" "value $key\\App\\Path" "key $key\\Old" "value $key\\Old\\Gone" \
  "lnk $win\\e2e.lnk" "folder $group" "folder $group\\Sub" "lnk $group\\Sub\\App.lnk" "folder $old" \
  "lnk $old\\Old.lnk") && record=${record%\\0}
expect_eq "entry" "$(LC_ALL=C sort <<EOF
DisplayIcon REG_SZ $win\\bin\\probe.exe
DisplayName REG_SZ Lifecycle App
DisplayVersion REG_SZ 1.0
EstimatedSize REG_DWORD $(printf '0x%x' $(((bytes + 1023) / 1024)))
InstallDate REG_SZ $(date +%Y%m%d)
InstallLocation REG_SZ $win
NoModify REG_DWORD 0x1
NoRepair REG_DWORD 0x1
Publisher REG_SZ E2E Tests
QuietUninstallString REG_SZ "$win\\uninstall.exe" /S
SetupRecord REG_MULTI_SZ $record
URLInfoAbout REG_SZ https://example.org/e2e
UninstallString REG_SZ "$win\\uninstall.exe"
EOF
)" "$(grep -v '^SetupLocale ' <<<"$entry" | LC_ALL=C sort)"

note "version 2 into the registered folder"
printf 'mine\r\n' >"$dir/user.txt"
"$wine_run" --64 reg add "$key" /v Mine /d kept /f >/dev/null 2>&1 || fail "reg add failed"
rm -r "$scratch/tree/old"
printf 'new in version 2\r\n' >"$scratch/tree/docs/new.txt"
if command -v osslsigncode >/dev/null; then
  (cd "$scratch" && openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem \
    -days 2 -subj /CN=e2e-uninstall >/dev/null 2>&1) || fail "openssl cannot make a certificate"
  E2E_SIGN="osslsigncode sign -certs '$scratch/cert.pem' -key '$scratch/key.pem' -in {in} -out {out}"
fi
e2e_many "$scratch/tree/many" 400 "version 2"
build_version 2.0
e2e_swap_folder gone "$win\\old\\f0000" "$win\\old" "$scratch/outside"
e2e_run_silent any /S
e2e_swap_done
diff -r "$scratch/kept" "$scratch/outside" >/dev/null || fail "deleted through the swapped folder"
expect_eq "exit code" 0 "$setup_rc"
sleep 1
[ ! -e "$dir/ran.log" ] || fail "/S ran [run]"
for file in "$setup_exe" "$dir/uninstall.exe"; do
  [ -z "${E2E_SIGN:-}" ] || osslsigncode verify -CAfile "$scratch/cert.pem" "$file" >/dev/null 2>&1 ||
    fail "osslsigncode rejects $file"
done
cmp -s "$scratch/tree/docs/new.txt" "$dir/docs/new.txt" || fail "version 2 did not go to the registered folder"
[ ! -e "$dir/old" ] || fail "what version 2 dropped is left: $(find "$dir/old")"
[ ! -e "$scratch/default" ] || fail "version 2 went to the script's folder"
expect_eq "user's file" mine "$(text_of "$dir/user.txt")"
version=$(e2e_entry_value DisplayVersion) values=$(e2e_registry | LC_ALL=C sort)
expect_eq "DisplayVersion" 2.0 "$version"
expect_eq "registry values" "App\\Level REG_DWORD 0x7
App\\Path REG_SZ $win\\bin
Mine REG_SZ kept
Pre\\Made\\Deep REG_SZ 1" "$values"
e2e_check_shortcut "$win" "$win"
[ ! -e "$(e2e_unix_path "$old")" ] || fail "version 1's group is left: $(find "$(e2e_unix_path "$old")")"
! key_exists "$key\\Old" || fail "the key of version 1's value is left"

note "an older version"
printf 'older\r\n' >"$scratch/tree/readme.txt"
build_version 1.10
e2e_run_silent 2 /S "/LOG=$scratch_win\\older.log"
grep -qxF "version 1.10 is older than the installed 2.0: refused (/ALLOWDOWNGRADE installs it)" \
  <(e2e_install_log "$scratch/older.log") || fail "no refusal logged: $(text_of "$scratch/older.log")"
expect_eq "readme after the refusal" readme "$(text_of "$dir/readme.txt")"
e2e_run_silent 0 /S /ALLOWDOWNGRADE
expect_eq "readme after /ALLOWDOWNGRADE" older "$(text_of "$dir/readme.txt")"
expect_eq "DisplayVersion" 1.10 "$(e2e_entry_value DisplayVersion)"

note "the quiet uninstall"
cp "$dir/uninstall.exe" "$scratch/uninstaller.copy"
e2e_swap_folder gone "$win\\many\\f0000" "$win\\many" "$scratch/outside"
e2e_quiet_uninstall any
e2e_swap_done
diff -r "$scratch/kept" "$scratch/outside" >/dev/null || fail "deleted through the swapped folder"
expect_eq "exit code" 0 "$setup_rc"
# It moved itself to the temporary folder, whose next restart deletes it.
mapfile -t parked < <(e2e_temp_files "$drive_c/users" tmp -exec cmp -s {} "$scratch/uninstaller.copy" \; -print)
[ ${#parked[@]} = 1 ] || fail "not one parked uninstaller but ${#parked[@]}: ${parked[*]}"
e2e_on_exit "rm -f '${parked[0]}'"
pending=$("$wine_run" --64 reg query "HKLM\\System\\CurrentControlSet\\Control\\Session Manager" \
  /v PendingFileRenameOperations | tr -d '\r')
grep -qF "${parked[0]##*/}" <<<"$pending" || fail "no deletion pending for ${parked[0]##*/}: $pending"
expect_eq "left in the folder" user.txt "$(ls -A "$dir")"
[ ! -e "$(e2e_unix_path "$group")" ] || fail "the Start-menu group is left: $(find "$(e2e_unix_path "$group")")"
expect_log "uninstall ran"
entry=$(e2e_entry) values=$(e2e_registry)
expect_eq "entry" "" "$entry"
expect_eq "registry values" "Mine REG_SZ kept" "$values"
key_exists "$key\\Pre" || fail "the empty key that was there before went"
! key_exists "$key\\Pre\\Made" || fail "a key the install made is left"
echo "PASS"
