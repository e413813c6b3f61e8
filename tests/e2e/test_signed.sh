#!/usr/bin/env bash
# A setup signed with Authenticode after it was built (osslsigncode, a
# certificate made on the spot) installs silently, with one signature and
# with a nested second one; osslsigncode accepts the signature. One changed
# bit in the package, in the stub or in the PE header outside the fields
# signing rewrites still shows "This file is corrupted" and ends with 1. A
# setup as the builder wrote it before signed setups (the stub's own
# CheckSum, every byte in the digest) still installs.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin signed
command -v osslsigncode >/dev/null || skip "osslsigncode is not installed"

printf 'signed payload\r\n' >"$scratch/tree/readme.txt"
head -c 100000 /dev/urandom >"$scratch/tree/blob.bin"
printf '[locale]\nSigned E2E\nPrompt\n%s\\never\nStart\nBusy\nCopying\n[end]\n' "$scratch_win" \
  >"$scratch/setup.txt"
e2e_build
built="$scratch/built.exe"
mv "$setup_exe" "$built"

(cd "$scratch" && openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem \
  -days 2 -subj /CN=e2e-signed >/dev/null 2>&1) || fail "openssl cannot make a certificate"
sign() { # IN OUT [options]
  local in=$1 out=$2
  shift 2
  osslsigncode sign "$@" -certs "$scratch/cert.pem" -key "$scratch/key.pem" -in "$in" \
    -out "$out" >"$artifacts/sign.log" 2>&1 || fail "osslsigncode sign failed: $(cat "$artifacts/sign.log")"
}
sign "$built" "$scratch/signed.exe"
sign "$scratch/signed.exe" "$scratch/nested.exe" -nest
osslsigncode verify -CAfile "$scratch/cert.pem" "$scratch/nested.exe" >"$artifacts/verify.log" 2>&1 ||
  fail "osslsigncode rejects the signed setup: $(cat "$artifacts/verify.log")"
grep -q '^Number of verified signatures: 2$' "$artifacts/verify.log" ||
  fail "osslsigncode did not verify both signatures: $(cat "$artifacts/verify.log")"

install_silently() { # WHAT SETUP
  cp "$2" "$setup_exe"
  rm -rf "$scratch/app"
  e2e_run_silent "$scratch_win\\app"
  expect_eq "exit code of the $1 setup" 0 "$setup_rc"
  cmp -s "$scratch/tree/blob.bin" "$scratch/app/blob.bin" || fail "the $1 setup did not install"
}
install_silently signed "$scratch/signed.exe"
install_silently nested "$scratch/nested.exe"

pe=$(od -An -tu4 -j 60 -N4 "$built" | tr -d ' ')
for where in package stub header; do
  case $where in
    package) at=$(($(stat -c %s "$built") - 1)) ;;
    stub) at=5000 ;;
    header) at=$((pe + 8)) ;; # TimeDateStamp
  esac
  note "signed, one bit changed in the $where"
  cp "$scratch/signed.exe" "$setup_exe"
  e2e_flip "$setup_exe" "$at"
  rm -rf "$scratch/app"
  e2e_start "$scratch_win\\app"
  e2e_dismiss_corrupted
  e2e_wait_exit 20
  expect_eq "exit code with a changed $where" 1 "$setup_rc"
  [ ! -e "$scratch/app" ] || fail "a setup with a changed $where installed"
done

note "built before signed setups"
checksum=$((pe + 24 + 64))
cp "$built" "$scratch/old.exe"
dd if="$SETUP_STUB" of="$scratch/old.exe" bs=1 skip=$checksum seek=$checksum count=4 \
  conv=notrunc status=none
digest=$({ printf 'kestravo setup package \r\n assembled by the package writer'
           head -c 310272 "$scratch/old.exe"; tail -c +310293 "$scratch/old.exe"; } | sha1sum | cut -c1-40)
printf '%s' "$digest" | xxd -r -p | dd of="$scratch/old.exe" bs=1 seek=310272 conv=notrunc status=none
install_silently old "$scratch/old.exe"
echo "PASS"
