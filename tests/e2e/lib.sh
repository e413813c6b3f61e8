# shellcheck shell=bash
# Sourced by every end-to-end test: builds a setup program with mksetup, runs it under Wine on
# the fixture's Xvfb and looks at what it did. ctest sets SETUP_WINE_ROOT, SETUP_STUB,
# SETUP_MKSETUP and SETUP_WIN_PROBE; E2E_KEEP=1 keeps the scratch folder. e2e_begin NAME gives
# a folder under C:\ ($scratch, $scratch_win) with tree/ for the payload; whatever the test
# started is ended and the folder removed however the test exits.
# shellcheck disable=SC2034 # the variables set here are the tests'
set -euo pipefail

e2e_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
wine_run="$e2e_dir/../win/wine-run.sh"
E2E_TIMEOUT=${E2E_TIMEOUT:-60} # seconds before a setup program counts as hung
e2e_step=start

fail() { echo "FAIL ($e2e_step): $*" >&2; exit 1; }
skip() { echo "SKIP: $*"; exit 77; }
note() { e2e_step=$* && echo "-- $*"; } # a failure names the step it came in
expect_eq() { [ "$2" = "$3" ] || fail "$1: expected '$2', got '$3'"; } # WHAT EXPECTED ACTUAL
text_of() { tr -d '\r' <"$1"; } # a file the setup wrote, without the CRs of Windows line ends
expect_log() { expect_eq "sections run" "$1" "$(text_of "$scratch/order.log")"; }

# e2e_poll TENTHS COMMAND...: true once COMMAND succeeds, tried every tenth of a second.
e2e_poll() { local n; for ((n = $1; n > 0; n--)); do "${@:2}" && return 0; sleep 0.1; done; return 1; }
e2e_cleanups=()
e2e_on_exit() { e2e_cleanups+=("$*"); }

e2e_begin() {
  test_name=$1
  local name
  [ -x "${SETUP_MKSETUP:-}" ] || skip "mksetup not found at '${SETUP_MKSETUP:-}' (build the native preset)"
  for name in SETUP_STUB SETUP_WIN_PROBE SETUP_WINE_ROOT; do [ -e "${!name:-}" ] || fail "$name '${!name:-}' does not exist"; done
  for name in xdotool import convert; do command -v "$name" >/dev/null || skip "$name is not installed"; done
  [ -f "$SETUP_WINE_ROOT/xvfb.display" ] || fail "no display: run tests/win/wine-fixture.sh setup"
  DISPLAY=":$(cat "$SETUP_WINE_ROOT/xvfb.display")"
  export DISPLAY SETUP_WINE_DISPLAY=1
  drive_c="$SETUP_WINE_ROOT/wineprefix/drive_c"
  [ -d "$drive_c" ] || fail "no wine prefix in $SETUP_WINE_ROOT"
  # The process id makes every name unique: what carries it is ours alone.
  scratch_name="e2e-$test_name-$$"
  scratch="$drive_c/$scratch_name"
  scratch_win="C:\\$scratch_name"
  probe_win="$scratch_win\\probe.exe"
  setup_name="$test_name-setup.exe"
  setup_exe="$scratch/$setup_name"
  setup_pid="" holder_pid=""
  artifacts="$SETUP_WINE_ROOT/e2e-artifacts/$test_name"
  trap e2e_end EXIT
  rm -rf "$scratch" "$artifacts"
  mkdir -p "$scratch/tree" "$artifacts"
  cp "$SETUP_STUB" "$scratch/stub.exe"
  cp "$SETUP_WIN_PROBE" "$scratch/probe.exe"
  e2e_hold_desktop
}

# Keeps Wine's desktop up for the whole test: Wine closes it a few seconds after its last user,
# and starting it again can take ten seconds. A desktop that a program without a display
# started cannot hold any window; it is waited out until it closes.
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
    if [ "$status" != 3 ]; then
      echo "-- win_probe hold ended with $status ($(cat "$artifacts/holder.txt")); once more"
      sleep 1
      continue
    fi
    echo "-- Wine's desktop has no display; waiting for it to close"
    sleep 7
  done
  fail "Wine's desktop could not be held (last: $status, $(cat "$artifacts/holder.txt"))"
}

