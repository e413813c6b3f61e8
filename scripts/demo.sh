#!/usr/bin/env bash
# The main job on a fresh machine: install what is needed, build the tools,
# build the demo setup program and verify it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native
cmake --preset win32 >/dev/null
cmake --build --preset win32

mkdir -p build/demo
build/bin/mksetup build --script examples/demo/setup.txt --tree examples/demo/files \
  -o build/demo/setup.exe
build/bin/mksetup verify build/demo/setup.exe
ls -l build/bin/setup-stub.exe build/demo/setup.exe
