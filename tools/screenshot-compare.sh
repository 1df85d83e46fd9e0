#!/usr/bin/env bash
# Compares two directories of pictures (tools/screenshot-all.sh) pixel for
# pixel: prints one line per picture (same, or the number of pixels that
# differ) and exits 1 when any picture differs or is missing on one side.
#   tools/screenshot-compare.sh BEFORE AFTER [DIFFS]
# With DIFFS, a picture of each difference is written there (ImageMagick).
set -uo pipefail
before=$1
after=$2
diffs=${3:-}
command -v compare >/dev/null || { echo "ImageMagick's compare is not installed" >&2; exit 2; }
[[ -n "$diffs" ]] && mkdir -p "$diffs"
status=0
shopt -s nullglob
declare -A seen
for a in "$before"/*.png "$after"/*.png; do
  name=$(basename "$a")
  [[ -n "${seen[$name]:-}" ]] && continue
  seen[$name]=1
  if [[ ! -f "$before/$name" || ! -f "$after/$name" ]]; then
    echo "$name: only in $([[ -f "$before/$name" ]] && echo "$before" || echo "$after")"
    status=1
    continue
  fi
  target=null:
  [[ -n "$diffs" ]] && target="$diffs/$name"
  pixels=$(compare -metric AE "$before/$name" "$after/$name" "$target" 2>&1 >/dev/null)
  if [[ "$pixels" == 0 ]]; then
    echo "$name: same"
  else
    echo "$name: $pixels pixels differ"
    status=1
  fi
done
exit $status
