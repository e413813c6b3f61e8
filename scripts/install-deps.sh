#!/usr/bin/env bash
# Installs every Debian package the project needs. Idempotent: a machine that
# already has them only pays for one dpkg query.
set -euo pipefail

packages=(
  cmake make ninja-build pkg-config g++ clang libclang-rt-14-dev clang-format
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev nasm dpkg-dev
  wine wine32:i386 wine64 xvfb xauth xdotool imagemagick icoutils
  googletest libgtest-dev libbenchmark-dev zlib1g-dev libpng-dev
  libjpeg62-turbo-dev libdeflate-dev liblzma-dev libcli11-dev nsis openssl osslsigncode time locales python3
  pandoc  # the manual page mksetup-script(5), from docs/mksetup-script.md
)

has_deb_src() {
  grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ || grep -qs '^deb-src' /etc/apt/sources.list
}

have_all=1
if ! dpkg --print-foreign-architectures | grep -qx i386 || ! has_deb_src; then
  have_all=0
else
  for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      have_all=0
      break
    fi
  done
fi
[ "$have_all" = 1 ] && exit 0

SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO dpkg --add-architecture i386
# deb-src entries are needed to fetch the sources of libpng and libjpeg-turbo.
if ! has_deb_src; then
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    $SUDO sed -i 's/^Types: deb$/Types: deb deb-src/' /etc/apt/sources.list.d/debian.sources
  else
    grep -s '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | $SUDO tee /etc/apt/sources.list.d/project-src.list >/dev/null
  fi
fi
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
