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


BUILDS = ("10k", "14p4k", "4k")
"""The sample-rate builds: 10 kHz, 14.4 kHz and 4 kHz."""

_INT32 = (-2147483648, 2147483647)

ArrayLike = Union[np.ndarray, Sequence[float], float]


class OrvaneWarning(UserWarning):
    """Something the package did as asked but whose result needs a word,
    with the tool's text: the input checks' warnings (missing values, time
    that stands still or runs back, phases in the wrong order, a Time past
    the report grid, an input shorter than the filters need to settle), a
    report rate beyond the build's reporting capacity (also in the
    compliance plan). Silence or raise them with :mod:`warnings` filters on
    this category."""


def _warn(lines) -> None:
    for line in lines:
        warnings.warn(line, OrvaneWarning, stacklevel=3)


def _option_ranges(report_rate, nominal_frequency) -> None:
    """A port given as one value is an option, checked as the tool checks
    ``--report-rate`` (1..1200) and ``--nominal-frequency`` (45..65 Hz);
    one value per sample is the block's own port (as the columns of a
    13-column sample CSV), which the model clamps."""
    if np.ndim(report_rate) == 0:
        text = _orvane.report_rate_error(float(report_rate))
        if text:
            raise ValueError(text)
    if np.ndim(nominal_frequency) == 0:
        text = _orvane.nominal_frequency_error(float(nominal_frequency))
        if text:
            raise ValueError(text)


def find_rate(time: ArrayLike):
    """The sample rate of sample times, as every road finds it.

    The mean step over the first second of the first even run of samples
    (steps forward and shorter than 5 ms), taken as a whole number of hertz
    when that lies within the resolution of the times (at Unix times near
    1.7e9 s a double resolves 0.24 µs, so one step cannot tell 10 kHz from
    10 010 Hz, but a second of steps can).

    Returns
    -------
    (float, str)
        The rate in Hz (0.0 when fewer than two increasing times) and how it
        was found.
    """
    t = np.ascontiguousarray(_numbers("time", time), dtype=np.float64).reshape(-1)
    return _orvane.find_sample_rate(t)


