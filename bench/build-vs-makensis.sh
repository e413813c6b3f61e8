#!/usr/bin/env bash
# Builds the same payload with `mksetup build` and with NSIS's makensis (zlib)
# in one run and prints time and size ratios. --lzma2 compares our solid
# method (--method lzma2) with NSIS's `SetCompressor /SOLID lzma` instead.
#
#   bench/build-vs-makensis.sh [--quick|--smoke] [--lzma2] [--levels "6 7 9"] [-- extra mksetup build options]
#
# Payload P1: wine's i386 PE DLLs plus /usr/include, staged once under
# build/bench-build/ by hard links. --quick uses /usr/include alone. Entries a
# Windows tree cannot hold faithfully (symbolic links, names equal but for
# letter case) are dropped while staging, so both builders get the same files.
# --levels builds once per level and reports each against the one makensis run.
# --smoke only shows that the benchmark works (bench/payload.sh).
set -euo pipefail
export LC_ALL=C

root="$(cd "$(dirname "$0")/.." && pwd)"
mksetup="${MKSETUP:-$root/build/bin/mksetup}"
quick=0
levels=""
extra=()
lzma2=0
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) quick=1 ;;
    --smoke) export BENCH_SMOKE=1 ;;
    --lzma2) lzma2=1 ;;
    --levels) levels="$2"; shift ;;
    --) shift; extra=("$@"); break ;;
    *) echo "usage: $0 [--quick|--smoke] [--lzma2] [--levels \"N ...\"] [-- mksetup build options]" >&2; exit 2 ;;
  esac
  shift
done

# shellcheck source=bench/payload.sh
. "$root/bench/payload.sh"
command -v makensis >/dev/null || bench_missing "makensis not found (Debian package nsis)"
[ -x "$mksetup" ] || bench_missing "$mksetup not built (cmake --build --preset native)"
stage_payload "$quick"
out="$work/out"
method=()
targets="time ratio target <= 0.25, size ratio target <= 1.00"
if [ "$lzma2" = 1 ]; then
  out="$work/out-lzma2"
  method=(--method lzma2)
  peer_compressor="/SOLID lzma"
  targets="time ratio target <= 0.50, size ratio target <= 0.95"
fi
mkdir -p "$out"

# The real stub: every command that reads a setup back wants a Windows program.
stub="${STUB:-$root/build/bin/setup-stub.exe}"
[ -f "$stub" ] || bench_missing "$stub not built (cmake --build --preset win32)"
printf '[locale]\nBenchmark\nInstalling\nC:\\bench\\default\nStart\nBusy\nCopying\n' >"$out/setup.ini"
# shellcheck disable=SC2016 # $PROGRAMFILES is NSIS's, not ours
write_peer_nsi "$out/peer.nsi" "$out/peer.exe" '$PROGRAMFILES\Benchmark' "SilentInstall silent"

files=$(find "$payload" -type f | wc -l)
bytes=$(du -sb --apparent-size "$payload" | cut -f1)
echo "payload $name: $files files, $((bytes / 1000000)) MB; $(nproc) cores"

# Warm the page cache so that neither builder pays for the first read.
find "$payload" -type f -print0 | xargs -0 cat >/dev/null

# run LOG COMMAND...: wall seconds and peak memory (MB) into $seconds, $peak.
run() {
  local log="$1"
  shift
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -f '%e %M' -o "$log.time" "$@" >"$log" 2>&1
    read -r seconds kb <"$log.time"
    peak=$((kb / 1024))
  else
    local start end
    start=$(date +%s.%N)
    "$@" >"$log" 2>&1
    end=$(date +%s.%N)
    seconds=$(echo "$end - $start" | bc)
    peak="?"
  fi
}

megabytes() { printf '%.1f' "$(echo "scale=2; $(stat -c %s "$1") / 1000000" | bc)"; }

run "$out/makensis.log" makensis -V2 "$out/peer.nsi"
nsis_seconds=$seconds nsis_peak=$peak nsis_size=$(stat -c %s "$out/peer.exe")

for level in ${levels:-default}; do
  level_option=()
  [ "$level" = default ] || level_option=(--level "$level")
  run "$out/mksetup.log" "$mksetup" build --quiet --stub "$stub" --script "$out/setup.ini" \
    --tree "$payload" -o "$out/setup.exe" "${method[@]}" "${level_option[@]}" "${extra[@]}"
  size=$(stat -c %s "$out/setup.exe")
  "$mksetup" verify "$out/setup.exe" >/dev/null
  time_ratio=$(bench_ratio "$seconds" "$nsis_seconds")
  size_ratio=$(bench_ratio "$size" "$nsis_size")
  [ "$level" = default ] || printf 'level %s: ' "$level"
  echo "mksetup build: $seconds s, $(megabytes "$out/setup.exe") MB;" \
    "makensis: $nsis_seconds s, $(megabytes "$out/peer.exe") MB;" \
    "time ratio $time_ratio, size ratio $size_ratio ($targets)"
  echo "  peak memory: mksetup $peak MB, makensis $nsis_peak MB"
done
