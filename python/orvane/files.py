"""Files the tool reads and writes: COMTRADE recordings, sample CSV, output
CSV and synchrophasor frame files."""

from __future__ import annotations

import datetime as _dt
import math
import os
import warnings
from dataclasses import dataclass
from typing import List, Optional, Sequence, Tuple

import numpy as np

from . import _orvane
from .pmu import Measurements, OrvaneWarning, build_rate, run


def _path(path) -> str:
    return os.fspath(path)


@dataclass
class Recording:
    """A COMTRADE recording's three phase channels.

    Attributes
    ----------
    phases : ndarray, shape (n, 3)
        Scaled values a·raw + b of phases a, b, c on the chosen side, as
        recorded; NaN where the file marks a value missing.
    time : ndarray, shape (n,)
        Each sample's time in s since UTC midnight of the recording's first
        day (the model's ``Time``).
    rate : float
        Highest sampling rate, Hz.
    sections : list of (first, count, rate)
        Sampling-rate sections (rate 0: timed by timestamps).
    start : datetime.datetime
        Absolute UTC time of the first sample.
    epoch_of_origin : int
        Seconds from 1970 to the midnight that `time` counts from.
    channels : list of str
        Every analog channel's name.
    phase_channels : list of str
        The channels taken as phases a, b, c.
    line_frequency : float
        Hz; NaN when the file does not say.
    station, device : str
    revision : int
        1991, 1999 or 2013.
    build : str or None
        The build the samples below were brought to, when one was asked for.
    model_phases, model_time : ndarray or None
        The samples as the model gets them at that build's rate (passed
        through bit for bit at the build's rate, resampled otherwise).
    """

    phases: np.ndarray
    time: np.ndarray
    rate: float
    sections: List[Tuple[int, int, float]]
    start: _dt.datetime
    epoch_of_origin: int
    channels: List[str]
    phase_channels: List[str]
    line_frequency: float
    station: str
    device: str
    revision: int
    build: Optional[str] = None
    model_phases: Optional[np.ndarray] = None
    model_time: Optional[np.ndarray] = None

    @property
    def nominal_frequency(self) -> float:
        """The line frequency when it is 50 or 60 Hz; else the nearer of the
        two (59.94 -> 60), or 50 for a blank or zero one, as the tool takes it."""
        return _orvane.nominal_for_line_frequency(self.line_frequency, "")[0]


def auto_build(rate: float) -> str:
    """The build for a recording at `rate` Hz: the one at that rate or the
    nearest above it, the fastest for anything faster (``--build auto``)."""
    if rate <= 4000.0:
        return "4k"
    if rate <= 10000.0:
        return "10k"
    return "14p4k"


def read_comtrade(path, *, phases: Optional[Sequence[str]] = None, secondary: bool = False,
                  build: Optional[str] = None) -> Recording:
    """Read a COMTRADE recording (1991, 1999, 2013; ``.cfg`` + ``.dat`` or ``.cff``).

    Parameters
    ----------
    path : str or os.PathLike
        The ``.cfg`` (its ``.dat`` beside it) or the ``.cff``.
    phases : sequence of 3 str, optional
        Channels for phases a, b, c by name or 1-based number (``--phases``).
    secondary : bool
        Values on the transformer's secondary side (``--secondary``).
    build : {"10k", "14p4k", "4k", "auto"}, optional
        Also bring the samples to this build's rate (``model_phases``,
        ``model_time``); "auto" picks the build as ``--build auto`` does.

    Returns
    -------
    Recording

    Raises
    ------
    FileNotFoundError
        A missing file.
    ValueError
        A malformed recording: the message names file, line and field, as
        the tool prints it.
    """
    path = _path(path)
    names = [str(p) for p in phases] if phases is not None else []
    rate = 0.0
    if build is not None and build != "auto":
        rate = build_rate(build)
    d = _orvane.read_comtrade(path, names, bool(secondary), rate)
    if build == "auto":
        build = auto_build(d["max_rate"])
        d = _orvane.read_comtrade(path, names, bool(secondary), build_rate(build))
    for note in d["notes"]:
        warnings.warn(note, OrvaneWarning, stacklevel=2)
    time = d["time"]
    first = time[0] if len(time) else 0.0
    whole = math.floor(first)
    start = (_dt.datetime.fromtimestamp(d["epoch_of_origin"] + whole, tz=_dt.timezone.utc)
             + _dt.timedelta(seconds=float(first - whole)))
    return Recording(phases=d["phases"], time=time, rate=d["max_rate"], sections=list(d["sections"]), start=start,
                     epoch_of_origin=d["epoch_of_origin"], channels=list(d["channels"]),
                     phase_channels=list(d["phase_channels"]), line_frequency=d["line_frequency"],
                     station=d["station"], device=d["device"], revision=d["revision"], build=build,
                     model_phases=d.get("build_phases"), model_time=d.get("build_time"))


