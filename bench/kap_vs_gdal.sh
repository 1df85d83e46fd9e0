#!/usr/bin/env bash
# KAP decoding speed beside GDAL's, in the same run: NZ61401.KAP (10517 x 6966,
# 73 Mpx) decoded whole by
#   - our decoder in memory (bench_kap, BM_DecodeWholeChart),
#   - brtool chart decode, which also writes the 73 MB raster to a file,
#   - gdal_translate -of ENVI (decode and write the raster, as GDAL does it),
# each the best of several runs; prints megapixels per second and the ratios.
#   usage: bench/kap_vs_gdal.sh [BUILD_DIR]   (default: build-charts-rel, an
#   optimised build with bench_kap and brtool)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-charts-rel}
testdata=${BRISMARE_TESTDATA:-$root/../shared/testdata}
kap=$testdata/charts/NZ61401.KAP
runs=${RUNS:-5}

for f in "$kap" "$build/bin/bench_kap" "$build/bin/brtool"; do
  [[ -e "$f" ]] || { echo "missing: $f" >&2; exit 1; }
done
command -v gdal_translate >/dev/null || { echo "gdal_translate not found (apt-get install gdal-bin)" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
pixels=$((10517 * 6966))

# Best wall time in seconds of a command, over $runs runs.
best_time() {
  local best="" t0 t1 t
  for _ in $(seq "$runs"); do
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    t1=$(date +%s.%N)
    t=$(echo "$t1 - $t0" | bc -l)
    if [[ -z "$best" ]] || (( $(echo "$t < $best" | bc -l) )); then best=$t; fi
  done
  echo "$best"
}

gdal_s=$(best_time gdal_translate -q -of ENVI "$kap" "$tmp/gdal.img")
tool_s=$(best_time "$build/bin/brtool" chart decode "$kap" "$tmp/ours.raw")
cmp -s "$tmp/gdal.img" "$tmp/ours.raw" || { echo "the two rasters differ" >&2; exit 1; }

BRISMARE_TESTDATA=$testdata "$build/bin/bench_kap" --benchmark_filter=BM_DecodeWholeChart \
  --benchmark_format=json --benchmark_repetitions=3 >"$tmp/bench.json" 2>/dev/null
lib_pps=$(python3 - "$tmp/bench.json" <<'PY'
import json, sys
runs = [b for b in json.load(open(sys.argv[1]))["benchmarks"] if b.get("run_type") == "iteration"]
print(max(b["items_per_second"] for b in runs))
PY
)

mpx() { echo "scale=1; $pixels / $1 / 1000000" | bc -l; }
gdal_mpx=$(mpx "$gdal_s")
tool_mpx=$(mpx "$tool_s")
lib_mpx=$(echo "scale=1; $lib_pps / 1000000" | bc -l)
printf 'NZ61401.KAP, %d x %d = %.1f Mpx, best of %d runs\n' 10517 6966 "$(echo "$pixels/1000000" | bc -l)" "$runs"
printf '  gdal_translate -of ENVI (decode + write file): %8.1f Mpx/s  (%.3f s)\n' "$gdal_mpx" "$gdal_s"
printf '  brtool chart decode     (decode + write file): %8.1f Mpx/s  (%.3f s)\n' "$tool_mpx" "$tool_s"
printf '  TKAPDecoder             (decode in memory)   : %8.1f Mpx/s\n' "$lib_mpx"
printf '  ratio decoder / GDAL: %.1f   brtool / GDAL: %.1f\n' "$(echo "$lib_mpx / $gdal_mpx" | bc -l)" \
  "$(echo "$tool_mpx / $gdal_mpx" | bc -l)"
