"""The measurement model: one instance fed in chunks (`Pmu`), or a whole
signal at once (`run`)."""

from __future__ import annotations

import os
import warnings
from dataclasses import dataclass
from pathlib import Path
from typing import Optional, Sequence, Union

import numpy as np

from . import _build_info, _orvane


class OrvaneWarning(UserWarning):
    """Something the package did as asked but whose result needs a word:
    for example a report rate beyond the build's reporting capacity in the
    compliance plan."""

BUILDS = ("10k", "14p4k", "4k")
"""The sample-rate builds: 10 kHz, 14.4 kHz and 4 kHz."""

_INT32 = (-2147483648, 2147483647)

ArrayLike = Union[np.ndarray, Sequence[float], float]


def build_rate(build: str) -> float:
    """Sample rate of a build in Hz (``"10k"`` -> 10000.0).

    Raises
    ------
    ValueError
        For a tag other than ``"10k"``, ``"14p4k"`` or ``"4k"``.
    """
    return _orvane.build_info(build)["fs"]


def deliverable_path(build: str) -> str:
    """Path of a build's deliverable (``Orvane_10kHz_sf.mexa64`` ...).

    Looked for next to this package first, then in the build directory the
    package was built in (or ``$ORVANE_BUILD_DIR`` when set).

    Raises
    ------
    FileNotFoundError
        When neither place holds it.
    """
    name = _orvane.build_info(build)["sfunction"] + ".mexa64"
    places = [Path(__file__).resolve().parent]
    if os.environ.get("ORVANE_BUILD_DIR"):
        places.append(Path(os.environ["ORVANE_BUILD_DIR"]))
    places.append(Path(_build_info.BUILD_DIR))
    for place in places:
        if (place / name).is_file():
            return str(place / name)
    raise FileNotFoundError(f"{name}: not found next to the orvane package ({places[0]}) nor in the build "
                            f"directory ({places[-1]}); build it with make")


@dataclass
class Measurements:
    """The model's seven outputs, one entry per sample (or per report).

    Attributes
    ----------
    timestamp : ndarray of float64
        s; per sample: ``Time`` minus one period of the tuning frequency;
        at a report: the report instant.
    magnitude : ndarray of float64
        Peak magnitude of the positive sequence, calibration applied.
    angle : ndarray of float64
        rad, against a cosine of the nominal frequency, zero at whole seconds.
    frequency : ndarray of float64
        Hz.
    rocof : ndarray of float64
        Hz/s.
    report_strobe : ndarray of bool
        True at report instants.
    active_report_rate : ndarray of int32
        Reports per second the model is producing.
    """

    timestamp: np.ndarray
    magnitude: np.ndarray
    angle: np.ndarray
    frequency: np.ndarray
    rocof: np.ndarray
    report_strobe: np.ndarray
    active_report_rate: np.ndarray

    COLUMNS = ("timestamp", "magnitude", "angle", "frequency", "rocof", "report_strobe", "active_report_rate")

    def __len__(self) -> int:
        return len(self.timestamp)

    def reports(self) -> "Measurements":
        """Only the samples whose report strobe is set."""
        return self.select(self.report_strobe)

    def select(self, keep) -> "Measurements":
        """The entries a boolean mask or an index array picks."""
        return Measurements(*(getattr(self, c)[keep] for c in self.COLUMNS))

    def to_frame(self):
        """The outputs as a pandas DataFrame, one column per output."""
        import pandas as pd
        return pd.DataFrame({c: getattr(self, c) for c in self.COLUMNS})

    @staticmethod
    def concatenate(parts: Sequence["Measurements"]) -> "Measurements":
        """Chunks' outputs joined in order."""
        return Measurements(*(np.concatenate([getattr(p, c) for p in parts]) for c in Measurements.COLUMNS))


def _numbers(name: str, value, dtype=np.float64) -> np.ndarray:
    array = np.asarray(value)
    if array.dtype.kind not in "biuf":
        try:
            if array.dtype.kind != "O":  # text, complex, dates...
                raise TypeError
            array = array.astype(np.float64)
        except (TypeError, ValueError):
            raise ValueError(f"{name}: the values are not real numbers (found {array.dtype})") from None
    return array.astype(dtype, copy=False)


def _per_sample(name: str, value, n: int, width: int = 0) -> np.ndarray:
    """A port given once or per sample, as an n-row view (no copy for a
    constant)."""
    array = _numbers(name, value)
    one = (width,) if width else ()
    many = (n, width) if width else (n,)
    if array.shape == one:
        return np.broadcast_to(array, many)
    if array.shape == many:
        return array
    wanted = f"{width} values or an array of shape {many}" if width else f"a scalar or an array of {n} values"
    raise ValueError(f"{name} must be {wanted}, not shape {array.shape}")


