#!/usr/bin/env python3
"""Sweep of the gap bridge on a lossy sampled-values stream (a benchmark).

For every cell of sample rate x nominal frequency x signal frequency x loss
rate x burst length, `orvane sv-publish` writes a steady three-phase signal
as a capture with that share of frames lost at random (a frame carries
`burst` samples, so a lost frame is a burst of that many missing samples),
and `orvane run --sv-pcap --build auto --quality` measures it. The reports
are compared with the signal's exact phasor (peak magnitude A, angle
2*pi*(f - f0)*t against the nominal cosine whose phase is zero at whole
seconds, frequency f, ROCOF 0) and the cell gives the worst and the 99th
percentile of TVE, FE and RFE over the reports that are not "do not use",
the share of reports "do not use" (the --quality column), the share of
samples resting on bridged samples within the bridge's proven span (the
stream's note), and the worst FE and RFE of the "do not use" reports (runs
past the proven span are bridged all the same, up to the filters' memory). The first second of reports (the filters filling) is left
out.

The default grid is reduced (minutes); --full runs the whole grid:
frequencies f0-2 .. f0+2 Hz in steps of 0.5, losses 0.1, 0.5, 1 and 2 %,
bursts 1 to 8, at 4000 and 4800 Hz, 50 and 60 Hz.

    scripts/bridge-sweep.py [--orvane build/orvane] [--full] [--duration S]
                            [--markdown FILE] [--harmonic N] [--rates LIST]
                            [--losses LIST] [--bursts LIST]
"""

import argparse
import csv
import math
import os
import re
import subprocess
import sys
import tempfile
import time
from fractions import Fraction

START = 1700000000  # 2023-11-14 22:13:20 UTC: the stream's time of day is 80000 s
AMPLITUDE = 100.0
TVE_LIMIT, FE_LIMIT, RFE_LIMIT = 0.01, 0.005, 0.4



# io/report_quality.h: start-up 1, missing 4, restarted 8, non-finite 16,
# absent 32 (bridged 2 and unsynchronised 64 are told, not refused).
DO_NOT_USE = 1 | 4 | 8 | 16 | 32

def percentile(values, q):
    if not values:
        return float("nan")
    s = sorted(values)
    k = (len(s) - 1) * q
    lo = math.floor(k)
    hi = min(lo + 1, len(s) - 1)
    return s[lo] + (s[hi] - s[lo]) * (k - lo)


