#!/bin/sh
# The build installed into a temporary prefix, and that prefix moved, works on
# its own: its programs run with the build and source trees hidden and find
# their data beside themselves; the desktop and AppStream files validate.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR
set -eu
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
fail() { echo "install test: $*"; exit 1; }

# A private mount namespace to hide the trees in: as root, or as a user
# mapped to root in a namespace of its own.
if unshare -m true 2>/dev/null; then
  hide="unshare -m"
elif unshare -rm true 2>/dev/null; then
  hide="unshare -rm"
else
  echo "install test: no mount namespace can be made here; skipped"
  exit 77
fi

tmp=$(mktemp -d /tmp/nimbary-install.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
cmake --install "$build" --prefix "$tmp/usr" > "$tmp/install.log" || { cat "$tmp/install.log"; fail "cmake --install failed"; }
mv "$tmp/usr" "$tmp/moved"  # nothing may depend on where it was installed
prefix=$tmp/moved
id=org.nimbary.Nimbary
for f in bin/nimbary bin/nimbary-cli share/nimbary/main.ini share/nimbary/schema.sql \
         lib/udev/rules.d/70-nimbary-station.rules share/nimbary/71-nimbary-station-group.rules \
         lib/systemd/user/nimbary-download.service \
         share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
         share/icons/hicolor/scalable/apps/$id.svg share/icons/hicolor/16x16/apps/$id.png \
         share/icons/hicolor/256x256/apps/$id.png share/doc/nimbary/README.md; do
  [ -e "$prefix/$f" ] || fail "$f was not installed"
done
# The station's rules: its version only; the seat's user alone by default,
# a group of our own only where the owner copies the second rule in.
rule() { grep -v '^#' "$prefix/$1"; }
for r in lib/udev/rules.d/70-nimbary-station.rules share/nimbary/71-nimbary-station-group.rules; do
  rule "$r" | grep -q 'ATTRS{idVendor}=="1130", ATTRS{idProduct}=="0829", ATTRS{bcdDevice}=="0100",' ||
    fail "$r does not match the station's identity and version"
done
rule lib/udev/rules.d/70-nimbary-station.rules | grep -q 'TAG+="uaccess"' ||
  fail "the seat's rule does not give the station to the seat"
! rule lib/udev/rules.d/70-nimbary-station.rules | grep -Eq 'GROUP|MODE' ||
  fail "the seat's rule gives the station to more than the seat"
rule share/nimbary/71-nimbary-station-group.rules | grep -q 'GROUP="nimbary", MODE="0660"$' ||
  fail "the group rule does not give the station to the nimbary group"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "the .desktop file is not valid"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --strict --explain "$prefix/share/metainfo/$id.metainfo.xml" >"$tmp/appstream.log" 2>&1 ||
    { cat "$tmp/appstream.log"; fail "the AppStream file is not valid"; }
fi

# The programs, with both trees hidden under empty folders.
$hide sh -eu -c '
  build=$1 source=$2 prefix=$3 tmp=$4
  mount -t tmpfs none "$build"
  mount -t tmpfs none "$source"
  [ ! -e "$build/CMakeCache.txt" ] && [ ! -e "$source/CMakeLists.txt" ] || { echo "the trees are still there"; exit 1; }
  export PATH="$prefix/bin:$PATH" NIMBARY_DATA_DIR="$tmp/data" QT_QPA_PLATFORM=offscreen
  cd "$tmp"
  out=$(nimbary-cli --version)
  [ "$out" = "nimbary-cli $5" ] || { echo "nimbary-cli --version said: $out"; exit 1; }
  nimbary --simulate --sim-days 1 --screenshot "$tmp/shot.png" --quit-after 3
  [ "$(wc -c < "$tmp/shot.png")" -gt 20000 ] || { echo "no screenshot"; exit 1; }
  cmp "$tmp/data/main.ini" "$prefix/share/nimbary/main.ini" || { echo "main.ini was not copied from the prefix"; exit 1; }
  nimbary-cli download --simulate --sim-days 1 --db "$tmp/cli.db" > "$tmp/download.txt"
  # A day of 5-minute records, both ends when the clock lies on a record time.
  grep -Eq "total read records: 28[89]$" "$tmp/download.txt" || { cat "$tmp/download.txt"; exit 1; }
  if [ -e "$prefix/bin/zq0093-host" ]; then
    zq0093-host --help > /dev/null
    zq0093-host --simulate --screenshot "$tmp/host.png" --quit-after 2
    [ "$(wc -c < "$tmp/host.png")" -gt 10000 ] || { echo "zq0093-host drew nothing"; exit 1; }
    export PKG_CONFIG_PATH="$(dirname "$(find "$prefix" -name zq0093.pc)")"
    plugin=$(realpath "$(pkg-config --variable=plugin zq0093)")
    header=$(pkg-config --variable=includedir zq0093)/ZQ0093.h
    case $plugin in "$prefix"/*) ;; *) echo "zq0093.pc names $plugin"; exit 1;; esac
    [ -f "$plugin" ] && [ -f "$header" ] || { echo "zq0093.pc names no plug-in or header"; exit 1; }
  fi
' sh "$build" "$source" "$prefix" "$tmp" "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")" ||
  fail "the installed programs did not run on their own"
echo "install ok"