e2e_end() {
  local status=$? action entry found=()
  if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then
    import -window root "$artifacts/at-failure.png" 2>/dev/null || true
    # A machine's screenshot is lost with it: the log says what was on screen.
    echo "screenshot: $artifacts/at-failure.png; visible windows: $(timeout 5 xdotool search \
      --onlyvisible --name . getwindowname %@ 2>/dev/null | tr '\n' ';')" >&2
    [ ! -s "$artifacts/watch.txt" ] || echo "window watch: $(tr '\n\t' '; ' <"$artifacts/watch.txt")" >&2
  fi
  [ -z "$holder_pid" ] || { kill "$holder_pid" && wait "$holder_pid"; } 2>/dev/null || true
  # Every process whose command line names the scratch folder (the setup, what it started from
  # there, the probes), each by its own id.
  mapfile -t found < <(e2e_pids "$scratch_name")
  for entry in "${found[@]}"; do
    echo "leftover process $entry: $(tr '\0' ' ' 2>/dev/null <"/proc/$entry/cmdline")" >&2
  done
  [ ${#found[@]} = 0 ] || { kill "${found[@]}" && sleep 0.5 && kill -9 "${found[@]}"; } 2>/dev/null || true
  for action in "${e2e_cleanups[@]}"; do eval "$action" || true; done
  if [ "${E2E_KEEP:-0}" = 1 ]; then echo "kept: $scratch"; else rm -rf "$scratch"; fi
  exit "$status"
}

probe() { "$wine_run" "$scratch/probe.exe" "$@" | tr -d '\r'; } # win_probe's output, without CRs

# e2e_pids TEXT: the ids of the processes (this shell's aside) whose command line holds TEXT;
# Wine shows a Windows process's own command line there.
e2e_pids() {
  local entry
  for entry in /proc/[0-9]*; do
    [ "${entry#/proc/}" != $$ ] || continue
    case "$(tr '\0' ' ' 2>/dev/null <"$entry/cmdline")" in *"$1"*) echo "${entry#/proc/}" ;; esac
  done
}

# e2e_temp_files DIR EXT [FIND_TESTS...]: the setup's own scratch files (~setup + 8 hex digits
# + .EXT) in DIR and below.
e2e_temp_files() { find "$1" -regextype posix-extended -regex ".*/~setup[0-9a-f]{8}\.$2" "${@:3}"; }

# e2e_swap_folder made|gone FILE FOLDER OUTSIDE: an attack on a folder in use, in the background:
# once FILE (Windows path) is made or gone, a Windows program renames FOLDER (Windows path)
# aside, and where Windows lets it a link to OUTSIDE (Unix path) takes the folder's name at once
# (Wine's programs cannot make one: a watcher on the Linux side plants it the moment the folder
# shows under its new name). e2e_swap_done waits for it and fails unless the attempt came.
e2e_swap_folder() {
  command -v python3 >/dev/null || skip "python3 is needed to swap a folder in time"
  python3 -c 'import os, sys, time
folder, outside, end = sys.argv[1], sys.argv[2], time.time() + 60
while not os.path.isdir(folder + ".away"):
    if time.time() > end: sys.exit(0)
    time.sleep(0.0002)
os.symlink(outside, folder)' "$(e2e_unix_path "$3")" "$4" &
  swap_watch=$!
  "$wine_run" "$scratch/probe.exe" movedir "$1" "$2" "$3" 60000 >"$artifacts/swap.txt" 2>&1 &
  swap_pid=$!
  sleep 1 # the probe is up before the setup starts
}
e2e_swap_done() {
  wait "$swap_pid" || true
  { kill "$swap_watch" && wait "$swap_watch"; } 2>/dev/null || true
  grep -q '^move' "$artifacts/swap.txt" || fail "the swap never came: $(cat "$artifacts/swap.txt")"
}
# e2e_many DIR N TEXT: N files f0000... in DIR, each holding TEXT and its name.
e2e_many() { local i; mkdir -p "$1" && for ((i = 0; i < $2; i++)); do printf '%s %04d\n' "$3" $i >"$1/f$(printf %04d $i)"; done; }

# e2e_install_log FILE: the lines of a /LOG= file without their CRs, the time of a closing
# "exit code N after S.S s" as T; fails unless every line ends in CRLF.
e2e_install_log() {
  [ -s "$1" ] || fail "no log at $1"
  [ "$(grep -c $'\r$' "$1")" = "$(grep -c '' "$1")" ] || fail "a line of $1 does not end in CRLF"
  text_of "$1" | sed -E '$s/^(exit code [0-9]+ after )[0-9]+\.[0-9] s$/\1T s/'
}

# --- building -------------------------------------------------------------

# e2e_picture FILE W H: a PNG of four colours (red top left, green top right, blue bottom left,
# yellow bottom right): a picture upside down, mirrored, with red and blue swapped or sheared
# shows on a screenshot. An odd width gives rows that are no multiple of 4 bytes.
e2e_picture() {
  local w=$2 h=$3 hw=$(($2 / 2)) hh=$(($3 / 2))
  convert -size "${w}x${h}" xc:black \
    -fill '#ff0000' -draw "rectangle 0,0 $((hw - 1)),$((hh - 1))" \
    -fill '#00ff00' -draw "rectangle $hw,0 $((w - 1)),$((hh - 1))" \
    -fill '#0000ff' -draw "rectangle 0,$hh $((hw - 1)),$((h - 1))" \
    -fill '#ffff00' -draw "rectangle $hw,$hh $((w - 1)),$((h - 1))" \
    -type TrueColor "PNG24:$1"
}

# The payload most tests install: files at a known time, a nested folder, an empty file, the
# probe (for [run]) and the picture.
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

# e2e_build: $scratch/setup.txt + $scratch/tree -> $setup_exe, with the options in $E2E_BUILD
# and the sign command in $E2E_SIGN.
e2e_build() {
  # shellcheck disable=SC2086 # the options, split on purpose
  "$SETUP_MKSETUP" build --quiet ${E2E_BUILD:-} ${E2E_SIGN:+--sign-command "$E2E_SIGN"} --stub "$scratch/stub.exe" \
    --script "$scratch/setup.txt" --tree "$scratch/tree" -o "$setup_exe" || fail "mksetup build failed"
}

# e2e_build_unchecked: as e2e_build, for a script that mksetup's lint refuses but that a setup
# may still carry (an older mksetup or another builder wrote it): built from a stand-in script,
# then $scratch/setup.txt stored in its place as it is, the package padded and resealed.
e2e_build_unchecked() {
  e2e_locale E2E 'C:\unused' >"$scratch/standin.txt"
  # shellcheck disable=SC2086 # the options, split on purpose
  "$SETUP_MKSETUP" build --quiet ${E2E_BUILD:-} --stub "$scratch/stub.exe" \
    --script "$scratch/standin.txt" --tree "$scratch/tree" -o "$setup_exe" || fail "mksetup build failed"
  E2E_SCRIPT="$scratch/setup.txt" e2e_edit_package 'import os
end = base + struct.unpack_from("<I", data, base - 4)[0]
script = open(os.environ["E2E_SCRIPT"], "rb").read()
old = struct.unpack_from("<I", data, stub + 21)[0]
data[end:] = bytes(-(end + len(script) - old) % 8)
data[stub + 20:stub + 25 + old] = bytes(1) + struct.pack("<I", len(script)) + script'
}

# e2e_locale TITLE TARGET [PICTURE] [START] [PROMPT]: a [locale] section (busy caption
# "Working", file prefix "Copying"); e2e_locale_variant .de TITLE ... makes [locale.de].
e2e_locale() { e2e_locale_variant "" "$@"; }
e2e_locale_variant() {
  printf '[locale%s]\n%s\n%s\n%s\n%s\nWorking\nCopying\n' "$1" "$2" "${6:-Prompt}" "$3" "${5:-Start}"
  [ -z "${4:-}" ] || printf '%s\n' "$4"
}

# e2e_logging SECTION [WORDS]: the section, whose batch appends WORDS (its name) to order.log.
e2e_logging() { printf '[%s]\necho %s>>%s\\order.log\n' "$1" "${2:-$1}" "$scratch_win"; }

# e2e_order_script TITLE TARGET [PREPARE_LINE] [START] [PROMPT]: a script with the picture
# pic\back.png that leaves a trace of every section in order.log: each batch writes its name
# and what it found in place, and dumps the window TITLE as it was then; [run] starts the
# probe, which writes "run ...". A shortcut in a missing folder fails before the one that must
# be made.
e2e_order_script() {
  local log="$scratch_win\\order.log" key="HKEY_CURRENT_USER\\Software\\$scratch_name"
  local seen="\"$probe_win\" seen Software\\$scratch_name Count $log"
  {
    e2e_locale "$1" "$2" 'pic\back.png' "${4:-}" "${5:-}"
    cat <<EOF
[prepare]
echo prepare>>$log
echo prepare cd=%CD%>>$log
if exist readme.txt echo prepare saw the tree>>$log
"$probe_win" dump "$1" >$scratch_win\\prepare-window.txt
${3:-}
[bin_32]
echo bin_32>>$log
[bin_64]
echo bin_64>>$log
if exist readme.txt echo bin saw the tree>>$log
if exist uninstall.bat echo bin saw uninstall.bat>>$log
if exist e2e.lnk echo bin saw the shortcut>>$log
$seen "bin saw the registry"
"$probe_win" dump "$1" >$scratch_win\\bin-window.txt
[uninstall]
echo uninstall>>$log
set_system_directory_here
[register]
$key\\Count=DWORD:1A
$key\\Name=e2e value=1
$key\\Sub\\=default text
[shortcuts]
missing\\lost.lnk=bin\\probe.exe
e2e.lnk=bin\\probe.exe;Probe of the e2e test
[install]
echo install>>$log
echo install cd=%CD%>>$log
if exist uninstall.bat echo install saw uninstall.bat>>$log
if exist e2e.lnk echo install saw the shortcut>>$log
$seen "install saw the registry"
[run]
bin\\probe.exe record=$log
[end]
EOF
  } >"$scratch/setup.txt"
  e2e_build
  e2e_on_exit "e2e_forget_install"
}

# Undoes what the next install by e2e_order_script would see: log and key.
e2e_forget_install() {
  rm -f "$scratch/order.log"
  "$wine_run" --64 reg delete "HKEY_CURRENT_USER\\Software\\$scratch_name" /f >/dev/null 2>&1 || true
}

# e2e_check_order TARGET [CD]: waits (up to 15 s) for the [run] line's record, which the setup
# does not wait for, then compares order.log with what an install into TARGET (Windows path)
# leaves on 64-bit Windows; CD is what %CD% shows there (TARGET unless a root).
e2e_check_order() {
  local log="$scratch/order.log" expected
  e2e_poll 150 grep -qs '^run' "$log" || [ -f "$log" ] || fail "no section ran: $log missing"
  expected="prepare
prepare cd=${2:-$1}
bin_64
bin saw the tree
install
install cd=${2:-$1}
install saw uninstall.bat
install saw the shortcut
install saw the registry
run cwd=$1\\bin"
  [ "$expected" = "$(text_of "$log")" ] ||
    fail "sections ran in the wrong order or place:"$'\n'"--- expected"$'\n'"$expected"$'\n'"--- got"$'\n'"$(text_of "$log")"
}

# Everything an install by e2e_order_script into TARGET (Windows path) leaves, its order.log
# included.
e2e_check_installed() {
  local target=$1 dir file want uninstall
  e2e_check_order "$target"
  dir=$(e2e_unix_path "$target")
  [ -d "$dir" ] || fail "target $target was not created"
  for file in readme.txt docs/deep/blob.bin bin/probe.exe docs/empty.txt; do
    cmp -s "$scratch/tree/$file" "$dir/$file" || fail "$file is missing or differs"
  done
  want=$(date -u -d "$E2E_FILE_TIME" +%s)
  for file in readme.txt docs/deep/blob.bin docs/empty.txt; do
    expect_eq "time of $file" "$want" "$(stat -c %Y "$dir/$file")"
  done
  for file in prepare.bat install_bin.bat install.bat; do
    [ ! -e "$dir/$file" ] || fail "$file was left behind"
  done
  uninstall=$(text_of "$dir/uninstall.bat") || fail "uninstall.bat missing"
  case "$uninstall" in "echo uninstall>>$scratch_win\\order.log"$'\n'"set Desktop="*) ;;
    *) fail "uninstall.bat holds: $uninstall" ;;
  esac
  case "$uninstall" in *"del uninstall.bat"*) fail "uninstall.bat deletes itself" ;; esac
  grep -q '^uninstall$' "$scratch/order.log" && fail "uninstall.bat was run"
  expect_eq "registry values" "Count REG_DWORD 0x1a
