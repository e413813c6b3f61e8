#!/usr/bin/env bash
# Files are never written in place: a symbolic and a hard link planted at names of the tree
# in an existing target leave the files they point to as they were, and a setup killed while
# it writes a large file over an older one leaves the older one whole; the next install puts
# the new file in place and clears what the killed one left behind.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin links
tree="$scratch/tree"
mkdir -p "$tree/docs" "$scratch/app/docs" "$scratch/outside" "$scratch/kept"
printf 'new readme\r\n' >"$tree/readme.txt"
printf 'new notes\r\n' >"$tree/docs/notes.txt"
e2e_locale "Links E2E" "$scratch_win\\unused" >"$scratch/setup.txt"
e2e_build

note "a symbolic and a hard link at names of the tree"
printf 'outside, symbolic\n' >"$scratch/outside/sym.txt"
printf 'outside, hard\n' >"$scratch/outside/hard.txt"
cp "$scratch/outside/"* "$scratch/kept/"
ln -s "$scratch/outside/sym.txt" "$scratch/app/readme.txt"
ln "$scratch/outside/hard.txt" "$scratch/app/docs/notes.txt"
e2e_run_silent any "$scratch_win\\app"
through=""
for file in sym.txt hard.txt; do cmp -s "$scratch/kept/$file" "$scratch/outside/$file" || through+=" $file"; done
[ -z "$through" ] || fail "written through the links to:$through"
cmp -s "$tree/docs/notes.txt" "$scratch/app/docs/notes.txt" || fail "the hard link's name holds no new file"
# Wine shows a symbolic link to a file as a plain file: then it is replaced like one.
if [ -L "$scratch/app/readme.txt" ]; then
  expect_eq "exit code with the link skipped" 3 "$setup_rc"
else
  cmp -s "$tree/readme.txt" "$scratch/app/readme.txt" || fail "the symbolic link's name holds no new file"
  expect_eq "exit code" 0 "$setup_rc"
fi

note "killed while writing a large file over an older one"
truncate -s 512M "$tree/big.bin"
e2e_build
mkdir -p "$scratch/big"
printf 'the older big.bin\n' | tee "$scratch/kept/big.bin" >"$scratch/big/big.bin"
# Until the new bytes show, in a scratch file or (the fault) in big.bin itself.
mid_write() {
  [ -n "$(e2e_temp_files "$scratch/big" tmp -size +0)" ] ||
    ! cmp -s "$scratch/kept/big.bin" "$scratch/big/big.bin"
}
e2e_start "$scratch_win\\big"
e2e_poll 600 mid_write || fail "the setup never started writing big.bin"
kill -0 "$setup_pid" || fail "the setup had ended before the kill: the write was missed"
mapfile -t killed < <(e2e_pids "$setup_name")
kill -9 "${killed[@]}"
{ wait "$setup_pid" || true; } 2>/dev/null
setup_pid=""
cmp -s "$scratch/kept/big.bin" "$scratch/big/big.bin" || fail "the older big.bin was overwritten in place"
[ -n "$(e2e_temp_files "$scratch/big" tmp)" ] ||
  fail "no ~setup*.tmp after the kill: it came too late to prove anything"

note "the next install over what the killed one left"
e2e_run_silent 0 "$scratch_win\\big"
cmp -s "$tree/big.bin" "$scratch/big/big.bin" || fail "the new big.bin is not in place"
left=$(e2e_temp_files "$scratch/big" tmp)
[ -z "$left" ] || fail "left behind: $left"
echo "PASS"
