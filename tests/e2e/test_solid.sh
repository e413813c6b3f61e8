#!/usr/bin/env bash
# A setup built with --method lzma2 in the smallest blocks installs silently:
# empty files, a file over three blocks long, two thousand small files, and an
# entry the stub refuses in between (its bytes decoded and dropped), exit code
# 3 for the refused entry. A block damaged behind a resealed digest ends the
# install with 3 too, and every file it leaves is whole or a cut-short prefix,
# never wrong bytes.
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_begin solid

tree="$scratch/tree"
mkdir -p "$tree/many"
: >"$tree/empty.txt"
seq 1 40000 >"$tree/big.txt"
for i in $(seq 1000 2999); do
  if [ $((i % 250)) = 0 ]; then : >"$tree/many/f$i.txt"; else echo "small file $i" >"$tree/many/f$i.txt"; fi
done
printf 'refused\n' >"$tree/many/f1500.tx"
printf '[locale]\nSolid E2E\nPrompt\n%s\\never\nStart\nBusy\nCopying\n' "$scratch_win" >"$scratch/setup.txt"
"$SETUP_MKSETUP" build --quiet --store --method lzma2 --block-size 64KiB --stub "$scratch/stub.exe" \
  --script "$scratch/setup.txt" --tree "$tree" -o "$setup_exe" || fail "mksetup build failed"

# edit_package PYTHON: runs PYTHON on the package's bytes `data` (a
# bytearray), then reseals its digest, as a hostile or broken builder could.
edit_package() {
  python3 - "$setup_exe" "$1" <<'PY'
import hashlib, struct, sys
path, edit = sys.argv[1], sys.argv[2]
data = bytearray(open(path, "rb").read())
stub = 310272
tree = stub + 25 + struct.unpack_from("<I", data, stub + 21)[0]
base = tree + 9 + struct.unpack_from("<I", data, tree + 1)[0]
exec(edit)
salt = b"kestravo setup package \r\n assembled by the package writer"
data[stub:stub + 20] = hashlib.sha1(salt + data[:stub] + data[stub + 20:]).digest()
open(path, "wb").write(data)
PY
}

# The index is stored (--store), so a name can be turned into a reserved one.
edit_package 'i = data.index(b"f1500.tx\0", tree); data[i:i + 8] = b"con.txt "[:8]'
e2e_run_silent "$scratch_win\\app"
expect_eq "exit code with a refused entry" 3 "$setup_rc"
rm "$tree/many/f1500.tx"
diff -r "$tree" "$scratch/app" >"$artifacts/diff.txt" || fail "the installed tree differs: $(head -5 "$artifacts/diff.txt")"

note "a damaged block"
edit_package 'k = struct.unpack_from("<I", data, base + 8)[0]; first = base + 13 + 8 * k; data[first + struct.unpack_from("<I", data, base + 13)[0] + 50] ^= 0x10'
e2e_run_silent "$scratch_win\\damaged"
expect_eq "exit code with a damaged block" 3 "$setup_rc"
wrong=0
while IFS= read -r -d '' file; do
  installed="$scratch/damaged/${file#"$tree"/}"
  [ -f "$installed" ] || continue
  if ! out=$(cmp "$tree/${file#"$tree"/}" "$installed" 2>&1); then
    case "$out" in *"EOF on $installed"*) ;; *) wrong=$((wrong + 1)); echo "$out" >>"$artifacts/wrong.txt" ;; esac
  fi
done < <(find "$tree" -type f -print0)
expect_eq "files with wrong bytes" 0 "$wrong"
echo "PASS"
