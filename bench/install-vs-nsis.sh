#!/usr/bin/env bash
# Installs the same payload silently under Wine, once with our setup program
# (mksetup build) and once with NSIS's (makensis, zlib), in one prefix, and
# prints both times, their ratio and both peak memories. --lzma2 compares a
# setup built with --method lzma2 with NSIS's `SetCompressor /SOLID lzma`.
#
#   bench/install-vs-nsis.sh [--quick|--smoke] [--lzma2]
#
# Payload P1 (bench/payload.sh): wine's i386 PE DLLs plus /usr/include;
# --quick uses /usr/include alone; --smoke only shows that the benchmark
# works (bench/payload.sh). Like is compared with like: where this
# machine runs 32-bit programs natively, the shipped 32-bit stub
# (build/bin) against NSIS's x86-unicode stub; elsewhere 32-bit Wine runs
# only under qemu, some 100 times slower, and the stub's 64-bit twin
# (build/win64/bin) is measured against NSIS's amd64-unicode stub. The
# "pair:" line says which. Our silent install starts 2 s after start-up (the
# window's start timer, which a silent start keeps) and
# pauses 1 s at its end (so that programs started by [run] come up before the
# setup goes away); both stay in the measurement.
#
# The prefix is BENCH_WINE_ROOT (default build/bench-install): made once by
# tests/win/wine-fixture.sh, whose server and display this script starts and
# stops again. MKSETUP, STUB32 and STUB64 override the programs used.
set -euo pipefail
export LC_ALL=C

root="$(cd "$(dirname "$0")/.." && pwd)"
mksetup="${MKSETUP:-$root/build/bin/mksetup}"
run="$root/tests/win/wine-run.sh"
export SETUP_WINE_ROOT="${BENCH_WINE_ROOT:-$root/build/bench-install}"
export SETUP_WINE_DISPLAY=1
quick=0
lzma2=0
for arg in "$@"; do
  case "$arg" in
    --quick) quick=1 ;;
    --smoke) export BENCH_SMOKE=1 ;;
    --lzma2) lzma2=1 ;;
    *) echo "usage: $0 [--quick|--smoke] [--lzma2]" >&2; exit 2 ;;
  esac
done

# shellcheck source=bench/payload.sh
. "$root/bench/payload.sh"
choose_wine_pair
stage_payload "$quick"
out="$work/install"
method=()
target="0.60"
if [ "$lzma2" = 1 ]; then
  out="$work/install-lzma2"
  method=(--method lzma2)
  peer_compressor="/SOLID lzma"
  target="1.00"
fi
mkdir -p "$out"
# A copy: a rebuild of the stub while we run does no harm.
cp "$stub" "$out/stub.exe"

printf '[locale]\nBenchmark\nInstalling\nC:\\bench\\default\nStart\nBusy\nCopying\n[end]\n' >"$out/setup.txt"
write_peer_nsi "$out/peer.nsi" "$out/peer.exe" 'C:\bench\default' "Target $nsis_target"

files=$(find "$payload" -type f | wc -l)
bytes_of() { find "$1" -type f -printf '%s\n' | awk '{ n += $1 } END { print n + 0 }'; }
bytes=$(bytes_of "$payload")
echo "payload $name: $files files, $((bytes / 1000000)) MB; $(nproc) cores"
echo "pair: $pair"
"$mksetup" build --quiet --stub "$out/stub.exe" --script "$out/setup.txt" --tree "$payload" \
  -o "$out/ours.exe" "${method[@]}"
make_peer_setup
start_wine_desktop
cat "$out/ours.exe" "$out/peer.exe" >/dev/null

# install LABEL FOLDER PROGRAM ARGS...: wall seconds, peak memory (MB) and
# exit code of one silent install into C:\bench\FOLDER, in $seconds, $peak
# and $code; checks that the whole payload arrived.
install() {
  local label=$1 folder=$2 child cmdline kb
  shift 2
  rm -rf "${drive_c:?}/bench/$folder"
  /usr/bin/time -f '%e %M' -o "$out/$label.time" "$run" "$@" </dev/null >"$out/$label.log" 2>&1 &
  local timer=$!
  # The peak is that of the process /usr/bin/time waits for: wine-run.sh
  # execs Wine's loader, which runs the Windows program in the same process.
  sleep 0.5
  child=$(pgrep -P "$timer" | head -1 || true)
  # A short run may be over by now (no child: not /proc/cmdline, the kernel's).
  cmdline=$(tr '\0' ' ' 2>/dev/null <"/proc/${child:-none}/cmdline" || true)
  case "$cmdline" in
    "" | *"$(basename "$1")"*) ;;
    *) echo "warning: the measured process of $label runs '$cmdline', not $(basename "$1")" >&2 ;;
  esac
  code=0
  wait "$timer" || code=$?
  read -r seconds kb < <(tail -1 "$out/$label.time")
  peak=$((kb / 1024))
  local got_files got_bytes
  got_files=$(find "$drive_c/bench/$folder" -type f | wc -l)
  got_bytes=$(bytes_of "$drive_c/bench/$folder")
  if [ "$got_files" != "$files" ] || [ "$got_bytes" != "$bytes" ]; then
    bench_warn "$label installed $got_files files, $got_bytes bytes" \
      "(payload: $files files, $bytes bytes)"
  fi
  rm -rf "${drive_c:?}/bench/$folder"
}

"$run" --64 cmd /c exit 0 </dev/null >/dev/null 2>&1
/usr/bin/time -f '%M' -o "$out/baseline.time" "$run" --64 cmd /c exit 0 </dev/null >/dev/null 2>&1
baseline=$(($(tail -1 "$out/baseline.time") / 1024))

install ours ours "$out/ours.exe" 'C:\bench\ours'
ours_seconds=$seconds ours_peak=$peak ours_code=$code
install nsis nsis "$out/peer.exe" /S '/D=C:\bench\nsis'
nsis_seconds=$seconds nsis_peak=$peak nsis_code=$code

ratio=$(bench_ratio "$ours_seconds" "$nsis_seconds")
echo "setup.exe (ours): $ours_seconds s, exit code $ours_code;" \
  "NSIS: $nsis_seconds s, exit code $nsis_code; time ratio $ratio (target <= $target)"
echo "  of ours, 3 s are fixed waits: the 2 s start timer of a silent install, the 1 s pause at the end"
echo "  peak memory: ours $ours_peak MB, NSIS $nsis_peak MB (a Wine process doing nothing: $baseline MB)"
[ "$ours_code$nsis_code" = 00 ] || bench_warn "an install ended with an exit code other than 0"
