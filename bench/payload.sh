# shellcheck shell=bash
# Sourced by the benchmarks: stages a reference payload by hard links under
# build/bench-build/NAME/payload, once. The caller sets $root (the checkout).
#
#   stage_payload QUICK   sets $name, $work and $payload
#
# P1 is wine's i386 PE DLLs plus /usr/include; QUICK=1 takes /usr/include
# alone. Symbolic links are dropped (the builder refuses them), and of names
# equal but for case only the first in byte order is kept (Windows could not
# hold both).
stage_payload() {
  local quick=$1 sources
  if [ "$quick" = 1 ]; then
    name=quick
    sources=(/usr/include)
  else
    name=p1
    sources=(/usr/lib/i386-linux-gnu/wine/i386-windows /usr/include)
  fi
  # shellcheck disable=SC2154 # $root is the caller's
  work="$root/build/bench-build/$name"
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
