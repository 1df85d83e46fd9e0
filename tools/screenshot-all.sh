#!/usr/bin/env bash
# Writes every picture of the screenshot scripts into one directory:
#   tools/screenshot-all.sh [output directory] [build directory]
# (the plotter window, the dashboard at each shade level, a real chart, a
# route followed, the dialogs at both font sizes, teskor's pages). With
# tools/screenshot-compare.sh two such directories are compared pixel for
# pixel, for example before and after a change that must not change what
# the windows show.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-screenshots}
build=${2:-$root/build}
mkdir -p "$out"
out=$(cd "$out" && pwd)
"$root/tools/screenshot-plotter.sh" "$out/plotter-window.png" "$build"
"$root/tools/screenshot-dashboard.sh" "$out" "$build"
"$root/tools/screenshot-route.sh" "$out/route.png" "$build"
"$root/tools/screenshot-dialogs.sh" "$out" "$build"
"$root/tools/screenshot-teskor.sh" "$out" "$build"
if [[ -d "${CHARTS:-$root/../shared/testdata/charts}" ]]; then
  "$root/tools/screenshot-chart.sh" "$out" "$build"
else
  echo "no test charts: the real chart's picture is left out" >&2
fi
ls "$out"/*.png
