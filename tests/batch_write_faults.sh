#!/usr/bin/env bash
# Every file the batch tool writes, against a folder without write permission, a folder
# path that runs through a file, a missing folder and a full disk (a file size limit with
# SIGXFSZ ignored, so writes past it fail with EFBIG), and for the HT folder a full disk
# when the tool has to make the folder itself. Each must fail with exit status 1
# and a message naming the file, keep the old file's bytes and leave nothing else behind.
set -euo pipefail
tool="$1"
lake="$2"
work="$(mktemp -d)"
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# Soundings with a reading of 3 km every 40 points: flagged rows enough to fill a full disk.
awk '/<h:depth>/ && ++n % 40 == 0 { sub(/<h:depth>[^<]*</, "<h:depth>300000.0<") } { print }' \
  "$lake/soundings.gpx" > "$work/spiky.gpx"

# Each writer's name and target file; "write NAME PATH" makes the tool write PATH.
writers=(
  "convert-gpx again.gpx"
  "convert-ht shore.ht"
  "render-bmp map.bmp"
  "chart-image chart.jpg"
  "chart-contours iso.gpx"
  "chart-grid grid.f32"
  "chart-ht ht/000.ht"
  "chart-legend chart.bmp"
  "chart-gpkg iso.gpkg"
  "chart-shp iso.shp"
  "chart-kml iso.kml"
  "chart-geojson iso.geojson"
  "chart-geotiff grid.tif"
  "chart-kmz chart.kmz"
  "chart-flagged flagged.csv"
)
run=() # what the tool runs under
write() {
  case $1 in
    convert-gpx) "${run[@]}" "$tool" convert "$lake/soundings.gpx" "$2" ;;
    convert-ht) "${run[@]}" "$tool" convert "$lake/shoreline.gpx" "$2" ;;
    render-bmp) "${run[@]}" "$tool" render "$lake"/*.gpx --size 160x120 --out "$2" ;;
    chart-image) "${run[@]}" "$tool" chart "$lake"/*.gpx --size 160x120 --image "$2" ;;
    chart-contours) "${run[@]}" "$tool" chart "$lake"/*.gpx --size 160x120 --contours "$2" ;;
    chart-grid) "${run[@]}" "$tool" chart "$lake"/*.gpx --size 160x120 --grid "$2" ;;
    chart-ht) "${run[@]}" "$tool" chart "$lake"/*.gpx --size 160x120 --ht-dir "$(dirname "$2")" ;;
    chart-legend) "${run[@]}" "$tool" chart "$lake"/*.gpx --size 160x120 --image "$2" --legend ;;
    chart-gpkg | chart-shp | chart-kml | chart-geojson)
      "${run[@]}" "$tool" chart "$lake"/*.gpx --size 160x120 --contours "$2" ;;
    chart-geotiff) "${run[@]}" "$tool" chart "$lake"/*.gpx --size 160x120 --geotiff "$2" ;;
    chart-kmz) "${run[@]}" "$tool" chart "$lake"/*.gpx --size 160x120 --kmz "$2" --coverage-beyond 30 ;;
    chart-flagged)
      "${run[@]}" "$tool" chart "$lake/shoreline.gpx" "$work/spiky.gpx" --size 160x120 --despike --flagged "$2" ;;
  esac
}

# Root passes permission checks through CAP_DAC_OVERRIDE; without it in the bounding set
# the program runs with permissions that bind.
unprivileged=()
[ "$(id -u)" -eq 0 ] && unprivileged=(setpriv --bounding-set -dac_override)

listing() { (cd "$1" && find . -mindepth 1 -printf '%p %y %s\n' | sort && find . -type f -exec md5sum {} + | sort); }

for entry in "${writers[@]}"; do
  read -r name file <<<"$entry"
  for fault in none unwritable file-in-the-way missing-folder full-disk new-folder-full-disk; do
    # Only the HT folder is made by the tool: a full disk must not leave it behind empty.
    [ "$fault" = new-folder-full-disk ] && [ "$name" != chart-ht ] && continue
    dir="$work/$name-$fault"
    mkdir "$dir"
    echo "must stay" > "$dir/neighbour.txt"
    target="$dir/$file"
    case $fault in
      file-in-the-way) echo "a file, not a folder" > "$dir/notes"; target="$dir/notes/$file" ;;
      missing-folder) target="$dir/missing/$file" ;;
      new-folder-full-disk) target="$dir/$file" ;;
      *) mkdir -p "$(dirname "$target")"; echo "the old file" > "$target" ;;
    esac
    before="$(listing "$dir")"
    status=0
    case $fault in
      unwritable)
        folder="$(dirname "$target")"
        chmod a-w "$folder"
        if "${unprivileged[@]}" touch "$folder/.probe" 2>/dev/null; then
          rm -f "$folder/.probe"; chmod u+w "$folder"
          echo "skipped $name $fault: permissions do not bind here"; continue
        fi
        run=("${unprivileged[@]}")
        (write "$name" "$target") >/dev/null 2>"$dir.err" || status=$?
        run=()
        chmod u+w "$folder" ;;
      full-disk | new-folder-full-disk)
        (trap '' XFSZ; ulimit -f 1; write "$name" "$target") >/dev/null 2>"$dir.err" || status=$? ;;
      *)
        (write "$name" "$target") >/dev/null 2>"$dir.err" || status=$? ;;
    esac
    if [ "$fault" = none ]; then
      [ "$status" -eq 0 ] || fail "$name writes its file: $(cat "$dir.err")"
      ! echo "the old file" | cmp -s - "$target" || fail "$name replaces the old file"
      # A shapefile is the .shp with its .shx, .dbf, .prj and .cpg.
      files=2; [ "$name" = chart-shp ] && files=6
      [ "$(ls -A "$dir" | wc -l)" -eq "$files" ] || fail "$name leaves only its file: $(ls -A "$dir")"
      continue
    fi
    [ "$status" -eq 1 ] || fail "$name, $fault: exit status $status, not 1"
    grep -q "$(basename "$file")" "$dir.err" || fail "$name, $fault: the message names no file: $(cat "$dir.err")"
    [ "$(listing "$dir")" = "$before" ] ||
      fail "$name, $fault: the folder changed: $(diff <(echo "$before") <(listing "$dir") || true)"
  done
done
echo "batch write faults passed"
