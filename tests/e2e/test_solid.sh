#!/usr/bin/env bash
# A setup built with --method lzma2 in the smallest blocks installs silently: empty files, a
# file over three blocks long, two thousand small files, and an entry the stub refuses in
# between (its bytes decoded and dropped), exit code 3 for the refused entry. The third block
# damaged behind a resealed digest (the blocks around it decoded meanwhile on other threads)
# ends the install with 3 too, and every file it leaves is whole or a cut-short prefix, never
# wrong bytes.
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
e2e_locale "Solid E2E" "$scratch_win\\never" >"$scratch/setup.txt"
E2E_BUILD="--store --method lzma2 --block-size 64KiB" e2e_build
# The index is stored (--store), so a name can be turned into a reserved one.
e2e_edit_package 'i = data.index(b"f1500.tx\0", tree); data[i:i + 8] = b"con.txt "[:8]'
e2e_run_silent 3 "$scratch_win\\app"
rm "$tree/many/f1500.tx"
diff -r "$tree" "$scratch/app" >"$artifacts/diff.txt" || fail "the installed tree differs: $(head -5 "$artifacts/diff.txt")"

note "a damaged third block"
e2e_edit_package 'k = struct.unpack_from("<I", data, base + 8)[0]; at = base + 13 + 8 * k
at += sum(struct.unpack_from("<I", data, base + 13 + 8 * i)[0] for i in range(2))
data[at + 50] ^= 0x10'
e2e_run_silent 3 "$scratch_win\\damaged"
wrong=0
while IFS= read -r -d '' file; do
  installed="$scratch/damaged/${file#"$tree"/}"
  [ -f "$installed" ] || continue
  if ! out=$(cmp "$file" "$installed" 2>&1); then
    case "$out" in *"EOF on $installed"*) ;; *) wrong=$((wrong + 1)) && echo "$out" >>"$artifacts/wrong.txt" ;; esac
  fi
done < <(find "$tree" -type f -print0)
expect_eq "files with wrong bytes" 0 "$wrong"
[ ! -e "$scratch/damaged/big.txt" ] || fail "big.txt, whose bytes the damaged block holds, was put in place"
cmp -s "$tree/many/f2999.txt" "$scratch/damaged/many/f2999.txt" || fail "the blocks after the damage were not installed"
echo "PASS"
