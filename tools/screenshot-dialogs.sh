#!/usr/bin/env bash
# Writes pictures of the plotter's smaller dialogs (chart search, preferred
# charts, the three pages of the chart groups, the position editor, the
# route list, select route, the about box, the NMEA input monitor and the
# pages of the setup dialog), each
# at the default font and at a large one ("-large"):
#   tools/screenshot-dialogs.sh [output directory] [build directory]
# The dialogs are filled and shown on the offscreen platform by the plotter
# test program (its DialogScreenshots test), in a fresh data directory.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-dialog-shots}
build=${2:-$root/build}
bin="$build/bin"
[[ -x "$bin/plotter_tests" ]] || { echo "no $bin/plotter_tests; build the target plotter_tests first" >&2; exit 1; }
mkdir -p "$out"
out=$(cd "$out" && pwd)
export QT_QPA_PLATFORM=offscreen
# The charts of the chart-group pictures lie in a directory of a fixed name
# (its path shows in the pictures).
. "$root/tools/screenshot-common.sh"
charts=$(fresh_work_dir dialogs)
trap 'rm -rf "$charts"' EXIT
for font in "" 16; do
  BRISMARE_DIALOG_SHOTS="$out" BRISMARE_DIALOG_SHOTS_FONT="$font" BRISMARE_DIALOG_SHOTS_CHARTS="$charts" \
    "$bin/plotter_tests" --gtest_filter='DialogScreenshots.*' > "$out/log.txt" 2>&1 ||
    { cat "$out/log.txt" >&2; exit 1; }
done
rm -f "$out/log.txt"
ls "$out"/*.png
