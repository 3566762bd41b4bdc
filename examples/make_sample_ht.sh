#!/usr/bin/env bash
# Makes the HT track files of the sample lake, as the sonar unit records them:
#   sample-lake/by-day/day1.ht  from by-day/soundings-day1.gpx (track "Survey day 1")
#   sample-lake/by-day/day2.ht  from by-day/soundings-day2.gpx (track "Survey day 2")
# with the batch tool's "convert" (an HT file holds at most 20000 positions; each day has
# fewer). An HT file holds the time it was written, so only those four bytes change when
# this runs again. Run make_sample_lake.py first when the GPX files change. The batch tool is
# built into build/default unless DEPTHWRIGHT_BATCH names another one.
set -euo pipefail
cd "$(dirname "$0")/.."
batch="${DEPTHWRIGHT_BATCH:-build/default/src/batch/depthwright-batch}"
if [ ! -x "$batch" ]; then
  bash scripts/install-deps
  cmake --preset default >/dev/null
  cmake --build --preset default --target depthwright-batch
fi
lake=examples/sample-lake/by-day
for day in 1 2; do
  "$batch" convert "$lake/soundings-day$day.gpx" "$lake/day$day.ht" --track-name "Survey day $day"
done
ls -l "$lake"/day*.ht
