#!/usr/bin/env bash
# Makes the packages for users in build/packages: mksetup_<version>_<arch>.deb
# (mksetup, the stub, the manual page, the README, the licence and notices)
# and mksetup-<version>-win64.zip (mksetup.exe, the stub, the README, the
# licence and notices). Their pieces come from three builds: the stub from
# win32, mksetup from native, mksetup.exe from win64; each builds only what
# the packages need.
set -euo pipefail
cd "$(dirname "$0")/.."

build() {  # build PRESET TARGET...
  local preset=$1
  shift
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target "$@"
}
build win32 setup-stub setup-stub-user
build native mksetup mksetup_man
build win64 mksetup

out="$PWD/build/packages"
rm -rf "$out"
mkdir -p "$out"
for preset in native win64; do
  (cd "build/$preset" && cpack -B "$out" >"$out/cpack-$preset.log") ||
    { cat "$out/cpack-$preset.log" >&2; exit 1; }
done
rm -rf "$out/_CPack_Packages" "$out"/cpack-*.log
for package in "$out"/*.deb "$out"/*.zip; do
  echo "package: $package ($(stat -c %s "$package") bytes)"
done
