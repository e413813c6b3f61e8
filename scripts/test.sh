#!/usr/bin/env bash
# Builds everything and runs every test: native, under the sanitizers (with a
# short fuzzing run), and the Windows tests under Wine. The Windows tests run
# from the 64-bit build, which 64-bit Wine runs natively; the 32-bit build
# (the shipped stub) is built and size-checked always, and its tests run too
# where this machine runs 32-bit programs natively. Where the kernel refuses
# them, Wine's 32-bit half only runs under qemu-i386: a minute or more per
# process start, and its server connection breaks on some file operations,
# so those runs would say nothing about our code. The last ctest summary
# closes the output.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

presets=(native asan win32 win64)
for preset in "${presets[@]}"; do
  echo "== build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

# The .deb and the Windows zip from the builds above (their install-and-build
# tests run with ctest).
echo "== packages"
scripts/package.sh

test_presets=(native asan win64)
if ! scripts/native-i386.sh; then
  echo "== test: win32 skipped: 32-bit programs do not run natively on this machine"
else
  test_presets=(native asan win32 win64)
fi

status=0
for preset in "${test_presets[@]}"; do
  echo "== test: $preset"
  ctest --preset "$preset" -j2 || status=1
done
exit $status
