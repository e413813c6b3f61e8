#!/usr/bin/env bash
# Builds static MinGW zlib, libpng and libjpeg-turbo for the stub, and libdeflate
# and liblzma for the Windows mksetup.exe, from Debian's sources (there are no MinGW
# packages of them), and unpacks the LZMA SDK's C LZMA2 decoder from Debian's
# 7zip source, which every build compiles itself. libdeflate is the very
# version the native mksetup links, so that both builders write the same
# bytes. Debian's patches carry the
# security fixes, so the sources come through apt and dpkg-source, not from
# upstream tarballs. Idempotent: a stamp holding this script's checksum skips
# the work while the installed libraries match it.
#
#   build/deps/src      unpacked sources and their build trees
#   build/deps/ARCH     include/ and lib/ (libz.a, libpng.a, libjpeg.a; libdeflate.a
#                       and liblzma.a for x86_64)
#   build/deps/lzma-sdk the LZMA2 decoder's sources (any architecture)
#
# ARCH is the first argument: i686 (the stub; the default) or x86_64 (the
# 64-bit build of the Windows tests and of mksetup.exe); "lzma-sdk" unpacks
# the decoder's sources alone (what a native build needs; CMake asks for it
# when they are missing).
set -euo pipefail

arch="${1:-i686}"
case "$arch" in
  i686 | x86_64 | lzma-sdk) ;;
  *)
    echo "build-win-deps: unknown architecture $arch (i686, x86_64 or lzma-sdk)" >&2
    exit 2
    ;;
esac

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
deps="$root/build/deps"
src="$deps/src"
prefix="$deps/$arch"
stamp="$prefix/.stamp"
toolchain="$root/cmake/mingw-$arch.cmake"

want_stamp="$(sha256sum "${BASH_SOURCE[0]}" | cut -d' ' -f1)"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want_stamp" ] &&
  [ -f "$prefix/lib/libz.a" ] && [ -f "$prefix/lib/libpng.a" ] && [ -f "$prefix/lib/libjpeg.a" ] &&
  { [ "$arch" != x86_64 ] || [ -f "$prefix/lib/liblzma.a" ]; } &&
  [ -f "$deps/lzma-sdk/Lzma2Dec.c" ]; then
  exit 0
fi

# The libraries go into a stub that has no unwind tables and reads no
# environment; the same flags keep them from pulling either back in.
cflags="-Os -ffunction-sections -fdata-sections -fno-asynchronous-unwind-tables -DNO_GETENV"

