#!/usr/bin/env bash
# Quick start, command two: set up, build with AddressSanitizer and
# UndefinedBehaviorSanitizer, and run the whole test suite. Exits non-zero on
# any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --preset sanitize -j"$(nproc)" --timeout 600
