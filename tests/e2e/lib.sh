# shellcheck shell=bash
# Sourced by every end-to-end test: builds a setup program with mksetup,
# runs it under Wine on the fixture's Xvfb, and looks at what it did.
#
# Environment (ctest sets it, see CMakeLists.txt): SETUP_WINE_ROOT (the
# fixture's folder: prefix, xvfb.display), SETUP_STUB, SETUP_MKSETUP,
# SETUP_WIN_PROBE. E2E_KEEP=1 keeps the scratch folder for a look.
#
# A test calls e2e_begin NAME first. It gets a scratch folder under C:\ of
# the prefix, as $scratch (Unix path) and $scratch_win (C:\...), with tree/
# for the payload; everything it starts is ended and the folder removed when
# the test exits, whatever way it exits.
#
# The variables set here are read by the tests that source this file.
# shellcheck disable=SC2034
set -euo pipefail

e2e_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
wine_run="$e2e_dir/../win/wine-run.sh"

# Seconds a setup program may take before the test calls it hung.
E2E_TIMEOUT=${E2E_TIMEOUT:-60}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
skip() {
  echo "SKIP: $*"
  exit 77
}
note() { echo "-- $*"; }

expect_eq() { # WHAT EXPECTED ACTUAL
  [ "$2" = "$3" ] || fail "$1: expected '$2', got '$3'"
}

# Tests run programs inside the scratch folder only; this reads a file there
# and drops the CRs of Windows line ends.
text_of() { tr -d '\r' <"$1"; }

e2e_cleanups=()
e2e_on_exit() { e2e_cleanups+=("$*"); }

e2e_begin() {
  test_name=$1
  [ -n "${SETUP_WINE_ROOT:-}" ] || fail "SETUP_WINE_ROOT is not set"
  [ -x "${SETUP_MKSETUP:-}" ] || skip "mksetup not found at '${SETUP_MKSETUP:-}' (build the native preset)"
  [ -f "${SETUP_STUB:-}" ] || fail "the stub '${SETUP_STUB:-}' does not exist"
  [ -f "${SETUP_WIN_PROBE:-}" ] || fail "win_probe '${SETUP_WIN_PROBE:-}' does not exist"
  local tool
  for tool in xdotool import convert; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
  done
  [ -f "$SETUP_WINE_ROOT/xvfb.display" ] || fail "no display: run tests/win/wine-fixture.sh setup"
  DISPLAY=":$(cat "$SETUP_WINE_ROOT/xvfb.display")"
  export DISPLAY
  export SETUP_WINE_DISPLAY=1
  drive_c="$SETUP_WINE_ROOT/wineprefix/drive_c"
  [ -d "$drive_c" ] || fail "no wine prefix in $SETUP_WINE_ROOT"

  # The process id makes every name unique: what carries it is ours alone.
  scratch_name="e2e-$test_name-$$"
  scratch="$drive_c/$scratch_name"
  scratch_win="C:\\$scratch_name"
  probe_win="$scratch_win\\probe.exe"
  setup_name="$test_name-setup.exe"
  setup_exe="$scratch/$setup_name"
  setup_pid=""
  holder_pid=""
  artifacts="$SETUP_WINE_ROOT/e2e-artifacts/$test_name"
  trap e2e_end EXIT
  rm -rf "$scratch" "$artifacts"
  mkdir -p "$scratch/tree" "$artifacts"
  cp "$SETUP_STUB" "$scratch/stub.exe"
  cp "$SETUP_WIN_PROBE" "$scratch/probe.exe"
  e2e_hold_desktop
}

# Keeps Wine's desktop up for the whole test: Wine closes it a few seconds
# after its last user, and starting it again can take ten seconds. A desktop
# that a program without a display started (as the Windows tests' stub test
# does) cannot hold any window; it is waited out until it closes.
e2e_hold_desktop() {
  local status
  for _ in 1 2 3 4; do
    "$wine_run" "$scratch/probe.exe" hold $((E2E_TIMEOUT * 10000)) </dev/null \
      >"$artifacts/holder.txt" 2>&1 &
    holder_pid=$!
    for _ in $(seq 300); do
      grep -qs '^ready' "$artifacts/holder.txt" && return 0
      kill -0 "$holder_pid" 2>/dev/null || break
      sleep 0.1
    done
    status=0
    wait "$holder_pid" || status=$?
    holder_pid=""
    [ "$status" = 3 ] || fail "win_probe hold failed ($status): $(cat "$artifacts/holder.txt")"
    note "Wine's desktop has no display; waiting for it to close"
    sleep 7
  done
  fail "Wine's desktop kept running without a display"
}

