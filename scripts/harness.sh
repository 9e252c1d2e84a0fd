# Sourced by soak.sh and kill.sh after their options: finds nimbary-cli (the
# given --cli, else the package, sanitize or dev build's), checks for sqlite3,
# and makes the work folder (the given --keep, else a new temporary one).
#   harness_setup NAME   with $cli and $keep set; sets $cli and $work
harness_setup() {
  local name=$1 c
  if [[ -z "$cli" ]]; then
    for c in build/package/src/cli/nimbary-cli build/sanitize/src/cli/nimbary-cli build/dev/src/cli/nimbary-cli; do
      [[ -x "$c" ]] && { cli=$c; break; }
    done
  fi
  [[ -x "$cli" ]] || { echo "$name: no nimbary-cli built (give --cli PATH)" >&2; exit 2; }
  command -v sqlite3 >/dev/null || { echo "$name: sqlite3 is missing (scripts/setup.sh)" >&2; exit 2; }
  work=${keep:-$(mktemp -d "/tmp/nimbary-$name.XXXXXX")}
  mkdir -p "$work"
}
