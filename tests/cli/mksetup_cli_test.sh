#!/usr/bin/env bash
# One case of the mksetup command-line tests: mksetup_cli_test.sh CASE MKSETUP SCRATCH
set -uo pipefail
case_name="$1" mksetup="$2" here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$3" && mkdir -p "$3/tree/sub/empty" && cd "$3" || exit 1

fail() {
  echo "FAIL ($case_name): $*" >&2
  [ -f err.txt ] && { echo "--- stderr:" >&2; cat err.txt >&2; }
  exit 1
}
contains() { grep -qF -- "$2" "$1" || fail "$1 lacks '$2'"; } # FILE TEXT
# expect CODE COMMAND...: runs it with stdout in out.txt, stderr in err.txt.
expect() {
  "${@:2}" >out.txt 2>err.txt
  local got=$?
  [ "$got" = "$1" ] || fail "exit code $got, expected $1 from: ${*:2}"
}
expect_err() { expect "$1" "${@:3}" && contains err.txt "$2"; } # CODE TEXT COMMAND...
mk() { "$mksetup" "$@"; }
build() { mk build --script script.txt --tree tree -o "$1" --stub stub.exe "${@:2}"; } # OUT [OPTION...]
no_output() { [ ! -e setup.exe ] || fail "an output was left behind"; }

# A fake stub: only the MZ header pointing at a PE signature, zero-padded.
{ printf 'MZ'; head -c 58 /dev/zero; printf '\x40\x00\x00\x00PE\x00\x00'; } >stub.exe
truncate -s 310272 stub.exe
printf '[locale]\nCLI test\nPrompt\nC:\\cli\nStart\nBusy\nCopying\n' >script.txt
printf 'hello\n' >tree/sub/a.txt
: >tree/e.txt
head -c 20000 /dev/urandom >tree/noise.bin
seq 1 5000 >tree/numbers.txt

