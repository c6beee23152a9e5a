#!/usr/bin/env bash
# Times `orvane run` on two COMTRADE recordings one after the other
# (--jobs 1) and side by side (--jobs 2). Each recording is SECONDS long
# (default 240) at 4800 Hz, resampled to the 10 kHz build.
#   scripts/time-comtrade-jobs.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
build_dir=${1:-build}
seconds=${2:-240}
tool="$build_dir/orvane"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for name in a b; do
  samples=$((4800 * seconds))
  printf 'TIMING,AWK,1999\r\n3,3A,0D\r\n' >"$work/$name.cfg"
  for k in 1 2 3; do
    printf '%d,V%d,%s,,kV,0.01,0,0,-99999,99999,1,1,P\r\n' "$k" "$k" "$(echo ABC | cut -c$k)" >>"$work/$name.cfg"
  done
  printf '50\r\n1\r\n4800,%d\r\n08/12/2026,10:00:00.000000\r\n08/12/2026,10:00:00.000000\r\nASCII\r\n1\r\n' \
    "$samples" >>"$work/$name.cfg"
  # 100 kV peak at 50.2 Hz, 0.01 kV per count.
  awk -v n="$samples" 'BEGIN {
    w = 2 * 3.141592653589793 * 50.2; s = 2 * 3.141592653589793 / 3
    for (i = 0; i < n; i++) {
      t = i / 4800
      printf "%d,%d,%d,%d,%d\r\n", i + 1, int(i * 1e6 / 4800 + 0.5),
        int(10000 * cos(w * t)), int(10000 * cos(w * t - s)), int(10000 * cos(w * t + s))
    }
  }' >"$work/$name.dat"
done

for jobs in 1 2 1 2 1 2; do
  start=$(date +%s.%N)
  "$tool" run --comtrade "$work/a.cfg" --comtrade "$work/b.cfg" --output-dir "$work" --jobs "$jobs" \
    --reports-only 2>/dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" -v j="$jobs" 'BEGIN { printf "--jobs %d: %.2f s\n", j, b - a }'
done
