#!/usr/bin/env bash
# Writes a picture of the plotter with a real chart: the boat under way in
# Tasman Bay on chart NZ61401, its heading stick, speed mark and range
# rings, the wind arrow, and the dashboard, in AUTOMATIC:
#   tools/screenshot-chart.sh [output directory] [build directory]
# The file is chart-view.png. Runs on the offscreen platform by default;
# with XVFB=1 under xvfb-run. WIDTH and HEIGHT set the window size (default
# 1366 x 768). CHARTS names the chart directory (default: the shared test
# data's charts). The catalog is made by "teskor -SU" in a fresh data
# directory, so nothing of the user's is read or changed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/screenshot-common.sh"
out=${1:-.}
build=${2:-$root/build-view}
bin="$build/bin/brismare"
teskor="$build/bin/teskor"
for b in "$bin" "$teskor"; do
  [[ -x "$b" ]] || { echo "no $b; build the targets brismare and teskor first" >&2; exit 1; }
done
charts=${CHARTS:-$root/../shared/testdata/charts}
[[ -f "$charts/NZ61401.KAP" ]] || { echo "no NZ61401.KAP in $charts" >&2; exit 1; }
charts=$(cd "$charts" && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)
width=${WIDTH:-1366}
height=${HEIGHT:-768}

work=$(fresh_work_dir chart)
trap 'rm -rf "$work"' EXIT

# The boat starts in Tasman Bay (41°03'S 173°06'E) and heads north-east at
# 6.4 knots; the settings show four range rings and the speed mark.
cat > "$work/BRISMARE_2.INI" <<INI
[Program Setup]
Com Port=0
Chart Dir=$charts
Auto Scroll=1
Show Rings=4
Speed Mark=300
Show Time=2
NMEA_SIMUL=$work/track.nmea
NMEA_SIMUL_READS=0
Depth Show=1
Wind Show=1
Compass Show=1
[Program State]
WinLeft=0
WinTop=0
WinWidth=$width
WinHeight=$height
WinState=0
Last Lat=-0.716458
Last Long=3.021166
INI

# One fix a second along 045°: about 0.0013' of latitude and 0.0017' of
# longitude a second at 6.4 knots (one line is read at each tick).
for ((s = 0; s < 60; s++)); do
  lat=$(awk -v s="$s" 'BEGIN { printf "%.4f", 3.0 - s * 0.00126 }')
  lon=$(awk -v s="$s" 'BEGIN { printf "%.4f", 6.0 + s * 0.00167 }')
  sentence "GPRMC,1235$(printf '%02d' "$s"),A,410$lat,S,1730$lon,E,6.4,045.0,101225,021.5,E"
done > "$work/track.nmea"
{
  sentence "GPGGA,123600,4102.925,S,17306.100,E,2,08,0.9,5.0,M,20.0,M,,"
  sentence "SDDPT,24.6,0.5"
  sentence "WIMWV,070.0,T,14.0,N,A"
  sentence "HCHDM,024.0,M"
} > "$work/feed.nmea"

# Ticks of 50 ms: the chart is chosen, the view centred ahead of the boat
# and the track followed before the picture is taken.
export BRISMARE_TICK_MS=50
use_data_dir "$work"
"$teskor" -SU > "$work/scan.txt"
png="$out/chart-view.png"
args=("-I$work/BRISMARE_2.INI" --feed "$work/feed.nmea" --screenshot "$png")
run_shown "$width" "$height" "$bin" "${args[@]}"
echo "$png"
