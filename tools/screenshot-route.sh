#!/usr/bin/env bash
# Writes a picture of the plotter following a route on the demo charts: the
# route's legs and points, the guidance boxes (waypoint, bearings, range,
# cross-track error, times, steering indicator) and the NMEA OUT switch:
#   tools/screenshot-route.sh [output.png] [build directory]
# Runs on the offscreen platform by default; with XVFB=1 under xvfb-run.
# WIDTH and HEIGHT set the window size (default 1366 x 768). The demo
# charts are made in a fresh data directory, so nothing of the user's is
# read or changed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/screenshot-common.sh"
out=${1:-route-guidance.png}
build=${2:-$root/build}
bin="$build/bin"
for b in brismare teskor brtool; do
  [[ -x "$bin/$b" ]] || { echo "no $bin/$b; build the targets brismare, teskor and brtool first" >&2; exit 1; }
done
[[ "$out" = /* ]] || out="$PWD/$out"
width=${WIDTH:-1366}
height=${HEIGHT:-768}

work=$(fresh_work_dir route)
trap 'rm -rf "$work"' EXIT
"$bin/brtool" demo make "$work" > /dev/null

# The demo voyage's waypoints as the route (a GPX file, converted to the
# start file the plotter reads at start).
{
  echo '<?xml version="1.0" encoding="UTF-8"?>'
  echo '<gpx version="1.1" creator="screenshot" xmlns="http://www.topografix.com/GPX/1/1"><rte><name>Brisvik</name>'
  awk '$1 == "wp" {
         lat = $2 + $3 / 60; if ($4 == "S") lat = -lat
         lon = $5 + $6 / 60; if ($7 == "W") lon = -lon
         n++
         printf "<rtept lat=\"%.6f\" lon=\"%.6f\"><name>WP%d</name></rtept>\n", lat, lon, n
       }' "$root/data/demo/voyage.waypoints"
  echo '</rte></gpx>'
} > "$work/route.gpx"
"$bin/brtool" route convert "$work/route.gpx" "$work/T_RTALD.SRW" > /dev/null

# The demo settings, a window of a laptop's size, and NMEA OUT's sentences.
settings="$work/screenshot.ini"
sed -e '/^WinLeft=/d;/^WinTop=/d;/^WinWidth=/d;/^WinHeight=/d;/^WinState=/d' "$work/demo-settings.ini" > "$settings"
{
  echo "[Program State]"
  window_geometry "$width" "$height"
} >> "$settings"
# The first fixes of the voyage, so that the route starts from the boat.
head -n 40 "$work/voyage.nmea" > "$work/feed.nmea"

export BRISMARE_TICK_MS=50
use_data_dir "$work"
"$bin/teskor" -SU > /dev/null
run_shown "$width" "$height" "$bin/brismare" "-I$settings" --feed "$work/feed.nmea" --activate-route \
  --screenshot "$out"
echo "$out"
