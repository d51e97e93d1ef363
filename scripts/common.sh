# Shared by the scripts: install what is missing on Debian, configure and build.
# shellcheck shell=bash
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${CORVANE_BUILD_DIR:-$ROOT/build}"
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$ROOT")}"

DEBIAN_PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libgl-dev qt6-qpa-plugins
  libmosquitto-dev mosquitto mosquitto-clients openssl
  libmodbus-dev python3-pymodbus python3-serial-asyncio socat
  fonts-dejavu-core
  qt6-charts-dev libqt6opengl6-dev libsqlite3-dev sqlite3 qt6-svg-dev
)

# What building and checking the Debian package needs besides the build.
PACKAGE_TOOLS=(help2man dpkg-dev lintian desktop-file-utils systemd gzip)

corvane_install_deps() {
  local missing=()
  for p in "${DEBIAN_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}" >&2
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

# corvane_build [build dir] [extra cmake args...]
corvane_build() {
  local dir="${1:-$BUILD_DIR}"
  shift || true
  cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" --parallel "$(nproc)"
}