Name REG_SZ e2e value=1
Sub\\(Default) REG_SZ default text" "$(e2e_registry)"
  e2e_check_shortcut "$target" "$target"
  [ ! -e "$dir/missing" ] || fail "a shortcut in a missing folder made it"
  e2e_check_no_temp_picture
}

# e2e_reg_values KEY [REG_OPTIONS...]: the values under KEY and its subkeys, one "SUBKEY\NAME
# TYPE DATA" a line; nothing when KEY does not exist. reg.exe is a Wine process like any other
# and can fail to start on a loaded machine: a run that fails for another reason is tried again,
# so that a failed start never reads as missing values.
e2e_reg_values() {
  local key=$1 out
  for _ in 1 2 3; do
    if ! out=$("$wine_run" --64 reg query "$key" /s "${@:2}" 2>&1 | tr -d '\r'); then
      # reg.exe says so on its standard output.
      [[ $out != *"Unable to find"* ]] || return 0
      echo "$out" >"$artifacts/reg.txt"
      continue
    fi
    # "KEY" lines, then "    NAME    TYPE    DATA" lines: fields 4 blanks apart.
    KEY=$key awk -F '    ' '$0 == ENVIRON["KEY"] { under = "" }
      index($0, ENVIRON["KEY"] "\\") == 1 { under = substr($0, length(ENVIRON["KEY"]) + 2) "\\" }
      /^    .*    REG_/ { data = $4; for (i = 5; i <= NF; i++) data = data "    " $i
        print under $2 " " $3 " " data }' <<<"$out"
    return 0
  done
  fail "reg query $key failed: $(cat "$artifacts/reg.txt")"
}
e2e_registry() { e2e_reg_values "HKEY_CURRENT_USER\\Software\\$scratch_name"; } # the install's key

