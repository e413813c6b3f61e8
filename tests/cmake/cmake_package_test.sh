#!/usr/bin/env bash
# cmake_package_test.sh ROOT SCRATCH: mksetup's CMake package, from the .deb as mksetup_package
# unpacks it into ROOT, builds this folder's project: setups from mksetup_add_setup in both forms
# with its options (again when the script changes, not otherwise; the icon, made here, in the
# setup's icon group) and one from cpack -G External, named for Windows; all verify. Exits 77
# (skipped) when no package is unpacked there.
set -euo pipefail
root="$1" scratch="$2"
fail() { echo "FAIL (cmake package): $*" >&2; exit 1; }
if [ ! -f "$root/usr/share/mksetup/cmake/mksetupConfig.cmake" ]; then
  echo "skipped: no mksetup package unpacked in $root"
  exit 77
fi
rm -rf "$scratch"
mkdir -p "$scratch/src"
cp "$(dirname "$0")"/{CMakeLists.txt,readme.txt,setup.txt} "$scratch/src/"
convert -size 32x32 xc:teal -define icon:auto-resize=32,16 "$scratch/src/app.ico" || fail "no convert"
cd "$scratch"
run() { "$@" >log.txt 2>&1 || { cat log.txt >&2; fail "$*"; }; }
verifies() { "$root/usr/bin/mksetup" verify "$1" | head -n1 | grep -qx OK || fail "$1 does not verify"; }

mkdir stubs
cp "$root"/usr/share/mksetup/setup-stub*.exe stubs/
run cmake -S src -B build -DCMAKE_PREFIX_PATH="$root/usr" -DOWN_STUBS="$scratch/stubs"
run cmake --build build -v
verifies build/viewer-setup.exe
verifies build/own-stub-setup.exe
"$root/usr/bin/mksetup" list build/viewer-setup.exe | grep -q ' lzma2 ' || fail "METHOD was not passed"
# The setup's icon group is app.ico: its images as list gives them, their bytes in the file.
python3 - src/app.ico build/viewer-setup.exe "$("$root/usr/bin/mksetup" list build/viewer-setup.exe |
  grep -m1 '^  Icon ')" <<'EOF' || fail "the setup's icon is not app.ico"
import struct, sys
ico, exe = (open(name, "rb").read() for name in sys.argv[1:3])
images = [struct.unpack_from("<BBxxxxxxII", ico, 6 + 16 * i) for i in range(ico[4])]
shown = " ".join(f"{w or 256}x{h or 256} ({n} bytes)" for w, h, n, _ in images)
assert sys.argv[3].split() == f"Icon {len(images)} images: {shown}".split(), sys.argv[3]
assert all(ico[at:at + n] in exe for _, _, n, at in images)
EOF
for option in "--level 3" --strict "--stub $scratch/stubs/setup-stub.exe" \
  "--user-stub $scratch/stubs/setup-stub-user.exe"; do
  grep -q -- " $option\( \|$\)" log.txt || fail "$option was not passed"
done
run cmake --build build
! grep -q "Building the setup program" log.txt || fail "built again though nothing changed"
touch -d '+2 seconds' src/setup.txt
run cmake --build build
grep -q "Building the setup program" log.txt || fail "not built again after the script changed"

(cd build && run cpack -G External)
verifies build/example_viewer-2.1.0-win32.exe
echo "ok (mksetup_add_setup and cpack -G External)"
