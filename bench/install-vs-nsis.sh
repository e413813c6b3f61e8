#!/usr/bin/env bash
# Installs the same payload silently under Wine with our setup program
# (mksetup build) and with NSIS's (makensis), in one prefix, for both
# compression methods: deflate against NSIS's zlib, --method lzma2 against
# `SetCompressor /SOLID lzma`. Beside them it times the write floor, Wine's
# `xcopy /E /I /Q /Y` of the same tree from inside the prefix, which no
# installer there can beat by much. Each of N rounds (default 3) runs the
# three, the side that goes first taking turns; it prints every round's
# times, the medians, the ratios of the medians to NSIS and to the floor, and
# the peak memories.
#
#   bench/install-vs-nsis.sh [--quick|--smoke] [--deflate|--lzma2] [--rounds N] [--before STUB]
#
# Payload P1 (bench/payload.sh): wine's i386 PE DLLs plus /usr/include;
# --quick uses /usr/include alone; --smoke only shows that the benchmark
# works (bench/payload.sh, one round). --deflate or --lzma2 measures one
# method only. --before adds a setup built around another stub (an earlier
# build of ours) to every round, for a before-and-after pair in one run. Like is compared with like: where this
# machine runs 32-bit programs natively, the shipped 32-bit stub
# (build/bin) against NSIS's x86-unicode stub; elsewhere 32-bit Wine runs
# only under qemu, some 100 times slower, and the stub's 64-bit twin
# (build/win64/bin) is measured against NSIS's amd64-unicode stub. The
# "pair:" line says which. Both setups are started the way deployment tools
# start them, `/S /D=FOLDER`, which starts our install at once and skips the
# 1 s pause for [run] at its end (the plain form `setup.exe FOLDER` keeps
# both pauses, 3 s more).
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
methods=(deflate lzma2)
rounds=3
before=""
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) quick=1 ;;
    --smoke) export BENCH_SMOKE=1; rounds=1 ;;
    --deflate) methods=(deflate) ;;
    --lzma2) methods=(lzma2) ;;
    --rounds) rounds="$2"; shift ;;
    --before) before="$(realpath "$2")"; shift ;;
    *) echo "usage: $0 [--quick|--smoke] [--deflate|--lzma2] [--rounds N] [--before STUB]" >&2; exit 2 ;;
  esac
  shift
done

# shellcheck source=bench/payload.sh
. "$root/bench/payload.sh"
choose_wine_pair
stage_payload "$quick"
out="$work/install"
mkdir -p "$out"
# A copy: a rebuild of the stub while we run does no harm.
cp "$stub" "$out/stub.exe"
printf '[locale]\nBenchmark\nInstalling\nC:\\bench\\default\nStart\nBusy\nCopying\n[end]\n' >"$out/setup.txt"

files=$(find "$payload" -type f | wc -l)
bytes_of() { find "$1" -type f -printf '%s\n' | awk '{ n += $1 } END { print n + 0 }'; }
bytes=$(bytes_of "$payload")
echo "payload $name: $files files, $((bytes / 1000000)) MB; $(nproc) cores; load $(cut -d' ' -f1 /proc/loadavg)"
echo "pair: $pair"
# build_setup STUB EXE: our setup of $payload around STUB with $method, kept
# while the stub, the builder and the payload stay the same (an lzma2 build
# of P1 takes minutes).
build_setup() {
  local key
  key="$(cat "$1" "$mksetup" | md5sum) $method"
  if [ -f "$2" ] && [ "$(cat "$2.key" 2>/dev/null)" = "$key" ] && [ "$2" -nt "$work/.staged" ]; then
    echo "our setup: reusing $2"
    return
  fi
  "$mksetup" build --quiet --stub "$1" --script "$out/setup.txt" --tree "$payload" -o "$2" \
    --method "$method"
  echo "$key" >"$2.key"
}

for method in "${methods[@]}"; do
  peer_compressor=zlib
  [ "$method" = lzma2 ] && peer_compressor="/SOLID lzma"
  write_peer_nsi "$out/peer-$method.nsi" "$out/peer-$method.exe" 'C:\bench\default' "Target $nsis_target"
  build_setup "$out/stub.exe" "$out/ours-$method.exe"
  make_peer_setup "$out/peer-$method.nsi" "$out/peer-$method.exe"
  [ -z "$before" ] || build_setup "$before" "$out/before-$method.exe"
