#!/usr/bin/env bash
# Files are never written in place: a symbolic and a hard link planted at names of the tree
# in an existing target leave the files they point to as they were, and a folder of the tree
# swapped for a link while its files are written leads none of them elsewhere. An upgrade killed
# while it writes a large file over an older one leaves the older one whole and the old
# version's uninstaller in place; the next run puts the new file in place, clears what the
# killed one left behind and removes the old version's files, and the uninstaller leaves
# nothing of either version.
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

note "a folder swapped for a link while its files are written"
e2e_many "$tree/many" 400 package
e2e_many "$scratch/outside/many" 400 outside
cp -r "$scratch/outside/many" "$scratch/kept/"
e2e_build
e2e_swap_folder made "$scratch_win\\swap\\many\\f0000" "$scratch_win\\swap\\many" "$scratch/outside/many"
e2e_run_silent any "$scratch_win\\swap"
e2e_swap_done
diff -r "$scratch/kept/many" "$scratch/outside/many" >/dev/null || fail "written through the swapped folder"
expect_eq "exit code" 0 "$setup_rc"
diff -r "$tree/many" "$scratch/swap/many" >/dev/null || fail "the folder's files are not all in place"
rm -r "$tree/many"

note "an upgrade killed while writing a large file over an older one"
id="E2E.Killed.$$"
e2e_product "$id"
printf '[product]\nId=%s\n' "$id" >>"$scratch/setup.txt"
mkdir -p "$tree/old"
printf 'only in version 1\r\n' >"$tree/old/gone.txt"
e2e_build
e2e_run_silent 0 /S "/D=$scratch_win\\big"
rm -r "$tree/old"
# After the uninstaller in the tree's order: a kill there once left only the new one's record.
truncate -s 512M "$tree/zbig.bin"
e2e_build
printf 'the older zbig.bin\n' | tee "$scratch/kept/zbig.bin" >"$scratch/big/zbig.bin"
e2e_start "$scratch_win\\big"
# Killed once the new bytes show, in a scratch file larger than the uninstaller or (the fault) in
# zbig.bin itself: a watcher quick enough for a write of a second or two on a loaded machine.
status=0
python3 - "$scratch/big" "$setup_name" "$scratch/kept/zbig.bin" <<'EOF' || status=$?
import os, signal, sys, time
folder, name, kept = sys.argv[1], sys.argv[2].encode(), open(sys.argv[3], "rb").read()
def mid_write():
    for top, _, files in os.walk(folder):
        for file in files:
            try:
                if file.startswith("~setup") and os.path.getsize(os.path.join(top, file)) > 2 << 20:
                    return True
            except OSError:
                pass
    with open(os.path.join(folder, "zbig.bin"), "rb") as file:
        return file.read(len(kept) + 1) != kept
end = time.time() + 60
while not mid_write():
    if time.time() > end:
        sys.exit(1)
    time.sleep(0.005)
killed = 0
for pid in filter(str.isdigit, os.listdir("/proc")):
    try:
        if int(pid) != os.getpid() and name in open(f"/proc/{pid}/cmdline", "rb").read():
            os.kill(int(pid), signal.SIGKILL)
            killed += 1
    except OSError:
        pass
sys.exit(0 if killed else 2)
EOF
[ "$status" != 1 ] || fail "the setup never started writing zbig.bin"
[ "$status" = 0 ] || fail "the setup had ended before the kill: the write was missed"
{ wait "$setup_pid" || true; } 2>/dev/null
setup_pid=""
cmp -s "$scratch/kept/zbig.bin" "$scratch/big/zbig.bin" || fail "the older zbig.bin was overwritten in place"
[ -n "$(e2e_temp_files "$scratch/big" tmp)" ] ||
  fail "no ~setup*.tmp after the kill: it came too late to prove anything"

note "the next install over what the killed one left"
e2e_run_silent 0 "$scratch_win\\big"
cmp -s "$tree/zbig.bin" "$scratch/big/zbig.bin" || fail "the new zbig.bin is not in place"
left=$(e2e_temp_files "$scratch/big" tmp)
[ -z "$left" ] || fail "left behind: $left"
[ ! -e "$scratch/big/old" ] || fail "the old version's files are left: $(find "$scratch/big/old")"
note "the uninstall after it"
e2e_quiet_uninstall 0
[ ! -e "$scratch/big" ] || fail "left of either version: $(find "$scratch/big")"
echo "PASS"
