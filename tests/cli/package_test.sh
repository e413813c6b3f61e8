#!/usr/bin/env bash
# package_test.sh BUILD_DIR SCRATCH [RUNNER]: makes this build's package with CPack, unpacks it
# as a user installs it (the .deb with dpkg -x, the zip into a folder; RUNNER runs its
# mksetup.exe) and builds a setup with the installed mksetup and the stub it finds by itself.
# The licence and the third-party notices are in the package and in a `cmake --install`
# prefix, the .deb's copyright file passes lintian (where it is installed), and the notices
# name the versions of the sources build-win-deps.sh unpacked.
# Exits 77 (skipped) when the stub the package ships is not built (the win32 preset makes it).
set -euo pipefail
build="$1"
scratch="$2"
runner=("${@:3}")
rm -rf "$scratch"
mkdir -p "$scratch/root" "$scratch/tree/docs"
fail() { echo "FAIL (package): $*" >&2; exit 1; }
stub="$(sed -n 's/^SETUP_SHIPPED_STUB:FILEPATH=//p' "$build/CMakeCache.txt")"
if [ ! -f "$stub" ]; then
  echo "skipped: $stub is not built (cmake --build --preset win32)"
  exit 77
fi
cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
version="$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")"

shopt -s nullglob
debs=("$scratch"/out/mksetup_"$version"_*.deb)
zips=("$scratch"/out/mksetup-"$version"-win64.zip)
if [ ${#debs[@]} = 1 ]; then
  package="${debs[0]}"
  dpkg -x "$package" "$scratch/root"
  top="$scratch/root/usr"
  docs=share/doc/mksetup
  licences="$docs/LICENSE $docs/THIRD-PARTY-NOTICES $docs/copyright"
  files="bin/mksetup share/mksetup/setup-stub.exe share/mksetup/setup-stub-user.exe share/man/man1/mksetup.1.gz share/doc/mksetup/README.md
         share/man/man5/mksetup-script.5.gz share/mksetup/cmake/mksetupConfig.cmake $licences"
  mksetup=("$top/bin/mksetup")
  installed_stub="$top/share/mksetup/setup-stub.exe"
elif [ ${#zips[@]} = 1 ]; then
  package="${zips[0]}"
  python3 -m zipfile -e "$package" "$scratch/root"
  top="$scratch/root/mksetup-$version-win64"
  docs=.
  licences="$docs/LICENSE $docs/THIRD-PARTY-NOTICES"
  files="mksetup.exe setup-stub.exe setup-stub-user.exe README.md man/man5/mksetup-script.5
         cmake/mksetupConfig.cmake $licences"
  mksetup=("${runner[@]}" "$top/mksetup.exe")
  installed_stub="$top/setup-stub.exe"
else
  fail "no package in $scratch/out: $(ls "$scratch/out")"
fi
for f in $files; do [ -f "$top/$f" ] || fail "$(basename "$package") lacks $f"; done
cmp -s "$stub" "$installed_stub" || fail "the packaged stub is not the shipped one"
source="$(dirname "$0")/../.."
cmake --install "$build" --prefix "$scratch/prefix" >"$scratch/install.log" 2>&1 ||
  { cat "$scratch/install.log" >&2; fail "cmake --install failed"; }
for f in $licences; do
  case "$f" in */copyright) ;; *) cmp -s "$source/${f##*/}" "$top/$f" || fail "$f is not the source's" ;; esac
  cmp -s "$top/$f" "$scratch/prefix/$f" || fail "cmake --install does not install $f"
done
if [[ $package == *.deb ]] && command -v lintian >/dev/null; then
  ! lintian "$package" 2>&1 | grep -i copyright || fail "lintian finds fault with the copyright file"
fi
for unpacked in "$source"/build/deps/src/*/.unpacked; do
  name=$(basename "$(dirname "$unpacked")")
  [[ -f $unpacked && $name != *-build-* ]] || continue # a build's copy of the source
  # The upstream version: a Debian security update changes only the revision after it.
  name="$name $(sed 's/-[^-]*$//' "$unpacked")"
  grep -qF "source package $name" "$top/$docs/THIRD-PARTY-NOTICES" || fail "THIRD-PARTY-NOTICES does not name $name"
done
# The demo, whole: under examples/ (in the .deb among the documentation).
examples="$top/share/doc/mksetup/examples"
[ -d "$examples" ] || examples="$top/examples"
diff -r "$(dirname "$0")/../../examples" "$examples" >/dev/null ||
  fail "$(basename "$package") lacks examples/ as the source has it"

cd "$scratch"
[ "$("${mksetup[@]}" --version)" = "mksetup $version" ] || fail "--version does not say $version"
printf 'Read me\n' >tree/docs/readme.txt
printf '[locale]\nPackage test\nInstall?\nC:\\Test\nStart\nBusy\nFile\n' >script.txt
"${mksetup[@]}" build --quiet --script script.txt --tree tree -o setup.exe ||
  fail "the installed mksetup did not build"
"${mksetup[@]}" verify setup.exe >verify.txt || fail "the setup does not verify"
head -n1 verify.txt | grep -qx OK || fail "verify did not say OK"
demo=${examples#"$scratch"/}/demo # relative: Wine knows the current folder
"${mksetup[@]}" build --quiet --script "$demo/setup.txt" --tree "$demo/files" -o demo.exe ||
  fail "the installed mksetup did not build the packaged demo"
echo "ok ($(basename "$package"), $(stat -c %s "$package") bytes)"
