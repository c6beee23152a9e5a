"""Archives of recordings measured on a Dask cluster.

Each recording becomes one task on one worker: read, measured with a fresh
model instance and written as ``OUTPUT_DIR/NAME.out.csv`` (what ``orvane
run --comtrade NAME.cfg --output-dir OUTPUT_DIR`` writes). A recording that
fails is a row in the returned table with its message; the others go on.
"""

from __future__ import annotations

import os
import shutil
import tempfile
import time
from pathlib import Path
from typing import Iterable, List, Optional, Sequence

_RECORDING_SUFFIXES = (".cfg", ".cff", ".csv")
COLUMNS = ("file", "output", "build", "samples", "reports", "seconds", "error", "warnings")


def output_name(path) -> str:
    """``X.cfg``, ``X.cff`` or ``X.csv`` -> ``X.out.csv``."""
    return Path(path).stem + ".out.csv"


def recordings_in(paths: Iterable) -> List[str]:
    """The recordings named, with folders opened (their ``.cfg``, ``.cff``
    and ``.csv`` files, sorted)."""
    found: List[str] = []
    for p in map(Path, paths):
        if p.is_dir():
            found += sorted(str(f) for f in p.iterdir() if f.suffix.lower() in _RECORDING_SUFFIXES)
        else:
            found.append(str(p))
    return found


def _companions(path: str) -> List[str]:
    """The files a recording consists of: a ``.cfg`` and its ``.dat``."""
    p = Path(path)
    if p.suffix.lower() != ".cfg":
        return [path]
    data = [f for f in p.parent.glob(p.stem + ".*") if f.suffix.lower() == ".dat"]
    return [path] + [str(f) for f in data[:1]]


def measure_file(path: str, output_dir: str, options: dict, payload: Optional[dict] = None) -> dict:
    """Measure one recording or sample CSV into ``output_dir``; never raises.

    `payload`, when given, maps file names to their bytes: the recording
    travels with the task (for workers that cannot see the file), is
    written to a scratch folder and measured there. The output goes to the
    worker's `output_dir`.
    """
    row = {"file": path, "output": str(Path(output_dir) / output_name(path)), "build": None, "samples": 0,
           "reports": 0, "seconds": 0.0, "error": "", "warnings": ""}
    began = time.perf_counter()
    caught = []
    try:
        import warnings

        import orvane
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always", orvane.OrvaneWarning)
            _measure(path, output_dir, options, payload, row)
    except Exception as e:  # every failure is the file's row, never the archive's end
        row["error"] = str(e) or type(e).__name__
    row["warnings"] = " | ".join(str(w.message) for w in caught)
    for key in ("error", "warnings"):
        if row.get("_scratch"):  # name the files as the caller knows them
            row[key] = row[key].replace(row["_scratch"], str(Path(path).parent))
    row.pop("_scratch", None)
    row["seconds"] = time.perf_counter() - began
    return row


def _measure(path: str, output_dir: str, options: dict, payload: Optional[dict], row: dict) -> None:
    scratch = None
    try:
        import orvane
        local = path
        if payload is not None:
            scratch = tempfile.mkdtemp(prefix="orvane-")
            row["_scratch"] = scratch
            for name, data in payload.items():
                Path(scratch, name).write_bytes(data)
            local = str(Path(scratch, Path(path).name))
        build = options.get("build", "auto")
        run_options = {k: options[k] for k in ("report_rate", "report_mode", "magnitude_coeffs", "phase_coeffs",
                                               "deliverable", "in_process") if k in options}
        if local.lower().endswith(".csv"):
            # Opened as `orvane run --input` opens it: the rate found and
            # checked, resampled under "auto"; a plain three-phase CSV takes
            # the ports of the options, a 13-column one has its own.
            samples = orvane.read_samples(local, phases=options.get("phases"), build=build)
            if "report_rate" not in samples:
                samples.update({k: run_options[k] for k in ("report_rate", "report_mode", "magnitude_coeffs",
                                                            "phase_coeffs") if k in run_options})
                if options.get("nominal_frequency"):
                    samples["nominal_frequency"] = options["nominal_frequency"]
            for k in ("deliverable", "in_process"):
                if k in run_options:
                    samples[k] = run_options[k]
            out = orvane.run(**samples)
            row["build"] = samples["build"]
        else:
            rec = orvane.read_comtrade(local, phases=options.get("phases"), secondary=options.get("secondary", False),
                                       build=build)
            f0 = options.get("nominal_frequency") or rec.nominal_frequency
            out = orvane.run(rec.model_phases, rec.model_time, build=rec.build, nominal_frequency=f0, **run_options)
            row["build"] = rec.build
        Path(output_dir).mkdir(parents=True, exist_ok=True)
        orvane.write_csv(row["output"], out, reports_only=options.get("reports_only", False))
        row["samples"] = len(out)
        row["reports"] = int(out.report_strobe.sum())
    finally:
        if scratch is not None:
            shutil.rmtree(scratch, ignore_errors=True)


