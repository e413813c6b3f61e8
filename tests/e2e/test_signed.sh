#!/usr/bin/env bash
# A setup signed with Authenticode after it was built (osslsigncode, a certificate made on the
# spot) installs silently, with one signature and with a nested second one, and osslsigncode
# accepts it. One changed bit in the package, in the stub or in the PE header outside the
# fields signing rewrites still shows "This file is corrupted" and exits 1. A setup as the
# builder wrote it before signed setups (the stub's own CheckSum, every byte in the digest)
# still installs. The setup carries its identity ([product], --icon): Windows reads its version
# resource and its icon group 100 back, before and after signing, and the uninstaller's too.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin signed
command -v osslsigncode >/dev/null || skip "osslsigncode is not installed"
printf 'signed payload\r\n' >"$scratch/tree/readme.txt"
head -c 100000 /dev/urandom >"$scratch/tree/blob.bin"
id="E2E.Signed.$$"
e2e_product "$id"
{
  e2e_locale "Signed E2E" "$scratch_win\\never"
  printf '[product]\nId=%s\nName=Signed App\nVersion=3.4.5-rc1\nPublisher=E2E Ltd\nCopyright=(c) E2E\n' "$id"
} >"$scratch/setup.txt"
convert -size 32x32 xc:teal -define icon:auto-resize=32,16 "$scratch/app.ico"
E2E_BUILD="--icon $scratch/app.ico" e2e_build
built="$scratch/built.exe"
mv "$setup_exe" "$built"
# Each image's size as the .ico's directory gives it.
icon=$(python3 -c 'import struct, sys; d = open(sys.argv[1], "rb").read()
print("icon", *(struct.unpack_from("<I", d, 14 + 16 * i)[0] for i in range(d[4])))' "$scratch/app.ico")
expect_identity() { # FILE ROLE
  note "the identity of $1"
  expect_eq "$1's version resource" "$(printf 'fixed\t3.4.5.0\nProductName\tSigned App
FileDescription\tSigned App %s\nProductVersion\t3.4.5-rc1\nFileVersion\t3.4.5-rc1
CompanyName\tE2E Ltd\nLegalCopyright\t(c) E2E\n%s' "$2" "$icon")" "$(probe version "$scratch_win\\$1")"
}
expect_identity built.exe Setup

(cd "$scratch" && openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem \
  -days 2 -subj /CN=e2e-signed >/dev/null 2>&1) || fail "openssl cannot make a certificate"
for nest in "" -nest; do
  in=$built out="$scratch/signed.exe"
  [ -z "$nest" ] || in=$out out="$scratch/nested.exe"
  # shellcheck disable=SC2086 # no option or one
  osslsigncode sign $nest -certs "$scratch/cert.pem" -key "$scratch/key.pem" -in "$in" -out "$out" \
    >"$artifacts/sign.log" 2>&1 || fail "osslsigncode sign failed: $(cat "$artifacts/sign.log")"
done
osslsigncode verify -CAfile "$scratch/cert.pem" "$scratch/nested.exe" >"$artifacts/verify.log" 2>&1 ||
  fail "osslsigncode rejects the signed setup: $(cat "$artifacts/verify.log")"
grep -q '^Number of verified signatures: 2$' "$artifacts/verify.log" ||
  fail "osslsigncode did not verify both signatures: $(cat "$artifacts/verify.log")"

install_silently() { # WHAT SETUP
  note "the $1 setup"
  cp "$2" "$setup_exe"
  rm -rf "$scratch/app"
  e2e_run_silent 0 "$scratch_win\\app"
  cmp -s "$scratch/tree/blob.bin" "$scratch/app/blob.bin" || fail "the $1 setup did not install"
}
expect_identity nested.exe Setup
install_silently signed "$scratch/signed.exe"
expect_identity 'app\uninstall.exe' Uninstall
install_silently nested "$scratch/nested.exe"

pe=$(od -An -tu4 -j 60 -N4 "$built" | tr -d ' ')
for where in package:$(($(stat -c %s "$built") - 1)) stub:5000 header:$((pe + 8)); do # TimeDateStamp
  note "signed, one bit changed in the ${where%:*}"
  cp "$scratch/signed.exe" "$setup_exe"
  e2e_flip "$setup_exe" "${where#*:}"
  rm -rf "$scratch/app"
  e2e_start "$scratch_win\\app"
  e2e_expect_corrupted
  [ ! -e "$scratch/app" ] || fail "a setup with a changed ${where%:*} installed"
done

checksum=$((pe + 24 + 64))
cp "$built" "$setup_exe"
dd if="$SETUP_STUB" of="$setup_exe" bs=1 skip=$checksum seek=$checksum count=4 conv=notrunc status=none
e2e_edit_package 'pass'
mv "$setup_exe" "$scratch/old.exe"
install_silently old "$scratch/old.exe"
echo "PASS"
