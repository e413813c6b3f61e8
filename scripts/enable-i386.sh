#!/usr/bin/env bash
# Wine runs 32-bit Windows programs through its 32-bit Linux loader. Some
# machines of ours run a kernel that refuses 32-bit ELF programs ("Exec format
# error"); there, register qemu-i386 as their interpreter through binfmt_misc
# so that Wine's i386 half runs emulated. Idempotent; does nothing where
# 32-bit programs already run.
set -euo pipefail

loader=/lib/ld-linux.so.2
[ -x "$loader" ] || { echo "enable-i386: $loader missing (wine32:i386 not installed?)" >&2; exit 1; }
"$loader" --version >/dev/null 2>&1 && exit 0

SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo
if [ ! -x /usr/bin/qemu-i386-static ]; then
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
    qemu-user-static >/dev/null
fi
binfmt=/proc/sys/fs/binfmt_misc
[ -e "$binfmt/register" ] || $SUDO mount -t binfmt_misc binfmt_misc "$binfmt"
if [ ! -e "$binfmt/qemu-i386" ]; then
  # ELF class 32, little endian, type EXEC or DYN, machine i386. F: the kernel
  # opens the interpreter now, so it works inside other mount namespaces too.
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf '%s' ":qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386-static:FOCP" |
    $SUDO tee "$binfmt/register" >/dev/null
fi
if ! "$loader" --version >/dev/null 2>&1; then
  echo "enable-i386: 32-bit programs still cannot run on this machine" >&2
  exit 1
fi
echo "enable-i386: 32-bit programs run under qemu-i386 on this machine (slow)"
