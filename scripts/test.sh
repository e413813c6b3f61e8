#!/usr/bin/env bash
# Builds everything and runs every test: native, under the sanitizers (with a
# short fuzzing run), and for Windows under Wine. The Wine run comes last, so
# its ctest summary closes the output.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

for preset in native asan win32; do
  echo "== build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

status=0
for preset in native asan win32; do
  echo "== test: $preset"
  ctest --preset "$preset" -j2 || status=1
done
exit $status
