#!/usr/bin/env bash
# Time and peak memory of reading a Lowrance-family SL2 log of SIZE_MB megabytes (default
# 1024) with full echo data on two channels. Usage: bench/sl2_read.sh [SIZE_MB]
# The file is read twice: first after its pages were dropped from the page cache (as far
# as the system lets a process drop them), then from the cache.
set -euo pipefail
cd "$(dirname "$0")/.."
size="${1:-1024}"
bash scripts/install-deps
bash scripts/build default >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
python3 bench/make_big_sl2.py "$size" "$work/big.sl2"
echo "file: $(du -h "$work/big.sl2" | cut -f1)"
tool=build/default/src/batch/depthwright-batch
python3 -c "import os,sys; fd=os.open(sys.argv[1], os.O_RDONLY); os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)" "$work/big.sl2"
echo -n "info (from disk):  "; /usr/bin/time -f "%e s, peak %M KiB" "$tool" info "$work/big.sl2" >/dev/null
echo -n "info (from cache): "; /usr/bin/time -f "%e s, peak %M KiB" "$tool" info "$work/big.sl2" >/dev/null
