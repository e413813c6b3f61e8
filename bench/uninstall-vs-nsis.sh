#!/usr/bin/env bash
# Uninstalls the same payload silently under Wine, once with our uninstaller
# (the uninstall.exe a setup built with [product] installs) and once with
# NSIS's (WriteUninstaller; its uninstall section deletes its registry entry
# and does `RMDir /r $INSTDIR`), in one prefix, and prints both times, their
# ratio and both peak memories.
#
#   bench/uninstall-vs-nsis.sh [--quick|--smoke] [--runs N]
#
# Payload P1 (bench/payload.sh), --quick /usr/include alone (--smoke: one run
# that only shows that the benchmark works), and the pair of
# stubs as in bench/install-vs-nsis.sh (the "pair:" line says which). Both
# installs are silent and not timed. NSIS's uninstaller normally copies itself
# to the temporary folder, starts the copy and exits at once; it is run as
# `uninstall.exe /S _?=C:\bench\nsis`, in place and waited for, so that its
# time is that of the removal. Running from the folder, it cannot delete its
# own file and leaves it and the folder behind; ours moves itself out and
# removes the folder. Each of N runs (default 3) installs both anew and
# uninstalls them after a sync, the side that goes first taking turns; the
# best time of each side counts (every run's is printed too: on a busy
# machine they spread widely), the highest peak memory. Ours is also timed on a tree of one small file: its
# fixed part (start-up, reading the record, deleting the registry entry,
# moving itself out), which the payload's time includes.
#
# The prefix is BENCH_WINE_ROOT (default build/bench-uninstall): made once by
# tests/win/wine-fixture.sh, whose server and display this script starts and
# stops again. MKSETUP, STUB32 and STUB64 override the programs used.
set -euo pipefail
export LC_ALL=C

root="$(cd "$(dirname "$0")/.." && pwd)"
mksetup="${MKSETUP:-$root/build/bin/mksetup}"
run="$root/tests/win/wine-run.sh"
export SETUP_WINE_ROOT="${BENCH_WINE_ROOT:-$root/build/bench-uninstall}"
export SETUP_WINE_DISPLAY=1
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
choose_wine_pair
stage_payload "$quick"
out="$work/uninstall"
mkdir -p "$out/small"
# A copy: a rebuild of the stub while we run does no harm.
cp "$stub" "$out/stub.exe"

printf '[locale]\nBenchmark\nInstalling\nC:\\bench\\default\nStart\nBusy\nCopying\n[product]\nId=Bench.Uninstall\nName=Benchmark\nVersion=1.0\n[end]\n' >"$out/setup.txt"
entry='Software\Microsoft\Windows\CurrentVersion\Uninstall\Bench.Peer'
write_peer_nsi "$out/peer.nsi" "$out/peer.exe" 'C:\bench\default' "Target $nsis_target"
cat >>"$out/peer.nsi" <<EOF
Section
  WriteUninstaller "\$INSTDIR\\uninstall.exe"
  WriteRegStr HKLM "$entry" "DisplayName" "Benchmark"
  WriteRegStr HKLM "$entry" "UninstallString" '"\$INSTDIR\\uninstall.exe"'
SectionEnd
Section "Uninstall"
  DeleteRegKey HKLM "$entry"
  RMDir /r "\$INSTDIR"
SectionEnd
EOF

files=$(find "$payload" -type f | wc -l)
bytes_of() { find "$1" -type f -printf '%s\n' | awk '{ n += $1 } END { print n + 0 }'; }
echo "payload $name: $files files, $(($(bytes_of "$payload") / 1000000)) MB; $(nproc) cores"
echo "pair: $pair"
"$mksetup" build --quiet --stub "$out/stub.exe" --script "$out/setup.txt" --tree "$payload" -o "$out/ours.exe"
printf 'small\r\n' >"$out/small/readme.txt"
"$mksetup" build --quiet --stub "$out/stub.exe" --script "$out/setup.txt" --tree "$out/small" -o "$out/small.exe"
make_peer_setup
start_wine_desktop

