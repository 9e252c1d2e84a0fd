#!/bin/sh
# The program started against the simulated station draws its live display
# and saves a picture of it.
set -eu
program=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
NIMBARY_DATA_DIR="$dir/data" QT_QPA_PLATFORM=offscreen \
  "$program" --simulate --sim-days 1 --screenshot "$dir/shot.png" --quit-after 3
size=$(wc -c < "$dir/shot.png")
[ "$size" -gt 20000 ] || { echo "screenshot too small: $size bytes"; exit 1; }
[ -f "$dir/data/main.ini" ] && [ -f "$dir/data/Nimbary.db" ] || { echo "data folder not prepared"; exit 1; }
echo "screenshot ok ($size bytes)"