def _build_for(time, build: str) -> str:
    """``build="auto"``: the build at the rate of the sample times."""
    if time is None:
        raise ValueError("build='auto' needs the sample times (time=...) to find their rate")
    rate, how = find_rate(time)
    if rate == 0.0:
        raise ValueError(f"time: cannot tell the sample rate: {how}")
    tag = _orvane.build_for_rate(rate)
    text = _orvane.rate_against_build(np.ascontiguousarray(time, dtype=np.float64), tag)
    if text:
        raise ValueError(f"time: {text}; no build runs these samples as they are (resample them to a build's "
                         "rate, or write them as a CSV for `orvane run --build auto`, which resamples)")
    return tag


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

    Looked for next to this package first (a wheel), then where an
    installation puts the deliverables relative to the package
    (``/usr/lib/orvane`` beside ``/usr/lib/python3/dist-packages``), then in
    ``$ORVANE_BUILD_DIR`` when set, then in the build directory the package
    was built in.

    Raises
    ------
    FileNotFoundError
        When no place holds it.
    """
    name = _orvane.build_info(build)["sfunction"] + ".mexa64"
    here = Path(__file__).resolve().parent
    places = [here]
    if getattr(_build_info, "DELIVERABLES_FROM_PACKAGE", ""):
        places.append((here / _build_info.DELIVERABLES_FROM_PACKAGE).resolve())
    if os.environ.get("ORVANE_BUILD_DIR"):
        places.append(Path(os.environ["ORVANE_BUILD_DIR"]))
    if _build_info.BUILD_DIR:
        places.append(Path(_build_info.BUILD_DIR))
    for place in places:
        if (place / name).is_file():
            return str(place / name)
    raise FileNotFoundError(f"{name}: not found in {', '.join(str(p) for p in places)}; build it with make, "
                            "or install the orvane package")


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
    quality : ndarray of uint16
        The quality word of each entry, as every output of ``orvane run``
        carries it: 0 when nothing is against the figure, else one bit per
        reason (see ``QUALITY_BITS``); ``do_not_use()`` picks the entries
        not to trust. Here: start-up (the filters filling after the first
        sample) and values that are not finite.
    """

    timestamp: np.ndarray
    magnitude: np.ndarray
    angle: np.ndarray
    frequency: np.ndarray
    rocof: np.ndarray
    report_strobe: np.ndarray
    active_report_rate: np.ndarray
    quality: Optional[np.ndarray] = None

    # The seven output ports, as the output CSV has them.
    COLUMNS = ("timestamp", "magnitude", "angle", "frequency", "rocof", "report_strobe", "active_report_rate")
    # The bits of ``quality``, lowest first.
    QUALITY_BITS = ("start-up", "bridged", "missing", "restarted", "non-finite", "absent", "unsynchronised")
    # The bits that make a figure unusable.
    DO_NOT_USE_MASK = 0b0111101

    def __post_init__(self):
        if self.quality is None:
            self.quality = np.zeros(len(self.timestamp), dtype=np.uint16)

    def do_not_use(self) -> np.ndarray:
        """True where the quality word holds a reason not to use the figure."""
        return (self.quality & self.DO_NOT_USE_MASK) != 0

    def __len__(self) -> int:
        return len(self.timestamp)

    def reports(self) -> "Measurements":
        """Only the samples whose report strobe is set."""
        return self.select(self.report_strobe)

    def select(self, keep) -> "Measurements":
        """The entries a boolean mask or an index array picks."""
        return Measurements(*(getattr(self, c)[keep] for c in self.COLUMNS + ("quality",)))

    def to_frame(self):
        """The outputs as a pandas DataFrame, one column per output."""
        import pandas as pd
        return pd.DataFrame({c: getattr(self, c) for c in self.COLUMNS + ("quality",)})

    @staticmethod
    def concatenate(parts: Sequence["Measurements"]) -> "Measurements":
        """Chunks' outputs joined in order."""
        return Measurements(*(np.concatenate([getattr(p, c) for p in parts])
                              for c in Measurements.COLUMNS + ("quality",)))


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
        # The first sample times given, until they span enough to tell
        # their rate (the first second, or a span whose time resolution is
        # well within the tolerance).
        self._first_times: Optional[np.ndarray] = np.empty(0)
        self._closed = False

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
            int32 (or, given as one value, outside 1..1200, or beyond the
            build's reporting capacity: the 4k build produces every report
            only up to 999 per second), a nominal frequency given as one
            value outside 45..65 Hz, a report mode other than 0 or 1, sample
            times at another rate than the build's (judged once the times
            given so far tell it).
        RuntimeError
            The block stopped (it takes no further samples).

        Warns
        -----
        OrvaneWarning
            The shared input checks' warnings (see :func:`orvane.run`);
            report rates given per sample that reach beyond the build's
            reporting capacity (passed to the block as they are), and rates
            at which the build skips some instants while the frequency moves
            or after a step (4k above 701 per second, 10k at 1200).
        """
        ph = _phases(phases)
        n = ph.shape[0]
        rate_array = _report_rate(report_rate, n)
        _option_ranges(report_rate, nominal_frequency)
        if time is None:
            k0 = self._core.samples
            t = self.start_time + np.arange(k0, k0 + n, dtype=np.float64) / self.rate
        else:
            t = _numbers("time", time)
            if t.shape != (n,):
                raise ValueError(f"time must have one value per sample ({n}), not shape {t.shape}")
            self._check_rate(t)
        rates = rate_array
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
        _warn(self._core.take_warnings(False))
        result = Measurements(*outputs)
        if reports_only:
            result = result.reports()
        return result.to_frame() if as_frame else result

    def _check_rate(self, t: np.ndarray) -> None:
        """The rate of the sample times against the build's, once they tell it."""
        if self._first_times is None:
            return
        self._first_times = np.concatenate([self._first_times, t[:int(self.rate * 1.5) + 2]])
        text = _orvane.rate_against_build(self._first_times, self.build)
        if text:
            self._first_times = None
            raise ValueError(f"time: {text}; give samples at the build's rate, or build='auto'")
        finite = self._first_times[np.isfinite(self._first_times)]
        if (len(finite) and finite[-1] - finite[0] >= _orvane.rate_window_seconds()) or \
                len(self._first_times) > self.rate * 1.5:
            self._first_times = None

    def close(self) -> None:
        """Terminate the block (also done when the object goes away).

        The input checks that need the whole input (phase order of a short
        one, an input shorter than the filters need to settle) warn here."""
        if not self._closed:
            self._closed = True
            if self._core.samples > 0:
                _warn(self._core.take_warnings(True))
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

    The input goes through the checks every road shares (the tool, ``orvane
    serve``, this package and the archive road), with the tool's texts:

    * the rate of `time` (the mean step over its first second, to the
      resolution of a double at those times, so Unix times near 1.7e9 s
      are read right) must be the build's: otherwise ``ValueError`` ("the
      samples are at 4000 Hz (mean of 3999 steps over the first 0.99975 s,
      whole hertz), but the 10k build takes 10000 Hz");
    * a report rate or nominal frequency given as one value is an option:
      1..1200 and 45..65 Hz, else ``ValueError``; one value per sample is
      the block's own port, which the model clamps (as the columns of a
      13-column sample CSV);
    * an empty array is refused (``ValueError``);
    * warnings (:class:`OrvaneWarning`, one line each): samples with a
      missing value (NaN, infinite), time that stands still, runs back or
      jumps, phases in the wrong order (the negative sequence larger than
      the positive over the first second), a Time past the report grid's
      limit, an input shorter than the filters need to settle (0.12 s:
      every report rests on start-up values).

    Files: a plain three-phase CSV (header ``time,va,vb,vc``, or any header
    with a ``time`` column, its phase columns named by ``phases=`` of
    :func:`orvane.read_samples`) holds times and phases only; read it with
    ``orvane.read_samples(path, build="auto")`` (its rate found from its
    first second and resampled to a build's rate when needed, as ``orvane
    run --build auto`` does) and give the ports here as keywords. A 13-column
    sample CSV carries its ports: ``orvane.run(**orvane.read_samples(path))``.

    Parameters
    ----------
    phases : array_like, shape (n, 3)
        Phase values a, b, c at the build's sample rate; n at least 1.
    time : array_like, shape (n,), optional
        Absolute sample times (s); default ``start_time + k / rate``.
    build : {"10k", "14p4k", "4k", "auto"}
        Sample-rate build; "auto" the build at the rate of `time` (which
        must then be given, and be a build's rate: arrays are not
        resampled).
    start_time : float
        Time of the first sample when `time` is not given.
    report_rate : int or array_like of int
        Requested reports per second: one value 1..1200, or one per sample
        within int32 (the model clamps to 1..1200), like every port below.
    magnitude_coeffs : array_like, shape (3,) or (n, 3)
        Magnitude calibration c2, c1, c0 (gain c2·f² + c1·f + c0).
    phase_coeffs : array_like, shape (3,) or (n, 3)
        Phase calibration p2, p1, p0 (rad).
    nominal_frequency : float or array_like
        Hz; one value 45..65.
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
        Bad shapes or values, no samples, samples at another rate than the
        build's, an option out of range (the message says which and why).
    OSError
        The deliverable is missing or does not load.
    RuntimeError
        The block stopped.

    Warns
    -----
    OrvaneWarning
        The input checks' warnings above.

    Examples
    --------
    >>> s = orvane.signal("phase-step", duration=2)
    >>> out = orvane.run(s.phases, s.time, **s.ports, reports_only=True)
    >>> out.frequency[-1]
    >>> data = orvane.read_samples("plain.csv")      # time,va,vb,vc
    >>> out = orvane.run(**data, build="auto", report_rate=50)
    """
    ph = _phases(phases)
    if ph.shape[0] == 0:
        raise ValueError("phases: no samples (an empty array); give at least one row of a, b, c")
    if build == "auto":
        build = _build_for(time, build)
    with Pmu(build, start_time=start_time, deliverable=deliverable, in_process=in_process) as pmu:
        return pmu.process(ph, time, report_rate=report_rate, magnitude_coeffs=magnitude_coeffs,
                           phase_coeffs=phase_coeffs, nominal_frequency=nominal_frequency, report_mode=report_mode,
                           reports_only=reports_only, as_frame=as_frame)
