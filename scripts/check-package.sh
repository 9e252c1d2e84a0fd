#!/usr/bin/env bash
# Checks a built nimbary .deb: exactly the expected files, and dependencies
# that dpkg-shlibdeps took from the linked libraries.
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

fail=0
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
if [[ "$actual" != "$wanted" ]]; then
  echo "package: the file list differs (< expected, > in the package):"
  diff <(echo "$wanted") <(echo "$actual") || true
  fail=1
fi
[[ "$(basename "$deb")" =~ ^nimbary_[0-9.]+_amd64\.deb$ ]] || { echo "package: unexpected name $deb"; fail=1; }
depends=$(dpkg-deb -f "$deb" Depends)
names=$(tr ',' '\n' <<<"$depends" | awk '{print $1}')
for lib in libqt6widgets6 libqt6charts6 libhidapi-hidraw0 libsqlite3-0 libudev1 libstdc++6 qt6-qpa-plugins; do
  grep -qx "$lib" <<<"$names" || { echo "package: Depends lacks $lib: $depends"; fail=1; }
done
((fail == 0)) && echo "package ok: $(basename "$deb"), $(wc -l <<<"$actual") files"
exit $fail
