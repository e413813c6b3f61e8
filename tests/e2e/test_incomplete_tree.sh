#!/usr/bin/env bash
# An install in which an entry of the tree could not be written, or was
# skipped as unsafe, still runs to its end but exits 3: a file whose place
# is taken by a folder (silent), a folder of the tree that is a symbolic
# link in the target (silent; never followed), and a package whose index
# names a folder ".." (automatic start, the interactive path), which must not
# write outside the target.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin incomplete

log="$scratch_win\\order.log"
tree="$scratch/tree"
mkdir -p "$tree/docs" "$tree/zq"
printf 'readme\n' >"$tree/readme.txt"
printf 'notes\n' >"$tree/docs/notes.txt"
printf 'must stay inside\n' >"$tree/zq/escape.txt"
printf 'last\n' >"$tree/zz-last.txt"
script() { # LINE3
  printf '[locale]\nIncomplete E2E\nPrompt\n%s\nStart\nBusy\nCopying\n' "$1"
  printf '[install]\necho install>>%s\n[uninstall]\necho uninstall\n[end]\n' "$log"
}
expect_rest_installed() { # DIR
  cmp -s "$tree/docs/notes.txt" "$1/docs/notes.txt" || fail "docs\\notes.txt not installed"
  cmp -s "$tree/zz-last.txt" "$1/zz-last.txt" || fail "the entry after the failed one not installed"
  [ -f "$1/uninstall.bat" ] || fail "uninstall.bat missing"
  expect_eq "sections run" install "$(text_of "$scratch/order.log")"
}

note "a file that cannot be written, silently"
script "$scratch_win\\unused" >"$scratch/setup.txt"
e2e_build
mkdir -p "$scratch/app/readme.txt"
e2e_run_silent "$scratch_win\\app"
expect_eq "exit code with an unwritable file" 3 "$setup_rc"
expect_rest_installed "$scratch/app"
[ -d "$scratch/app/readme.txt" ] || fail "the folder in the file's place is gone"

note "a folder of the tree that is a link in the target, silently"
rm -f "$scratch/order.log"
mkdir -p "$scratch/linked" "$scratch/outside"
ln -s "$scratch/outside" "$scratch/linked/docs"
e2e_run_silent "$scratch_win\\linked"
expect_eq "exit code with a linked folder" 3 "$setup_rc"
[ -z "$(ls -A "$scratch/outside")" ] || fail "written through the link: $(ls -A "$scratch/outside")"
cmp -s "$tree/zz-last.txt" "$scratch/linked/zz-last.txt" || fail "the rest was not installed"

note "an unsafe name in the index, automatic start"
command -v python3 >/dev/null || skip "python3 is needed to forge a package"
rm -rf "$scratch/order.log" "$scratch/app" "$scratch/linked"
script "$scratch_win\\auto,1" >"$scratch/setup.txt"
"$SETUP_MKSETUP" build --quiet --store --stub "$scratch/stub.exe" --script "$scratch/setup.txt" \
  --tree "$tree" -o "$setup_exe" || fail "mksetup build failed"
# Rename the folder "zq" to ".." in the stored index and seal the package
# again, with the salt and stub size of the format's own header.
python3 - "$setup_exe" "$e2e_dir/../../src/package/package_format.h" <<'EOF' || fail "forging failed"
import ast, hashlib, re, sys
path, header = sys.argv[1:3]
text = open(header).read()
salt = ast.literal_eval(re.search(r'PACKAGE_SALT\[\] =\s*("(?:[^"\\]|\\.)*")', text).group(1))
stub_size = int(re.search(r"STUB_SIZE = (\d+)", text).group(1))
data = bytearray(open(path, "rb").read())
old, new = b"\x01zq\x00", b"\x01..\x00"
at = data.find(old, stub_size)
assert at > 0 and data.find(old, at + 1) < 0, "the folder entry is not unique"
data[at : at + len(old)] = new
body = bytes(data[:stub_size]) + bytes(data[stub_size + 20 :])
data[stub_size : stub_size + 20] = hashlib.sha1(salt.encode() + body).digest()
open(path, "wb").write(data)
EOF
"$SETUP_MKSETUP" verify "$setup_exe" >/dev/null || fail "the forged package is not sealed right"
e2e_start
e2e_wait_exit
expect_eq "exit code with an unsafe entry" 3 "$setup_rc"
expect_rest_installed "$scratch/auto"
escaped=$(find "$SETUP_WINE_ROOT/wineprefix/drive_c" -name escape.txt -not -path "$tree/*")
[ -z "$escaped" ] || fail "the unsafe entry was written: $escaped"
echo "PASS"