# install FOLDER SETUP: a silent install into C:\bench\FOLDER, which must
# hold the payload and an uninstaller afterwards.
install() {
  rm -rf "${drive_c:?}/bench/$1"
  "$run" "$2" /S "/D=C:\\bench\\$1" </dev/null >"$out/install-$1.log" 2>&1 ||
    { echo "the install into $1 failed" >&2; exit 1; }
  [ -f "$drive_c/bench/$1/uninstall.exe" ] || { echo "no uninstaller in $1" >&2; exit 1; }
}

# uninstall LABEL FOLDER ARGS...: wall seconds, peak memory (MB) and exit
# code of C:\bench\FOLDER\uninstall.exe ARGS, in $seconds, $peak and $code;
# what it left is in $left.
uninstall() {
  local label=$1 folder=$2 child cmdline kb
  shift 2
  # The installs' writes are on the disk first: neither side pays for them.
  sync
  /usr/bin/time -f '%e %M' -o "$out/$label.time" "$run" "$drive_c/bench/$folder/uninstall.exe" "$@" \
    </dev/null >"$out/$label.log" 2>&1 &
  local timer=$!
  # The peak is that of the process /usr/bin/time waits for: wine-run.sh
  # execs Wine's loader, which runs the Windows program in the same process.
  sleep 0.2
  child=$(pgrep -P "$timer" | head -1 || true)
  # A short run may be over by now.
  cmdline=$(tr '\0' ' ' 2>/dev/null <"/proc/${child:-none}/cmdline" || true)
  case "$cmdline" in
    "" | *uninstall.exe*) ;;
    *) echo "warning: the measured process of $label runs '$cmdline', not uninstall.exe" >&2 ;;
  esac
  code=0
  wait "$timer" || code=$?
  read -r seconds kb < <(tail -1 "$out/$label.time")
  peak=$((kb / 1024))
  left=""
  [ ! -e "$drive_c/bench/$folder" ] ||
    left=$(cd "$drive_c/bench" && find "$folder" -maxdepth 1 | sort | tr '\n' ' ')
  rm -rf "${drive_c:?}/bench/$folder"
}

# Per side: every run's time, the highest peak and any exit code but 0.
ours_times=() nsis_times=() ours_peak=0 nsis_peak=0 ours_code=0 nsis_code=0
cat "$out/ours.exe" "$out/peer.exe" >/dev/null
for ((i = 1; i <= runs; i++)); do
  install ours "$out/ours.exe"
  install nsis "$out/peer.exe"
  order=(ours nsis)
  [ $((i % 2)) = 1 ] || order=(nsis ours)
  for side in "${order[@]}"; do
    if [ "$side" = ours ]; then
      uninstall ours ours /S
      [ -z "$left" ] || bench_warn "our uninstaller left $left"
      ours_times+=("$seconds")
      [ "$peak" -le "$ours_peak" ] || ours_peak=$peak
      [ "$code" = 0 ] || ours_code=$code
    else
      uninstall nsis nsis /S '_?=C:\bench\nsis'
      [ "$left" = "nsis nsis/uninstall.exe " ] || bench_warn "NSIS's uninstaller left $left"
      nsis_times+=("$seconds")
      [ "$peak" -le "$nsis_peak" ] || nsis_peak=$peak
      [ "$code" = 0 ] || nsis_code=$code
    fi
  done
done
fastest() { printf '%s\n' "$@" | sort -n | head -1; }
ours_seconds=$(fastest "${ours_times[@]}") nsis_seconds=$(fastest "${nsis_times[@]}")
# The same Id: installed now, it registers as the payload's install did.
install small "$out/small.exe"
uninstall small small /S
small_seconds=$seconds small_code=$code

ratio=$(bench_ratio "$ours_seconds" "$nsis_seconds")
echo "uninstall.exe (ours): $ours_seconds s, exit code $ours_code;" \
  "NSIS: $nsis_seconds s, exit code $nsis_code; time ratio $ratio (target <= 1.0)"
echo "  every run: ours ${ours_times[*]} s; NSIS ${nsis_times[*]} s"
echo "  of ours, the fixed part (a tree of one file): $small_seconds s, exit code $small_code"
echo "  peak memory: ours $ours_peak MB, NSIS $nsis_peak MB"
[ "$ours_code$nsis_code$small_code" = 000 ] || bench_warn "an uninstall ended with an exit code other than 0"
