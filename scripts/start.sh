#!/usr/bin/env bash
# Quick start, command one: set up, build, and start Nimbary against the
# simulated station. Extra arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset app >/dev/null
cmake --build --preset app -j"$(nproc)"
app=build/app/src/app/nimbary
if [[ -x "$app" ]]; then
  exec "$app" --simulate "$@"
fi
echo "start: everything builds; the nimbary program itself is not part of the tree yet."
