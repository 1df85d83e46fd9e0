#!/usr/bin/env bash
# Writes a picture of the plotter's main window, for checking its layout.
#   tools/screenshot-plotter.sh [output.png] [build directory]
# Runs on the offscreen platform by default; with XVFB=1 under xvfb-run (a
# real X server, window frame and fonts as a desktop has them). The program
# gets a fresh data directory and a settings file of its own, so nothing of
# the user's is read or changed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/screenshot-common.sh"
out=${1:-plotter-window.png}
build=${2:-$root/build-plotter}
bin="$build/bin/brismare"
[[ -x "$bin" ]] || { echo "no $bin; build the target brismare first" >&2; exit 1; }
[[ "$out" = /* ]] || out="$PWD/$out"

work=$(fresh_work_dir plotter)
trap 'rm -rf "$work"' EXIT
# No serial port (nothing to open on a build machine), a normal window of a
# laptop's size, the log box shown and a fuel table, so every box of the
# start-up dashboard is on the picture.
cat > "$work/screenshot.ini" <<'INI'
[Program Setup]
Com Port=0
[Program State]
WinLeft=0
WinTop=0
WinWidth=1024
WinHeight=700
WinState=0
Show Log Data=1
Total Distance=1234.56
Tripp Distance=12.3
Time Counter=101.5
Fuel Used=45.2
[Fuel Data]
050=20
100=45
INI

use_data_dir "$work"
run_shown 1180 700 "$bin" "-I$work/screenshot.ini" --screenshot "$out"
echo "$out"
