#!/bin/sh
# zq0093-host loads the plug-in against the simulated station with all eight
# channels, draws its display and saves a picture of it.
set -eu
host=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
QT_QPA_PLATFORM=offscreen "$host" --simulate --sim-days 0 --sim-channels all \
  --screenshot "$dir/shot.png" --quit-after 2.5
size=$(wc -c < "$dir/shot.png")
[ "$size" -gt 20000 ] || { echo "screenshot too small: $size bytes"; exit 1; }
if "$host" --simulate --sim-channels 9 2>/dev/null; then echo "bad option accepted"; exit 1; fi
echo "host ok ($size bytes)"
