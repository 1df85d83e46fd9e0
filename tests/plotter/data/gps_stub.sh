#!/bin/sh
# A stand-in for the GPS transfer program in the plotter's tests. It writes
# its arguments, one a line, to $GPS_STUB_LOG and its process id to
# $GPS_STUB_PID, then does what $GPS_STUB_MODE says:
#   ok       a get copies $GPS_STUB_SOURCE to the exchange file, a send
#            copies the exchange file to $GPS_STUB_CAPTURE
#   babel    as ok, but a get has /usr/bin/gpsbabel write the GPX track from
#            the unicsv file $GPS_STUB_SOURCE (the receiver's side)
#   fail     exits 1 without writing anything
#   partial  writes the first 60 bytes of $GPS_STUB_SOURCE, then waits in a
#            child process (its id in $GPS_STUB_PID.child) that never ends
#   hang     never ends
# Called by the name "gpsbabel" it takes gpsbabel's argument list; by any
# other name the classic single argument.
[ -n "$GPS_STUB_PID" ] && echo $$ > "$GPS_STUB_PID"
: > "$GPS_STUB_LOG"
for a in "$@"; do printf '%s\n' "$a" >> "$GPS_STUB_LOG"; done
case "$(basename "$0")" in
  gpsbabel)
    if [ "$3" = "gpx" ] && [ "$6" = "-o" ]; then send=1; file="$5"; else send=0; file="$9"; fi ;;
  *)
    case "$1" in
      GPS?,,*) send=0; file="${1#GPS?,,}" ;;
      *,?,GPS) send=1; file="${1%,?,GPS}" ;;
      *) exit 2 ;;
    esac ;;
esac
case "$GPS_STUB_MODE" in
  fail) exit 1 ;;
  hang) exec sleep 600 ;;
  partial)
    head -c 60 "$GPS_STUB_SOURCE" > "$file"
    sleep 600 &
    echo $! > "$GPS_STUB_PID.child"
    wait ;;
  babel)
    if [ $send = 1 ]; then cp "$file" "$GPS_STUB_CAPTURE"
    else /usr/bin/gpsbabel -t -i unicsv -f "$GPS_STUB_SOURCE" -o gpx -F "$file"; fi ;;
  *)
    if [ $send = 1 ]; then cp "$file" "$GPS_STUB_CAPTURE"; else cp "$GPS_STUB_SOURCE" "$file"; fi ;;
esac
