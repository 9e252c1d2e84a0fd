#!/usr/bin/env bash
# Installs everything Nimbary needs to build, test and run, from Debian's
# packages only. Safe to run again: when every package is present it only
# checks and returns.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-charts-dev qt6-qpa-plugins qt6-tools-dev-tools
  qt6-translations-l10n
  libhidapi-dev libudev-dev libsqlite3-dev
  libcairo2-dev libfontconfig-dev  # the PDF export
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-liberation fonts-wqy-zenhei
  xvfb xauth poppler-utils
  libqt6opengl6-dev  # Qt Charts' CMake package looks for Qt6OpenGL's
  librsvg2-bin desktop-file-utils appstream  # icons, and checks of the installed files
  clang libclang-rt-14-dev  # scripts/fuzz.sh: clang and its libFuzzer runtime
  sqlite3  # the soak and kill scripts read the database
  file  # cpack's dependency scan (CPACK_DEBIAN_PACKAGE_SHLIBDEPS)
  locales  # a German locale made by a test, for the decimal comma
  libc6-dbg  # names glibc's own functions in ThreadSanitizer reports and suppressions
  libmosquitto-dev  # MQTT publishing
  mosquitto mosquitto-clients openssl  # the MQTT tests start a broker with its own certificates
)

missing=()
for p in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  echo "setup: all ${#PACKAGES[@]} packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
echo "setup: done"
