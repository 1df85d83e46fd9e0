#!/usr/bin/env bash
# AIS decoding speed beside gpsd's gpsdecode, in the same run, on the same
# input: the "!" sentences of Hakefjord.log (VDM and VDO of a real sailing
# day) repeated to a million sentences, decoded by
#   - gpsdecode -u -j (decode and print JSON), Debian package gpsd-clients,
#   - brtool ais (decode through the plotter's parser and table, print JSON),
#   - our decoder in memory (bench_ais, BM_AisMillionSentences: line
#     assembly, parser, assembly, decoding and the target table),
# the command lines each the best of several runs; prints sentences per
# second and the ratios to gpsdecode.
#   usage: bench/ais_vs_gpsdecode.sh [BUILD_DIR]   (default: build, the
#   optimised tree with bench_ais and brtool)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
testdata=${BRISMARE_TESTDATA:-$root/../shared/testdata}
log=$testdata/nmea/Hakefjord.log
runs=${RUNS:-3}
sentences=1000000

for f in "$log" "$build/bin/bench_ais" "$build/bin/brtool"; do
  [[ -e "$f" ]] || { echo "missing: $f" >&2; exit 1; }
done
command -v gpsdecode >/dev/null || { echo "gpsdecode not found (apt-get install gpsd-clients)" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
grep -a '^!' "$log" >"$tmp/one.nmea"
per=$(wc -l <"$tmp/one.nmea")
copies=$(( (sentences + per - 1) / per ))
for _ in $(seq "$copies"); do cat "$tmp/one.nmea"; done >"$tmp/copies.nmea"
head -n "$sentences" "$tmp/copies.nmea" >"$tmp/million.nmea"
rm "$tmp/copies.nmea"

# Best wall time in seconds of a command reading the file on standard input.
best_time() {
  local best="" t0 t1 t
  for _ in $(seq "$runs"); do
    t0=$(date +%s.%N)
    "$@" <"$tmp/million.nmea" >"$tmp/out.json" 2>/dev/null
    t1=$(date +%s.%N)
    t=$(echo "$t1 - $t0" | bc -l)
    if [[ -z "$best" ]] || (( $(echo "$t < $best" | bc -l) )); then best=$t; fi
  done
  echo "$best"
}

gpsd_s=$(best_time gpsdecode -u -j)
gpsd_objects=$(wc -l <"$tmp/out.json")
tool_s=$(best_time "$build/bin/brtool" ais /dev/stdin)
tool_objects=$(wc -l <"$tmp/out.json")

BRISMARE_TESTDATA=$testdata "$build/bin/bench_ais" --benchmark_filter=BM_AisMillionSentences \
  --benchmark_format=json --benchmark_repetitions=3 >"$tmp/bench.json" 2>/dev/null
lib_rate=$(python3 - "$tmp/bench.json" <<'PY'
import json, sys
runs = [b for b in json.load(open(sys.argv[1]))["benchmarks"] if b.get("run_type") == "iteration"]
print(max(b["items_per_second"] for b in runs))
PY
)

rate() { echo "$sentences / $1" | bc -l; }
gpsd_rate=$(rate "$gpsd_s")
tool_rate=$(rate "$tool_s")
printf 'Hakefjord.log AIS sentences repeated to %d, best of %d runs\n' "$sentences" "$runs"
printf '  gpsdecode -u -j        (decode + JSON)   : %10.0f sentences/s  (%.3f s, %d objects)\n' \
  "$gpsd_rate" "$gpsd_s" "$gpsd_objects"
printf '  brtool ais             (decode + JSON)   : %10.0f sentences/s  (%.3f s, %d objects)\n' \
  "$tool_rate" "$tool_s" "$tool_objects"
printf '  TAisDecoder in memory  (decode + table)  : %10.0f sentences/s\n' "$lib_rate"
printf '  ratio brtool / gpsdecode: %.1f   decoder / gpsdecode: %.1f\n' \
  "$(echo "$tool_rate / $gpsd_rate" | bc -l)" "$(echo "$lib_rate / $gpsd_rate" | bc -l)"