def run_cell(orvane, tmp, rate, f0, f, loss, burst, duration, seed, harmonic):
    pcap = os.path.join(tmp, "cell.pcap")
    out = os.path.join(tmp, "cell.csv")
    publish = [orvane, "sv-publish", "--signal", "steady", "--frequency", repr(f), "--nominal-frequency", repr(f0),
               "--amplitude", repr(AMPLITUDE), "--duration", repr(duration), "--start-time", str(START),
               "--rate", str(rate), "--asdus", str(burst), "--lose", repr(loss), "--fault-seed", str(seed),
               "--pcap", pcap]
    if harmonic:
        # A 1 % harmonic: the reference stays the fundamental's phasor.
        publish += ["--harmonic-order", str(harmonic), "--harmonic-fraction", "0.01"]
    subprocess.run(publish, check=True, capture_output=True, text=True)
    measure = [orvane, "run", "--sv-pcap", pcap, "--build", "auto", "--nominal-frequency", repr(f0), "--quality",
               "--reports-only", "--output", out]
    done = subprocess.run(measure, check=True, capture_output=True, text=True)
    bridged_share = 0.0
    m = re.search(r"([0-9.]+) % rest on gaps within the bridge's proven span", done.stderr)
    if m:
        bridged_share = float(m.group(1)) / 100.0
    midnight = START - START % 86400
    # The angle's offset at the stream's midnight, exactly: (f - f0) * midnight cycles.
    offset = Fraction(repr(f)) - Fraction(repr(f0))
    cycles0 = float((offset * midnight) % 1)
    tve, fe, rfe = [], [], []
    flagged_fe, flagged_rfe = [], []
    reports = unusable = 0
    with open(out, newline="") as fh:
        for row in csv.DictReader(fh):
            t = float(row["timestamp"])
            if t < 80000.0 + 1.0:
                continue
            reports += 1
            # The quality word: "do not use" is start-up, missing, restarted,
            # non-finite or absent; bridged within the proven span is usable.
            flagged = (int(float(row["quality"])) & DO_NOT_USE) != 0
            if flagged:
                unusable += 1
                # Measured all the same: how far the bridge holds past its span.
                flagged_fe.append(abs(float(row["frequency"]) - f))
                flagged_rfe.append(abs(float(row["rocof"])))
                continue
            angle = 2 * math.pi * (cycles0 + float(offset) * t)
            mag, ang = float(row["magnitude"]), float(row["angle"])
            dx = mag * math.cos(ang) - AMPLITUDE * math.cos(angle)
            dy = mag * math.sin(ang) - AMPLITUDE * math.sin(angle)
            tve.append(math.hypot(dx, dy) / AMPLITUDE)
            fe.append(abs(float(row["frequency"]) - f))
            rfe.append(abs(float(row["rocof"])))
    return {
        "reports": reports,
        "unusable": unusable / max(reports, 1),
        "bridged": bridged_share,
        "tve": (max(tve, default=float("nan")), percentile(tve, 0.99)),
        "fe": (max(fe, default=float("nan")), percentile(fe, 0.99)),
        "rfe": (max(rfe, default=float("nan")), percentile(rfe, 0.99)),
        "flagged": (max(flagged_fe, default=0.0), max(flagged_rfe, default=0.0)),
    }


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--orvane", default=os.path.join(os.path.dirname(__file__), "..", "build", "orvane"))
    ap.add_argument("--full", action="store_true", help="the whole grid (long)")
    ap.add_argument("--duration", type=float, default=10.0, help="seconds of signal per cell (default 10)")
    ap.add_argument("--markdown", help="also write the table here")
    ap.add_argument("--harmonic", type=int, default=0, help="add a 1 %% harmonic of this order to the signal")
    ap.add_argument("--rates", help="sample rates, comma-separated (default 4000,4800)")
    ap.add_argument("--losses", help="loss rates as fractions, comma-separated (0 for a loss-free baseline)")
    ap.add_argument("--bursts", help="burst lengths, comma-separated")
    args = ap.parse_args()

    if args.full:
        rates = [4000, 4800]
        nominals = [50.0, 60.0]
        offsets = [-2.0, -1.5, -1.0, -0.5, 0.0, 0.5, 1.0, 1.5, 2.0]
        losses = [0.001, 0.005, 0.01, 0.02]
        bursts = list(range(1, 9))
    else:
        rates = [4000, 4800]
        nominals = [50.0, 60.0]
        offsets = [-2.0, 0.0, 1.5]
        losses = [0.005, 0.02]
        bursts = [1, 4, 8]
    if args.rates:
        rates = [int(x) for x in args.rates.split(",")]
    if args.losses:
        losses = [float(x) for x in args.losses.split(",")]
    if args.bursts:
        bursts = [int(x) for x in args.bursts.split(",")]

    header = ("| Fs | f0 | loss | burst | worst f | TVE worst / p99 (%) | FE worst / p99 (mHz) | "
              "RFE worst / p99 (Hz/s) | do not use | bridged | do not use: worst FE (mHz) / RFE (Hz/s) |")
    lines = [header, "|" + "---|" * 11]
    print(header, flush=True)
    began = time.time()
    seed = 1
    with tempfile.TemporaryDirectory() as tmp:
        for rate in rates:
            for f0 in nominals:
                for loss in losses:
                    for burst in bursts:
                        # One row per (rate, f0, loss, burst): the worst over the frequencies.
                        worst = None
                        for off in offsets:
                            f = f0 + off
                            r = run_cell(args.orvane, tmp, rate, f0, f, loss, burst, args.duration, seed, args.harmonic)
                            seed += 1
                            r["f"] = f
                            if worst is None:
                                worst = dict(r)
                                continue
                            # Each figure's worst over the frequencies; f where FE peaks.
                            for key in ("tve", "rfe"):
                                worst[key] = tuple(max(a, b) for a, b in zip(worst[key], r[key]))
                            if r["fe"][0] > worst["fe"][0]:
                                worst["f"] = f
                            worst["fe"] = tuple(max(a, b) for a, b in zip(worst["fe"], r["fe"]))
                            worst["unusable"] = max(worst["unusable"], r["unusable"])
                            worst["bridged"] = max(worst["bridged"], r["bridged"])
                            worst["flagged"] = tuple(max(a, b) for a, b in zip(worst["flagged"], r["flagged"]))
                        w = worst
                        ok = w["tve"][0] <= TVE_LIMIT and w["fe"][0] <= FE_LIMIT and w["rfe"][0] <= RFE_LIMIT
                        line = ("| %d | %g | %g %% | %d | %g | %.3f / %.3f | %.2f / %.2f | %.3f / %.3f | %.2f %% | "
                                "%.1f %% | %.2f / %.3f |%s" % (rate, f0, loss * 100, burst, w["f"], w["tve"][0] * 100,
                                                 w["tve"][1] * 100, w["fe"][0] * 1000, w["fe"][1] * 1000,
                                                 w["rfe"][0], w["rfe"][1], w["unusable"] * 100,
                                                 w["bridged"] * 100, w["flagged"][0] * 1000, w["flagged"][1],
                                                 "" if ok else " over"))
                        lines.append(line)
                        print(line, flush=True)
    print("%.0f s" % (time.time() - began), file=sys.stderr)
    if args.markdown:
        with open(args.markdown, "w") as fh:
            fh.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