done
start_wine_desktop
# The floor's source: the payload inside the prefix (hard links, read only).
rm -rf "${drive_c:?}/bench/source"
cp -al "$payload" "$drive_c/bench/source"
cat "$out"/*.exe >/dev/null

# install LABEL FOLDER PROGRAM ARGS...: wall seconds, peak memory (MB) and
# exit code of one run that writes C:\bench\FOLDER, in $seconds, $peak and
# $code; checks that the whole payload arrived.
install() {
  local label=$1 folder=$2 child cmdline kb
  shift 2
  rm -rf "${drive_c:?}/bench/$folder"
  sync
  /usr/bin/time -f '%e %M' -o "$out/$label.time" "$run" "$@" </dev/null >"$out/$label.log" 2>&1 &
  local timer=$!
  # The peak is that of the process /usr/bin/time waits for: wine-run.sh
  # execs Wine's loader, which runs the Windows program in the same process.
  sleep 0.5
  child=$(pgrep -P "$timer" | head -1 || true)
  # A short run may be over by now (no child: not /proc/cmdline, the kernel's).
  cmdline=$(tr '\0' ' ' 2>/dev/null <"/proc/${child:-none}/cmdline" || true)
  case "$cmdline" in
    "" | *"${1##*/}"*) ;;
    *) [ "$1" = --64 ] || echo "warning: the measured process of $label runs '$cmdline', not ${1##*/}" >&2 ;;
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

# median V...: the middle value (the lower of the two middle ones).
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

"$run" --64 cmd /c exit 0 </dev/null >/dev/null 2>&1
/usr/bin/time -f '%M' -o "$out/baseline.time" "$run" --64 cmd /c exit 0 </dev/null >/dev/null 2>&1
baseline=$(($(tail -1 "$out/baseline.time") / 1024))

floor_times=()
for method in "${methods[@]}"; do
  ours_times=() nsis_times=() before_times=() ours_peak=0 nsis_peak=0 before_peak=0 codes=""
  for ((i = 1; i <= rounds; i++)); do
    order=(ours nsis floor)
    [ -z "$before" ] || order=(before ours nsis floor)
    [ $((i % 2)) = 0 ] && order=(floor nsis ours ${before:+before})
    for side in "${order[@]}"; do
      case "$side" in
        ours)
          install ours ours "$out/ours-$method.exe" /S '/D=C:\bench\ours'
          ours_times+=("$seconds") codes+=$code
          [ "$peak" -gt "$ours_peak" ] && ours_peak=$peak ;;
        nsis)
          install nsis nsis "$out/peer-$method.exe" /S '/D=C:\bench\nsis'
          nsis_times+=("$seconds") codes+=$code
          [ "$peak" -gt "$nsis_peak" ] && nsis_peak=$peak ;;
        before)
          install before before "$out/before-$method.exe" /S '/D=C:\bench\before'
          before_times+=("$seconds") codes+=$code
          [ "$peak" -gt "$before_peak" ] && before_peak=$peak ;;
        floor)
          install floor floor --64 cmd /c xcopy 'C:\bench\source' 'C:\bench\floor' /E /I /Q /Y
          floor_times+=("$seconds") ;;
      esac
    done
    echo "$method round $i: ours ${ours_times[-1]} s, NSIS ${nsis_times[-1]} s, floor ${floor_times[-1]} s" \
      "(ratio $(bench_ratio "${ours_times[-1]}" "${nsis_times[-1]}"))" \
      ${before:+"; before ${before_times[-1]} s (ours/before $(bench_ratio "${ours_times[-1]}" "${before_times[-1]}"))"}
  done
  ours=$(median "${ours_times[@]}") nsis=$(median "${nsis_times[@]}") floor=$(median "${floor_times[@]}")
  target="0.85"
  [ "$method" = lzma2 ] && target="0.60"
  echo "$method medians: ours $ours s, NSIS $nsis s, floor $floor s;" \
    "ours/NSIS $(bench_ratio "$ours" "$nsis") (target <= $target)," \
    "ours/floor $(bench_ratio "$ours" "$floor"), NSIS/floor $(bench_ratio "$nsis" "$floor")"
  if [ -n "$before" ]; then
    earlier=$(median "${before_times[@]}")
    echo "  before: median $earlier s; ours/before $(bench_ratio "$ours" "$earlier")," \
      "before/NSIS $(bench_ratio "$earlier" "$nsis"); peak memory $before_peak MB"
  fi
  echo "  peak memory: ours $ours_peak MB, NSIS $nsis_peak MB (a Wine process doing nothing: $baseline MB)"
  [ -z "${codes//0/}" ] ||
    bench_warn "an install ended with an exit code other than 0 ($codes)"
done
rm -rf "${drive_c:?}/bench/source"
