#!/usr/bin/env bash
# Exits 0 when this machine runs 32-bit x86 programs natively. Some kernels
# refuse them ("Exec format error"); scripts/enable-i386.sh then lets Wine's
# 32-bit half run under qemu-i386, which is far too slow and unreliable to
# run the 32-bit stub for tests, benchmarks or the demo.
set -uo pipefail
if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then exit 1; fi
/lib/ld-linux.so.2 --version >/dev/null 2>&1
