#!/usr/bin/env bash
# Soak: nimbary-cli download --follow against the simulated station for many
# simulated days, the station running far faster than real time, recording
# every minute (its ring wraps every few days) and logging every record it
# stores, overwrites and erases, with random unplugs and replugs, transport
# faults and memory clears. Alongside, the live database is exported now and
# then in English and Chinese by turns (the download itself has no texts to
# switch). At the end the stored records are checked against the station's
# log: none missing but those the ring overwrote or a clear erased before a
# pass could read them, no duplicates, every value as recorded, rain sums
# consistent. Prints a figures line; exits non-zero on any mismatch.
#
#   scripts/soak.sh [--days N] [--speed FACTOR] [--every MINUTES] [--seed N]
#                   [--cli PATH] [--keep DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

days=30 speed=1440 every=360 seed=$RANDOM cli="" keep=""
while (($#)); do
  case "$1" in
    --days) days=$2; shift 2 ;;
    --speed) speed=$2; shift 2 ;;
    --every) every=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --cli) cli=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    *) echo "usage: $0 [--days N] [--speed FACTOR] [--every MINUTES] [--seed N] [--cli PATH] [--keep DIR]" >&2; exit 2 ;;
  esac
done
source scripts/harness.sh
harness_setup soak
db=$work/Nimbary.db log=$work/sim.log
rm -f "$db" "$db"-wal "$db"-shm "$log"
interval=60
pass_every=8  # seconds between the passes of --follow

fail=0
problem() { echo "soak: FAIL: $*" >&2; fail=1; }
rss() { awk '/^VmRSS/ {print $2}' "/proc/$1/status" 2>/dev/null || echo 0; }
sql() { sqlite3 -batch -noheader "$@"; }

export NIMBARY_DATA_DIR=$work
"$cli" download --follow --db "$db" --simulate --sim-seed "$seed" --sim-days 0 \
  --sim-interval $interval --sim-speed "$speed" --sim-log "$log" \
  --sim-chaos "$every,$days" >"$work/out.txt" 2>"$work/err.txt" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
started=$(date +%s)

# Waits until the log says the schedule ended; meanwhile exports by turns.
rss_start="" lang=en switches=0 id=""
limit=$(awk -v d="$days" -v s="$speed" 'BEGIN { printf "%d", d * 86400 / s * 1.5 + 120 }')
while ! grep -q '^END ' "$log" 2>/dev/null; do
  kill -0 $pid 2>/dev/null || { problem "nimbary-cli ended early"; break; }
  (($(date +%s) - started > limit)) && { problem "the simulated days did not pass in ${limit}s"; break; }
  if [[ -z "$rss_start" ]] && grep -q . "$work/out.txt"; then rss_start=$(rss $pid); fi
  if [[ -z "$id" && -f "$db" ]]; then
    id=$(sql "$db" "SELECT printf('%08X', DevID & 4294967295) FROM Device LIMIT 1" 2>/dev/null || true)
  fi
  if [[ -n "$id" ]]; then
    from=$(sql "$db" "SELECT date(max(RecTime) + 2415018.5) FROM Record" 2>/dev/null || true)
    if [[ -n "$from" ]]; then
      if "$cli" export --db "$db" --station "$id" --from "$from" --format csv --lang $lang \
        "$work/export-$lang.csv" 2>>"$work/export-err.txt"; then
        switches=$((switches + 1))
      else
        problem "export --lang $lang of the live database failed"
      fi
      [[ $lang == en ]] && lang=zh || lang=en
    fi
  fi
  sleep 5
done
if [[ -f "$work/export-en.csv" && -f "$work/export-zh.csv" ]] &&
  cmp -s <(head -1 "$work/export-en.csv") <(head -1 "$work/export-zh.csv"); then
  problem "the English and Chinese exports have the same header"
fi

# The last records: wait for a pass to fetch them (a stall if none does).
last=$(awk '$1 == "R" { t = $2 } END { print t + 0 }' "$log")
want_ole=$(awk -v t="$last" 'BEGIN { printf "%.6f", 36526 + t / 86400 }')
deadline=$(($(date +%s) + 6 * pass_every + 30))
while :; do
  newest=$(sql "$db" "SELECT printf('%.6f', max(RecTime)) FROM Record" 2>/dev/null || true)
  [[ "$newest" == "$want_ole" ]] && break
  kill -0 $pid 2>/dev/null || { problem "nimbary-cli ended before the last records"; break; }
  (($(date +%s) > deadline)) && { problem "stall: the newest stored record is $newest, the station's $want_ole"; break; }
  sleep 1
done
rss_end=$(rss $pid)
kill -TERM $pid 2>/dev/null || true
rc=0
wait $pid || rc=$?
trap - EXIT
((rc == 0)) || problem "nimbary-cli exited with $rc (see $work/err.txt)"
wall=$(($(date +%s) - started))

# The log as a table beside the database. Station times; RecTime as seconds.
awk -v OFS=, '
  $1 == "R" { print "R", $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, ""; next }
  $1 == "D" || $1 == "C" { print $1, $2, "", "", "", "", "", "", "", "", "", "", $3; next }
  $1 == "U" || $1 == "P" || $1 == "X" || $1 == "END" { print $1, $2, "", "", "", "", "", "", "", "", "", "", ""; next }
  $1 == "F" { print "F", $2, "", "", "", "", "", "", "", "", "", "", "" }
