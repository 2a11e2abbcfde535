#!/usr/bin/env bash
# Makes the Debian package from the built tree (cpack installs what is built; it builds
# nothing), unpacks it into a temporary root with dpkg -x and runs the installed programs
# from there: duomira-cli must read a TIFF file and find its imaging modules in
# <prefix>/lib/duomira.
# Arguments: BUILD_DIR WORK_DIR TIFF_FILE
set -euo pipefail
build=$1 work=$2 tiff=$3
fail() { echo "package test: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$work"/out/*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no .deb made"

# The package's control data: name, version and the runtime dependencies.
info=$(dpkg-deb --info "$deb")
grep -q '^ Package: duomira$' <<<"$info" || fail "package name"
grep -q '^ Depends: .*libqt6widgets6' <<<"$info" || fail "no Qt runtime dependency: $info"
grep -q '^ Depends: .*libexiv2' <<<"$info" || fail "no exiv2 runtime dependency: $info"

root="$work/root"
dpkg -x "$deb" "$root"
for f in usr/bin/duomira usr/bin/duomira-cli usr/lib/duomira/libgfl311.so \
         usr/lib/duomira/libgfle311.so usr/share/applications/org.duomira.Duomira.desktop \
         usr/share/metainfo/org.duomira.Duomira.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/org.duomira.Duomira.svg \
         usr/share/icons/hicolor/48x48/apps/org.duomira.Duomira.png; do
  [ -e "$root/$f" ] || fail "missing $f"
done
if find "$root/usr/bin" -name '*.so*' | grep -q .; then fail "libraries in usr/bin"; fi
if find "$root" -name 'libgfl_*' | grep -q .; then fail "test modules in the package"; fi

# The installed programs run from the temporary root.
out=$("$root/usr/bin/duomira-cli" inspect "$tiff") || fail "inspect failed"
grep -q '"file"' <<<"$out" || fail "inspect printed no record: $out"
grep -q "$(basename "$tiff")" <<<"$out" || fail "inspect did not name the file"
version=$("$root/usr/bin/duomira-cli" --version) || fail "--version failed"
grep -q 'imaging library: loaded' <<<"$version" ||
  fail "the installed duomira-cli did not find its imaging modules: $version"
echo "package test: $(basename "$deb") installs and runs"
