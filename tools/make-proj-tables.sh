#!/usr/bin/env bash
# Makes the projection and datum-shift reference tables of the geodesy tests
# with PROJ's cct (Debian package proj-bin). The tables are committed, so the
# tests and CI never need PROJ; run this only to remake or extend them:
#
#   tools/make-proj-tables.sh [output directory]   (default tests/geodesy/data)
#
# Each table starts with "#" lines naming the projection code and parameters
# as the geodesy library takes them and the PROJ operation that made the
# numbers; then one point per line:
#   projection tables:  lon lat x y        (degrees; metres, or unit-sphere
#                                           units for code 1)
#   datum tables:       lon lat lon84 lat84 (degrees; input height 5 m)
# Points come from a fixed pseudo-random sequence (Park-Miller), so a rerun
# with the same PROJ gives the same files.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/tests/geodesy/data}
mkdir -p "$out"
command -v cct >/dev/null || { echo "cct not found: apt-get install proj-bin" >&2; exit 1; }
proj_version=$(cct --version 2>&1 | head -n 1)

# A table is made as "<file>.tmp" and replaces the committed one only once
# it is known to be whole; a failed run leaves the old tables as they were.
# install_table TMP FILE POINTS: moves TMP over FILE when it holds POINTS lines of
# four finite numbers each; otherwise removes TMP, says why and stops.
install_table() {
  local tmp=$1 file=$2 want=$3 got
  refuse() { rm -f "$tmp"; echo "$file: $1" >&2; exit 1; }
  if grep -v '^#' "$tmp" | grep -qiE 'inf|nan'; then refuse "PROJ could not convert some points"; fi
  awk '!/^#/ && NF != 4 { exit 1 }' "$tmp" || refuse "a line without its four numbers"
  got=$(grep -vc '^#' "$tmp" || true)
  [ "$got" = "$want" ] || refuse "$got points instead of $want"
  mv -f "$tmp" "$file"
  echo "$file: $got points"
}