def measure_archive(paths: Sequence, client, output_dir, *, build: str = "auto", reports_only: bool = False,
                    phases: Optional[Sequence[str]] = None, secondary: bool = False, report_rate: int = 50,
                    nominal_frequency: Optional[float] = None, report_mode: int = 1,
                    magnitude_coeffs=(0.0, 0.0, 1.0), phase_coeffs=(0.0, 0.0, 0.0), send_bytes: bool = False,
                    deliverable: Optional[str] = None, in_process: bool = False, timeout: Optional[float] = None):
    """Measure recordings on a Dask cluster, one task per recording.

    Parameters
    ----------
    paths : sequence of str or os.PathLike
        Recordings (``.cfg`` with ``.dat``, ``.cff``) or sample CSV files,
        and folders of them.
    client : distributed.Client
        The cluster's client.
    output_dir : str or os.PathLike
        Folder for the outputs, ``NAME.out.csv`` each, as the workers see
        it (a shared file system on a real cluster).
    build : {"auto", "10k", "14p4k", "4k"}
        "auto": each recording's own rate or the next build above it.
    reports_only : bool
        Only report instants in the outputs.
    phases, secondary, report_rate, nominal_frequency, report_mode, magnitude_coeffs, phase_coeffs
        As for :func:`orvane.measure_comtrade`.
    send_bytes : bool
        Read each recording here and send its bytes with the task, for
        workers that do not see the files.
    deliverable, in_process
        Which road to the model, as for :func:`orvane.run` (a deliverable
        path must exist on every worker).
    timeout : float, optional
        Seconds to wait for all tasks; the unfinished ones are reported as
        failed.

    Returns
    -------
    pandas.DataFrame
        One row per recording, in the order given: ``file``, ``output``,
        ``build``, ``samples``, ``reports``, ``seconds`` (on its worker),
        ``error`` (empty when done), ``warnings`` (the input checks'
        warnings, " | " between them, empty when none).

    Raises
    ------
    ValueError
        Two recordings whose outputs would have the same name; a report
        rate outside 1..1200 or a nominal frequency outside 45..65 Hz.
    """
    import pandas as pd
    from distributed import wait

    from . import _orvane
    # The options' ranges, as the tool checks them, before anything runs.
    for text in (_orvane.report_rate_error(float(report_rate)),
                 "" if nominal_frequency is None else _orvane.nominal_frequency_error(float(nominal_frequency))):
        if text:
            raise ValueError(text)
    files = recordings_in(paths)
    seen = {}
    for f in files:
        name = output_name(f)
        if name in seen:
            raise ValueError(f"{seen[name]} and {f} would both write {name}")
        seen[name] = f
    output_dir = os.fspath(output_dir)
    options = {"build": build, "reports_only": reports_only, "phases": list(phases) if phases else None,
               "secondary": secondary, "report_rate": report_rate, "nominal_frequency": nominal_frequency,
               "report_mode": report_mode, "magnitude_coeffs": list(magnitude_coeffs),
               "phase_coeffs": list(phase_coeffs), "in_process": in_process}
    if deliverable is not None:
        options["deliverable"] = os.fspath(deliverable)

    rows = {}
    futures = {}
    for f in files:
        payload = None
        if send_bytes:
            try:
                payload = {Path(p).name: Path(p).read_bytes() for p in _companions(f)}
            except OSError as e:
                rows[f] = {"file": f, "output": "", "build": None, "samples": 0, "reports": 0, "seconds": 0.0,
                           "error": str(e), "warnings": ""}
                continue
        future = client.submit(measure_file, f, output_dir, options, payload, pure=False)
        futures[future] = f
    try:
        wait(list(futures), timeout=timeout)
    except TimeoutError:
        pass
    for future, f in futures.items():
        if f in rows:
            continue
        if not future.done():
            future.cancel()
            rows[f] = {"file": f, "output": "", "build": None, "samples": 0, "reports": 0, "seconds": 0.0,
                       "error": f"not finished within {timeout} s", "warnings": ""}
            continue
        try:
            rows[f] = future.result()
        except Exception as e:  # the worker died under the task
            rows[f] = {"file": f, "output": "", "build": None, "samples": 0, "reports": 0, "seconds": 0.0,
                       "error": f"the task failed on its worker: {e!r}", "warnings": ""}
    return pd.DataFrame([rows[f] for f in files], columns=list(COLUMNS))
