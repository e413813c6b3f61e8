#!/usr/bin/env bash
# Extracts the same payload with `mksetup extract` and with `tar -xzf` (of a
# `tar -czf` archive of the same tree) in one run and prints the time ratio
# and the peak memory of both.
#
#   bench/extract-vs-tar.sh [--quick|--smoke] [--runs N]
#
# Payload P1 (wine's i386 PE DLLs plus /usr/include), staged under
# build/bench-build/ by bench/payload.sh; --quick uses
# /usr/include alone. The setup program and the archive are made once and
# kept. Each extraction goes into an empty folder after a sync, and the best
# of N runs (default 3) counts for each side. --smoke only shows that the
# benchmark works (bench/payload.sh), in one run.
set -euo pipefail
export LC_ALL=C

root="$(cd "$(dirname "$0")/.." && pwd)"
mksetup="${MKSETUP:-$root/build/bin/mksetup}"
quick=0
runs=3
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) quick=1 ;;
    --smoke) export BENCH_SMOKE=1; runs=1 ;;
    --runs) runs="$2"; shift ;;
    *) echo "usage: $0 [--quick|--smoke] [--runs N]" >&2; exit 2 ;;
  esac
  shift
done

# shellcheck source=bench/payload.sh
. "$root/bench/payload.sh"
[ -x "$mksetup" ] || bench_missing "$mksetup not built (cmake --build --preset native)"
[ -x /usr/bin/time ] || bench_missing "/usr/bin/time not found (Debian package time)"
stub="${STUB:-$root/build/bin/setup-stub.exe}"
[ -f "$stub" ] || bench_missing "$stub not built (cmake --build --preset win32)"
stage_payload "$quick"
out="$work/extract"
mkdir -p "$out"

setup="$out/setup.exe"
archive="$out/payload.tar.gz"
if [ ! -f "$setup" ] || [ "$setup" -ot "$mksetup" ]; then
  # The real stub: extract reads only setups that are Windows programs.
  cp "$stub" "$out/stub.exe"
  printf '[locale]\nBenchmark\nInstalling\nC:\\bench\\default\nStart\nBusy\nCopying\n' >"$out/setup.ini"
  "$mksetup" build --quiet --stub "$out/stub.exe" --script "$out/setup.ini" --tree "$payload" \
    -o "$setup"
fi
[ -f "$archive" ] || tar -czf "$archive" -C "$payload" .

files=$(find "$payload" -type f | wc -l)
bytes=$(du -sb --apparent-size "$payload" | cut -f1)
echo "payload $name: $files files, $((bytes / 1000000)) MB; setup $(($(stat -c %s "$setup") / 1000000)) MB," \
  "tar.gz $(($(stat -c %s "$archive") / 1000000)) MB; $(nproc) cores"
cat "$setup" "$archive" >/dev/null  # both inputs in the page cache

# measure LABEL COMMAND...: one run into a fresh $out/target; appends
# "seconds kilobytes" to $out/LABEL.runs.
measure() {
  local label="$1"
  shift
  rm -rf "$out/target"
  mkdir "$out/target"
  sync
  /usr/bin/time -f '%e %M' -o "$out/$label.time" "$@" >/dev/null 2>"$out/$label.log" ||
    { cat "$out/$label.log" >&2; exit 1; }
  cat "$out/$label.time" >>"$out/$label.runs"
}

rm -f "$out"/*.runs
for _ in $(seq "$runs"); do
  measure tar tar -xzf "$archive" -C "$out/target"
  measure mksetup "$mksetup" extract --quiet "$setup" "$out/target"
done
diff -rq "$payload" "$out/target" >/dev/null || { echo "the extracted tree differs" >&2; exit 1; }
rm -rf "$out/target"

best() { sort -n "$out/$1.runs" | head -1; }
read -r tar_seconds tar_kb <<<"$(best tar)"
read -r our_seconds our_kb <<<"$(best mksetup)"
ratio=$(bench_ratio "$our_seconds" "$tar_seconds")
echo "mksetup extract: $our_seconds s; tar -xzf: $tar_seconds s;" \
  "time ratio $ratio (target <= 1.00), best of $runs"
echo "  peak memory: mksetup extract $((our_kb / 1024)) MB, tar -xzf $((tar_kb / 1024)) MB"