# points SEED COUNT LONMIN LONMAX LATMIN LATMAX [FILTER]
# Prints "lon lat" lines. FILTER (an awk condition on lon, lat in degrees and
# the helper dist(lon, lat) = angular distance in degrees from (clon, clat))
# drops points; CLON/CLAT set the centre for dist().
points() {
  local seed=$1 count=$2 lon1=$3 lon2=$4 lat1=$5 lat2=$6 filter=${7:-1}
  awk -v seed="$seed" -v n="$count" -v lon1="$lon1" -v lon2="$lon2" -v lat1="$lat1" \
      -v lat2="$lat2" -v clon="${CLON:-0}" -v clat="${CLAT:-0}" "
    function rnd() { x = (16807 * x) % 2147483647; return x / 2147483647 }
    function dist(lo, la,   r, c) {
      r = 3.14159265358979323846 / 180
      c = sin(la * r) * sin(clat * r) + cos(la * r) * cos(clat * r) * cos((lo - clon) * r)
      if (c > 1) c = 1; if (c < -1) c = -1
      return atan2(sqrt(1 - c * c), c) / r
    }
    BEGIN {
      x = seed; made = 0; tries = 0
      while (made < n && tries < 100 * n) {
        tries++
        lon = lon1 + (lon2 - lon1) * rnd(); lat = lat1 + (lat2 - lat1) * rnd()
        lon = sprintf(\"%.9f\", lon) + 0; lat = sprintf(\"%.9f\", lat) + 0
        if ($filter) { printf \"%.9f %.9f\\n\", lon, lat; made++ }
      }
    }"
}

# projection NAME "HEADER" DECIMALS "PROJ STRING" [LAT0SHIFT] < points
# LAT0SHIFT (degrees) gives the code-1 Mercator measured from Lat0: PROJ
# projects (lon, lat - Lat0) and Lat0 in radians is added to y.
projection() {
  local name=$1 header=$2 decimals=$3 pipeline=$4 lat0=${5:-0}
  local file="$out/proj_$name.txt"
  local pts
  pts=$(cat)
  {
    echo "# Reference values made by tools/make-proj-tables.sh with $proj_version"
    echo "# $header"
    echo "# cct -d $decimals $pipeline"
    paste -d ' ' \
      <(echo "$pts") \
      <(echo "$pts" | awk -v s="$lat0" '{ printf "%.9f %.9f 0 0\n", $1, $2 - s }' \
          | cct -d "$decimals" $pipeline \
          | awk -v s="$lat0" -v d="$decimals" \
              '{ printf "%.*f %.*f\n", d, $1, d, $2 + s * 3.14159265358979323846 / 180 }')
  } > "$file.tmp"
  install_table "$file.tmp" "$file" "$(echo "$pts" | grep -c .)"
}

# Code 1, spherical Mercator on the unit sphere (radians out).
{ points 11 300 -180 180 -85 85; echo "0.000000000 60.000000000"; } |
  projection merc_lat0_0 "code=1 lat0=0" 15 "+proj=merc +R=1"
CLAT=55 points 12 300 -40 40 -25 85 "dist(0, lat) < 80" |
  projection merc_lat0_55 "code=1 lat0=55" 15 "+proj=merc +R=1" 55

# Code 2, Transverse Mercator series on WGS 84 (PROJ's +approx is the same
# published series; the exact tmerc differs more away from the meridian).
points 21 300 12 18 -80 84 |
  projection tmerc_lon15_3deg "code=2 lat0=0 lon0=15" 9 \
    "+proj=tmerc +approx +lat_0=0 +lon_0=15 +k_0=1 +ellps=WGS84"
points 22 300 -6 0 40 70 |
  projection tmerc_lat55_3deg "code=2 lat0=55 lon0=-3" 9 \
    "+proj=tmerc +approx +lat_0=55 +lon_0=-3 +k_0=1 +ellps=WGS84"
points 23 300 9 21 -70 70 |
  projection tmerc_lon15_6deg "code=2 lat0=0 lon0=15" 9 \
    "+proj=tmerc +approx +lat_0=0 +lon_0=15 +k_0=1 +ellps=WGS84"

# Code 3, Lambert Conformal Conic on WGS 84: secant, tangent, southern.
points 31 300 -130 -62 15 70 |
  projection lcc_secant "code=3 lat0=40 lon0=-96 lat1=33 lat2=45" 9 \
    "+proj=lcc +lat_0=40 +lon_0=-96 +lat_1=33 +lat_2=45 +ellps=WGS84"
points 32 300 -10 46 40 80 |
  projection lcc_tangent "code=3 lat0=60 lon0=18 lat1=60 lat2=60" 9 \
    "+proj=lcc +lat_0=60 +lon_0=18 +lat_1=60 +lat_2=60 +ellps=WGS84"
points 33 300 100 170 -60 -5 |
  projection lcc_south "code=3 lat0=-30 lon0=135 lat1=-18 lat2=-36" 9 \
    "+proj=lcc +lat_0=-30 +lon_0=135 +lat_1=-18 +lat_2=-36 +ellps=WGS84"

# Code 4, Polyconic on WGS 84.
{ points 41 300 -125 -75 -5 65; echo "-100.000000000 0.000000000"; } |
  projection poly "code=4 lat0=30 lon0=-100" 9 \
    "+proj=poly +lat_0=30 +lon_0=-100 +ellps=WGS84"

# Codes 5-7 on the sphere of radius 6378137 m.
points 51 300 -170 190 -89 89 |
  projection sinu "code=5 lon0=10" 9 "+proj=sinu +lon_0=10 +R=6378137"
CLON=10 CLAT=50 points 61 300 -100 120 -40 90 "dist(lon, lat) < 88" |
  projection ortho "code=6 lat0=50 lon0=10" 9 "+proj=ortho +lat_0=50 +lon_0=10 +R=6378137"
CLON=0 CLAT=90 points 62 300 -180 180 3 90 "dist(lon, lat) < 87" |
  projection ortho_north_pole "code=6 lat0=90 lon0=-30" 9 \
    "+proj=ortho +lat_0=90 +lon_0=-30 +R=6378137"
CLON=-20 CLAT=45 points 71 300 -100 60 -20 90 "dist(lon, lat) < 54" |
  projection nsper "code=7 lat0=45 lon0=-20 height=5000000" 9 \
    "+proj=nsper +lat_0=45 +lon_0=-20 +h=5000000 +R=6378137"

# Molodensky datum shifts (standard formulas, not abridged) at height 5 m.
# datum NAME A INVF DX DY DZ < points
datum() {
  local name=$1 a=$2 rf=$3 dx=$4 dy=$5 dz=$6
  local file="$out/molodensky_$name.txt"
  local da df pts pipeline
  da=$(awk -v a="$a" 'BEGIN { printf "%.17g", 6378137 - a }')
  df=$(awk -v rf="$rf" 'BEGIN { printf "%.17g", 1 / 298.257223563 - 1 / rf }')
  pipeline="+proj=molodensky +a=$a +rf=$rf +da=$da +df=$df +dx=$dx +dy=$dy +dz=$dz"
  pts=$(cat)
  {
    echo "# Reference values made by tools/make-proj-tables.sh with $proj_version"
    echo "# a=$a invf=$rf dx=$dx dy=$dy dz=$dz"
    echo "# cct -d 12 $pipeline (input height 5 m)"
    paste -d ' ' <(echo "$pts") \
      <(echo "$pts" | awk '{ print $1, $2, 5, 0 }' | cct -d 12 $pipeline | awk '{ print $1, $2 }')
  } > "$file.tmp"
  install_table "$file.tmp" "$file" "$(echo "$pts" | grep -c .)"
}
points 81 100 -10 30 35 71 | datum ed50_intl 6378388 297 -87 -98 -121
points 82 100 -125 -67 25 50 | datum nad27_clarke1866 6378206.4 294.9786982 -8 160 176
points 83 100 -8 2 49 61 | datum osgb36_airy 6377563.396 299.3249646 375 -111 431
points 84 100 128 146 30 46 | datum tokyo_bessel 6377397.155 299.1528128 -148 507 685
points 85 100 -180 180 -89.9 89.9 | datum world_krassovsky 6378245 298.3 28 -130 -95
