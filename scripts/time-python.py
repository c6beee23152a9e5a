#!/usr/bin/python3
"""Times the Python package against the tool.

    scripts/time-python.py [BUILD_DIR] [--seconds S] [--recordings N] [--recording-seconds S]

1. Per-sample cost: S seconds (default 60) of the steady signal at 10 kHz
   through `orvane run --output FILE` and through `orvane.run` (arrays in,
   arrays out), and `orvane.run` plus `orvane.write_csv` (the same file).
2. An archive of N recordings (default 8) of S seconds each (default 30) at
   4800 Hz, measured by `orvane.dask.measure_archive` on a local cluster of
   one worker process and of two: wall time of each and their ratio.
"""

import argparse
import os
import resource
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import numpy as np


def best_of(runs, action):
    """Least wall time and least CPU time (this process and its children)."""
    walls, cpus = [], []
    for _ in range(runs):
        began = time.perf_counter()
        cpu = cpu_seconds()
        action()
        walls.append(time.perf_counter() - began)
        cpus.append(cpu_seconds() - cpu)
    return min(walls), min(cpus)


def cpu_seconds():
    own = resource.getrusage(resource.RUSAGE_SELF)
    children = resource.getrusage(resource.RUSAGE_CHILDREN)
    return own.ru_utime + own.ru_stime + children.ru_utime + children.ru_stime


def write_recording(stem, rate, seconds):
    n = int(rate * seconds)
    t = np.arange(n) / rate
    raw = [np.round(100.0 * np.cos(2 * np.pi * 50.2 * t + k * 2 * np.pi / 3) / 0.01).astype(int) for k in (0, -1, 1)]
    channels = "".join(f"{i},V{p},{p},,V,0.01,0,0,-99999,99999,1,1,P\n" for i, p in enumerate("ABC", 1))
    stem.with_suffix(".cfg").write_text(f"STATION,REC,1999\n3,3A,0D\n{channels}50\n1\n{rate},{n}\n"
                                        "08/12/2026,10:00:00.000000\n08/12/2026,10:00:00.000000\nASCII\n1\n")
    index = np.arange(1, n + 1)
    stamps = np.round(np.arange(n) * 1e6 / rate).astype(int)
    np.savetxt(stem.with_suffix(".dat"), np.column_stack([index, stamps, *raw]), fmt="%d", delimiter=",")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir", nargs="?", default="build")
    parser.add_argument("--seconds", type=float, default=60.0)
    parser.add_argument("--recordings", type=int, default=8)
    parser.add_argument("--recording-seconds", type=float, default=30.0)
    args = parser.parse_args()
    build = Path(args.build_dir).resolve()
    sys.path.insert(0, str(build / "python"))
    import orvane
    from distributed import Client, LocalCluster
    from orvane.dask import measure_archive

    with tempfile.TemporaryDirectory() as scratch:
        scratch = Path(scratch)
        s = orvane.signal("steady", duration=args.seconds)
        n = len(s.time)
        tool = best_of(3, lambda: subprocess.run(
            [str(build / "orvane"), "run", "--signal", "steady", "--duration", str(args.seconds), "--output",
             str(scratch / "tool.csv")], check=True))
        arrays = best_of(3, lambda: orvane.run(s.phases, s.time, **s.ports))
        with_csv = best_of(3, lambda: orvane.write_csv(scratch / "py.csv", orvane.run(s.phases, s.time, **s.ports)))
        same = (scratch / "py.csv").read_bytes() == (scratch / "tool.csv").read_bytes()
        print(f"{n} samples at 10 kHz (best of 3; wall and CPU time, ns per sample by CPU time):")
        for label, (wall, cpu) in (("orvane run --signal steady --output FILE", tool), ("orvane.run (arrays)", arrays),
                                   ("orvane.run + orvane.write_csv", with_csv)):
            print(f"  {label:42s} wall {wall:6.3f} s  CPU {cpu:6.3f} s  {cpu / n * 1e9:5.0f} ns/sample")
        print(f"  (the two files identical: {same})")

        folder = scratch / "archive"
        folder.mkdir()
        for i in range(args.recordings):
            write_recording(folder / f"rec{i:02d}", 4800, args.recording_seconds)
        walls = {}
        for workers in (1, 2):
            with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                              dashboard_address=None) as cluster, Client(cluster) as client:
                client.run(lambda: __import__("orvane"))  # loaded before the clock starts
                began = time.perf_counter()
                table = measure_archive([folder], client, scratch / f"out{workers}")
                walls[workers] = time.perf_counter() - began
                assert (table.error == "").all(), table.error
        print(f"load average {os.getloadavg()[0]:.1f} on {os.cpu_count()} cores")
        print(f"archive of {args.recordings} recordings of {args.recording_seconds:g} s at 4800 Hz (10k build):")
        print(f"  one worker {walls[1]:.2f} s, two workers {walls[2]:.2f} s, ratio {walls[1] / walls[2]:.2f}")


if __name__ == "__main__":
    main()
