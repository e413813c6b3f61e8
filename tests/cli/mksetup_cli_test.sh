#!/usr/bin/env bash
# One case of the mksetup command-line tests: mksetup_cli_test.sh CASE MKSETUP SCRATCH
set -uo pipefail

case_name="$1"
mksetup="$2"
scratch="$3"
rm -rf "$scratch"
mkdir -p "$scratch/tree/sub/empty"
cd "$scratch" || exit 1

fail() {
  echo "FAIL ($case_name): $*" >&2
  [ -f err.txt ] && { echo "--- stderr:" >&2; cat err.txt >&2; }
  exit 1
}

# expect CODE COMMAND...: runs it with stdout in out.txt, stderr in err.txt.
expect() {
  local want="$1"
  shift
  "$@" >out.txt 2>err.txt
  local got=$?
  [ "$got" = "$want" ] || fail "exit code $got, expected $want from: $*"
}

contains() {  # contains FILE TEXT
  grep -qF -- "$2" "$1" || fail "$1 lacks '$2'"
}

truncate -s 310272 stub.exe
printf '[Setup]\nTitle=CLI test\n' >script.txt
printf 'hello\n' >tree/sub/a.txt
: >tree/e.txt
head -c 20000 /dev/urandom >tree/noise.bin
seq 1 5000 >tree/numbers.txt

build() {  # build OUTPUT [options]
  local out="$1"
  shift
  "$mksetup" build --script script.txt --tree tree -o "$out" --stub stub.exe "$@"
}

case "$case_name" in
  build_then_verify)
    expect 0 build setup.exe
    contains err.txt "mksetup: built setup.exe: 4 files"
    expect 0 "$mksetup" verify setup.exe
    [ "$(cat out.txt)" = "OK" ] || fail "verify printed '$(cat out.txt)'"
    [ "$(ls -A)" = "$(printf 'err.txt\nout.txt\nscript.txt\nsetup.exe\nstub.exe\ntree')" ] ||
      fail "unexpected files: $(ls -A | tr '\n' ' ')"
    ;;
  build_is_reproducible)
    expect 0 build one.exe --quiet --jobs 1
    [ -s err.txt ] && fail "--quiet printed something"
    touch -d '2030-01-01 00:00:00.57' tree/noise.bin
    expect 0 build one.exe --quiet --jobs 1
    expect 0 build four.exe --quiet --jobs 4
    cmp -s one.exe four.exe || fail "--jobs 1 and --jobs 4 differ"
    expect 0 build stored.exe --quiet --store
    [ "$(stat -c %s stored.exe)" -gt "$(stat -c %s one.exe)" ] || fail "--store is not larger"
    expect 0 "$mksetup" verify stored.exe
    ;;
  verify_bare_stub)
    expect 2 "$mksetup" verify stub.exe
    contains err.txt "stub.exe: holds no package"
    ;;
  verify_flipped_byte)
    expect 0 build setup.exe --quiet
    size=$(stat -c %s setup.exe)
    printf '\x5a' | dd of=setup.exe bs=1 seek=$((size - 3)) conv=notrunc status=none
    expect 1 "$mksetup" verify setup.exe
    contains err.txt "digest mismatch"
    ;;
  verify_missing_file)
    expect 2 "$mksetup" verify nothing.exe
    contains err.txt "nothing.exe: cannot read the file"
    ;;
  refused_tree)
    printf 'old' >setup.exe
    : >"tree/sub/con.txt"
    expect 1 build setup.exe
    contains err.txt "mksetup: sub/con.txt: "
    [ "$(cat setup.exe)" = old ] || fail "the existing output was touched"
    rm setup.exe
    ln -s a.txt tree/sub/link
    rm tree/sub/con.txt
    expect 1 build setup.exe
    contains err.txt "mksetup: sub/link: a symbolic link"
    [ -e setup.exe ] && fail "an output was left behind"
    [ -z "$(ls -A | grep -v -e '^err.txt$' -e '^out.txt$' -e '^script.txt$' -e '^stub.exe$' -e '^tree$')" ] ||
      fail "temporaries left behind: $(ls -A | tr '\n' ' ')"
    ;;
  wrong_stub_size)
    truncate -s 310271 stub.exe
    expect 1 build setup.exe
    contains err.txt "a stub is exactly 310272 bytes"
    [ -e setup.exe ] && fail "an output was left behind"
    ;;
  missing_arguments)
    expect 106 "$mksetup" build --script script.txt -o setup.exe --stub stub.exe
    contains err.txt "--tree is required"
    expect 105 "$mksetup" build --script script.txt --tree tree -o setup.exe --level 13
    expect 109 "$mksetup" frobnicate
    contains err.txt "frobnicate"
    expect 1 "$mksetup"
    contains err.txt "Subcommands:"
    ;;
  *)
    fail "no such case"
    ;;
esac
echo "ok ($case_name)"
