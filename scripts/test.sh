#!/usr/bin/env bash
# Quick start, command two: set up, build with AddressSanitizer and
# UndefinedBehaviorSanitizer and run the whole test suite; build and check the
# Debian package; a short soak and kill run; the ThreadSanitizer tests; every
# fuzz target briefly. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j"$(nproc)"

# The Debian package: built without sanitizers, its file list and dependencies checked.
cmake --preset package >/dev/null
cmake --build --preset package -j"$(nproc)" >build/package.log 2>&1 || { tail -50 build/package.log; exit 1; }
rm -f build/package/nimbary_*.deb
cpack --preset package >>build/package.log 2>&1 || { tail -50 build/package.log; exit 1; }
scripts/check-package.sh build/package/nimbary_*.deb

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --preset sanitize -j"$(nproc)" --timeout 600

# A simulated day of the download under chaos, and ten killed passes (README: soak and kill
# tests); fixed seeds here, so a run can be repeated; the long runs draw their own.
scripts/soak.sh --days 1 --speed 2880 --seed 2026 --cli build/sanitize/src/cli/nimbary-cli
scripts/kill.sh --kills 10 --seed 2026 --cli build/package/src/cli/nimbary-cli

# The tests that start threads, under ThreadSanitizer (label "threads").
# (one command a line: set -e does not stop at a failure inside an && list)
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j"$(nproc)"
ctest --preset tsan -j"$(nproc)" --timeout 600

# The fuzz targets, 10 s each on their seeds.
scripts/fuzz.sh
