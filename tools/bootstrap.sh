#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the programs and the tests need,
# when they are missing. Non-interactive and idempotent.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config ccache
  # image and compression libraries
  zlib1g-dev libpng-dev libgif-dev libjpeg-dev libtiff-dev
  # Qt 6 (Widgets, PrintSupport, SerialPort, Network) and the window platforms
  qt6-base-dev qt6-serialport-dev libgl-dev qt6-qpa-plugins
  # tests, benchmarks, fuzzing
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev locales-all
  # screenshots without a display
  xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "Need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq -o Dpkg::Use-Pty=0 --no-install-recommends "${missing[@]}"