def measure_comtrade(path, *, build: str = "10k", phases: Optional[Sequence[str]] = None, secondary: bool = False,
                     report_rate: int = 50, nominal_frequency: Optional[float] = None, report_mode: int = 1,
                     magnitude_coeffs=(0.0, 0.0, 1.0), phase_coeffs=(0.0, 0.0, 0.0), reports_only: bool = False,
                     as_frame: bool = False, deliverable: Optional[str] = None, in_process: bool = False):
    """Measure a recording as ``orvane run --comtrade PATH`` does.

    Parameters
    ----------
    path : str or os.PathLike
        The recording.
    build : {"10k", "14p4k", "4k", "auto"}
        Sample-rate build; "auto" picks it from the recording's rate.
    phases, secondary
        As for :func:`read_comtrade`.
    report_rate, nominal_frequency, report_mode, magnitude_coeffs, phase_coeffs
        Configuration ports of every sample; `nominal_frequency` defaults
        to the recording's line frequency when that is 50 or 60 Hz, else to
        the nearer of the two (50 for a blank or zero one), said once by an
        :class:`OrvaneWarning`.
    reports_only, as_frame, deliverable, in_process
        As for :func:`orvane.run`.

    Returns
    -------
    Measurements or pandas.DataFrame
    """
    rec = read_comtrade(path, phases=phases, secondary=secondary, build=build)
    f0 = nominal_frequency
    if f0 is None:
        f0, note = _orvane.nominal_for_line_frequency(rec.line_frequency, os.fspath(path))
        if note:
            warnings.warn(note, OrvaneWarning, stacklevel=2)
    return run(rec.model_phases, rec.model_time, build=rec.build, report_rate=report_rate, nominal_frequency=f0,
               report_mode=report_mode, magnitude_coeffs=magnitude_coeffs, phase_coeffs=phase_coeffs,
               reports_only=reports_only, as_frame=as_frame, deliverable=deliverable, in_process=in_process)


def read_samples(path) -> dict:
    """Read a sample CSV as ``orvane run --input`` reads it.

    Returns
    -------
    dict
        ``phases`` (n, 3), ``time``, ``report_rate`` (int32),
        ``magnitude_coeffs`` (n, 3), ``phase_coeffs`` (n, 3),
        ``nominal_frequency`` and ``report_mode`` (bool): the keyword
        arguments of :func:`orvane.run`, so ``orvane.run(**read_samples(p))``
        measures the file.

    Raises
    ------
    FileNotFoundError
        A missing file.
    ValueError
        A fault in the file, named with file, line and column.
    """
    return _orvane.read_sample_csv(_path(path))


def write_csv(path, outputs, *, reports_only: bool = False) -> None:
    """Write measurements as the output CSV ``orvane run`` writes, byte for byte.

    The file appears only when everything was written (it is written under
    a temporary name and renamed).

    Parameters
    ----------
    path : str or os.PathLike
        Output file.
    outputs : Measurements or pandas.DataFrame
        With the seven output columns.
    reports_only : bool
        Keep only the report instants.

    Raises
    ------
    OSError
        The file cannot be written.
    """
    cols = [np.asarray(outputs[c] if not isinstance(outputs, Measurements) else getattr(outputs, c))
            for c in Measurements.COLUMNS]
    _orvane.write_output_csv(_path(path), *cols, bool(reports_only))


def read_c37118(path, *, as_frame: bool = False):
    """Read a file of IEEE C37.118.2 frames, as ``orvane run --c37118`` writes them.

    Each data frame gives one row: its first PMU block under the
    configuration frame before it.

    Returns
    -------
    dict of ndarray or pandas.DataFrame
        ``time`` (SOC + FRACSEC/TIME_BASE, s since 1970), ``soc``,
        ``fracsec``, ``magnitude`` (RMS, as frames carry it), ``angle``
        (rad), ``frequency`` (Hz), ``rocof`` (Hz/s), ``stat``,
        ``config_count`` (CFGCNT in force).

    Raises
    ------
    FileNotFoundError
        A missing file.
    ValueError
        A frame that fails its checks, or a file that ends inside a frame.
    """
    d = _orvane.read_c37118(_path(path))
    if as_frame:
        import pandas as pd
        return pd.DataFrame(d)
    return d
