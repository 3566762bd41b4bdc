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
"$tool" chart "$lake"/*.gpx --size 420x300 --timings > /dev/null 2> "$work/timings.txt" || fail "chart --timings"
for phase in load samples interpolation contours writing total; do
  grep -Eq "^timing: $phase +[0-9.]+ s +[0-9.]+ MB peak$" "$work/timings.txt" || fail "--timings reports $phase"
done
# A field of the summary in $1, as Python prints it.
field() { python3 -c 'import json, sys; print(eval("s" + sys.argv[2], {"s": json.load(open(sys.argv[1]))}))' "$@"; }

# Feet: levels every 2 ft from 2 ft, named so; the legend widens the image by its strip.
"$tool" chart "$lake"/*.gpx --size 420x300 --units ft --iso-step 2 --contours "$work/iso-ft.gpx" \
  --image "$work/legend.bmp" --legend > "$work/ft.json" || fail "chart in feet"
grep -q '<name>ISO 2 ft</name>' "$work/iso-ft.gpx" && grep -q '<name>ISO 4 ft</name>' "$work/iso-ft.gpx" ||
  fail "contours in feet are named ISO 2 ft, ISO 4 ft"
! grep -q '<name>ISO [0-9]* cm</name>' "$work/iso-ft.gpx" || fail "no contour in feet is named in cm"
[ "$(field "$work/ft.json" '["contourLevels"][:3]')" = "[2, 4, 6]" ] || fail "the summary's levels are in feet"
[ "$(od -An -tu4 -j18 -N4 "$work/legend.bmp" | tr -d ' ')" -eq $((420 + 160)) ] ||
  fail "the legend adds its strip to the image"

# Spikes: a reading of 3 km in the third segment of a day's file is flagged, and its row
# names that file, the segment within it and the point within that segment.
awk '/<trkseg>/ { seg++; pt = 0 } /<trkpt / { pt++ }
     seg == 3 && pt == 20 && /<h:depth>/ && !done { sub(/<h:depth>[^<]*</, "<h:depth>300000.0<"); done = 1 }
     { print }' "$lake/by-day/soundings-day2.gpx" > "$work/day2.gpx"
"$tool" chart "$lake/shoreline.gpx" "$lake/by-day/soundings-day1.gpx" "$work/day2.gpx" --size 420x300 \
  --despike --despike-sensitivity normal --flagged "$work/flagged.csv" > "$work/despike.json" || fail "chart --despike"
[ "$(head -n 1 "$work/flagged.csv")" = "file,segment,index,longitude,latitude,depth_cm" ] || fail "the CSV's header"
[ "$(tail -n +2 "$work/flagged.csv")" = "$work/day2.gpx,2,19,7.454557,46.9417521,300000" ] ||
  fail "the flagged sounding's row: $(cat "$work/flagged.csv")"
[ "$(field "$work/despike.json" '["flagged"]')" = 1 ] || fail "the summary counts the flagged soundings"
[ "$(field "$work/despike.json" '["MaxDepth"] < 3000')" = True ] || fail "a flagged sounding is not the greatest depth"

# Levels of the two days: one entry per file in order, the first the reference at 0, and
# a known offset given by the file's name.
"$tool" chart "$lake/shoreline.gpx" "$lake"/by-day/soundings-day*.gpx --size 420x300 --level-correction auto \
  > "$work/levels.json" || fail "chart --level-correction auto"
[ "$(field "$work/levels.json" '["levels"][0]["file"], s["levels"][1]["file"]')" = \
  "('$lake/by-day/soundings-day1.gpx', '$lake/by-day/soundings-day2.gpx')" ] || fail "the levels' files, in order"
[ "$(field "$work/levels.json" '["levels"][0]["offsetCm"], s["levels"][0]["sigmaCm"]')" = "(0.0, 0.0)" ] ||
  fail "the reference is at 0"
[ "$(field "$work/levels.json" '["levels"][1]["crossings"] > 0 and s["levels"][1]["sigmaCm"] > 0')" = True ] ||
  fail "the second day is estimated from crossings"
[ "$(field "$work/levels.json" '["contourLevels"][0]')" = 100 ] || fail "the contour levels move to contourLevels"
"$tool" chart "$lake/shoreline.gpx" "$lake"/by-day/soundings-day*.gpx --size 420x300 \
  --level-offset soundings-day2.gpx=-12.5 > "$work/known.json" || fail "chart --level-offset"
[ "$(field "$work/known.json" '["levels"][1]["offsetCm"]')" = -12.5 ] || fail "a known offset by the file's name"
status=0
"$tool" chart "$lake"/*.gpx --level-offset nosuch.gpx=3 2> "$work/err.txt" || status=$?
[ "$status" -eq 2 ] && grep -q nosuch.gpx "$work/err.txt" || fail "an unknown --level-offset file is an option error"

# The GIS files, read back by GDAL where it is installed.
"$tool" chart "$lake"/*.gpx --size 420x300 --geotiff "$work/grid.tif" --kmz "$work/chart.kmz" \
  --contours "$work/iso.gpkg" --coverage-beyond 30 > "$work/gis.json" || fail "chart with GIS files"
for f in grid.tif chart.kmz iso.gpkg; do
  [ -s "$work/$f" ] || fail "chart wrote $f"
  grep -q "$work/$f" "$work/gis.json" || fail "the summary lists $f"
done
python3 -c 'import sys, zipfile; sys.exit(sorted(zipfile.ZipFile(sys.argv[1]).namelist()) != ["doc.kml", "files/chart.png"])' \
  "$work/chart.kmz" || fail "the KMZ holds doc.kml and the chart"
if command -v gdalinfo > /dev/null; then
  gdalinfo "$work/grid.tif" > "$work/gdalinfo.txt" || fail "gdalinfo reads the GeoTIFF"
  grep -q "Size is 420, 300" "$work/gdalinfo.txt" && grep -q 'ID\["EPSG",4326\]' "$work/gdalinfo.txt" ||
    fail "the GeoTIFF has the chart's size, in WGS84"
fi
if command -v ogrinfo > /dev/null; then
  ogrinfo -al -q "$work/iso.gpkg" > "$work/ogrinfo.txt" || fail "ogrinfo reads the contours"
  grep -q "name (String) = ISO 100 cm" "$work/ogrinfo.txt" && grep -q "depth_cm (Real) = 100" "$work/ogrinfo.txt" ||
    fail "the contours have their names and depths"
fi
echo "batch smoke test passed"
