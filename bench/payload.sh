# shellcheck shell=bash
# Sourced by the benchmarks: stages a reference payload by hard links under
# $BENCH_DIR/NAME/payload (default build/bench-build), once. The caller sets
# $root (the checkout).
#
#   stage_payload QUICK   sets $name, $work and $payload
#
# P1 is wine's i386 PE DLLs plus /usr/include; QUICK=1 takes /usr/include
# alone. Symbolic links are dropped (the builder refuses them), and of names
# equal but for case only the first in byte order is kept (Windows could not
# hold both).
#
# A smoke run (a benchmark's --smoke, which exports BENCH_SMOKE=1) only shows
# that the benchmark still works, in seconds: its payload is some hundred
# headers whose names clash in letter case, and what keeps a benchmark from
# running here (a peer, Wine, the stub) skips it with ctest's 77.
stage_payload() {
  local quick=$1 sources
  if [ "${BENCH_SMOKE:-0}" = 1 ]; then
    name=smoke
    sources=(/usr/include/linux/netfilter /usr/include/zlib.h)
  elif [ "$quick" = 1 ]; then
    name=quick
    sources=(/usr/include)
  else
    name=p1
    sources=(/usr/lib/i386-linux-gnu/wine/i386-windows /usr/include)
  fi
  # shellcheck disable=SC2154 # $root is the caller's
  work="${BENCH_DIR:-$root/build/bench-build}/$name"
  payload="$work/payload"
  [ -e "$work/.staged" ] && return
  rm -rf "$work"
  mkdir -p "$payload"
  for source in "${sources[@]}"; do cp -al "$source" "$payload/"; done
  find "$payload" -type l -delete
  (cd "$payload" && find . -mindepth 1 | LC_ALL=C sort |
    awk '{ key = tolower($0); if (key in seen) print; else seen[key] = 1 }' |
    while IFS= read -r path; do rm -rf -- "$path"; done)
  touch "$work/.staged"
}

# write_peer_nsi FILE OUTPUT_EXE INSTALL_DIR [LINES...]: NSIS's script for the
# staged $payload with zlib (or $peer_compressor: "/SOLID lzma" is the peer of
# our lzma2 method), the peer of every comparison; LINES go into its header
# (Target, SilentInstall, ...).
write_peer_nsi() {
  local file=$1 output=$2 install_dir=$3 line
  shift 3
  {
    echo "Unicode true"
    for line in "$@"; do echo "$line"; done
    echo "SetCompressor ${peer_compressor:-zlib}"
    echo "OutFile \"$output\""
    echo "InstallDir \"$install_dir\""
    echo "RequestExecutionLevel user"
    echo "Section"
    echo "  SetOutPath \$INSTDIR"
    echo "  File /r \"$payload/*\""
    echo "SectionEnd"
  } >"$file"
}

# bench_missing WHY: this machine lacks what the benchmark needs; a smoke run
# counts as skipped.
bench_missing() {
  echo "$*" >&2
  [ "${BENCH_SMOKE:-0}" = 1 ] && exit 77
  exit 2
}

# bench_warn WHY: a measurement went wrong; a smoke run, which is there to
# catch exactly that, fails.
bench_warn() {
  echo "warning: $*" >&2
  [ "${BENCH_SMOKE:-0}" != 1 ] || exit 1
}

# bench_ratio A B: A / B to three places; "-" when B is 0 (a smoke run's
# tiny payload can take less than the clock's hundredth of a second).
bench_ratio() {
  if [ "$(echo "$2 > 0" | bc)" = 1 ]; then
    printf '%.3f' "$(echo "scale=4; $1 / $2" | bc)"
  else
    printf '%s' -
  fi
}

# choose_wine_pair: checks what a benchmark under Wine needs and sets $stub,
# $nsis_target and $pair, like against like as bench/install-vs-nsis.sh
# explains. The caller sets $root and $mksetup.
# shellcheck disable=SC2034 # the variables set are the caller's
choose_wine_pair() {
  command -v makensis >/dev/null || bench_missing "makensis not found (Debian package nsis)"
  # shellcheck disable=SC2154 # $mksetup is the caller's
  [ -x "$mksetup" ] || bench_missing "$mksetup not built (cmake --build --preset native)"
  [ -x /usr/bin/time ] || bench_missing "/usr/bin/time not found (Debian package time)"
  command -v wine >/dev/null || bench_missing "wine not found (Debian package wine)"
  command -v Xvfb >/dev/null || bench_missing "Xvfb not found (Debian package xvfb)"
  if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386 || ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    stub="${STUB64:-$root/build/win64/bin/setup-stub.exe}"
    nsis_target=amd64-unicode
    pair="64-bit: our stub's x86-64 twin vs NSIS amd64-unicode (32-bit programs do not run natively here)"
  else
    stub="${STUB32:-$root/build/bin/setup-stub.exe}"
    nsis_target=x86-unicode
    pair="32-bit: our shipped i686 stub vs NSIS x86-unicode"
  fi
  [ -f "$stub" ] || bench_missing "$stub not built"
}

# make_peer_setup [NSI EXE]: makensis on NSI (default $out/peer.nsi), which
# writes EXE (default $out/peer.exe); makensis takes minutes on P1, so its
# output is kept while script and payload stay the same.
make_peer_setup() {
  # shellcheck disable=SC2154 # $out and $work are the caller's
  local nsi=${1:-$out/peer.nsi} exe=${2:-$out/peer.exe}
  if [ -f "$exe" ] && [ -f "$nsi.built" ] && cmp -s "$nsi" "$nsi.built" &&
    [ "$exe" -nt "$work/.staged" ]; then
    echo "NSIS setup: reusing $exe"
  else
    makensis -V2 "$nsi" >"$out/makensis.log"
    cp "$nsi" "$nsi.built"
  fi
}

# start_wine_desktop: the prefix of $SETUP_WINE_ROOT with its server and
# display, stopped again when the script exits; sets $drive_c. Wine closes its
# desktop a few seconds after its last user and restarting it takes some ten
# seconds: a program that keeps a window open holds it, so that no measured
# run pays for it. The caller sets $root.
start_wine_desktop() {
  bench_fixture="$root/tests/win/wine-fixture.sh" bench_run="$root/tests/win/wine-run.sh"
  mkdir -p "$SETUP_WINE_ROOT"
  "$bench_fixture" setup >"$out/fixture.log" 2>&1 || { cat "$out/fixture.log" >&2; exit 1; }
  bench_holder=""
  trap stop_wine_desktop EXIT
  "$bench_run" --64 notepad </dev/null >/dev/null 2>&1 &
  bench_holder=$!
  if command -v xdotool >/dev/null; then
    DISPLAY=":$(cat "$SETUP_WINE_ROOT/xvfb.display")" timeout 60 \
      xdotool search --sync --onlyvisible --name Notepad >/dev/null ||
      echo "warning: the desktop holder did not show; the first run may pay for the desktop" >&2
  else
    sleep 15
  fi
  drive_c="$SETUP_WINE_ROOT/wineprefix/drive_c"
  mkdir -p "$drive_c/bench"
  "$bench_run" --64 cmd /c exit 0 </dev/null >/dev/null 2>&1
}

stop_wine_desktop() {
  if [ -n "$bench_holder" ]; then
    kill "$bench_holder" 2>/dev/null || true
    wait "$bench_holder" 2>/dev/null || true
  fi
  "$bench_fixture" cleanup >/dev/null 2>&1 || true
}