# e2e_product ID: names the entry among the installed programs of product ID ($entry_key, in
# the registry view of the stub's bitness, $entry_view) and removes it however the test ends.
e2e_product() {
  local pe
  entry_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$1"
  pe=$(od -An -tu4 -j 60 -N4 "$SETUP_STUB" | tr -d ' ')
  entry_view=/reg:32
  [ "$(od -An -tx2 -j $((pe + 4)) -N2 "$SETUP_STUB" | tr -d ' ')" != 8664 ] || entry_view=/reg:64
  e2e_on_exit "\"\$wine_run\" --64 reg delete '$entry_key' /f $entry_view >/dev/null 2>&1"
}
e2e_entry() { e2e_reg_values "$entry_key" "$entry_view"; } # its values, as e2e_reg_values
e2e_entry_value() { e2e_entry | awk -v name="$1" '$1 == name { sub(/^[^ ]* [^ ]* /, ""); print }'; }

# e2e_quiet_uninstall CODE: runs the entry's QuietUninstallString as Windows does (the quoted
# program, then its switches) through e2e_run_silent; the uninstaller is the setup program of
# the e2e_* calls from then on.
e2e_quiet_uninstall() {
  local line switches
  line=$(e2e_entry_value QuietUninstallString)
  [[ $line =~ ^\"([^\"]+)\"\ (.*)$ ]] || fail "QuietUninstallString is '$line'"
  read -ra switches <<<"${BASH_REMATCH[2]}"
  setup_exe=$(e2e_unix_path "${BASH_REMATCH[1]}") setup_name=${BASH_REMATCH[1]##*\\}
  e2e_run_silent "$1" "${switches[@]}"
}

# e2e_check_shortcut DIR TARGET: DIR\e2e.lnk points at TARGET\bin\probe.exe.
e2e_check_shortcut() {
  local info
  info=$(probe lnk "$1\\e2e.lnk") || fail "shortcut $1\\e2e.lnk cannot be read"
  expect_eq shortcut "target=$2\\bin\\probe.exe
workdir=$2\\bin
description=Probe of the e2e test" "$info"
}

# The user's templates folder (Unix path): the prefix may link it elsewhere.
e2e_templates_dir() {
  local link
  link=$(find "$drive_c/users" -name Templates 2>/dev/null | head -1)
  [ -n "$link" ] || fail "no templates folder in the prefix"
  readlink -f "$link"
}

# The picture's private temporary file must not outlive the start-up.
e2e_check_no_temp_picture() {
  local left
  left=$(find "$(e2e_templates_dir)" -maxdepth 1 -name 'temp_install-*' | head -1)
  [ -z "$left" ] || fail "temporary picture left behind: $left"
}

# C:\a\b -> the Unix path, through the prefix's drive links (any letter).
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

# e2e_edit_package PYTHON: runs PYTHON on the setup's bytes `data` (with the offsets `stub`,
# `tree` and `base` and `struct` at hand), then reseals its digest with the salt of the
# format's own header, as a hostile or broken builder could.
e2e_edit_package() {
  command -v python3 >/dev/null || skip "python3 is needed to forge a package"
  python3 - "$setup_exe" "$e2e_dir/../../src/package/package_format.h" "$1" <<'EOF' || fail "forging failed"
import ast, hashlib, re, struct, sys
path, header, edit = sys.argv[1:4]
text = open(header).read()
salt = ast.literal_eval(re.search(r'PACKAGE_SALT\[\] =\s*("(?:[^"\\]|\\.)*")', text).group(1)).encode()
stub = int(re.search(r"STUB_SIZE = (\d+)", text).group(1))
data = bytearray(open(path, "rb").read())
tree = stub + 25 + struct.unpack_from("<I", data, stub + 21)[0]
base = tree + 9 + struct.unpack_from("<I", data, tree + 1)[0]  # the data area
exec(edit)
data[stub:stub + 20] = hashlib.sha1(salt + data[:stub] + data[stub + 20:]).digest()
open(path, "wb").write(data)
EOF
  "$SETUP_MKSETUP" verify "$setup_exe" >/dev/null || fail "the edited package is not sealed right"
}

# --- running --------------------------------------------------------------

# e2e_start [ARGS...]: the setup program in the background, started in the scratch folder (or
# $E2E_CWD); its output goes to $artifacts/setup.log.
e2e_start() {
  (cd "${E2E_CWD:-$scratch}" && exec "$wine_run" "$setup_exe" "$@") \
    >>"$artifacts/setup.log" 2>&1 </dev/null &
  setup_pid=$!
  setup_started=$(date +%s.%N)
}

# e2e_wait_exit CODE [SECONDS]: waits for the setup program, which must end with CODE (any:
# whatever it is, left in $setup_rc). A Unix parent sees only the low 8 bits of a Windows exit
# code: 3010 arrives as 194.
e2e_wait_exit() {
  local end=$(($(date +%s) + ${2:-$E2E_TIMEOUT})) rc=0
  while kill -0 "$setup_pid" 2>/dev/null; do
    [ "$(date +%s)" -lt "$end" ] || fail "the setup program did not end within ${2:-$E2E_TIMEOUT} s"
    sleep 0.1
  done
  wait "$setup_pid" || rc=$?
  setup_pid="" setup_rc=$rc
  [ "$1" = any ] || [ $(($1 & 255)) = "$rc" ] || expect_eq "exit code" "$1" "$rc"
}

e2e_elapsed() { echo "$(date +%s.%N) - $setup_started" | bc; } # seconds since e2e_start

# e2e_run_silent CODE [ARGS...]: a whole run that must show no window (a watch on the setup's
# windows sees it through) and end with CODE.
e2e_run_silent() {
  local watch="$artifacts/watch.txt" watch_pid
  probe watch "$setup_name" $((E2E_TIMEOUT * 1000)) >"$watch" 2>&1 &
  watch_pid=$!
  sleep 0.3
  e2e_start "${@:2}"
  e2e_wait_exit "$1"
  echo "-- silent run took $(e2e_elapsed) s"
  wait "$watch_pid" || true
  ! grep -q '^visible' "$watch" ||
    fail "a silent install showed a window: $(grep '^visible' "$watch" | tr '\n\t' '; ')"
  grep -q '^gone' "$watch" || fail "the window watch did not see the setup run: $(cat "$watch")"
}

# e2e_show TITLE: waits for the visible window TITLE (on X, then as win_probe sees it) and reads
# it into win_visible win_x win_y win_w win_h, client_x client_y client_w client_h, cy_caption
# cx_screen cy_screen and per child i: c_class c_vis c_en c_x c_y c_w c_h c_text.
e2e_show() {
  local pattern
  # shellcheck disable=SC2016 # a sed expression, not a shell one
  pattern="^$(printf '%s' "$1" | sed 's/[][\.*^$(){}?+|/]/\\&/g')\$"
  timeout 20 xdotool search --sync --onlyvisible --name "$pattern" >/dev/null ||
    fail "no window titled '$1' appeared"
  e2e_rects "$1"
}
e2e_rects() { e2e_read_window "$(probe rects "$1" 10000)" || fail "window '$1' not found by win_probe"; }
# e2e_read_dump NAME: the window as a section's "dump" left it in NAME-window.txt.
e2e_read_dump() { e2e_read_window "$(text_of "$scratch/$1-window.txt")" || fail "no window in $1-window.txt"; }
e2e_read_window() {
  [ -n "$1" ] && [ "$1" != none ] || return 1
  c_class=() c_vis=() c_en=() c_x=() c_y=() c_w=() c_h=() c_text=()
  local kind a b c d e f g h
  while IFS=$'\t' read -r kind a b c d e f g h; do
    case "$kind" in
      window) win_visible=$a win_x=$b win_y=$c win_w=$d win_h=$e ;;
      client) client_x=$a client_y=$b client_w=$c client_h=$d ;;
      metrics) cy_caption=$a cx_screen=$b cy_screen=$c ;;
      child) c_class+=("$a") c_vis+=("$b") c_en+=("$c") c_x+=("$d") c_y+=("$e") c_w+=("$f") c_h+=("$g") c_text+=("$h") ;;
    esac
  done <<<"$1"
}