# poke FILE OFFSET BYTES (printf's \x form): overwrites in place; flip FILE OFFSET: one bit there.
# shellcheck disable=SC2059 # the bytes are the format
poke() { printf "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
flip() { poke "$1" "$2" "\\$(printf '%03o' $(($(od -An -tu1 -j "$2" -N1 "$1") ^ 1)))"; }
le32() { printf '\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }

# seal OUTPUT INDEX [DATA [SCRIPT]]: a hand-made (hostile) package behind the fake stub: a
# script (empty unless given with its head), a stored index and data (printf's \x form; no tree
# for an empty INDEX), a true digest.
# shellcheck disable=SC2059 # the bytes are the format
seal() {
  printf "$2" >index.bin && printf "${3:-}" >data.bin
  { printf "${4:-\\0\\0\\0\\0\\0}"; [ -z "$2" ] || { printf '\0'"$(le32 "$(stat -c %s index.bin)")"; cat index.bin
    printf "$(le32 "$(stat -c %s data.bin)")"; cat data.bin; }; } >tail.bin
  local digest
  digest=$({ printf 'kestravo setup package \r\n assembled by the package writer'
             cat stub.exe tail.bin; } | sha1sum | cut -c1-40)
  { cat stub.exe; printf '%s' "$digest" | xxd -r -p; cat tail.bin; } >"$1"
  rm index.bin data.bin tail.bin
}
time='\xe6\x07\x0b\x03\x00\x00\x00\x00' # an entry's time

# fixed_inputs: a PE stub (PE32 headers without sections at 0x40, CheckSum 0x1234 at 152, the
# security entry at 216), a tree (fixed/) and a script (fixed.txt) that always give the same setup.
fixed_inputs() {
  rm stub.exe
  truncate -s 310272 stub.exe
  poke stub.exe 0 'MZ'
  poke stub.exe 60 '\x40'
  poke stub.exe 64 'PE\x00\x00\x4c\x01'
  poke stub.exe 84 '\xe0\x00\x02\x01\x0b\x01'
  for at in 120 124 144 148; do poke stub.exe $at '\x00\x02'; done # alignments, sizes: 512
  poke stub.exe 152 '\x34\x12\x00\x00\x02'
  poke stub.exe 180 '\x10'
  mkdir -p fixed/sub
  printf 'hello\n' >fixed/sub/a.txt
  seq 1 300 >fixed/numbers.txt
  : >fixed/e.txt
  find fixed -exec touch -h -d '2024-02-29 12:34:56.78 UTC' {} +
  printf '[locale]\nFixed\nPrompt\nC:\\fixed\nStart\nBusy\nCopying\n' >fixed.txt
}
fixed_tree_of() { diff -r fixed "$1" >/dev/null || fail "the tree of $2 differs"; } # DIR WHAT

case "$case_name" in
  build_then_verify)
    expect 0 build setup.exe
    grep -qxE 'mksetup: built setup.exe: 4 files, package [0-9]{2}\.[0-9] kB from [0-9]{2}\.[0-9] kB of files \([0-9]{2}\.[0-9] %\), setup 3[0-9]{2}\.[0-9] kB, [0-9.]+ s' err.txt ||
      fail "the summary is '$(cat err.txt)'"
    grep -q $'\r' err.txt && fail "a progress bar where no terminal is"
    expect 0 mk verify setup.exe
    [ "$(cat out.txt)" = "$(printf 'OK\nunsigned')" ] || fail "verify printed '$(cat out.txt)'"
    # shellcheck disable=SC2012 # plain names; a temporary would start with a dot
    files=$(ls -A | tr '\n' ' ')
    [ "$files" = "err.txt out.txt script.txt setup.exe stub.exe tree " ] || fail "unexpected files: $files"
    # A package larger than its files (one byte) gets no ratio.
    rm -r tree/* && printf x >tree/x.txt && expect 0 build one.exe
    grep -qE 'package [0-9]+ bytes from 1 byte of files, setup' err.txt || fail "the summary is '$(cat err.txt)'"
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
    expect 0 mk verify stored.exe
    # The ends of the ranges build; one step past them is refused.
    expect 0 build twelve.exe --quiet --level 12
    for size in 65536 1GiB; do expect 0 build solid.exe --quiet --method lzma2 --block-size $size; done
    for size in 65535 1073741825; do
      expect_err 1 "the block size must be 64 KiB to 1 GiB" \
        build refused.exe --quiet --method lzma2 --block-size $size
    done
    # Identical files are stored once unless --no-dedup.
    cp tree/noise.bin tree/twin.bin
    expect 0 build shared.exe --quiet
    expect 0 build apart.exe --quiet --no-dedup
    [ $(($(stat -c %s apart.exe) - $(stat -c %s shared.exe))) -ge 20000 ] || fail "the twin is not shared"
    mk list --json shared.exe >shared.json && mk list --json apart.exe >apart.json
    python3 -c 'import json; s, a = (json.load(open(f + ".json")) for f in ("shared", "apart"))
twin = [e for e in a["entries"] if e["path"] == "twin.bin"][0]
assert s["storedBytes"] + twin["storedSize"] == a["storedBytes"], (s["storedBytes"], a["storedBytes"])' ||
      fail "list counts the shared copy twice"
    # SOURCE_DATE_EPOCH: later times become it, in the uninstaller's record too, so a copy of
    # the tree with other times builds alike.
    printf '[product]\nId=Ex.App\nName=Ex\n' >>script.txt
    cp -r tree copy && find copy -exec touch -d '2035-01-01 00:00:00' {} +
    SOURCE_DATE_EPOCH=1700000000 expect 0 build dated.exe --quiet
    SOURCE_DATE_EPOCH=1700000000 expect 0 mk build --quiet --script script.txt --tree copy -o copy.exe --stub stub.exe
    cmp -s dated.exe copy.exe || fail "SOURCE_DATE_EPOCH left the file times apart"
    expect 0 mk list dated.exe
    [ "$(grep -c ' 2023-11-14 22:13:20.00 ' out.txt)" = 6 ] || fail "not every time is the epoch: $(cat out.txt)"
    SOURCE_DATE_EPOCH=1e9 expect_err 1 'SOURCE_DATE_EPOCH is "1e9"' build dated.exe
    ;;
  build_digest_is_fixed)
    # Same inputs, same bytes, release after release: a change here is a change of the
    # format, which setups already shipped must survive.
    fixed_inputs
    expect 0 mk build --quiet --store --script fixed.txt --tree fixed --stub stub.exe -o setup.exe
    [ "$(sha1sum <setup.exe | cut -c1-40)" = 1436c0192f12f8bf13954b5cf88bcc0fb2ff7423 ] ||
      fail "the builder's output changed for fixed inputs"
    # Notepad's "UTF-8 with BOM" and "UTF-16 LE"/"BE" hold the same script: the same setup.
    { printf '\xef\xbb\xbf'; cat fixed.txt; } >bom.txt
    { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE fixed.txt; } >le.txt
    { printf '\xfe\xff'; iconv -f UTF-8 -t UTF-16BE fixed.txt; } >be.txt
    for script in bom le be; do
      expect 0 mk check --script $script.txt
      expect 0 mk build --quiet --store --script $script.txt --tree fixed --stub stub.exe -o $script.exe
      cmp -s setup.exe $script.exe || fail "$script.txt built another setup"
    done
    iconv -f UTF-8 -t UTF-16LE fixed.txt >bare.txt
    expect_err 1 "bare.txt: the script looks like UTF-16LE without its byte-order mark" \
      mk build --quiet --store --script bare.txt --tree fixed --stub stub.exe -o bare.exe
    ;;
  old_setup_verifies)
    # Built before signed setups: a PE stub whose CheckSum was kept, no padding.
    fixed_inputs
    gunzip -c "$(dirname "$0")/data/old-setup.exe.gz" >old.exe
    expect 0 mk verify old.exe
    contains out.txt unsigned
    expect 0 mk extract old.exe out
    fixed_tree_of out "the old setup"
    ;;
  signed)
    fixed_inputs
    expect 0 mk build --quiet --script fixed.txt --tree fixed --stub stub.exe -o setup.exe
    [ $(($(stat -c %s setup.exe) % 8)) = 0 ] || fail "the setup is not padded to 8 bytes"
    [ "$(od -An -tx1 -j 152 -N 4 setup.exe)" = " 00 00 00 00" ] || fail "the CheckSum is kept"
    openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
      -subj /CN=mksetup-test >/dev/null 2>&1 || fail "openssl cannot make a certificate"
    in=setup.exe
    for nest in "signed.exe 1 signature" "nested.exe 2 signatures -nest"; do
      read -r out count noun option <<<"$nest"
      # shellcheck disable=SC2086 # no option or one
      osslsigncode sign $option -certs cert.pem -key key.pem -in "$in" -out "$out" \
        >/dev/null || fail "osslsigncode cannot make $out"
      in=$out
      expect 0 mk verify "$out"
      contains out.txt "signed: $count $noun"
    done
    expect 0 mk list --json nested.exe
    python3 -c 'import json, sys; l = json.load(open(sys.argv[1]))
assert l["signed"] and l["signatures"] == 2, l' out.txt || fail "list --json: $(cat out.txt)"
    expect 0 mk extract nested.exe out
    fixed_tree_of out "the signed setup"
    # The stub, its PE header outside the signed fields (TimeDateStamp), the digest, the
    # package: each is still covered. So is what follows the table.
    for at in 5000 72 310275 310400 end; do
      cp signed.exe damaged.exe
      if [ $at = end ]; then printf '\0' >>damaged.exe; else flip damaged.exe $at; fi
      expect 1 mk verify damaged.exe
      [ $at = end ] || contains err.txt "digest mismatch"
    done
    ;;
  no_package)
    printf 'short' >short.exe
    head -c 400000 /dev/zero >zeros.exe
    for file in stub.exe short.exe tree zeros.exe nothing.exe; do
      why="holds no package"; [ $file != nothing.exe ] || why="cannot read the file"
      expect_err 2 "$file: $why" mk verify "$file"
      expect_err 2 "$file: $why" mk list "$file"
      expect_err 2 "$file: $why" mk extract "$file" out
      [ ! -e out ] || fail "a target was made for $file"
    done
    ;;
  damaged)
    expect 0 build setup.exe --quiet
    flip setup.exe $(($(stat -c %s setup.exe) - 3))
    expect 1 mk verify setup.exe
    grep -qE 'digest mismatch: .*\(stored [0-9a-f]{40}, computed [0-9a-f]{40}\)$' err.txt ||
      fail "verify said '$(cat err.txt)'"
    expect_err 1 "the package is damaged" mk extract setup.exe out
    # A deflated file "cut" whose stream stops without its last block.
    seal cut.exe '\x03cut\x00\x01\x00\x00\x00'"$time"'\x0a\x00\x00\x00\x00\x00\x00\x00\x00' \
      '\x00\x05\x00\xfa\xffhello'
    expect_err 1 "mksetup: cut: incomplete: the file's compressed data is damaged" \
      mk extract cut.exe out
    # A script that runs past the end, though its first bytes read as a tree of no known method.
    seal long.exe '' '' '\0\x09\0\0\0\xf0\0\0\0\0'
    expect_err 1 "its script runs past the end of the file" mk verify long.exe
    seal treeless.exe ''
    expect_err 1 "mksetup: treeless.exe: damaged: the file tree is missing" \
      mk extract treeless.exe out
    expect 1 mk list treeless.exe
    contains out.txt "damaged: the file tree is missing"
    ;;
  refused_tree)
    printf 'old' >setup.exe
    : >"tree/sub/con.txt"
    expect_err 1 "mksetup: sub/con.txt: " build setup.exe
    [ "$(cat setup.exe)" = old ] || fail "the existing output was touched"
    rm setup.exe
    expect 1 build setup.exe
    no_output
    left=$(find . -mindepth 1 -maxdepth 1 ! -name '*.txt' ! -name stub.exe ! -name tree)
    [ -z "$left" ] || fail "temporaries left behind: $left"
    expect 1 build out/setup.exe
    [ "$(cat err.txt)" = "mksetup: folder out/ does not exist" ] || fail "said '$(cat err.txt)'"
    ;;
  wrong_stub_size)
    truncate -s 310271 stub.exe
    expect_err 1 "a stub is exactly 310272 bytes" build setup.exe
    no_output
    ;;
  missing_arguments)
    # Usage errors: exit 2, one line naming the mistake, then the hint.
    while IFS='|' read -r words message; do
      read -ra argv <<<"$words"
      expect_err 2 "$message" mk "${argv[@]}"
      [ "$(wc -l <err.txt)" = 2 ] || fail "not one line and the hint: $words"
      contains err.txt "--help' for more information."
    done <<'TABLE'
build --script script.txt -o setup.exe --stub stub.exe|mksetup: --tree is required
build --script s --tree t -o o --level 13|--level: Value 13 not in range 1 to 12
build --script s --tree t -o o --jobs many|many
build --script s --tree t -o o --jobs 0|--jobs: Value 0 not in range 1 to 1024
frobnicate|frobnicate
verify --bogus setup.exe|--bogus
check --tree tree|--script is required
build --script s --tree t -o o --sign-command=sign|--sign-command: the command names no file
TABLE
    expect_err 2 "Subcommands:" mk
    expect 0 mk --help
    contains out.txt "Exit codes:"
    expect 0 mk build --help
    ;;
  script_errors)
    # What check calls an error of encoding, build refuses, naming the line.
    for script in 'T\n\x00x|line 2: a NUL byte' 'T\n\xf0\x9f\x98\x80|line 2: a character outside'; do
      printf '%b' "${script%%|*}" >bad.txt
      expect_err 1 "mksetup: bad.txt: ${script#*|}" \
        mk build --script bad.txt --tree tree -o setup.exe --stub stub.exe
      expect 1 mk check --script bad.txt
    done
    no_output
    ;;
  follow_links)
    ln -s sub/a.txt tree/link.txt
    ln -s sub tree/linkdir
    expect_err 1 "a symbolic link; a package holds only folders and regular files (--follow-links" \
      build setup.exe
    no_output
    expect 0 build setup.exe --quiet --follow-links
    expect 0 mk extract --quiet setup.exe out
    [ "$(cat out/link.txt out/linkdir/a.txt)" = "$(printf 'hello\nhello')" ] ||
      fail "the links were not followed"
    rm tree/linkdir
    while read -r link target message; do
      ln -s "$target" "tree/sub/$link"
      expect_err 1 "mksetup: sub/$link: a symbolic link $message" build setup.exe --follow-links
      rm "tree/sub/$link"
    done <<'TABLE'
up .. loop
away ../../script.txt that leads out of the tree
TABLE
    ;;
  check)
    mkdir -p tree/pic && : >tree/pic/logo.png
    lint() { printf "[locale]%s\nT\nP\nC:\\\\x\nS\nB\nF\n%b" "$1" "$2" >lint.txt; } # HEAD REST
    # build CODE [OPTION...]: build prints check's findings (less its summary), refuses errors,
    # and warnings too with --strict.
    built_as_checked() {
      mk check --script lint.txt --tree tree >check.txt
      rm -f lint.exe
      expect "$1" mk build --quiet --script lint.txt --tree tree -o lint.exe --stub stub.exe "${@:2}"
      diff <(sed '$d' check.txt) <(grep -v '^mksetup: ' err.txt) >/dev/null || fail "build's findings differ"
      [ "$1" = 0 ] || { contains err.txt "mksetup: lint.txt: $(tail -1 check.txt)"; [ ! -e lint.exe ]; } ||
        fail "a refused build wrote lint.exe"
    }
    lint "" 'pic\\logo.png\n[run]\nsub\\a.txt\n'
    expect 0 mk check --script lint.txt --tree tree
    [ "$(cat out.txt)" = "OK" ] || fail "a clean script printed '$(cat out.txt)'"
    [ -s err.txt ] && fail "a clean script wrote to stderr"
    built_as_checked 0
    lint "" 'sub/a.png\n[register]\nHKLM\\S\\N=1\n[run.de]\n'
    expect 1 mk check --script lint.txt --tree tree
    contains out.txt "lint.txt:8: error: the picture \"sub/a.png\" is not in the tree"
    contains out.txt "lint.txt:10: error: unknown root key \"HKLM\""
    contains out.txt "lint.txt:11: warning: [run.de] is never read"
    contains out.txt "2 errors, 1 warning"
    built_as_checked 1
    printf '[run]\napp.exe\n' >lint.txt
    expect 1 mk check --script lint.txt
    contains out.txt "lint.txt: error: no plain [locale] section"
    lint " texts" '[install]\nexit /b 0\n'
    expect 0 mk check --script lint.txt --tree tree
    contains out.txt "lint.txt:1: warning: text behind the bracket"
    contains out.txt "lint.txt:9: warning: \"exit\" ends the batch before its closing del line"
    contains out.txt "0 errors, 2 warnings"
    expect 1 mk check --strict --script lint.txt --tree tree
    built_as_checked 0
    built_as_checked 1 --strict
    # [product]: an Id, the icon in the tree, and the uninstaller's name left free.
    lint "" '[product]\nName=Ex\nIcon=sub\\b.ico\n'
    : >tree/uninstall.exe
    expect 1 mk check --script lint.txt --tree tree
    contains out.txt "lint.txt:8: error: [product] has no Id"
    contains out.txt "lint.txt:8: error: the tree holds \"uninstall.exe\""
    contains out.txt "lint.txt:10: error: the icon \"sub\\b.ico\" is not in the tree"
    contains out.txt "3 errors, 0 warnings"
    expect_err 2 "nothing.txt: cannot read the script" mk check --script nothing.txt --tree tree
    expect_err 2 "nowhere: cannot read the tree" mk check --script script.txt --tree nowhere
    ;;
  uninstaller)
    # [product] adds the stub again as uninstall.exe: the same script, and a record of the tree
    # as installed.
    printf '[product]\nId=Ex.App\nName=Ex\nVersion=1.2\nPublisher=Ex Inc.\nUrl=https://ex.com\nIcon=sub\\a.txt\n' >>script.txt
    expect 0 build setup.exe --quiet
    expect 0 build again.exe --quiet
    cmp -s setup.exe again.exe || fail "the same inputs gave different setups"
    expect 0 mk list setup.exe
    contains out.txt "  Publisher  Ex Inc."
    grep -qE '^ +[0-9]+ +[0-9]+ +deflate .*  uninstall.exe$' out.txt || fail "no row for uninstall.exe"
    expect 0 mk extract --quiet setup.exe out
    expect 0 mk verify out/uninstall.exe
    expect 0 mk list --json out/uninstall.exe
    # What the record holds is the builder tests'; here, what list makes of it.
    python3 - out.txt <<'PY' || fail "the listing is wrong: $(cat out.txt)"
import json, sys
listing = json.load(open(sys.argv[1]))
assert listing["method"] == "record" and listing["storedBytes"] == 0
assert all(e.get("storedSize", 0) == 0 for e in listing["entries"])
assert listing["product"] == {"id": "Ex.App", "name": "Ex", "version": "1.2", "publisher": "Ex Inc.",
                              "url": "https://ex.com", "icon": "sub\\a.txt"}, listing["product"]
PY
    expect 0 mk list out/uninstall.exe
    contains out.txt "; method record: an uninstaller"
    # Its time is the newest file's; without files, a fixed one.
    mkdir bare && sed '/^Icon=/d' script.txt >bare.txt
    expect 0 mk build --quiet --script bare.txt --tree bare --stub stub.exe -o bare.exe
    expect 0 mk list --json bare.exe
    contains out.txt '"time": "1980-01-01T00:00:00.00Z"'
    expect_err 0 "uninstall.exe: an uninstaller" mk extract out/uninstall.exe record
    contains err.txt "nothing to extract"
    [ ! -e record ] || fail "extracting the uninstaller made something"
    # Scope=user takes the per-user stub beside the given one, or --user-stub.
    { cat stub.exe; printf 'user'; } | head -c 310272 >setup-stub-user.exe
    printf 'Scope=user\n' >>script.txt
    expect 0 build user.exe --quiet
    cmp -s -n 310272 user.exe setup-stub-user.exe || fail "Scope=user did not take the user stub"
    mv setup-stub-user.exe other.exe
    expect_err 1 "setup-stub-user.exe" build user.exe --quiet
    expect 0 build user.exe --quiet --user-stub other.exe
    sed -i '/^Scope=user$/d' script.txt
    rm setup.exe
    # A stub without resources carries no version resource, and cannot take an icon.
    printf '\0\0\1\0\1\0\1\1\0\0\1\0\40\0\4\0\0\0\26\0\0\0abcd' >a.ico
    expect_err 1 "stub.exe: cannot take the icon: it is not a PE32" build setup.exe --icon a.ico
    no_output
    : >tree/UNINSTALL.exe
    expect_err 1 "mksetup: UNINSTALL.exe: the name is taken" build setup.exe
    no_output
    ;;
  sign_command)
    # A copy passes for signing ({in}, {out}), a command that fails or spoils the package
    # ({file}) refuses the build; Windows runs the command without a shell.
    copy='cp {in} {out}' fail='exit 7; {file}' spoil='echo x >>{file}'
    if [ -n "${MKSETUP_UNDER_WINE:-}" ]; then
      copy='cmd /c copy /b {in} {out}' fail='cmd /c exit 7 {file}' spoil='cmd /c echo x >>{file}'
    fi
    expect 0 build plain.exe --quiet
    expect 0 build copied.exe --quiet --sign-command "$copy"
    cmp -s plain.exe copied.exe || fail "the copy differs"
    printf '[product]\nId=Ex.App\n' >>script.txt
    for command in "$fail|the sign command failed (exit code 7)" "$spoil|after the sign command the package no longer verifies"; do
      expect_err 1 "mksetup: uninstall.exe: ${command#*|}" build setup.exe --sign-command "${command%%|*}"
      no_output
      left=$(find . -mindepth 1 -maxdepth 1 -name '.*')
      [ -z "$left" ] || fail "temporaries left behind: $left"
    done
    [ -n "${MKSETUP_UNDER_WINE:-}" ] && { echo "ok ($case_name, without osslsigncode)"; exit 0; }
    fixed_inputs # a stub osslsigncode takes
    openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
      -subj /CN=mksetup-test >/dev/null 2>&1 || fail "openssl cannot make a certificate"
    sign='osslsigncode sign -certs cert.pem -key key.pem'
    expect 0 build setup.exe --quiet --sign-command "$sign -in {in} -out {out}"
    expect 0 build inplace.exe --quiet --sign-command "$sign -in {file} -out {file}.s && mv {file}.s {file}"
    expect 0 mk extract --quiet setup.exe out
    for file in setup.exe out/uninstall.exe inplace.exe; do
      expect 0 mk verify $file
      contains out.txt "signed: 1 signature"
      osslsigncode verify -CAfile cert.pem $file >/dev/null || fail "osslsigncode rejects $file"
    done
    ;;
  list_table)
    expect 0 build setup.exe --quiet
    expect 0 mk list setup.exe
    contains out.txt "C:\\cli"
    contains out.txt "sub/empty/"
    grep -qE '^ +6 +6 +stored +[0-9-]+ [0-9:.]+ +sub/a.txt$' out.txt || fail "no row for sub/a.txt"
    grep -qE '^ +23893 +[0-9]+ +deflate .*numbers.txt$' out.txt || fail "no row for numbers.txt"
    contains out.txt "4 files, 43899 bytes"
    # A script that would drive a terminal: exact when redirected, escaped on a tty, C1
    # controls included (U+00A0 is none).
    printf '[locale]\nT=\033]0;owned\007\302\237\302\240\nP\nC:\\x\nS\nB\nF\n' >script.txt
    expect 0 build esc.exe --quiet
    expect 0 mk list esc.exe
    contains out.txt "$(printf 'T=\033]0;owned\007\302\237\302\240')"
    if [ -z "${MKSETUP_UNDER_WINE:-}" ]; then
      script -qec "$mksetup list esc.exe" /dev/null >tty.txt || fail "list on a terminal failed"
      contains tty.txt "T=\\x1B]0;owned\\x07\\xC2\\x9F$(printf '\302\240')"
    fi
    ;;
  list_json)
    expect 0 build setup.exe --quiet
    expect 0 mk list --json setup.exe
    python3 - out.txt <<'PY' || fail "the JSON listing is wrong"
import json, sys
listing = json.load(open(sys.argv[1]))
assert listing["script"] == open("script.txt").read(), listing["script"]
entries = {e["path"]: e for e in listing["entries"]}
assert entries["sub"]["type"] == "directory"
assert entries["sub/a.txt"]["size"] == 6 and not entries["sub/a.txt"]["compressed"]
assert entries["numbers.txt"]["size"] == 23893 and entries["numbers.txt"]["compressed"]
assert "offset" not in entries["e.txt"] and listing["files"] == 4
PY
    # Solid blocks: all full but the last, which holds the rest of the stream.
    seq 1 20000 >tree/more.txt
    expect 0 build solid.exe --quiet --method lzma2 --block-size 64KiB
    expect 0 mk list --json solid.exe
    python3 -c 'import json, sys; l = json.load(open(sys.argv[1])); sizes = [b["size"] for b in l["blocks"]]
assert sizes == [65536, 65536, l["bytes"] - 131072], sizes' out.txt || fail "solid blocks: $(cat out.txt)"
    ;;
  extract_round_trip)
    touch -d '2021-06-15 12:34:56.78' tree/sub/a.txt
    expect 0 build setup.exe --quiet
    expect 0 mk extract setup.exe out
    [ "$(cat err.txt)" = "mksetup: extracted 4 files into out" ] || fail "extract said: $(cat err.txt)"
    diff -r tree out >/dev/null || fail "the extracted tree differs"
    for f in sub/a.txt e.txt noise.bin numbers.txt; do
      [ "$(stat -c %Y "tree/$f")" = "$(stat -c %Y "out/$f")" ] || fail "time of $f differs"
    done
    [ "$(stat -c %y out/sub/a.txt)" = "2021-06-15 12:34:56.780000000 +0000" ] ||
      fail "hundredths lost: $(stat -c %y out/sub/a.txt)"
    # Again into the same folder: files are replaced, the result is the same.
    expect 0 mk extract --quiet setup.exe out
    [ -s err.txt ] && fail "--quiet printed something"
    diff -r tree out >/dev/null || fail "a second extraction differs"
    ;;
  extract_hostile)
    # A tree that tries to leave its target: a folder "..", a file "../escape", and one honest
    # file "ok" behind them.
    seal hostile.exe '\x01..\x00\x00\x00\x00\x00\x03x\x00\x00\x00\x00\x00'"$time"'\x04\x00\x00\x00\x00\x00\x00\x00\x02\x03../escape\x00\x00\x00\x00\x00'"$time"'\x04\x00\x00\x00\x00\x00\x00\x00\x03ok\x00\x00\x00\x00\x00'"$time"'\x04\x00\x00\x00\x04\x00\x00\x00\x00' evilfine
    expect 0 mk verify hostile.exe
    expect 3 mk extract hostile.exe out
    contains err.txt "mksetup: ../: skipped: the name is not safe to create"
    contains err.txt "mksetup: ../escape: skipped: the name is not safe to create"
    contains err.txt "extracted 1 files into out; 2 entries skipped"
    [ "$(cat out/ok)" = fine ] || fail "the honest file is missing"
    [ "$(ls -A out)" = ok ] || fail "unexpected files in the target: $(ls -A out)"
    [ -e escape ] || [ -e x ] && fail "a file escaped the target"
    expect 0 mk list hostile.exe
    contains out.txt "../escape  [skipped: the name is not safe to create]"
    contains out.txt "../x  [skipped: inside a skipped directory]"
    ;;
  extract_through_link)
    expect 0 build setup.exe --quiet
    mkdir -p out elsewhere
    ln -s ../elsewhere out/sub
    expect 3 mk extract setup.exe out
    contains err.txt "mksetup: sub/: skipped: a link or junction of that name is in the target"
    contains err.txt "1 entries skipped"
    [ -z "$(ls -A elsewhere)" ] || fail "written through the link: $(ls -A elsewhere)"
    cmp -s tree/noise.bin out/noise.bin || fail "the other files are missing"
    ;;
  man_page)
    # The options of each command's --help (the top level's too) are those of its synopsis line
    # and of its section in mksetup(1): neither can gain one the other lacks.
    page=$here/../../tools/mksetup/mksetup.1
    [ -z "$(groff -man -ww -z "$page" 2>&1)" ] || fail "groff: $(groff -man -ww -z "$page" 2>&1)"
    sed 's/\\-/-/g' "$page" >page.txt
    long_options() { grep -oE -- '--[a-z][a-z0-9-]+' | grep -vx -- --help | sort -u; }
    expect 0 mk --help
    for command in $(sed -n '/^Subcommands:/,/^$/s/^  \([a-z]\+\) .*/\1/p' out.txt) ''; do
      synopsis=$command section="SS \"mksetup $command\""
      [ -n "$command" ] || synopsis=--version section="SH OPTIONS"
      # shellcheck disable=SC2086 # no word for the top level
      mk $command --help | sed -nE '/^Options:/,/^$/s/^  (-[a-zA-Z],)?(--[a-z0-9-]+).*/\2/p' |
        long_options >help.txt
      sed -n '/^\.SH SYNOPSIS/,/^\.SH /p' page.txt | sed -nE "/^\.B mksetup $synopsis( |\$)/,/^\.br/p" |
        long_options >synopsis.txt
      sed -n "/^\.$section/,/^\.S[SH] /p" page.txt | grep -A1 '^\.TP' | long_options >section.txt
      for part in synopsis section; do
        diff help.txt $part.txt >/dev/null ||
          fail "mksetup $command: --help and the $part differ: $(diff help.txt $part.txt | tr '\n' ' ')"
      done
    done
    ;;
  same_bytes_as_native)
    # Run as mksetup.exe under Wine, which shows dot files as hidden.
    printf 'secret' >tree/.hidden
    printf 'x' >"tree/sub/Ünï çødé ✓.txt"
    touch -d '1969-07-20 20:17:40.25' tree/sub/a.txt
    printf '[product]\nId=Ex.App\n' >>script.txt # and the same uninstaller
    expect 0 build win.exe --quiet
    mksetup=${MKSETUP_NATIVE:?}
    expect 0 build native.exe --quiet
    cmp -s win.exe native.exe || fail "this mksetup and the native one wrote different bytes"
    expect 0 mk list win.exe
    contains out.txt "Ünï çødé ✓.txt"
    contains out.txt ".hidden"
    ;;
  *)
    fail "no such case"
    ;;
esac
echo "ok ($case_name)"
