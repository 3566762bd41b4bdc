#!/usr/bin/env bash
# Time and peak memory of reading (and writing) a GPX file of N soundings (default 1,000,000)
# with the batch tool. Usage: bench/gpx_read.sh [N]
set -euo pipefail
cd "$(dirname "$0")/.."
n="${1:-1000000}"
bash scripts/install-deps
bash scripts/build default >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
python3 bench/make_big_gpx.py "$n" "$work/big.gpx"
echo "file: $(du -h "$work/big.gpx" | cut -f1), $n points"
tool=build/default/src/batch/depthwright-batch
measure() {
  /usr/bin/time -f "%e s, peak %M KiB" "$@" >/dev/null
}
echo -n "info (read):      "; measure "$tool" info "$work/big.gpx"
echo -n "convert (read+write): "; measure "$tool" convert "$work/big.gpx" "$work/out.gpx"