e2e_close() { probe post "$1" close && e2e_wait_exit "${2:-0}" 20; } # TITLE [CODE]: as its close box; exit 0

# e2e_dialog: waits for a message box of the setup program and reads it as e2e_rects does; its
# caption in $dialog_title, its texts in $dialog_text.
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

# The "This file is corrupted" box of a damaged package, which must stay until it is
# answered; then it is answered and the setup must exit 1.
e2e_expect_corrupted() {
  e2e_dialog
  expect_eq "caption of the box" Error "$dialog_title"
  expect_eq "text of the box" "This file is corrupted" "$dialog_text"
  sleep 0.5
  kill -0 "$setup_pid" 2>/dev/null || fail "the process ended before the box was answered"
  e2e_answer_dialog
  e2e_wait_exit 1 20
}

# Answers the box last read by e2e_dialog with Return, as a user would: the pointer over it
# (focus follows the pointer), then the key.
e2e_answer_dialog() {
  xdotool mousemove $((win_x + win_w / 2)) $((win_y + win_h / 2))
  sleep 0.2
  xdotool key Return
}

# e2e_child CLASS [TEXT]: the index of the child of CLASS (any letter case) whose text is
# TEXT (its "&" marks aside), or (no TEXT) the first of CLASS; "picture" is the one child that
# is none of the standard controls. Fails when there is none.
e2e_child() {
  local i
  for i in "${!c_class[@]}"; do
    case "$1:${c_class[$i],,}" in
      picture:static | picture:edit | picture:button | picture:msctls_progress32) continue ;;
      picture:*) ;;
      *) [ "${c_class[$i],,}" = "${1,,}" ] || continue ;;
    esac
    [ -z "${2:-}" ] || [ "${c_text[$i]//&/}" = "$2" ] || continue
    echo "$i"
    return 0
  done
  fail "no $1 child${2:+ with text \"$2\"} (children: ${c_class[*]})"
}