' "$log" >"$work/log.csv"
check=$work/check.db
rm -f "$check"
grace=$(awk -v s="$speed" -v p=$pass_every 'BEGIN { printf "%d", 4 * p * s }')
read -r recorded stored dups unknown missing unaccounted lost_unplugged lost_plugged erased \
  wrong_values rain_bad device_rain unplugs faults clears overwritten < <(sql "$check" <<SQL
.mode csv
CREATE TABLE log (kind TEXT, t INTEGER, in_temp INTEGER, in_humi INTEGER, ch_temp INTEGER,
  ch_humi INTEGER, wind INTEGER, gust INTEGER, dir INTEGER, baro INTEGER, rain INTEGER,
  first INTEGER, at INTEGER);
.import $work/log.csv log
ATTACH '$db' AS h;
CREATE TABLE rec AS SELECT CAST(round((RecTime - 36526) * 86400) AS INTEGER) AS t, * FROM h.Record;
CREATE INDEX rec_t ON rec (t);
CREATE TABLE r AS SELECT * FROM log WHERE kind = 'R';
CREATE INDEX r_t ON r (t);
CREATE TABLE lost AS SELECT t, kind, max(at) AS at FROM log WHERE kind IN ('D', 'C') GROUP BY t;
-- Unplugged spans, and a few passes after each replug (a pass may fail on a fault).
CREATE TABLE span AS SELECT u.t AS a,
  coalesce((SELECT min(p.t) FROM log p WHERE p.kind = 'P' AND p.t >= u.t), 4294967295) + $grace AS b
  FROM log u WHERE u.kind = 'U';
CREATE TABLE miss AS SELECT r.t, l.kind, l.at FROM r LEFT JOIN lost l ON l.t = r.t
  WHERE NOT EXISTS (SELECT 1 FROM rec WHERE rec.t = r.t);
.mode list
.separator ' '
SELECT
  (SELECT count(*) FROM r),
  (SELECT count(*) FROM rec),
  (SELECT count(*) - count(DISTINCT printf('%d/%d', DevID, t)) FROM rec),
  (SELECT count(*) FROM rec WHERE t NOT IN (SELECT t FROM r)),
  (SELECT count(*) FROM miss),
  (SELECT count(*) FROM miss WHERE kind IS NULL),
  (SELECT count(*) FROM miss m WHERE kind = 'D' AND EXISTS (SELECT 1 FROM span WHERE m.at BETWEEN a AND b)),
  (SELECT count(*) FROM miss m WHERE kind = 'D' AND NOT EXISTS (SELECT 1 FROM span WHERE m.at BETWEEN a AND b)),
  (SELECT count(*) FROM miss WHERE kind = 'C'),
  (SELECT count(*) FROM rec JOIN r USING (t) WHERE
     round(rec.InTemp * 10) IS NOT r.in_temp OR rec.InHumi IS NOT r.in_humi OR
     round(rec.Ch1Temp * 10) IS NOT r.ch_temp OR rec.Ch1Humi IS NOT r.ch_humi OR
     round(rec.Wind * 10) IS NOT r.wind OR round(rec.Gust * 10) IS NOT r.gust OR
     rec.WindDir IS NOT r.dir OR round(rec.AbsBaro * 10) IS NOT r.baro OR
     round(rec.Rain8 * 10) IS NOT r.rain),
  -- Within one run of records, each period's sum grows by what the gauge grew.
  (SELECT count(*) FROM rec a JOIN rec b ON b.t = a.t + $interval JOIN r ON r.t = b.t AND r.first = 0
     WHERE (b.t / 3600 = a.t / 3600 AND abs((b.Rain3 - a.Rain3) - (b.Rain8 - a.Rain8)) > 0.05)
        OR (b.t / 86400 = a.t / 86400 AND abs((b.Rain4 - a.Rain4) - (b.Rain8 - a.Rain8)) > 0.05)
        OR b.Rain8 < a.Rain8 OR b.Rain4 < 0 OR b.Rain3 < 0),
  (SELECT count(*) FROM h.Device d WHERE abs(d.Rain8 - (SELECT Rain8 FROM rec ORDER BY t DESC LIMIT 1)) > 0.05
     OR d.RecTime != (SELECT max(t) FROM rec)),
  (SELECT count(*) FROM log WHERE kind = 'U'),
  (SELECT count(*) FROM log WHERE kind = 'F'),
  (SELECT count(*) FROM log WHERE kind = 'X'),
  (SELECT count(*) FROM log WHERE kind = 'D');
SQL
)
integrity=$(sql "$db" "PRAGMA integrity_check")

((dups == 0)) || problem "$dups duplicate records (DevID+RecTime)"
((unknown == 0)) || problem "$unknown stored records the station never recorded"
((unaccounted == 0)) || problem "$unaccounted records lost that the station still held"
((lost_plugged == 0)) || problem "$lost_plugged records overwritten unread while the station was plugged in"
((wrong_values == 0)) || problem "$wrong_values records stored with other values than recorded"
((rain_bad == 0)) || problem "$rain_bad records whose rain sums do not follow the gauge"
((device_rain == 0)) || problem "the Device row's bookmark or rain total is not the newest record's"
((recorded == stored + missing - unknown)) || problem "recorded $recorded != stored $stored + missing $missing"
[[ "$integrity" == ok ]] || problem "integrity_check: $integrity"

echo "soak figures: simulated days $days (speed ${speed}x, seed $seed, ${wall}s), records recorded $recorded," \
  "stored $stored, overwritten-while-unplugged $lost_unplugged, erased-by-clear $erased," \
  "overwritten in all $overwritten, duplicates $dups, unplugs $unplugs, faults $faults, clears $clears," \
  "language switches $switches, RSS start ${rss_start:-0} kB end ${rss_end:-0} kB" \
  "(database $(du -k "$db" | cut -f1) kB)"
if ((fail)); then
  echo "soak: kept $work" >&2
  exit 1
fi
[[ -n "$keep" ]] || rm -rf "$work"
