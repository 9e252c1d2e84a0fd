#!/bin/sh
# A second start on the same data folder: it brings the first to the front
# and ends at once, silently; without a runtime folder it says that Nimbary
# runs already; with something else in the guard's place it says why it
# cannot start. Never a hang, never a silent refusal.
set -eu
program=$1
dir=$(mktemp -d)
first=
trap '[ -z "$first" ] || kill "$first" 2>/dev/null; rm -rf "$dir"' EXIT
fail() { echo "second start: $*"; exit 1; }
mkdir -m 0700 "$dir/run"
export QT_QPA_PLATFORM=offscreen

# Starts the first copy on a new data folder and waits until it has taken
# the guard (it prepares the data folder right after) and listens.
start_first() {
  export NIMBARY_DATA_DIR="$dir/$1"
  "$program" --simulate --quit-after 60 2>"$dir/first.err" &
  first=$!
  i=0
  until [ -f "$NIMBARY_DATA_DIR/Nimbary.db" ] && { [ -z "${XDG_RUNTIME_DIR:-}" ] || ls "$dir/run/"*.socket >/dev/null 2>&1; }; do
    i=$((i + 1))
    [ $i -lt 200 ] || fail "the first copy did not start: $(cat "$dir/first.err")"
    sleep 0.1
  done
}

# With a runtime folder: the first is asked to come to the front.
export XDG_RUNTIME_DIR="$dir/run"
start_first raised
rc=0
timeout 30 "$program" --simulate 2>"$dir/second.err" || rc=$?
[ $rc -eq 0 ] || fail "the second start ended with $rc: $(cat "$dir/second.err")"
[ ! -s "$dir/second.err" ] || fail "the second start said: $(cat "$dir/second.err")"
kill -0 "$first" || fail "the first copy has gone"
kill "$first"; wait "$first" || true; first=

# Without one: no socket to ask, so the second says so (its message box is
# closed by --quit-after).
unset XDG_RUNTIME_DIR
start_first told
rc=0
timeout 30 "$program" --simulate --quit-after 1 2>"$dir/second.err" || rc=$?
[ $rc -eq 0 ] || fail "the second start ended with $rc: $(cat "$dir/second.err")"
grep -q "Nimbary is already running on the data folder:" "$dir/second.err" ||
  fail "the second start did not say that Nimbary runs: $(cat "$dir/second.err")"
kill "$first"; wait "$first" || true; first=

# A FIFO where the guard goes: said, with status 1, and no hang.
export XDG_RUNTIME_DIR="$dir/run"
export NIMBARY_DATA_DIR="$dir/refused"
key=$(printf %s "$NIMBARY_DATA_DIR" | sha1sum | cut -c1-16)
rm -f "$dir/run/nimbary-$key.lock"
mkfifo "$dir/run/nimbary-$key.lock"
rc=0
timeout 30 "$program" --simulate --quit-after 1 2>"$dir/second.err" || rc=$?
[ $rc -eq 1 ] || fail "a start with a FIFO for its guard ended with $rc: $(cat "$dir/second.err")"
grep -q "cannot make sure that it runs only once" "$dir/second.err" ||
  fail "a start with a FIFO for its guard did not say why: $(cat "$dir/second.err")"
echo "second start ok"