expect_rect() { # WHAT INDEX X Y W H
  expect_eq "$1 rectangle" "$3 $4 $5 $6" "${c_x[$2]} ${c_y[$2]} ${c_w[$2]} ${c_h[$2]}"
}
expect_shown() { expect_eq "$1 visible" "$3" "${c_vis[$2]}"; } # WHAT INDEX 1|0
# expect_controls: rows "WHAT|CLASS|TEXT|VISIBLE[|X|Y|W|H]" of the window last read.
expect_controls() {
  local what class text shown x y w h i
  while IFS='|' read -r what class text shown x y w h; do
    i=$(e2e_child "$class" "$text")
    expect_shown "$what" "$i" "$shown"
    [ -z "$x" ] || expect_rect "$what" "$i" "$x" "$y" "$w" "$h"
  done
}

# Clicks the centre of child INDEX of the window last read.
e2e_click_child() {
  xdotool mousemove $((client_x + c_x[$1] + c_w[$1] / 2)) $((client_y + c_y[$1] + c_h[$1] / 2))
  sleep 0.2
  xdotool click 1
}

# e2e_type_into TITLE INDEX TEXT: replaces the text of edit child INDEX by keyboard and reads
# the window again; keys Wine drops while the focus settles are made up for by another try.
e2e_type_into() {
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

# e2e_expect_pixels SHOT: the screenshot's pixels at the client points of the rows on stdin
# ("WHAT X Y R,G,B"; empty rows skipped), each within 8 per channel.
e2e_expect_pixels() {
  local what x y rgb got r g b er eg eb d
  while read -r what x y rgb; do
    [ -n "$what" ] || continue
    x=$((client_x + x)) y=$((client_y + y))
    got=$(convert "$1" -format "%[fx:int(255*p{$x,$y}.r+0.5)],%[fx:int(255*p{$x,$y}.g+0.5)],%[fx:int(255*p{$x,$y}.b+0.5)]" info:)
    IFS=, read -r r g b <<<"$got"
    IFS=, read -r er eg eb <<<"$rgb"
    for d in $((r - er)) $((g - eg)) $((b - eb)); do
      [ "${d#-}" -le 8 ] || fail "$what: pixel ($x,$y) is $got, expected $rgb"
    done
  done
}

