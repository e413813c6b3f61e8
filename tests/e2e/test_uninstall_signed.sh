#!/usr/bin/env bash
# A setup built with a sign command (osslsigncode, a certificate made on the spot): the setup
# and the uninstaller it installs both carry a signature osslsigncode accepts, the installed
# uninstaller's package still verifies, and the signed uninstaller removes everything, its
# folder and its entry included.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin signed_uninstall
command -v osslsigncode >/dev/null || skip "osslsigncode is not installed"
id="E2E.Signed.$$"
e2e_product "$id"
printf 'signed payload\r\n' >"$scratch/tree/readme.txt"
head -c 100000 /dev/urandom >"$scratch/tree/blob.bin"
{
  e2e_locale "Signed Uninstall E2E" "$scratch_win\\never"
  printf '[product]\nId=%s\nName=Signed App\n' "$id"
} >"$scratch/setup.txt"
(cd "$scratch" && openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem \
  -days 2 -subj /CN=e2e-signed-uninstall >/dev/null 2>&1) || fail "openssl cannot make a certificate"
"$SETUP_MKSETUP" build --quiet --stub "$scratch/stub.exe" --script "$scratch/setup.txt" \
  --tree "$scratch/tree" -o "$setup_exe" --sign-command \
  "osslsigncode sign -certs '$scratch/cert.pem' -key '$scratch/key.pem' -in {in} -out {out}" \
  >"$artifacts/build.log" 2>&1 || fail "mksetup build failed: $(cat "$artifacts/build.log")"

signed() { # WHAT FILE: osslsigncode and mksetup accept FILE
  osslsigncode verify -CAfile "$scratch/cert.pem" "$2" >"$artifacts/verify.log" 2>&1 ||
    fail "osslsigncode rejects the $1: $(cat "$artifacts/verify.log")"
  "$SETUP_MKSETUP" verify "$2" >"$artifacts/verify.log" 2>&1 ||
    fail "mksetup verify rejects the $1: $(cat "$artifacts/verify.log")"
}
signed setup "$setup_exe"
e2e_run_silent 0 /S "/D=$scratch_win\\app"
cmp -s "$scratch/tree/blob.bin" "$scratch/app/blob.bin" || fail "the signed setup did not install"
signed "installed uninstaller" "$scratch/app/uninstall.exe"

note "the signed uninstaller"
e2e_quiet_uninstall 0
[ ! -e "$scratch/app" ] || fail "the folder is left: $(find "$scratch/app")"
entry=$(e2e_entry)
expect_eq "entry" "" "$entry"
echo "PASS"