# Fetches and unpacks the source package $1 into $src/$1. The newest version
# in the index is sometimes not yet on the mirror, so older published
# versions are tried in turn.
fetch_source() {
  local package=$1 dir="$src/$1"
  [ -f "$dir/.unpacked" ] && return 0
  local download="$src/download-$package"
  rm -rf "$download" "$dir"
  mkdir -p "$download"
  local versions version fetched=""
  versions="$(apt-cache showsrc "$package" 2>/dev/null | sed -n 's/^Version: //p' | sort -u -r -V)"
  if [ -z "$versions" ]; then
    # The source index may never have been fetched on this machine.
    apt-get update -qq >/dev/null 2>&1 || true
    versions="$(apt-cache showsrc "$package" 2>/dev/null | sed -n 's/^Version: //p' | sort -u -r -V)"
  fi
  for version in $versions; do
    if (cd "$download" && apt-get source -qq --download-only "$package=$version" >/dev/null 2>&1); then
      fetched=$version
      break
    fi
    rm -f "$download"/*
  done
  if [ -z "$fetched" ]; then
    echo "build-win-deps: cannot fetch the source of $package (is a deb-src entry enabled?" \
      "run 'apt-get update')" >&2
    return 1
  fi
  # dpkg-source applies Debian's patches; the signature check fails without
  # the maintainers' keys, which apt has already vouched for.
  (cd "$download" && dpkg-source -x "$(ls ./*.dsc)" "$dir" >/dev/null 2>&1)
  echo "$fetched" >"$dir/.unpacked"
  echo "build-win-deps: $package $fetched unpacked"
}

configure_and_build() {
  local source_dir=$1 build_dir=$2 target=$3
  shift 3
  rm -rf "$build_dir"
  cmake -S "$source_dir" -B "$build_dir" -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_C_FLAGS="$cflags" \
    "$@" >"$build_dir.log" 2>&1 || {
    cat "$build_dir.log" >&2
    return 1
  }
  cmake --build "$build_dir" --target "$target" -j2 >>"$build_dir.log" 2>&1 || {
    tail -n 40 "$build_dir.log" >&2
    return 1
  }
}

# Debian's MinGW libz.a carries zlib's CRC tables in the program (9 KB in
# the 64-bit stub, 5 KB in the 32-bit one); built with DYNAMIC_CRC_TABLE they
# are computed at their first use into memory the file does not hold (once,
# with C11 atomics: mksetup.exe's threads share them safely). Without
# -fdata-sections: MinGW's GCC would put each empty table in a .data section
# of its own, bytes in the file after all. -O2 as Debian builds it: inflate
# is what an install waits for.
build_zlib() {
  local dir="$src/zlib" build="$src/zlib-build-$arch"
  local cflags="-O2 -ffunction-sections -fno-asynchronous-unwind-tables -DDYNAMIC_CRC_TABLE"
  configure_and_build "$dir" "$build" zlibstatic -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE=-DNDEBUG
  local lib
  lib="$(find "$build" -maxdepth 1 -name 'lib*.a' | head -n 1)"
  install -m 644 "$lib" "$prefix/lib/libz.a"
  install -m 644 "$dir/zlib.h" "$build/zconf.h" "$prefix/include/"
}

build_jpeg() {
  local dir="$src/libjpeg-turbo" build="$src/libjpeg-turbo-build-$arch"
  # SIMD would cost about 60 KB of stub for speed the installer's pictures
  # do not need. The loader asks for full-size, full-colour output with the
  # default integer IDCT and fancy upsampling, so the scaled and alternative
  # IDCTs, merged upsampling and colour quantisation are never reached: left
  # out, they give the stub about 35 KB. Every baseline, progressive and
  # arithmetic-coded JPEG decodes to the same pixels as before.
  local feature
  for feature in DCT_IFAST DCT_FLOAT IDCT_SCALING UPSAMPLE_MERGING QUANT_1PASS QUANT_2PASS; do
    sed -i "s/^#define ${feature}_SUPPORTED/#undef ${feature}_SUPPORTED/" "$dir/jmorecfg.h"
  done
  configure_and_build "$dir" "$build" jpeg-static \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_ARITH_ENC=OFF \
    -DWITH_SIMD=OFF -DWITH_JAVA=OFF
  install -m 644 "$build/libjpeg.a" "$prefix/lib/libjpeg.a"
  install -m 644 "$build/jconfig.h" "$dir/jpeglib.h" "$dir/jmorecfg.h" "$dir/jerror.h" \
    "$prefix/include/"
}

# Reading only, and only what the picture loader asks of libpng: it hands
# over whole files from memory and wants 8-bit BGRA rows.
write_png_options() {
  cat >"$1" <<'EOF'
everything = off
option READ on
option SEQUENTIAL_READ on
option SETJMP on
option WARNINGS on
option ERROR_TEXT on
option BENIGN_ERRORS on
option EASY_ACCESS on
option INFO_IMAGE on
option READ_TRANSFORMS on
option READ_EXPAND on
option READ_STRIP_16_TO_8 on
option READ_GRAY_TO_RGB on
option READ_BGR on
option READ_FILLER on
option READ_ANCILLARY_CHUNKS on
option READ_tRNS on
option READ_16BIT on
option USER_LIMITS on
option CHECK_FOR_INVALID_INDEX on
option READ_CHECK_FOR_INVALID_INDEX on
EOF
}

build_png() {
  local dir="$src/libpng1.6" build="$src/libpng1.6-build-$arch"
  local options="$src/png-read-only.dfa"
  write_png_options "$options"
  configure_and_build "$dir" "$build" png_static \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DPNG_HARDWARE_OPTIMIZATIONS=OFF -DDFA_XTRA="$options" \
    -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include"
  local lib
  lib="$(find "$build" -maxdepth 1 -name 'libpng*.a' | head -n 1)"
  install -m 644 "$lib" "$prefix/lib/libpng.a"
  install -m 644 "$dir/png.h" "$dir/pngconf.h" "$build/pnglibconf.h" "$prefix/include/"
}

# Its own makefile knows MinGW; the build happens in a copy of the source.
build_deflate() {
  local build="$src/libdeflate-build-$arch"
  rm -rf "$build"
  cp -r "$src/libdeflate" "$build"
  make -C "$build" -j2 CC="$arch-w64-mingw32-gcc-posix" AR="$arch-w64-mingw32-ar" \
    libdeflatestatic.lib >"$build.log" 2>&1 || {
    tail -n 40 "$build.log" >&2
    return 1
  }
  install -m 644 "$build/libdeflatestatic.lib" "$prefix/lib/libdeflate.a"
  install -m 644 "$build/libdeflate.h" "$prefix/include/"
}

# liblzma for mksetup.exe's --method lzma2: the very version the native
# builder links, so that both write the same bytes. Encoder and decoder, no
# tools, no threads of its own (the builder runs its own workers).
build_lzma() {
  local dir="$src/xz-utils" build="$src/xz-utils-build-$arch"
  configure_and_build "$dir" "$build" liblzma -DBUILD_SHARED_LIBS=OFF -DENABLE_THREADS=OFF
  install -m 644 "$build/liblzma.a" "$prefix/lib/liblzma.a"
  cp -r "$dir/src/liblzma/api/lzma" "$dir/src/liblzma/api/lzma.h" "$prefix/include/"
}

# The decoder alone: two C files and the headers they include. The SDK is
# public domain; Debian's package carries its fixes.
install_lzma_decoder() {
  local from="$src/7zip/C" to="$deps/lzma-sdk"
  rm -rf "$to"
  mkdir -p "$to"
  install -m 644 "$from/LzmaDec.c" "$from/LzmaDec.h" "$from/Lzma2Dec.c" "$from/Lzma2Dec.h" \
    "$from/7zTypes.h" "$from/7zWindows.h" "$from/Compiler.h" "$from/Precomp.h" "$to/"
}

if [ "$arch" = lzma-sdk ]; then
  mkdir -p "$src"
  fetch_source 7zip
  install_lzma_decoder
  exit 0
fi

mkdir -p "$src"
fetch_source zlib
fetch_source libjpeg-turbo
fetch_source libpng1.6
if [ "$arch" = x86_64 ]; then
  fetch_source libdeflate
  fetch_source xz-utils
fi
fetch_source 7zip
install_lzma_decoder

rm -rf "$prefix"
mkdir -p "$prefix/include" "$prefix/lib"
start=$SECONDS
build_zlib
build_jpeg
build_png
if [ "$arch" = x86_64 ]; then
  build_deflate
  build_lzma
fi
echo "$want_stamp" >"$stamp"
echo "build-win-deps: libraries built into $prefix in $((SECONDS - start)) s;" \
  "LZMA2 decoder sources in $deps/lzma-sdk"
