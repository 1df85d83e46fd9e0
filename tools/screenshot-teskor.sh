#!/usr/bin/env bash
# Writes pictures of the calibration tool teskor, for checking its layout:
#   tools/screenshot-teskor.sh [output directory] [build directory]
# In the output directory (default the current one):
#   teskor-cal.png        the "Cal" page: a chart with its reference points
#                         (the first one chosen), the border line and the
#                         normal check grid;
#   teskor-border.png     the "Border" page with the border points and line
#                         (the first point chosen) and the loose grid;
#   teskor-chartinfo.png  the chart information window of that chart.
# The chart is the demo's harbour chart (a WCI file, made in a fresh data
# directory, so nothing of the user's is read or changed). Runs on the
# offscreen platform by default; with XVFB=1 under xvfb-run. WIDTH and
# HEIGHT set the window size (default 1100 x 760).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/screenshot-common.sh"
out=${1:-.}
build=${2:-$root/build}
bin="$build/bin"
for b in teskor brtool; do
  [[ -x "$bin/$b" ]] || { echo "no $bin/$b; build the targets teskor and brtool first" >&2; exit 1; }
done
mkdir -p "$out"
out=$(cd "$out" && pwd)
width=${WIDTH:-1100}
height=${HEIGHT:-760}

work=$(fresh_work_dir teskor)
trap 'rm -rf "$work"' EXIT
"$bin/brtool" demo make "$work" > /dev/null
chart="$work/charts/brisvik-harbour.wci"
{
  echo "[Program State]"
  echo "Teskor WinState=0"
} >> "$work/BRISMARE_2.INI"

use_data_dir "$work"
# Zoomed out three steps (to a half), so the whole chart is on the map.
run_shown "$width" "$height" "$bin/teskor" "$chart" --zoom-out 3 --grid 2 --border --select 1 \
  --screenshot "$out/teskor-cal.png" --screenshot-info "$out/teskor-chartinfo.png"
run_shown "$width" "$height" "$bin/teskor" "$chart" --zoom-out 3 --grid 1 --border --page border --select 1 \
  --screenshot "$out/teskor-border.png"
echo "$out/teskor-cal.png"
echo "$out/teskor-border.png"
echo "$out/teskor-chartinfo.png"