def _report_rate(value, n: int) -> np.ndarray:
    array = _per_sample("report_rate", value, n)
    bad = ~np.isfinite(array) | (array != np.floor(array))
    if bad.any():
        raise ValueError(f"report_rate '{array[bad][0]!r}' is not an integer")
    outside = (array < _INT32[0]) | (array > _INT32[1])
    if outside.any():
        raise ValueError(f"report_rate '{int(array[outside][0])}' is outside the int32 range "
                         f"{_INT32[0]}..{_INT32[1]}")
    return array.astype(np.int32)


def _report_mode(value, n: int) -> np.ndarray:
    array = _per_sample("report_mode", value, n)
    bad = (array != 0) & (array != 1)
    if bad.any():
        raise ValueError(f"report_mode '{array[bad][0]!r}' is not 0 or 1")
    return array != 0


def _phases(phases) -> np.ndarray:
    array = _numbers("phases", phases)
    if array.ndim != 2 or array.shape[1] != 3:
        raise ValueError(f"phases must have shape (n, 3): one column per phase a, b, c; not {array.shape}")
    return array


class Pmu:
    """One instance of the measurement model, keeping its state across calls.

    Feed a stream chunk by chunk with :meth:`process`: the outputs are the
    same bits as one call over the whole stream. The model runs with
    Python's global interpreter lock released.

    Parameters
    ----------
    build : {"10k", "14p4k", "4k"}
        Sample-rate build; its rate is the rate the samples must have.
    start_time : float
        Absolute time (s) of the first sample when chunks come without
        times: sample k is at ``start_time + k / rate``.
    deliverable : str, optional
        Another deliverable file to load instead of the build's own.
    in_process : bool
        Call the model's methods linked into the package instead of a
        deliverable (same bits, no host in between).

    Raises
    ------
    ValueError
        Unknown build.
    OSError
        The deliverable is missing or does not load.
    RuntimeError
        The block refused to start.

    Examples
    --------
    >>> pmu = orvane.Pmu("10k")
    >>> for chunk in chunks:                      # (n, 3) arrays at 10 kHz
    ...     out = pmu.process(chunk, reports_only=True)
    """

    def __init__(self, build: str = "10k", *, start_time: float = 0.0, deliverable: Optional[str] = None,
                 in_process: bool = False):
        if deliverable is not None and in_process:
            raise ValueError("give either deliverable or in_process, not both")
        info = _orvane.build_info(build)
        self.build = build
        self.rate: float = info["fs"]
        self.start_time = float(start_time)
        path = "" if in_process else (str(deliverable) if deliverable is not None else deliverable_path(build))
        if path and not os.path.exists(path):
            raise FileNotFoundError(f"{path}: no such file")
        self._core = _orvane.PmuCore(build, path, bool(in_process))

    @property
    def samples(self) -> int:
        """Samples processed so far."""
        return self._core.samples

    def process(self, phases: ArrayLike, time: Optional[ArrayLike] = None, *, report_rate: ArrayLike = 50,
                magnitude_coeffs: ArrayLike = (0.0, 0.0, 1.0), phase_coeffs: ArrayLike = (0.0, 0.0, 0.0),
                nominal_frequency: ArrayLike = 50.0, report_mode: ArrayLike = 1, reports_only: bool = False,
                as_frame: bool = False):
        """Run the next samples through the model.

        Parameters
        ----------
        phases : array_like, shape (n, 3)
            Instantaneous phase values a, b, c at the build's sample rate.
        time : array_like, shape (n,), optional
            Absolute time of each sample (s). Default: continue the grid
            ``start_time + k / rate`` after the samples already processed.
        report_rate : int or array_like of int
            Requested reports per second, within int32 (the model clamps to
            1..1200); one value or one per sample.
        magnitude_coeffs : array_like, shape (3,) or (n, 3)
            Magnitude calibration c2, c1, c0 (gain c2·f² + c1·f + c0).
        phase_coeffs : array_like, shape (3,) or (n, 3)
            Phase calibration p2, p1, p0 (rad).
        nominal_frequency : float or array_like
            Hz.
        report_mode : {0, 1} or array_like
            1: report instants on the whole-second grid.
        reports_only : bool
            Keep only the samples whose report strobe is set.
        as_frame : bool
            Return a pandas DataFrame instead of :class:`Measurements`.

        Returns
        -------
        Measurements or pandas.DataFrame

        Raises
        ------
        ValueError
            Wrong shapes, values that are not numbers, a report rate outside
            int32, one report rate for every sample beyond the build's
            reporting capacity (the 4k build produces every report only up
            to 999 per second), a report mode other than 0 or 1.
        RuntimeError
            The block stopped (it takes no further samples).

        Warns
        -----
        OrvaneWarning
            Report rates given per sample that reach beyond the build's
            reporting capacity (passed to the block as they are), and rates
            at which the build skips some instants while the frequency moves
            or after a step (4k above 701 per second, 10k at 1200).
        """
        ph = _phases(phases)
        n = ph.shape[0]
        if time is None:
            k0 = self._core.samples
            t = self.start_time + np.arange(k0, k0 + n, dtype=np.float64) / self.rate
        else:
            t = _numbers("time", time)
            if t.shape != (n,):
                raise ValueError(f"time must have one value per sample ({n}), not shape {t.shape}")
        rates = _report_rate(report_rate, n)
        if n > 0:
            # The block clamps the port to 1..1200; the build's capacity is
            # checked on what it will use, in the tool's words. One rate for
            # every sample is what --report-rate is: refused. A rate per
            # sample is the port itself, as a sample CSV's column: warned.
            problem = _orvane.reporting_capacity_problem(self.rate, int(np.clip(rates.max(), 1, 1200)))
            if problem and np.ndim(report_rate) == 0:
                raise ValueError(problem)
            if problem:
                warnings.warn(problem, OrvaneWarning, stacklevel=3)
            caution = _orvane.reporting_capacity_caution(self.rate, int(np.clip(rates.max(), 1, 1200)))
            if caution:
                warnings.warn(caution, OrvaneWarning, stacklevel=3)
        outputs = self._core.step(
            t, ph, rates, _per_sample("magnitude_coeffs", magnitude_coeffs, n, 3),
            _per_sample("phase_coeffs", phase_coeffs, n, 3), _per_sample("nominal_frequency", nominal_frequency, n),
            _report_mode(report_mode, n))
        result = Measurements(*outputs)
        if reports_only:
            result = result.reports()
        return result.to_frame() if as_frame else result

    def close(self) -> None:
        """Terminate the block (also done when the object goes away)."""
        self._core.close()

    def __enter__(self) -> "Pmu":
        return self

    def __exit__(self, *exc) -> None:
        self.close()