e2e_end() {
  local status=$? action
  if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then
    e2e_screenshot "$artifacts/at-failure.png" 2>/dev/null || true
    echo "screenshot at failure: $artifacts/at-failure.png" >&2
    # A machine's screenshot is lost with it: the log says what was on screen.
    echo "visible windows: $(timeout 5 xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null |
      tr '\n' ';')" >&2
    [ ! -s "$artifacts/watch.txt" ] || echo "window watch: $(tr '\n\t' '; ' <"$artifacts/watch.txt")" >&2
  fi
  if [ -n "$holder_pid" ]; then
    kill "$holder_pid" 2>/dev/null || true
    wait "$holder_pid" 2>/dev/null || true
  fi
  e2e_kill_ours
  for action in "${e2e_cleanups[@]}"; do eval "$action" || true; done
  if [ "${E2E_KEEP:-0}" = 1 ]; then
    echo "kept: $scratch"
  else
    rm -rf "$scratch"
  fi
  exit "$status"
}

# Ends every process whose command line names our scratch folder: the setup
# program, what it started from there, the probes. Each by its own id.
e2e_kill_ours() {
  local entry pid cmdline found=()
  for entry in /proc/[0-9]*; do
    pid=${entry#/proc/}
    [ "$pid" = $$ ] && continue
    cmdline=$(tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline") || continue
    case "$cmdline" in *"$scratch_name"*)
      found+=("$pid")
      echo "leftover process $pid: $cmdline" >&2
      ;;
    esac
  done
  [ ${#found[@]} -eq 0 ] && return 0
  kill "${found[@]}" 2>/dev/null || true
  sleep 0.5
  kill -9 "${found[@]}" 2>/dev/null || true
}

# wine ARGS...: a Windows program in the fixture's prefix, on its display.
wine_cmd() { "$wine_run" "$@"; }

# probe ARGS...: win_probe's output, without CRs.
probe() { "$wine_run" "$scratch/probe.exe" "$@" | tr -d '\r'; }

# --- building -------------------------------------------------------------

# e2e_picture FILE W H: a PNG with four differently coloured quarters (red top
# left, green top right, blue bottom left, yellow bottom right), so that a
# picture upside down, mirrored, with red and blue swapped or sheared shows
# on a screenshot. An odd width gives rows that are no multiple of 4 bytes.
e2e_picture() {
  local file=$1 w=$2 h=$3 hw=$(($2 / 2)) hh=$(($3 / 2))
  convert -size "${w}x${h}" xc:black \
    -fill '#ff0000' -draw "rectangle 0,0 $((hw - 1)),$((hh - 1))" \
    -fill '#00ff00' -draw "rectangle $hw,0 $((w - 1)),$((hh - 1))" \
    -fill '#0000ff' -draw "rectangle 0,$hh $((hw - 1)),$((h - 1))" \
    -fill '#ffff00' -draw "rectangle $hw,$hh $((w - 1)),$((h - 1))" \
    -type TrueColor "PNG24:$file"
}

# The payload most tests install: a few files at a known time, a nested
# folder, an empty file, the probe (for [run]) and the picture.
E2E_FILE_TIME="2021-03-04 05:06:07 UTC"
e2e_make_tree() {
  local tree="$scratch/tree"
  mkdir -p "$tree/bin" "$tree/docs/deep" "$tree/pic"
  printf 'hello from the e2e payload\r\n' >"$tree/readme.txt"
  printf 'notes\n' >"$tree/docs/notes.txt"
  head -c 300000 /dev/urandom >"$tree/docs/deep/blob.bin"
  : >"$tree/docs/empty.txt"
  cp "$SETUP_WIN_PROBE" "$tree/bin/probe.exe"
  e2e_picture "$tree/pic/back.png" 401 121
  find "$tree" -exec touch -h -d "$E2E_FILE_TIME" {} +
}

# e2e_build: $scratch/setup.txt + $scratch/tree -> $setup_exe.
e2e_build() {
  "$SETUP_MKSETUP" build --quiet --stub "$scratch/stub.exe" --script "$scratch/setup.txt" \
    --tree "$scratch/tree" -o "$setup_exe" || fail "mksetup build failed"
}

# A script that leaves a trace of every section in $scratch_win\order.log:
# each batch section writes its name and what it found already in place,
# [run] starts the probe which writes "run ...". $1 is the [locale] body
# (its lines, without the last LF), $2 the window title the batches look at,
# $3 (optional) one more line for the end of [prepare].
e2e_order_script() {
  local locale_body=$1 title=$2 prepare_extra=${3:-} log="$scratch_win\\order.log" key="HKEY_CURRENT_USER\\Software\\$scratch_name"
  local seen_registry="reg query $key /v Count"
  {
    printf '[locale]\n%s\n' "$locale_body"
    printf '[prepare]\n'
    printf 'echo prepare>>%s\n' "$log"
    printf 'echo prepare cd=%%CD%%>>%s\n' "$log"
    printf 'if exist readme.txt echo prepare saw the tree>>%s\n' "$log"
    printf '"%s" dump "%s" >%s\\prepare-window.txt\n' "$probe_win" "$title" "$scratch_win"
    [ -z "$prepare_extra" ] || printf '%s\n' "$prepare_extra"
    printf '[bin_32]\n'
    printf 'echo bin_32>>%s\n' "$log"
    printf '[bin_64]\n'
    printf 'echo bin_64>>%s\n' "$log"
    printf 'if exist readme.txt echo bin saw the tree>>%s\n' "$log"
    printf 'if exist uninstall.bat echo bin saw uninstall.bat>>%s\n' "$log"
    printf 'if exist e2e.lnk echo bin saw the shortcut>>%s\n' "$log"
    printf '%s >nul 2>nul\nif not errorlevel 1 echo bin saw the registry>>%s\n' "$seen_registry" "$log"
    printf '"%s" dump "%s" >%s\\bin-window.txt\n' "$probe_win" "$title" "$scratch_win"
    printf '[uninstall]\n'
    printf 'echo uninstall>>%s\n' "$log"
    printf 'set_system_directory_here\n'
    printf '[register]\n'
    printf '%s\\Count=DWORD:1A\n' "$key"
    printf '%s\\Name=e2e value=1\n' "$key"
    printf '%s\\Sub\\=default text\n' "$key"
    printf '[shortcuts]\n'
    printf 'e2e.lnk=bin\\probe.exe;Probe of the e2e test\n'
    printf '[install]\n'
    printf 'echo install>>%s\n' "$log"
    printf 'echo install cd=%%CD%%>>%s\n' "$log"
    printf 'if exist uninstall.bat echo install saw uninstall.bat>>%s\n' "$log"
    printf 'if exist e2e.lnk echo install saw the shortcut>>%s\n' "$log"
    printf '%s >nul 2>nul\nif not errorlevel 1 echo install saw the registry>>%s\n' "$seen_registry" "$log"
    printf '[run]\n'
    printf 'bin\\probe.exe record=%s\n' "$log"
    printf '[end]\n'
  } >"$scratch/setup.txt"
  e2e_on_exit "wine_cmd --64 reg delete '$key' /f >/dev/null 2>&1"
}

# Undoes the traces of an install by e2e_order_script that the next one
# would see: its log and its registry key.
e2e_forget_install() {
  rm -f "$scratch/order.log"
  wine_cmd --64 reg delete "HKEY_CURRENT_USER\\Software\\$scratch_name" /f >/dev/null 2>&1 || true
}

# The order.log an install by e2e_order_script into TARGET (Windows path) must
# leave on 64-bit Windows; CD is what %CD% shows there (TARGET unless a root).
e2e_expected_order() {
  local target=$1 cd=${2:-$1}
  cat <<EOF
prepare
prepare cd=$cd
bin_64
bin saw the tree
install
install cd=$cd
install saw uninstall.bat
install saw the shortcut
install saw the registry
run cwd=$target\\bin
EOF
}

# Waits (up to 15 s) for the [run] line's record, which the setup does not
# wait for, then compares the log. Arguments as e2e_expected_order's.
e2e_check_order() {
  local log="$scratch/order.log"
  for _ in $(seq 150); do
    grep -qs '^run' "$log" && break
    sleep 0.1
  done
  [ -f "$log" ] || fail "no section ran: $log missing"
  local expected actual
  expected=$(e2e_expected_order "$@")
  actual=$(text_of "$log")
  [ "$expected" = "$actual" ] || fail "sections ran in the wrong order or place:
--- expected
$expected
--- got
$actual"
}

# Everything an install by e2e_order_script into TARGET (Windows path) leaves.
e2e_check_installed() {
  local target=$1 dir
  dir=$(e2e_unix_path "$target")
  [ -d "$dir" ] || fail "target $target was not created"
  cmp -s "$scratch/tree/readme.txt" "$dir/readme.txt" || fail "readme.txt differs"
  cmp -s "$scratch/tree/docs/deep/blob.bin" "$dir/docs/deep/blob.bin" || fail "blob.bin differs"
  cmp -s "$scratch/tree/bin/probe.exe" "$dir/bin/probe.exe" || fail "probe.exe differs"
  if [ ! -f "$dir/docs/empty.txt" ] || [ -s "$dir/docs/empty.txt" ]; then
    fail "docs\\empty.txt is missing or not empty"
  fi
  local want got
  want=$(date -u -d "$E2E_FILE_TIME" +%s)
  for file in readme.txt docs/deep/blob.bin docs/empty.txt; do
    got=$(stat -c %Y "$dir/$file")
    expect_eq "time of $file" "$want" "$got"
  done
  for file in prepare.bat install_bin.bat install.bat; do
    [ ! -e "$dir/$file" ] || fail "$file was left behind"
  done
  [ -f "$dir/uninstall.bat" ] || fail "uninstall.bat missing"
  local uninstall
  uninstall=$(text_of "$dir/uninstall.bat")
  case "$uninstall" in "echo uninstall>>$scratch_win\\order.log"$'\n'"set Desktop="*) ;;
    *) fail "uninstall.bat holds: $uninstall" ;;
  esac
  case "$uninstall" in *"del uninstall.bat"*) fail "uninstall.bat deletes itself" ;; esac
  grep -q '^uninstall$' "$scratch/order.log" && fail "uninstall.bat was run"
  e2e_check_registry
  e2e_check_shortcut "$target\\e2e.lnk" "$target\\bin\\probe.exe" "$target\\bin" \
    "Probe of the e2e test"
  e2e_check_no_temp_picture
}

