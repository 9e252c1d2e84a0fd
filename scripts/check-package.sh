#!/usr/bin/env bash
# Checks a built nimbary .deb: exactly the expected files; every library its
# programs link, in Depends (dpkg-shlibdeps takes them from the links); its
# menu entry and AppStream file valid without a warning; one version in the
# package, the programs and the AppStream release.
# Usage: scripts/check-package.sh build/package/nimbary_VERSION_amd64.deb
set -euo pipefail
deb=$1
id=org.nimbary.Nimbary
expected=(
  ./usr/bin/nimbary
  ./usr/bin/nimbary-cli
  ./usr/lib/systemd/user/nimbary-download.service
  ./usr/lib/udev/rules.d/70-nimbary-station.rules
  ./usr/share/applications/$id.desktop
  ./usr/share/doc/nimbary/README.md
  ./usr/share/metainfo/$id.metainfo.xml
  ./usr/share/nimbary/main.ini
  ./usr/share/nimbary/71-nimbary-station-group.rules
  ./usr/share/nimbary/schema.sql
  ./usr/share/icons/hicolor/scalable/apps/$id.svg
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/$id.png")
done
if [[ -f src/plugin/CMakeLists.txt ]]; then  # the plug-in, once it is in the tree
  lib=./usr/lib/x86_64-linux-gnu
  expected+=(./usr/bin/zq0093-host ./usr/include/ZQ0093.h "$lib/pkgconfig/zq0093.pc"
             "$lib/nimbary/zq0093-host" "$lib/nimbary/libZQ0093.so" "$lib/nimbary/libstalink.so"
             "$lib/nimbary/libairlink.so")
fi
for tool in desktop-file-validate appstreamcli readelf; do
  command -v $tool >/dev/null || { echo "package: $tool is missing (scripts/setup.sh installs it)"; exit 1; }
done

fail=0
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
if [[ "$actual" != "$wanted" ]]; then
  echo "package: the file list differs (< expected, > in the package):"
  diff <(echo "$wanted") <(echo "$actual") || true
  fail=1
fi
[[ "$(basename "$deb")" =~ ^nimbary_[0-9.]+_amd64\.deb$ ]] || { echo "package: unexpected name $deb"; fail=1; }

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
depends=$(dpkg-deb -f "$deb" Depends)
names=$(tr ',|' '\n\n' <<<"$depends" | awk '{print $1}')
# What the package runs without linking it, and what it must link whatever
# the scan below finds (the export's PDF needs cairo and fontconfig).
for package in qt6-qpa-plugins libqt6widgets6 libqt6charts6 libhidapi-hidraw0 libsqlite3-0 libudev1 \
               libcairo2 libfontconfig1 libmosquitto1 libstdc++6; do
  grep -qx "$package" <<<"$names" || { echo "package: Depends lacks $package: $depends"; fail=1; }
done
# Every library an ELF file of the package links, unless the package has it,
# by the Debian package that holds it here.
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || echo x86_64-linux-gnu)
own=$(find "$tree" -name '*.so*' -printf '%f\n')
needed=$(find "$tree" -type f -exec sh -c 'readelf -h "$1" >/dev/null 2>&1 && readelf -d "$1"' sh {} \; |
         sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort -u)
for soname in $needed; do
  grep -qx "$soname" <<<"$own" && continue
  holder=$(dpkg -S "*/$multiarch/$soname" 2>/dev/null | cut -d: -f1 | sort -u | head -1)
  if [[ -z "$holder" ]]; then
    echo "package: no installed package holds $soname, which the programs link"; fail=1
  elif ! grep -qx "$holder" <<<"$names"; then
    echo "package: Depends lacks $holder, which holds $soname: $depends"; fail=1
  fi
done

# The menu entry and the AppStream file as the package ships them.
if ! out=$(desktop-file-validate "$tree/usr/share/applications/$id.desktop" 2>&1) || [[ -n "$out" ]]; then
  echo "package: desktop-file-validate: $out"; fail=1
fi
if ! out=$(appstreamcli validate --no-net --strict --explain "$tree/usr/share/metainfo/$id.metainfo.xml" 2>&1); then
  echo "package: appstreamcli validate: $out"; fail=1
fi

# One version: the package's, the programs' and the AppStream release's.
version=$(dpkg-deb -f "$deb" Version)
said=$("$tree/usr/bin/nimbary-cli" --version 2>&1 || true)
[[ "$said" == "nimbary-cli $version" ]] || { echo "package: version $version, but nimbary-cli says: $said"; fail=1; }
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$tree/usr/share/metainfo/$id.metainfo.xml" | head -1)
[[ "$release" == "$version" ]] || { echo "package: version $version, but the AppStream release is $release"; fail=1; }

((fail == 0)) && echo "package ok: $(basename "$deb"), $(wc -l <<<"$actual") files, version $version"
exit $fail
