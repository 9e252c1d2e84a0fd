#!/usr/bin/env bash
# Kill test: download passes cut short with SIGKILL at random moments. The
# station persists between processes as an image folder that grows by a
# random stretch of records before each pass (dump --sim-image --sim-extend).
# After every kill the database must pass integrity_check and hold either
# the whole batch with its bookmark or none of it; the next pass, left to
# finish, must complete the history: every record the station holds stored,
# once. Prints a figures line; exits non-zero on any failure.
#
#   scripts/kill.sh [--kills N] [--seed N] [--cli PATH] [--keep DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

kills=100 seed=$RANDOM cli="" keep=""
while (($#)); do
  case "$1" in
    --kills) kills=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --cli) cli=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    *) echo "usage: $0 [--kills N] [--seed N] [--cli PATH] [--keep DIR]" >&2; exit 2 ;;
  esac
done
source scripts/harness.sh
harness_setup kill
img=$work/station db=$work/Nimbary.db ref=$work/reference.db
rm -rf "$img" "$work"/*.db*
export NIMBARY_DATA_DIR=$work
RANDOM=$seed

fail=0
problem() { echo "kill: FAIL: round $round: $*" >&2; fail=1; }
sql() { sqlite3 -batch -noheader "$@"; }
now_ms() { date +%s%3N; }
# Count, newest record (station seconds) and the bookmark's RecTime of a database.
state() {
  sql "$1" "SELECT (SELECT count(*) FROM Record),
    coalesce((SELECT CAST(round((max(RecTime) - 36526) * 86400) AS INTEGER) FROM Record), 0),
    coalesce((SELECT RecTime FROM Device), 0)" 2>/dev/null | tr '|' ' '
}

round=0
# Four days at one record a minute: the ring is full and wrapping from the start.
"$cli" dump --simulate --sim-seed "$seed" --sim-interval 60 --sim-days 4 "$img" >/dev/null
pass_ms=1000
intact=0 complete=0 committed=0 started=$(date +%s)
read -r count newest mark < <(state "$db" || echo "0 0 0")
count=${count:-0} newest=${newest:-0} mark=${mark:-0}

for ((round = 1; round <= kills; round++)); do
  # The station records on: mostly hours, now and then most of a day.
  minutes=$((30 + RANDOM % 600))
  ((RANDOM % 10 == 0)) && minutes=$((1200 + RANDOM % 600))
  "$cli" dump --sim-image "$img" --sim-extend $minutes "$img.next" >/dev/null
  rm -rf "$img" && mv "$img.next" "$img"
  rm -f "$ref"*
  "$cli" download --db "$ref" --sim-image "$img" >/dev/null
  read -r ref_count ref_newest _ < <(state "$ref")
  batch=$(sql "$ref" "SELECT count(*) FROM Record WHERE round((RecTime - 36526) * 86400) > $newest")

  # The pass, killed somewhere between its start and a little after the end
  # of the last one that stored a batch.
  "$cli" download --db "$db" --sim-image "$img" >/dev/null 2>&1 &
  pid=$!
  delay_ms=$((RANDOM * (pass_ms * 11 / 10) / 32768))
  sleep "$(printf '%d.%03d' $((delay_ms / 1000)) $((delay_ms % 1000)))"
  kill -KILL $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true

  integrity=$(sql "$db" "PRAGMA integrity_check" 2>&1 || true)
  if [[ "$integrity" == ok || ( $count == 0 && ! -s "$db" ) ]]; then
    read -r c n m < <(state "$db" || echo "0 0 0")
    c=${c:-0} n=${n:-0} m=${m:-0}
    if [[ "$c $n $m" == "$count $newest $mark" ]]; then
      intact=$((intact + 1))  # none of the batch
    elif ((c == count + batch && n == ref_newest && m == ref_newest)); then
      intact=$((intact + 1)) committed=$((committed + 1))  # all of it, with its bookmark
    else
      problem "after the kill: $c records up to $n, bookmark $m; before $count up to $newest," \
        "bookmark $mark; the batch was $batch up to $ref_newest"
    fi
  else
    problem "integrity_check: $integrity"
  fi

  # The next pass completes the history.
  t0=$(now_ms)
  if ! "$cli" download --db "$db" --sim-image "$img" >/dev/null 2>"$work/err.txt"; then
    problem "the pass after the kill failed: $(head -3 "$work/err.txt")"
  fi
  took=$(($(now_ms) - t0))
  before=$count
  read -r count newest mark < <(state "$db")
  # How long a pass with a batch takes, for the next kill.
  ((count != before)) && pass_ms=$((took < 50 ? 50 : took))
  sql "$db" "ATTACH '$ref' AS s" \
    "SELECT count(*) FROM s.Record r WHERE NOT EXISTS (SELECT 1 FROM Record h
       WHERE h.DevID = r.DevID AND h.RecTime BETWEEN r.RecTime - 0.000001 AND r.RecTime + 0.000001)" >"$work/missing.txt"
  missing=$(tail -1 "$work/missing.txt")
  dups=$(sql "$db" "SELECT count(*) - count(DISTINCT printf('%d/%.6f', DevID, RecTime)) FROM Record")
  older=$(sql "$db" "SELECT count(*) FROM Record WHERE RecTime > 36526 + $ref_newest / 86400.0 + 0.000001")
  if ((missing == 0 && dups == 0 && older == 0 && newest == ref_newest && mark == ref_newest)); then
    complete=$((complete + 1))
  else
    problem "history incomplete: $missing of the station's $ref_count records missing," \
      "$dups duplicates, $older beyond the station's newest, newest $newest of $ref_newest, bookmark $mark"
  fi
  ((fail)) && break
done
round=$((round > kills ? kills : round))

echo "kill figures: kills $round (seed $seed, $(($(date +%s) - started))s), intact databases $intact" \
  "(batch stored before the kill $committed, none of it $((intact - committed))), complete histories $complete"
if ((fail)); then
  echo "kill: kept $work" >&2
  exit 1
fi
[[ -n "$keep" ]] || rm -rf "$work"
