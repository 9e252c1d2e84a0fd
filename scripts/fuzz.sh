#!/usr/bin/env bash
# Builds the libFuzzer targets (the fuzz preset: clang, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs each on its seed corpus.
#   scripts/fuzz.sh                  short run, 10 s a target (CI)
#   scripts/fuzz.sh --long SECONDS   SECONDS a target
#   scripts/fuzz.sh [--long S] TARGET...   only these targets (protocol, history_walk, ...)
# FUZZ_SECONDS sets the time a target as well. New inputs go to
# build/fuzz/corpus/TARGET (the seeds in fuzz/corpus stay as they are), a
# crashing input to build/fuzz/artifacts/. Exits non-zero when any target
# found a crash, a leak or a broken property. One process at a time.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-10}
if [[ ${1:-} == --long ]]; then
  seconds=${2:?--long needs the seconds each target runs}
  shift 2
fi
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(protocol transport plugin_frames history_walk station_image capture cli_args ini_file)
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 >build/fuzz-build.log 2>&1 || { tail -40 build/fuzz-build.log; exit 1; }

# Longest input worth trying, by what a target reads.
max_len() {
  case $1 in
    protocol) echo 160 ;;
    plugin_frames | transport | cli_args) echo 1024 ;;
    history_walk | station_image) echo 8192 ;;
    *) echo 4096 ;;
  esac
}

# A smaller quarantine than the default: far fewer page faults; a use of freed
# memory is still caught within the last 32 MB freed.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=32"
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
mkdir -p build/fuzz/artifacts
failed=()
total=0
start=$(date +%s)
for t in "${targets[@]}"; do
  work=build/fuzz/corpus/$t
  log=build/fuzz/$t.log
  mkdir -p "$work"
  if build/fuzz/fuzz/fuzz_"$t" "$work" "fuzz/corpus/$t" -max_total_time="$seconds" \
      -max_len="$(max_len "$t")" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="build/fuzz/artifacts/$t-" >"$log" 2>&1; then
    status=ok
  else
    status=FAILED
    failed+=("$t")
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  total=$((total + ${runs:-0}))
  printf 'fuzz %-14s %-6s %12s executions %8s/s\n' "$t" "$status" "${runs:-?}" "${rate:-?}"
  if [[ $status == FAILED ]]; then
    grep -E 'ERROR|property failed|SUMMARY|Test unit written' "$log" | head -10 || true
  fi
done
printf 'fuzz total %d executions in %d s\n' "$total" "$(($(date +%s) - start))"
if ((${#failed[@]})); then
  echo "fuzz: failures in ${failed[*]} (logs in build/fuzz/TARGET.log)" >&2
  exit 1
fi
