#!/usr/bin/env bash
# Runs the README's two Quick start commands as a newcomer would: in a fresh
# Debian 12 root (debootstrap --variant=minbase bookworm) with nothing
# installed by hand, from a clean clone of this repository's HEAD placed under
# /root, as root (or, with --user, in the home of an ordinary user who may use
# sudo, as a desktop's owner would). Prints each command's result and wall time; exits non-zero
# when either fails. Too slow for every submission (the root's set-up installs
# the whole tool chain): run it before changing the set-up, the test scripts or
# what the tests rely on.
#
# Usage: scripts/fresh-check.sh [--cache DIR] [--keep] [--only start|test] [--user]
#   --cache DIR  where the pristine root is kept between runs
#                (default ~/.cache/nimbary-fresh-check)
#   --keep       keep the used root afterwards (its path is printed)
#   --only CMD   run only one of the two commands
#   --user       run them as the ordinary user "newcomer", with sudo
#   --also PKGS  install these Debian packages first, as a desktop would have
#                them (e.g. "libreoffice-calc-nogui fonts-liberation2")
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

cache=${XDG_CACHE_HOME:-$HOME/.cache}/nimbary-fresh-check
keep=0
only=""
user=0
also=""
while (($#)); do
  case $1 in
    --cache) cache=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    --only) only=$2; shift 2 ;;
    --user) user=1; shift ;;
    --also) also=$2; shift 2 ;;
    -h|--help) sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "fresh-check: unknown option $1" >&2; exit 2 ;;
  esac
done
case $only in ""|start|test) ;; *) echo "fresh-check: --only start or test" >&2; exit 2 ;; esac

if [[ $(id -u) -ne 0 ]]; then
  exec sudo -E "$0" --cache "$cache" ${only:+--only "$only"} ${also:+--also "$also"} \
    $( ((keep)) && echo --keep) $( ((user)) && echo --user)
fi

mirror=${NIMBARY_MIRROR:-http://deb.debian.org/debian}
if ! command -v debootstrap >/dev/null; then
  echo "fresh-check: installing debootstrap"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null ||
    { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null; }
fi

# The pristine root, made once; every run works on a copy of it.
mkdir -p "$cache"
base=$cache/bookworm-minbase
if [[ ! -e $base/.complete ]]; then
  echo "fresh-check: making a fresh Debian 12 root in $base (once)"
  rm -rf "$base"
  debootstrap --variant=minbase bookworm "$base" "$mirror" >"$cache/debootstrap.log" 2>&1 ||
    { tail -20 "$cache/debootstrap.log"; exit 1; }
  # What a freshly installed Debian 12 has: its updates and security suites.
  cat >"$base/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb http://deb.debian.org/debian-security bookworm-security main
EOF
  touch "$base/.complete"
fi

root=$(mktemp -d "$cache/run.XXXXXX")
cleanup() {
  if ((keep)); then echo "fresh-check: the root is kept in $root"; else rm -rf --one-file-system "$root"; fi
}
trap cleanup EXIT
cp -a "$base/." "$root/"
rm -f "$root/.complete"
cp /etc/resolv.conf "$root/etc/resolv.conf"

# A command in its own mount and PID namespace, in the fresh root as its real
# root (pivot_root, not chroot: the namespaces the tests make need that), as
# root or as the ordinary user, in a folder, with a bare environment.
in_root() {
  local as=$1 dir=$2; shift 2
  unshare --mount --pid --fork --propagation private bash -euc '
    root=$1 as=$2 dir=$3 home=$4; shift 4
    mount --bind "$root" "$root"
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount --rbind /sys "$root/sys"
    mount -t tmpfs tmpfs "$root/run"
    cd "$root"
    mkdir -p .old-root
    pivot_root . .old-root
    umount -l /.old-root
    rmdir /.old-root
    cd "$dir"
    run=()
    if [[ $as != root ]]; then run=(runuser -u "$as" --); fi
    exec "${run[@]}" env -i HOME="$home" TERM=dumb LANG=C.UTF-8 \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
  ' in-root "$root" "$as" "$dir" "$home" "$@"
}

# What the machine had before the newcomer came: the packages asked for, and
# the ordinary user with sudo.
home=/root
as=root
prepare=""
if [[ -n $also ]]; then
  echo "fresh-check: installing $also"
  prepare+="apt-get install -y -qq $also >/dev/null; "
fi
if ((user)); then
  home=/home/newcomer
  as=newcomer
  prepare+='apt-get install -y -qq sudo >/dev/null; useradd -m -s /bin/bash newcomer;
    echo "newcomer ALL=(ALL) NOPASSWD:ALL" >/etc/sudoers.d/newcomer; '
fi
if [[ -n $prepare ]]; then
  in_root root / sh -ec "export DEBIAN_FRONTEND=noninteractive; apt-get update -qq; $prepare" \
    >"$cache/${root##*/}.prepare.log" 2>&1 || { tail -20 "$cache/${root##*/}.prepare.log"; exit 1; }
fi

# A clean clone of what is committed, in the home of whoever runs the
# commands: root's (mode 0700), or the ordinary user's.
chmod 0700 "$root/root"
git clone -q --no-hardlinks "$repo" "$root$home/nimbary"
echo "fresh-check: $(git -C "$root$home/nimbary" log -1 --format='%h %s'), as $as${also:+, with $also}"
if ((user)); then chown -R --reference="$root$home" "$root$home/nimbary"; fi

status=0
run() {
  local name=$1; shift
  local log=$cache/${root##*/}.$name.log start end rc=0
  echo "fresh-check: $name: $*"
  start=$(date +%s)
  in_root "$as" "$home/nimbary" "$@" >"$log" 2>&1 || rc=$?
  end=$(date +%s)
  printf 'fresh-check: %s exited %d after %d min %02d s (log: %s)\n' \
    "$name" "$rc" $(((end - start) / 60)) $(((end - start) % 60)) "$log"
  if ((rc != 0)); then tail -30 "$log"; status=1; fi
  grep -E 'tests passed|tests failed' "$log" | sed 's/^/fresh-check:   /' || true
  return 0
}

if [[ -z $only || $only == start ]]; then
  run start scripts/start.sh --screenshot "$home/start.png" --quit-after 3
  if [[ -s $root$home/start.png ]]; then
    cp "$root$home/start.png" "$cache/${root##*/}.start.png"
    echo "fresh-check: the window it showed: $cache/${root##*/}.start.png"
  elif [[ $status -eq 0 ]]; then
    echo "fresh-check: start made no screenshot"; status=1
  fi
fi
if [[ -z $only || $only == test ]]; then
  run test scripts/test.sh
fi
exit $status