def run(phases: ArrayLike, time: Optional[ArrayLike] = None, *, build: str = "10k", start_time: float = 0.0,
        report_rate: ArrayLike = 50, magnitude_coeffs: ArrayLike = (0.0, 0.0, 1.0),
        phase_coeffs: ArrayLike = (0.0, 0.0, 0.0), nominal_frequency: ArrayLike = 50.0,
        report_mode: ArrayLike = 1, reports_only: bool = False, as_frame: bool = False,
        deliverable: Optional[str] = None, in_process: bool = False):
    """Measure a whole signal with a fresh model instance, like ``orvane run``.

    Parameters
    ----------
    phases : array_like, shape (n, 3)
        Phase values a, b, c at the build's sample rate.
    time : array_like, shape (n,), optional
        Absolute sample times (s); default ``start_time + k / rate``.
    build : {"10k", "14p4k", "4k"}
        Sample-rate build.
    start_time : float
        Time of the first sample when `time` is not given.
    report_rate : int or array_like of int
        Requested reports per second, within int32 (the model clamps to
        1..1200); one value or one per sample, like every port below.
    magnitude_coeffs : array_like, shape (3,) or (n, 3)
        Magnitude calibration c2, c1, c0 (gain c2·f² + c1·f + c0).
    phase_coeffs : array_like, shape (3,) or (n, 3)
        Phase calibration p2, p1, p0 (rad).
    nominal_frequency : float or array_like
        Hz.
    report_mode : {0, 1} or array_like
        1: report instants on the whole-second grid.
    reports_only : bool
        Keep only the report instants (``--reports-only``).
    as_frame : bool
        Return a pandas DataFrame.
    deliverable : str, optional
        Another deliverable file (``--deliverable``).
    in_process : bool
        The model linked in, no deliverable (``--in-process``).

    Returns
    -------
    Measurements or pandas.DataFrame
        Bit for bit what ``orvane run`` writes for the same samples.

    Raises
    ------
    ValueError
        Bad shapes or values (the message says which and why).
    OSError
        The deliverable is missing or does not load.
    RuntimeError
        The block stopped.

    Examples
    --------
    >>> s = orvane.signal("phase-step", duration=2)
    >>> out = orvane.run(s.phases, s.time, **s.ports, reports_only=True)
    >>> out.frequency[-1]
    """
    ph = _phases(phases)
    with Pmu(build, start_time=start_time, deliverable=deliverable, in_process=in_process) as pmu:
        return pmu.process(ph, time, report_rate=report_rate, magnitude_coeffs=magnitude_coeffs,
                           phase_coeffs=phase_coeffs, nominal_frequency=nominal_frequency, report_mode=report_mode,
                           reports_only=reports_only, as_frame=as_frame)
