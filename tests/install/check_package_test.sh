#!/bin/sh
# scripts/check-package.sh refuses a package that lacks what the programs
# link, ships a menu entry or AppStream file with a warning, or says two
# versions: a small package made here, with nimbary-cli (which links cairo and
# fontconfig for the PDF export) and a Depends that names neither.
# Usage: check_package_test.sh SOURCE_DIR NIMBARY_CLI
set -eu
source=$(cd "$1" && pwd)
cli=$2
fail() { echo "check-package test: $*"; exit 1; }
command -v dpkg-deb >/dev/null || { echo "check-package test: no dpkg-deb here; skipped"; exit 77; }
tmp=$(mktemp -d)
trap "cat $tmp/out >&2; rm -rf $tmp" EXIT
root=$tmp/root
mkdir -p "$root/DEBIAN" "$root/usr/bin" "$root/usr/share/applications" "$root/usr/share/metainfo"
cp "$cli" "$root/usr/bin/nimbary-cli"
version=$("$cli" --version | cut -d' ' -f2)
cat > "$root/DEBIAN/control" <<CONTROL
Package: nimbary
Version: 9.9.9
Architecture: amd64
Maintainer: Nimbary <developers@nimbary.org>
Depends: libc6, libstdc++6
Description: check-package test
CONTROL
# A desktop-entry key desktop-file-validate calls deprecated; an AppStream release that is not the package's.
sed 's/^Terminal=false/Terminal=false\nEncoding=UTF-8/' "$source/resources/linux/org.nimbary.Nimbary.desktop" \
  > "$root/usr/share/applications/org.nimbary.Nimbary.desktop"
sed "s/@PROJECT_VERSION@/$version/" "$source/resources/linux/org.nimbary.Nimbary.metainfo.xml.in" \
  > "$root/usr/share/metainfo/org.nimbary.Nimbary.metainfo.xml"
dpkg-deb --root-owner-group -b "$root" "$tmp/nimbary_9.9.9_amd64.deb" >/dev/null
rc=0
(cd "$source" && scripts/check-package.sh "$tmp/nimbary_9.9.9_amd64.deb") > "$tmp/out" 2>&1 || rc=$?
[ $rc -ne 0 ] || fail "the package passed: $(cat "$tmp/out")"
for said in "Depends lacks libcairo2, which holds libcairo.so.2" \
            "Depends lacks libfontconfig1, which holds libfontconfig.so.1" \
            "desktop-file-validate: " "version 9.9.9, but nimbary-cli says: nimbary-cli $version" \
            "version 9.9.9, but the AppStream release is $version"; do
  grep -qF "$said" "$tmp/out" || fail "not said: '$said' in: $(cat "$tmp/out")"
done
echo "check-package test ok"
