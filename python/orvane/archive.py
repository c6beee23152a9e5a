"""Measure an archive of recordings on a Dask cluster.

    python3 -m orvane.archive --output-dir OUT [--scheduler tcp://HOST:8786 | --workers N]
                              [--build auto|10k|14p4k|4k] [--reports-only] [--send-bytes]
                              [--report-rate N] [--nominal-frequency HZ] [--phases A,B,C] [--timeout S] PATH...

PATH: recordings (.cfg with .dat, .cff), sample CSV files, or folders of
them. Without --scheduler a local cluster of N worker processes is started.
Prints one line per recording and a summary; writes the table to
OUT/archive.csv. Exit status 0 when every recording was measured, 1 when
any failed, 2 on bad usage.
"""

from __future__ import annotations

import argparse
import sys
from pathlib import Path


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(prog="python3 -m orvane.archive",
                                     description="Measure recordings on a Dask cluster, one task per recording.")
    parser.add_argument("paths", nargs="+", help="recordings, sample CSV files or folders of them")
    parser.add_argument("--output-dir", required=True, help="folder for NAME.out.csv and archive.csv")
    where = parser.add_mutually_exclusive_group()
    where.add_argument("--scheduler", help="address of a running scheduler, e.g. tcp://10.0.0.5:8786")
    where.add_argument("--workers", type=int, default=2, help="worker processes of a local cluster (default 2)")
    parser.add_argument("--build", default="auto", choices=["auto", "10k", "14p4k", "4k"])
    parser.add_argument("--reports-only", action="store_true")
    parser.add_argument("--send-bytes", action="store_true",
                        help="send each recording's bytes with its task (workers without the files)")
    parser.add_argument("--report-rate", type=int, default=50)
    parser.add_argument("--nominal-frequency", type=float)
    parser.add_argument("--timeout", type=float, help="seconds to wait for the whole archive")
    parser.add_argument("--phases", help="phase columns (plain CSV) or channels (recordings) A,B,C")
    args = parser.parse_args(argv)
    if args.workers < 1:
        parser.error("--workers must be at least 1")
    from . import _orvane
    for text in (_orvane.report_rate_error(float(args.report_rate)),
                 "" if args.nominal_frequency is None else _orvane.nominal_frequency_error(args.nominal_frequency)):
        if text:
            parser.error(text)

    from distributed import Client, LocalCluster

    from .dask import measure_archive

    cluster = None
    if args.scheduler:
        client = Client(args.scheduler, timeout=30)
    else:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                               dashboard_address=None)
        client = Client(cluster)
    try:
        table = measure_archive(args.paths, client, args.output_dir, build=args.build,
                                reports_only=args.reports_only, send_bytes=args.send_bytes,
                                report_rate=args.report_rate, nominal_frequency=args.nominal_frequency,
                                phases=args.phases.split(",") if args.phases else None,
                                timeout=args.timeout)
    except ValueError as e:
        print(f"orvane.archive: {e}", file=sys.stderr)
        return 2
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    for row in table.itertuples():
        if row.error:
            print(f"{row.file}: FAILED: {row.error}")
        else:
            print(f"{row.file}: done, {row.samples} samples at the {row.build} build in {row.seconds:.2f} s "
                  f"-> {row.output}")
        if row.warnings:
            for line in row.warnings.split(" | "):
                print(f"{row.file}: warning: {line}")
    failed = table[table.error != ""]
    Path(args.output_dir).mkdir(parents=True, exist_ok=True)
    table.to_csv(Path(args.output_dir) / "archive.csv", index=False)
    print(f"{len(table) - len(failed)} of {len(table)} files done" +
          (f"; failed: {', '.join(failed.file)}" if len(failed) else ""))
    return 1 if len(failed) else 0


if __name__ == "__main__":
    sys.exit(main())
