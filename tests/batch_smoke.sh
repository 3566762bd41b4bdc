#!/usr/bin/env bash
# The batch tool end to end on the sample lake: every command, its files and exit codes.
set -euo pipefail
tool="$1"
lake="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$tool" info --json "$lake"/*.gpx > "$work/info.json" || fail "info of the sample lake"
grep -q '"loaded":true' "$work/info.json" || fail "info reports the lake as loaded"

"$tool" convert "$lake/soundings.gpx" "$work/again.gpx" || fail "convert to GPX"
"$tool" convert "$lake/shoreline.gpx" "$work/shore.ht" || fail "convert to HT"
[ "$(stat -c %s "$work/shore.ht")" -eq 131080 ] || fail "an HT file has 131080 bytes"
"$tool" convert "$work/shore.ht" "$work/shore.gpx" || fail "convert HT back to GPX"

if "$tool" convert "$lake/soundings.gpx" "$work/out.txt" 2>/dev/null; then fail "a .txt target is refused"; fi
[ ! -e "$work/out.txt" ] || fail "a refused convert writes nothing"
if "$tool" info --bogus x 2>/dev/null; then fail "an unknown option is refused"; fi

"$tool" render "$lake"/*.gpx --out "$work/map.bmp" --shadow "$work/shadow.bmp" --mask "$work/mask.bmp" \
  > /dev/null || fail "render"
for f in map shadow mask; do [ -s "$work/$f.bmp" ] || fail "render wrote $f.bmp"; done

"$tool" chart "$lake"/*.gpx --size 420x300 --image "$work/chart.jpg" --contours "$work/iso.gpx" \
  --ht-dir "$work/ht" --grid "$work/grid.f32" > "$work/chart.json" || fail "chart"
grep -q '"contourTracks"' "$work/chart.json" || fail "chart prints its summary"
[ -s "$work/chart.jpg" ] && [ -s "$work/iso.gpx" ] && [ -s "$work/ht/000.ht" ] || fail "chart wrote its files"
[ "$(stat -c %s "$work/grid.f32")" -eq $((420 * 300 * 4)) ] || fail "the grid has one float per cell"
echo "batch smoke test passed"
