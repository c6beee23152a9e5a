#!/usr/bin/env bash
# Peak memory and time of `orvane run --reports-only` on long COMTRADE
# recordings: 10 minutes at 4800 Hz with 3 channels (ASCII and BINARY),
# 1 hour at 4800 Hz with 32 channels (BINARY), and 10 minutes at 10 kHz
# with 3 channels (BINARY, passed to the 10 kHz build untouched). The
# recordings are generated here (a 50.1 Hz three-phase voltage, the other
# channels currents) and deleted afterwards. Prints the peak resident
# memory, the wall-clock seconds and the CPU seconds (user + system).
#   scripts/time-comtrade-memory.sh [BUILD_DIR|ORVANE_BINARY]
set -euo pipefail
tool=${1:-build}
[ -d "$tool" ] && tool="$tool/orvane"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# NAME RATE SECONDS CHANNELS FORMAT (numpy from Debian's python3-numpy)
generate() {
  /usr/bin/python3 - "$work/$1" "$2" "$3" "$4" "$5" <<'EOF'
import sys
import numpy as np
stem, rate, seconds, channels, fmt = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
n = rate * seconds
with open(stem + ".cfg", "w", newline="") as f:
    f.write("MEMORY,T1,1999\r\n%d,%dA,0D\r\n" % (channels, channels))
    for k in range(channels):
        if k < 3:
            f.write("%d,V%s,%s,,kV,0.01,0,0,-32767,32767,1,1,P\r\n" % (k + 1, "ABC"[k], "ABC"[k]))
        else:
            f.write("%d,I%d,,,A,0.1,0,0,-32767,32767,1,1,P\r\n" % (k + 1, k + 1))
    f.write("50\r\n1\r\n%d,%d\r\n08/12/2026,10:00:00.000000\r\n08/12/2026,10:00:00.000000\r\n%s\r\n1\r\n"
            % (rate, n, fmt))
block = 1 << 20
with open(stem + ".dat", "wb") as f:
    for start in range(0, n, block):
        i = np.arange(start, min(n, start + block))
        t = i / rate
        w = 2 * np.pi * 50.1
        values = np.empty((len(i), channels), dtype=np.int64)
        for k in range(channels):
            values[:, k] = np.round(10000 * np.cos(w * t - 2 * np.pi / 3 * (k % 3)))
        stamps = np.round(i * 1e6 / rate).astype(np.int64)
        if fmt == "BINARY":
            rec = np.zeros(len(i), dtype=[("n", "<u4"), ("t", "<u4"), ("v", "<i2", (channels,))])
            rec["n"] = i + 1
            rec["t"] = stamps
            rec["v"] = values
            f.write(rec.tobytes())
        else:
            table = np.column_stack([i + 1, stamps, values])
            np.savetxt(f, table, fmt="%d", delimiter=",", newline="\r\n")
EOF
}

measure() {
  local name=$1 label=$2
  /usr/bin/time -v -o "$work/time.txt" "$tool" run --comtrade "$work/$name.cfg" --reports-only \
    --output "$work/$name.csv" 2>"$work/stderr.txt" || { cat "$work/stderr.txt" >&2; exit 1; }
  awk -v l="$label" -F': ' '
    /Maximum resident set size/ { rss = $2 }
    /User time|System time/ { cpu += $2 }
    /Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0; for (k = 1; k <= n; k++) s = s * 60 + p[k] }
    END { printf "%-34s peak RSS %6.1f MB  %7.2f s  (CPU %.2f s)\n", l, rss / 1024, s, cpu }' "$work/time.txt"
  rm -f "$work/$name.csv"
}

generate a10 4800 600 3 ASCII
measure a10 "10 min 4800 Hz 3 ch ASCII"
rm -f "$work"/a10.*
generate b10 4800 600 3 BINARY
measure b10 "10 min 4800 Hz 3 ch BINARY"
rm -f "$work"/b10.*
generate p10 10000 600 3 BINARY
measure p10 "10 min 10 kHz 3 ch BINARY"
rm -f "$work"/p10.*
generate h1 4800 3600 32 BINARY
measure h1 "1 h 4800 Hz 32 ch BINARY"
