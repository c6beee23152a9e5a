#!/usr/bin/env bash
# Times `orvane run` writing every sample of a COMTRADE BINARY recording at
# 10 kHz (default 600 s) to HDF5, beside the same run writing only its
# reports (the reading and the model with almost no output) and writing
# every sample as CSV. CPU seconds (user + system) and wall seconds of the
# whole process, then the run's own split of its wall time (--timing):
# preparing (opening and checking the recording, starting the block),
# reading the recording, the model through the deliverable, writing the
# outputs, and the total over the model's share.
#   scripts/time-hdf5-output.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
build_dir=${1:-build}
seconds=${2:-600}
tool="$build_dir/orvane"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

samples=$((10000 * seconds))
{
  printf 'TIMING,HDF5,2013\r\n3,3A,0D\r\n'
  for k in 1 2 3; do
    printf '%d,V%d,%s,,kV,0.01,0,0,-32767,32767,1,1,P\r\n' "$k" "$k" "$(echo ABC | cut -c$k)"
  done
  printf '50\r\n1\r\n10000,%d\r\n08/12/2026,10:00:00.000000\r\n08/12/2026,10:00:00.000000\r\nBINARY\r\n1\r\n0,0\r\n0,3\r\n' \
    "$samples"
} >"$work/rec.cfg"
# 100 kV peak at 50.2 Hz, 0.01 kV per count: n, timestamp (us), three int16.
/usr/bin/python3 - "$work/rec.dat" "$samples" <<'PY'
import sys, numpy as np
n = int(sys.argv[2])
rec = np.zeros(n, dtype=[("n", "<u4"), ("t", "<u4"), ("a", "<i2"), ("b", "<i2"), ("c", "<i2")])
i = np.arange(n)
w = 2 * np.pi * 50.2 * i / 10000.0
rec["n"] = i + 1
rec["t"] = i * 100
for name, shift in (("a", 0.0), ("b", -2 * np.pi / 3), ("c", 2 * np.pi / 3)):
    rec[name] = np.rint(10000 * np.cos(w + shift)).astype(np.int16)
rec.tofile(sys.argv[1])
PY

run() {
  local label=$1
  shift
  local said
  said=$(/usr/bin/time -f "TIME %U s user + %S s system, %e s wall" "$tool" run --comtrade "$work/rec.cfg" --timing \
    "$@" 2>&1 || true)
  grep '^TIME ' <<<"$said" | sed "s/^TIME /$label: /" || true
  grep '^orvane run: preparing ' <<<"$said" | sed 's/^orvane run: /    in the run: /' || true
  grep -v -e '^TIME ' -e '^orvane run: ' <<<"$said" || true
}
run "reports only (CSV)" --reports-only --output "$work/reports.csv"
run "every sample, HDF5" --output "$work/all.h5"
run "every sample, CSV " --output "$work/all.csv"
ls -l "$work/all.h5" "$work/all.csv" | awk '{ printf "%s bytes  %s\n", $5, $9 }'
