#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the programs and the tests need,
# when they are missing. Non-interactive and idempotent. The independent
# programs the tests compare against (oracles) are installed as well, but a
# failure to get them only warns: the tests that need one skip without it.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config ccache
  # image and compression libraries; GeoTIFF and coordinate systems
  zlib1g-dev libpng-dev libgif-dev libjpeg-dev libtiff-dev libgeotiff-dev libproj-dev
  # Qt 6 (Widgets, PrintSupport, SerialPort, Network, Multimedia for the
  # alarm sounds, WebSockets for Signal K servers) and the window platforms
  qt6-base-dev qt6-serialport-dev qt6-multimedia-dev qt6-websockets-dev libgl-dev qt6-qpa-plugins
  # tests, benchmarks, fuzzing
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev locales-all
  # screenshots without a display
  xvfb xauth
)

# Independent programs the tests check against.
oracles=(gpsbabel geographiclib-tools gpsd gpsd-clients python3-nmea2 poppler-utils imagemagick openssl gdal-bin proj-bin)
# What the package test (tools/test-package) checks the Debian package with;
# like the oracles, their absence only makes that test skip.
oracles+=(dpkg-dev desktop-file-utils lintian man-db)

missing_of() {
  local p status
  for p in "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || echo "$p"
  done
}
mapfile -t missing < <(missing_of "${packages[@]}")
mapfile -t missing_oracles < <(missing_of "${oracles[@]}")

# Signal K's own server, the oracle of the Signal K input tests: from the
# npm registry into a cache outside the repository (the newest release does
# not install with Debian 12's Node; 2.23.0 does). A failure only warns: the
# tests that need it skip.
signalk_server() {
  local dir=${BRISMARE_SIGNALK_SERVER:-${XDG_CACHE_HOME:-$HOME/.cache}/brismare/signalk-server}
  [[ -f "$dir/node_modules/signalk-server/bin/signalk-server" ]] && return 0
  if ! command -v npm >/dev/null; then
    echo "Warning: npm is missing; the Signal K server tests skip" >&2
    return 0
  fi
  echo "Installing signalk-server 2.23.0 into $dir"
  mkdir -p "$dir" &&
    (cd "$dir" && npm install --no-audit --no-fund --loglevel=error signalk-server@2.23.0 >/dev/null) ||
    echo "Warning: signalk-server could not be installed; the Signal K server tests skip" >&2
}

if ((${#missing[@]} == 0 && ${#missing_oracles[@]} == 0)); then
  signalk_server
  exit 0
fi

sudo=()
if [[ $(id -u) -ne 0 ]]; then
  if ! command -v sudo >/dev/null; then
    if ((${#missing[@]} > 0)); then
      echo "Need root (or sudo) to install: ${missing[*]}" >&2
      exit 1
    fi
    echo "Warning: cannot install the test oracles ${missing_oracles[*]} (no root, no sudo); their tests skip" >&2
    exit 0
  fi
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
apt_install() {
  "${sudo[@]}" apt-get install -y -qq -o Dpkg::Use-Pty=0 --no-install-recommends "$@"
}
"${sudo[@]}" apt-get update -qq || true
if ((${#missing[@]} > 0)); then
  echo "Installing: ${missing[*]}"
  apt_install "${missing[@]}"
fi
if ((${#missing_oracles[@]} > 0)); then
  echo "Installing the test oracles: ${missing_oracles[*]}"
  apt_install "${missing_oracles[@]}" ||
    echo "Warning: the test oracles could not all be installed; the tests that need them skip" >&2
fi
signalk_server