e2e_check_registry() {
  local key="HKCU\\Software\\$scratch_name"
  expect_eq "registry Count" "REG_DWORD 0x1a" "$(e2e_reg_value "$key" Count)"
  expect_eq "registry Name" "REG_SZ e2e value=1" "$(e2e_reg_value "$key" Name)"
  expect_eq "registry default of Sub" "REG_SZ default text" "$(e2e_reg_value "$key\\Sub" "")"
}

# e2e_reg_value KEY NAME: "TYPE DATA" of the value, "" for the default one.
e2e_reg_value() {
  local key=$1 name=$2 out
  if [ -z "$name" ]; then
    out=$(wine_cmd --64 reg query "$key" /ve 2>/dev/null | tr -d '\r') || return 0
  else
    out=$(wine_cmd --64 reg query "$key" /v "$name" 2>/dev/null | tr -d '\r') || return 0
  fi
  # "    NAME    TYPE    DATA": the line with a REG_ type; fields are 4 blanks apart.
  echo "$out" | awk -F '    ' '/REG_/ { data = $4; for (i = 5; i <= NF; i++) data = data "    " $i;
    print $3 " " data; exit }'
}

e2e_check_shortcut() { # LINK TARGET WORKDIR DESCRIPTION (Windows paths)
  local info
  [ -f "$(e2e_unix_path "$1")" ] || fail "shortcut $1 missing"
  info=$(probe lnk "$1") || fail "shortcut $1 cannot be read"
  expect_eq "shortcut target" "target=$2" "$(echo "$info" | grep '^target=')"
  expect_eq "shortcut working directory" "workdir=$3" "$(echo "$info" | grep '^workdir=')"
  expect_eq "shortcut description" "description=$4" "$(echo "$info" | grep '^description=')"
}

