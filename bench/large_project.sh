#!/usr/bin/env bash
# The whole pipeline in the batch tool for the sample lake scaled to N soundings
# (default 2,000,000): time and memory high-water mark of every phase.
set -euo pipefail
cd "$(dirname "$0")/.."
n="${1:-2000000}"
bash scripts/install-deps
bash scripts/build default >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
build/default/bench/bench_make_lake "$n" "$work/lake.gpx"
echo "project: $(du -h "$work/lake.gpx" | cut -f1), $n soundings asked"
/usr/bin/time -f "total %e s, peak %M KiB" build/default/src/batch/depthwright-batch chart "$work/lake.gpx" \
  --image "$work/chart.bmp" --contours "$work/iso.gpx" --ht-dir "$work/ht" > "$work/summary.json"
python3 -c "
import json; j=json.load(open('$work/summary.json'))
print('samples', j['samples'], 'water cells', j['waterCells'], 'contour tracks', j['contourTracks'], 'HT files', len([f for f in j['files'] if f.endswith('.ht')]))
for k in ['load','masks','interpolation','smoothing','contours','export']:
    print('%-14s %7.2f s   peak %7.0f MB' % (k, j['seconds'][k], j['peakMB'][k]))
"
