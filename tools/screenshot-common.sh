# Shared by the screenshot scripts (sourced, not run).

# Makes a fresh work directory of a fixed name for the script named $1 and
# prints it: the paths the pictures show (a chart's file, the directories
# of the chart groups) are the same at every run, so pictures of two runs
# can be compared pixel for pixel.
fresh_work_dir() {
  local dir="${TMPDIR:-/tmp}/brismare-shots-$(id -u)-$1"
  rm -rf "$dir"
  mkdir -p "$dir"
  printf '%s\n' "$dir"
}

# Prints an NMEA sentence with its checksum and CR LF: sentence "GPGGA,...".
sentence() {
  local body=$1 sum=0 i c
  for ((i = 0; i < ${#body}; i++)); do
    printf -v c '%d' "'${body:i:1}"
    sum=$((sum ^ c))
  done
  printf '$%s*%02X\r\n' "$body" "$sum"
}

# Gives the plotter the fresh data directory $1, so nothing of the user's is
# read or changed. A sanitizer build reports the session bus and font
# libraries' own allocations on a real X server; they are not the plotter's.
use_data_dir() {
  export BRISMARE_DIR=$1
  printf 'leak:libdbus-1.so\nleak:libfontconfig.so\n' > "$1/lsan.supp"
  export LSAN_OPTIONS="suppressions=$1/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
}

# Runs the program $3 with the remaining arguments on the offscreen platform,
# or with XVFB=1 under xvfb-run with a screen a little larger than $1 x $2.
run_shown() {
  local width=$1 height=$2
  shift 2
  if [[ "${XVFB:-0}" = 1 ]]; then
    xvfb-run -a -s "-screen 0 $((width + 100))x$((height + 100))x24" "$@"
  else
    # A screen of the window's size (the offscreen platform's own is
    # smaller than a laptop's).
    local config
    config=$(mktemp --suffix=.json)
    printf '{ "screens": [ { "name": "shot", "x": 0, "y": 0, "width": %d, "height": %d, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1 } ] }\n' \
      "$width" "$height" > "$config"
    QT_QPA_PLATFORM="offscreen:configfile=$config" "$@"
    local rc=$?
    rm -f "$config"
    return $rc
  fi
}

# Prints the settings lines of a normal window of $1 x $2 pixels at the
# screen's top-left corner.
window_geometry() {
  printf 'WinLeft=0\nWinTop=0\nWinWidth=%s\nWinHeight=%s\nWinState=0\n' "$1" "$2"
}