# The user's templates folder (Unix path): the prefix may link it elsewhere.
e2e_templates_dir() {
  local link
  link=$(find "$drive_c/users" -name Templates 2>/dev/null | head -1)
  [ -n "$link" ] || fail "no templates folder in the prefix"
  readlink -f "$link"
}

# The picture goes through a private temporary file in the templates folder,
# which must not outlive the start-up.
e2e_check_no_temp_picture() {
  local left
  left=$(find "$(e2e_templates_dir)" -maxdepth 1 -name 'temp_install-*' | head -1)
  [ -z "$left" ] || fail "temporary picture left behind: $left"
}

# C:\a\b -> $drive_c/a/b, through the prefix's drive links (any letter).
e2e_unix_path() {
  local letter=${1:0:1} path=${1:2}
  path=${path#\\}
  echo "$SETUP_WINE_ROOT/wineprefix/dosdevices/${letter,,}:/${path//\\//}"
}

# e2e_flip FILE OFFSET: changes one bit of the byte at OFFSET.
e2e_flip() {
  local byte
  byte=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
  printf '%b' "\\0$(printf '%o' $((byte ^ 1)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

# --- running --------------------------------------------------------------

# e2e_start [ARGS...]: starts the setup program in the background, from the
# scratch folder (or $E2E_CWD); its output goes to $artifacts/setup.log.
e2e_start() {
  (cd "${E2E_CWD:-$scratch}" && exec "$wine_run" "$setup_exe" "$@") \
    >>"$artifacts/setup.log" 2>&1 </dev/null &
  setup_pid=$!
  setup_started=$(date +%s.%N)
}

# e2e_wait_exit [SECONDS]: waits for the setup program; its exit code is
# then in $setup_rc. A setup that does not end fails the test.
e2e_wait_exit() {
  local limit=${1:-$E2E_TIMEOUT} pid=$setup_pid end
  end=$(($(date +%s) + limit))
  while kill -0 "$pid" 2>/dev/null; do
    [ "$(date +%s)" -lt "$end" ] || fail "the setup program did not end within $limit s"
    sleep 0.1
  done
  setup_rc=0
  wait "$pid" || setup_rc=$?
  setup_pid=""
}

# Seconds since e2e_start.
e2e_elapsed() { echo "$(date +%s.%N) - $setup_started" | bc; }

# e2e_run_silent ARGS...: a whole silent run, with a watch on the setup's
# windows; fails when any of them became visible. Exit code in $setup_rc.
e2e_run_silent() {
  local watch="$artifacts/watch.txt"
  probe watch "$setup_name" $((E2E_TIMEOUT * 1000)) >"$watch" 2>&1 &
  local watch_pid=$!
  sleep 0.3
  e2e_start "$@"
  e2e_wait_exit "$E2E_TIMEOUT"
  note "silent run took $(e2e_elapsed) s"
  wait "$watch_pid" || true
  if grep -q '^visible' "$watch"; then
    fail "a silent install showed a window: $(grep '^visible' "$watch" | tr '\n\t' '; ')"
  fi
  grep -q '^gone' "$watch" || fail "the window watch did not see the setup run: $(cat "$watch")"
}

# X side: the X window id of a visible top-level window titled exactly TITLE.
e2e_wait_window() { # TITLE [SECONDS]
  local pattern
  # shellcheck disable=SC2016 # a sed expression, not a shell one
  pattern="^$(printf '%s' "$1" | sed 's/[][\.*^$(){}?+|/]/\\&/g')\$"
  timeout "${2:-20}" xdotool search --sync --onlyvisible --name "$pattern" | head -1 ||
    fail "no window titled '$1' appeared"
}

# e2e_rects TITLE: reads win_probe's view of the window into
#   win_visible win_x win_y win_w win_h  client_x client_y client_w client_h
#   cy_caption cx_screen cy_screen  and per child i: c_class c_vis c_en c_x
#   c_y c_w c_h c_text
e2e_rects() {
  e2e_read_window "$(probe rects "$1" 10000)" || fail "window '$1' not found by win_probe"
}
e2e_read_window() {
  [ -n "$1" ] && [ "$1" != none ] || return 1
  c_class=() c_vis=() c_en=() c_x=() c_y=() c_w=() c_h=() c_text=()
  local kind a b c d e f g h
  while IFS=$'\t' read -r kind a b c d e f g h; do
    case "$kind" in
      window) win_visible=$a win_x=$b win_y=$c win_w=$d win_h=$e ;;
      client) client_x=$a client_y=$b client_w=$c client_h=$d ;;
      metrics) cy_caption=$a cx_screen=$b cy_screen=$c ;;
      child)
        c_class+=("$a") c_vis+=("$b") c_en+=("$c") c_x+=("$d") c_y+=("$e") c_w+=("$f")
        c_h+=("$g") c_text+=("$h")
        ;;
    esac
  done <<<"$1"
}

