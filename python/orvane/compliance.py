"""The P-class test plan (``orvane compliance``) as Python objects."""

from __future__ import annotations

import json
import os
import warnings
from typing import Optional

from . import _orvane
from .pmu import OrvaneWarning, build_rate, deliverable_path


def _integer(name: str, value, low: int, high: int) -> int:
    if isinstance(value, bool) or not isinstance(value, int) or not low <= value <= high:
        raise ValueError(f"option '--{name}': '{value}' is not an integer from {low} to {high}")
    return value


def compliance(build: str = "10k", *, nominal_frequency: int = 50, report_rate: Optional[int] = None,
               estimator: str = "both", quick: bool = False, step_positions: int = 20, start_time: int = 1000,
               deliverable: Optional[str] = None, in_process: bool = False) -> dict:
    """Run the P-class test plan and return every figure.

    The same plan and the same evaluation as ``orvane compliance --json``;
    the result is that JSON document read into dicts and lists (NaN and
    infinity as None).

    Parameters
    ----------
    build : {"10k", "14p4k", "4k"}
        Sample-rate build under test.
    nominal_frequency : {50, 60}
        f0, Hz.
    report_rate : int, optional
        Reports per second, 1..1200 (default f0).
    estimator : {"both", "model", "reference"}
        Which estimators to run.
    quick : bool
        The reduced plan.
    step_positions : int
        Runs per step, 10..1000.
    start_time : int
        Whole second at which every signal starts.
    deliverable : str, optional
        Another deliverable file to test.
    in_process : bool
        The model linked in, no deliverable.

    Returns
    -------
    dict
        ``settings``, ``run``, ``limits``, ``summary``, ``latency``,
        ``steps``, ``cases`` (see docs/compliance.md, JSON).

    Warns
    -----
    OrvaneWarning
        A report rate beyond the build's reporting capacity (the tool's
        words): the plan still runs, and fails for it.

    Raises
    ------
    ValueError
        A setting out of range (the tool's message).
    OSError
        The deliverable is missing or does not load.
    RuntimeError
        The model failed during the plan.
    """
    if deliverable is not None and in_process:
        raise ValueError("give either --deliverable or --in-process, not both")
    nominal = _integer("nominal-frequency", nominal_frequency, 50, 60)
    if nominal not in (50, 60):
        raise ValueError("option '--nominal-frequency' must be 50 or 60")
    positions = _integer("step-positions", step_positions, 10, 1000)
    start = _integer("start-time", start_time, 0, 1000000)
    rate = _integer("report-rate", nominal if report_rate is None else report_rate, 1, 1200)
    beyond = _orvane.reporting_capacity_problem(build_rate(build), rate)
    if beyond:
        warnings.warn(beyond + "; the plan runs and will fail for it", OrvaneWarning, stacklevel=2)
    caution = _orvane.reporting_capacity_caution(build_rate(build), rate)
    if caution:
        warnings.warn(caution, OrvaneWarning, stacklevel=2)
    if estimator not in ("model", "reference", "both"):
        raise ValueError(f"option '--estimator' must be model, reference or both, not '{estimator}'")
    path = ""
    if not in_process and estimator != "reference":
        path = os.fspath(deliverable) if deliverable is not None else deliverable_path(build)
    text = _orvane.compliance_json(build, nominal, rate, estimator, bool(quick), positions, float(start), path,
                                   bool(in_process))
    return json.loads(text)
