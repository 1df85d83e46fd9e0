#!/usr/bin/env bash
# Writes pictures of the plotter's main window with a filled dashboard, one
# for each night shading level, for checking that every box is readable
# and nothing is cut off:
#   tools/screenshot-dashboard.sh [output directory] [build directory]
# The files are dashboard-shade1.png (day) to dashboard-shade4.png (night).
# Runs on the offscreen platform by default; with XVFB=1 under xvfb-run.
# WIDTH and HEIGHT set the window size (default 1366 x 768, a small
# laptop's screen); AUTO=1 shows the AUTOMATIC mode's dashboard.
# The program gets a fresh data directory, a settings file and a few NMEA
# sentences of its own, so nothing of the user's is read or changed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/screenshot-common.sh"
out=${1:-.}
build=${2:-$root/build-plotter}
bin="$build/bin/brismare"
[[ -x "$bin" ]] || { echo "no $bin; build the target brismare first" >&2; exit 1; }
mkdir -p "$out"
out=$(cd "$out" && pwd)
width=${WIDTH:-1366}
height=${HEIGHT:-768}

work=$(fresh_work_dir dashboard)
trap 'rm -rf "$work"' EXIT

# The settings: no serial port, a normal window of the given size, every
# optional box switched on, a fuel table.
cat > "$work/dashboard.ini" <<INI
[Program Setup]
Com Port=0
Auto Scroll=${AUTO:-0}
AIS Panel=1
Depth Show=1
Wind Show=2
Compass Show=1
[Program State]
WinLeft=0
WinTop=0
WinWidth=$width
WinHeight=$height
WinState=0
Show Log Data=1
Total Distance=12345.67
Tripp Distance=123.45
Time Counter=1234.9999
Fuel Used=456.7
Last Lat=1.03817
Last Long=0.31539
[Fuel Data]
050=20
100=45
INI

# A few sentences with their checksums: a differential fix with date and
# time, depth, true and apparent wind, the compass.
{
  sentence "GPGGA,123519,5930.500,N,01804.250,E,2,08,0.9,5.0,M,20.0,M,,"
  sentence "GPRMC,123519,A,5930.500,N,01804.250,E,6.4,084.4,101225,003.1,E"
  sentence "SDDPT,12.4,0.5"
  sentence "WIMWV,030.0,R,15.0,N,A"
  sentence "WIMWV,045.0,T,12.5,N,A"
  sentence "HCHDM,081.5,M"
} > "$work/feed.nmea"

use_data_dir "$work"
for level in 1 2 3 4; do
  png="$out/dashboard-shade$level.png"
  args=("-I$work/dashboard.ini" --feed "$work/feed.nmea" --shade "$level" --screenshot "$png")
  run_shown "$width" "$height" "$bin" "${args[@]}"
  echo "$png"
done