# e2e_dialog: waits for a message box of the setup program and reads it as
# e2e_rects does; its caption in $dialog_title, its texts in $dialog_text.
e2e_dialog() {
  local out i
  out=$(probe dialog "$setup_name" 15000) || fail "no message box appeared"
  dialog_title=$(printf '%s\n' "$out" | awk -F '\t' '$1 == "title" { print $2; exit }')
  e2e_read_window "$out" || fail "the message box went away"
  dialog_text=""
  for i in "${!c_class[@]}"; do
    [ "${c_class[$i],,}" = static ] && [ -n "${c_text[$i]}" ] && dialog_text+="${c_text[$i]}"$'\n'
  done
  dialog_text=${dialog_text%$'\n'}
}

# The "This file is corrupted" box of a damaged package: it must be there and
# stay until it is answered, then it is answered.
e2e_dismiss_corrupted() {
  e2e_dialog
  expect_eq "caption of the box" Error "$dialog_title"
  expect_eq "text of the box" "This file is corrupted" "$dialog_text"
  sleep 0.5
  kill -0 "$setup_pid" 2>/dev/null || fail "the process ended before the box was answered"
  e2e_answer_dialog
}

# Answers the message box last read by e2e_dialog with Return, as a user
# would: the pointer over it (focus follows the pointer), then the key.
e2e_answer_dialog() {
  xdotool mousemove $((win_x + win_w / 2)) $((win_y + win_h / 2))
  sleep 0.2
  xdotool key Return
}

