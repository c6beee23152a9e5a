#!/usr/bin/env bash
# Runs a fixed set of orvane commands and keeps everything they write
# (standard output, output files, exit codes) in OUT_DIR, so that two trees
# can be compared byte for byte:
#   scripts/snapshot-outputs.sh build /tmp/before
#   scripts/snapshot-outputs.sh build /tmp/after
#   diff -r /tmp/before /tmp/after && echo identical
# Standard error is kept apart (stderr/), since progress and warnings may
# change without any result changing.
set -uo pipefail
build=$(cd "${1:?usage: snapshot-outputs.sh BUILD_DIR OUT_DIR}" && pwd)
out=${2:?usage: snapshot-outputs.sh BUILD_DIR OUT_DIR}
root=$(cd "$(dirname "$0")/.." && pwd)
tool=$build/orvane
data=$root/tests/data
rm -rf "$out"
mkdir -p "$out/stderr"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
xz -dc "$data/golden/steady50_10k.in.csv.xz" 2>/dev/null > golden.csv || \
  xz -dc "$root/../shared/golden/steady50_10k.in.csv.xz" > golden.csv

step() {
  local name=$1
  shift
  "$tool" "$@" > "$out/$name.stdout" 2> "$out/stderr/$name.stderr" < /dev/null
  echo "$?" > "$out/$name.status"
}

step run-signal run --build 10k --signal phase-step --duration 0.5 --output "$out/run-signal.csv"
step run-signal-4k run --build 4k --signal harmonics --duration 0.3 --reports-only
step run-signal-14p4k run --build 14p4k --signal ramp --duration 0.3 --reports-only --in-process
step run-csv run --build 10k --input golden.csv --output "$out/run-csv.csv" --c37118 "$out/run-csv.c37118"
step run-comtrade run --comtrade "$data/comtrade/north4800.cfg" --build auto --reports-only \
  --output "$out/run-comtrade.csv" --c37118 "$out/run-comtrade.c37118"
step run-comtrade-1991 run --comtrade "$data/comtrade/oldbay1991.cfg" --reports-only
step run-cff run --comtrade "$data/comtrade/feeder2013.cff" --build 4k --reports-only
step compliance compliance --quick --json "$out/compliance.json"
step sizes-10k sizes "$build/Orvane_10kHz_sf.mexa64"
step sizes-cast sizes "$build/Narrow32_sf.mexa64"
step cast cast 1.5 -2.5 1e10 nan
step soak soak --hours 0.05 --interval 60
step bad-input run --build 10k --input /nonexistent.csv
ls "$out" > /dev/null