# The index of the child of CLASS (any letter case) whose text is TEXT, or
# the first of CLASS when TEXT is not given; fails when there is none.
e2e_child() { # CLASS [TEXT]
  local i
  for i in "${!c_class[@]}"; do
    [ "${c_class[$i],,}" = "${1,,}" ] || continue
    [ $# -lt 2 ] || [ "${c_text[$i]}" = "$2" ] || continue
    echo "$i"
    return 0
  done
  fail "no $1 child${2:+ with text \"$2\"} (children: ${c_class[*]})"
}

# The child that is none of the standard controls: the picture pane.
e2e_picture_child() {
  local i
  for i in "${!c_class[@]}"; do
    case "${c_class[$i],,}" in static | edit | button | msctls_progress32) ;; *)
      echo "$i"
      return 0
      ;;
    esac
  done
  fail "no picture pane among the children (${c_class[*]})"
}

expect_rect() { # WHAT INDEX X Y W H
  local i=$2
  expect_eq "$1 rectangle" "$3 $4 $5 $6" "${c_x[$i]} ${c_y[$i]} ${c_w[$i]} ${c_h[$i]}"
}
expect_shown() { # WHAT INDEX 1|0
  expect_eq "$1 visible" "$3" "${c_vis[$2]}"
}

# Clicks the centre of child INDEX of the window last read by e2e_rects.
e2e_click_child() {
  local i=$1
  xdotool mousemove $((client_x + c_x[i] + c_w[i] / 2)) $((client_y + c_y[i] + c_h[i] / 2))
  sleep 0.2
  xdotool click 1
}

# Replaces the text of edit child INDEX of window TITLE by keyboard, and
# reads the window again. Keys that Wine drops while the focus settles are
# made up for by another try.
e2e_type_into() { # TITLE INDEX TEXT
  local title=$1 i=$2 text=$3
  for _ in 1 2 3; do
    e2e_click_child "$i"
    sleep 0.3
    xdotool key --clearmodifiers End
    xdotool key --clearmodifiers --delay 40 --repeat $((${#c_text[$i]} + 2)) BackSpace
    [ -z "$text" ] || xdotool type --delay 40 --clearmodifiers "$text"
    sleep 0.2
    e2e_rects "$title"
    [ "${c_text[$i]}" != "$text" ] || return 0
  done
  fail "could not type '$text' into the field; it holds '${c_text[$i]}'"
}

e2e_screenshot() { import -window root "$1"; }

# "R,G,B" of a pixel of a screenshot.
e2e_pixel() { # FILE X Y
  convert "$1" -format "%[fx:int(255*p{$2,$3}.r+0.5)],%[fx:int(255*p{$2,$3}.g+0.5)],%[fx:int(255*p{$2,$3}.b+0.5)]" info:
}

# Fails unless the pixel is within 8 per channel of R,G,B.
expect_pixel() { # WHAT FILE X Y R,G,B
  local got r g b er eg eb
  got=$(e2e_pixel "$2" "$3" "$4")
  IFS=, read -r r g b <<<"$got"
  IFS=, read -r er eg eb <<<"$5"
  local d
  for d in $((r - er)) $((g - eg)) $((b - eb)); do
    [ "${d#-}" -le 8 ] || fail "$1: pixel ($3,$4) is $got, expected $5"
  done
}

# Waits until FILE exists (up to SECONDS); false when it does not appear.
e2e_wait_file() { # FILE [SECONDS]
  local tenths=$((${2:-15} * 10))
  for _ in $(seq "$tenths"); do
    [ -e "$1" ] && return 0
    sleep 0.1
  done
  return 1
}
