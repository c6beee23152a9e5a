"""The built-in three-phase test signals (``orvane run --signal``) with their
exact reference phasor, frequency and ROCOF."""

from __future__ import annotations

import math
from dataclasses import dataclass, field
from typing import Dict, Optional, Sequence

import numpy as np

from . import _orvane
from .pmu import build_rate

SIGNALS: Dict[str, str] = {
    "steady": "balanced set at the nominal frequency",
    "off-nominal": "balanced set 1.5 Hz above nominal",
    "ramp": "frequency ramp of 1 Hz/s from the event time to the end",
    "magnitude-step": "magnitude step of +10 % at the event time",
    "phase-step": "phase step of +10 degrees at the event time",
    "amplitude-modulation": "amplitude modulated 10 % at 2 Hz",
    "phase-modulation": "phase modulated 5 degrees at 2 Hz",
    "harmonics": "10 % third harmonic",
    "unbalance": "phase amplitudes 1, 0.9 and 1.1 times the amplitude",
    "noise": "white Gaussian noise of 1 % of the amplitude",
}
"""Names of the built-in signals and what each is."""

_DEGREE = math.pi / 180.0
_MAX_DURATION = 86400.0  # a day keeps sample counts and times exact


@dataclass
class Signal:
    """Samples of a built-in signal and what the model should read from them.

    Attributes
    ----------
    name : str
    phases : ndarray, shape (n, 3)
        Phase values a, b, c.
    time : ndarray, shape (n,)
        Absolute sample times, ``start_time + k / rate``.
    rate : float
        Sample rate, Hz.
    ports : dict
        The configuration ports (``report_rate``, ``magnitude_coeffs``,
        ``phase_coeffs``, ``nominal_frequency``, ``report_mode``), ready to
        pass on: ``orvane.run(s.phases, s.time, **s.ports)``.
    parameters : dict
        The generator's parameters (angles in rad, times absolute); ``spec``
        is its older name, kept for existing callers.
    """

    name: str
    phases: np.ndarray
    time: np.ndarray
    rate: float
    ports: dict
    parameters: dict = field(repr=False)

    @property
    def spec(self) -> dict:
        """The older name of ``parameters``."""
        return self.parameters

    def reference(self, time=None) -> Dict[str, np.ndarray]:
        """The exact positive-sequence phasor of the fundamental.

        Parameters
        ----------
        time : array_like, optional
            Absolute times (s); default the sample times. Pass a
            measurement's report timestamps to compare it with the truth.

        Returns
        -------
        dict of ndarray
            ``magnitude`` (peak), ``angle`` (rad, against a cosine of the
            nominal frequency, zero at whole seconds), ``frequency`` (Hz),
            ``rocof`` (Hz/s).
        """
        t = self.time if time is None else np.asarray(time, dtype=np.float64)
        r = _orvane.signal_reference(self.parameters, t, float(self.ports["nominal_frequency"]))
        return {"magnitude": r[:, 0], "angle": r[:, 1], "frequency": r[:, 2], "rocof": r[:, 3]}


def _finite(name: str, value) -> float:
    try:
        number = float(value)
    except (TypeError, ValueError):
        number = math.nan
    if not math.isfinite(number):
        raise ValueError(f"option '--{name}': '{value}' is not a finite number")
    return number


def _integer(name: str, value, low: int, high: int) -> int:
    ok = isinstance(value, (int, np.integer)) or (isinstance(value, float) and value.is_integer())
    if not ok or not low <= int(value) <= high:
        raise ValueError(f"option '--{name}': '{value}' is not an integer from {low} to {high}")
    return int(value)


def _triple(name: str, value) -> list:
    values = list(value) if isinstance(value, (list, tuple, np.ndarray)) else [value]
    if len(values) != 3:
        raise ValueError(f"option '--{name}': '{value}' is not 3 numbers")
    return [_finite(name, v) for v in values]


def _round(x: float) -> float:
    """Half away from zero, as C's round()."""
    r = math.floor(x)
    return r + 1.0 if x - r >= 0.5 else float(r)


def signal(name: str = "steady", *, build: str = "10k", rate: Optional[float] = None, duration: float = 1.0,
           start_time: float = 0.0, nominal_frequency: float = 50.0, report_rate: int = 50, report_mode: int = 1,
           magnitude_coeffs: Sequence[float] = (0.0, 0.0, 1.0), phase_coeffs: Sequence[float] = (0.0, 0.0, 0.0),
           frequency: Optional[float] = None, amplitude: float = 100.0, phase: Optional[float] = None,
           event_time: Optional[float] = None, ramp_rate: Optional[float] = None,
           ramp_duration: Optional[float] = None, magnitude_step: Optional[float] = None,
           phase_step: Optional[float] = None, am_depth: Optional[float] = None,
           am_frequency: Optional[float] = None, pm_depth: Optional[float] = None,
           pm_frequency: Optional[float] = None, harmonic_order: Optional[int] = None,
           harmonic_fraction: Optional[float] = None, phase_gains: Optional[Sequence[float]] = None,
           noise: Optional[float] = None, seed: Optional[int] = None) -> Signal:
    """Generate a built-in signal, sample for sample as ``orvane run --signal`` does.

    Three-phase cosines of absolute time: va = A·cos(2π·f·t + φ), vb and vc
    shifted by −120° and +120°. The name sets the defaults of its own
    feature; every keyword below overrides or adds a feature, whatever the
    name (angles in degrees). A keyword left at None is not given.

    Parameters
    ----------
    name : str
        One of :data:`SIGNALS`.
    build : {"10k", "14p4k", "4k"}
        Build whose sample rate the samples have (unless `rate` is given).
    rate : float, optional
        Sample rate in Hz instead of the build's.
    duration : float
        s, 0 to 86400; round(duration·rate) samples.
    start_time : float
        Absolute time of the first sample.
    nominal_frequency, report_rate, report_mode, magnitude_coeffs, phase_coeffs
        The configuration ports (``ports``).
    frequency : float, optional
        Hz at the start (default nominal; off-nominal: nominal + 1.5).
    amplitude : float
        Peak per phase.
    phase : float, optional
        Degrees, phase a at time 0.
    event_time : float, optional
        s after the first sample of steps and the ramp's start (0.5).
    ramp_rate, ramp_duration : float, optional
        Hz/s and s (ramp: 1, to the end).
    magnitude_step : float, optional
        Fraction (magnitude-step: 0.1).
    phase_step : float, optional
        Degrees (phase-step: 10).
    am_depth, am_frequency, pm_depth, pm_frequency : float, optional
        Modulation depth (fraction; degrees for phase) and frequency (Hz).
    harmonic_order, harmonic_fraction : optional
        One added harmonic (harmonics: 3, 0.1).
    phase_gains : sequence of 3 float, optional
        Per-phase amplitude factors (unbalance: 1, 0.9, 1.1).
    noise : float, optional
        Standard deviation of white Gaussian noise (noise: 1 % of A).
    seed : int, optional
        Noise seed (1).

    Returns
    -------
    Signal

    Raises
    ------
    ValueError
        Unknown name, or an option out of range (the tool's message).
    """
    if name not in SIGNALS:
        raise ValueError(f"unknown signal '{name}' (expected one of: {', '.join(SIGNALS)})")
    fs = _finite("rate", rate) if rate is not None else build_rate(build)
    duration = _finite("duration", duration)
    start_time = _finite("start-time", start_time)
    event_delay = 0.5 if event_time is None else _finite("event-time", event_time)
    f0 = _finite("nominal-frequency", nominal_frequency)
    rr = _integer("report-rate", report_rate, -2147483648, 2147483647)
    mode = _integer("report-mode", report_mode, 0, 1)
    mag = _triple("magnitude-coeffs", magnitude_coeffs)
    phc = _triple("phase-coeffs", phase_coeffs)
    if not 0.0 <= duration <= _MAX_DURATION:
        raise ValueError(f"option '--duration' must lie in {0.0:f}..{_MAX_DURATION:f}")

    count_real = _round(duration * fs)
    count = int(count_real)
    event = start_time + event_delay
    end = start_time + count_real / fs

    s = {"amplitude": _finite("amplitude", amplitude), "frequency": f0, "phase": 0.0, "start_time": start_time,
         "am_depth": 0.0, "am_frequency": 0.0, "pm_depth": 0.0, "pm_frequency": 0.0, "ramp_rate": 0.0,
         "ramp_start": 0.0, "ramp_end": 0.0, "step_time": 0.0, "magnitude_step": 0.0, "phase_step": 0.0,
         "harmonics": [], "phase_gain": [1.0, 1.0, 1.0], "noise_std_dev": 0.0, "noise_seed": 1}
    if name == "off-nominal":
        s["frequency"] = f0 + 1.5
    elif name == "ramp":
        s.update(ramp_rate=1.0, ramp_start=event, ramp_end=end)
    elif name == "magnitude-step":
        s.update(step_time=event, magnitude_step=0.1)
    elif name == "phase-step":
        s.update(step_time=event, phase_step=math.pi / 18.0)
    elif name == "amplitude-modulation":
        s.update(am_depth=0.1, am_frequency=2.0)
    elif name == "phase-modulation":
        s.update(pm_depth=5.0 * math.pi / 180.0, pm_frequency=2.0)
    elif name == "harmonics":
        s["harmonics"] = [(3, 0.1, 0.0)]
    elif name == "unbalance":
        s["phase_gain"] = [1.0, 0.9, 1.1]
    elif name == "noise":
        s["noise_std_dev"] = 0.01 * s["amplitude"]

    for key, value in (("frequency", frequency), ("ramp_rate", ramp_rate), ("magnitude_step", magnitude_step),
                       ("am_depth", am_depth), ("am_frequency", am_frequency), ("pm_frequency", pm_frequency)):
        if value is not None:
            s[key] = _finite(key.replace("_", "-"), value)
    # Converted only when given, so that the defaults keep their exact bits.
    if phase is not None:
        s["phase"] = _finite("phase", phase) * _DEGREE
    if phase_step is not None:
        s["phase_step"] = _finite("phase-step", phase_step) * _DEGREE
    if pm_depth is not None:
        s["pm_depth"] = _finite("pm-depth", pm_depth) * _DEGREE
    if phase_gains is not None:
        s["phase_gain"] = _triple("phase-gains", phase_gains)
    if noise is not None:
        s["noise_std_dev"] = _finite("noise", noise)
    if not s["noise_std_dev"] >= 0.0:
        raise ValueError(f"option '--noise' must lie in {0.0:f}..{np.finfo(np.float64).max:f}")
    if seed is not None:
        s["noise_seed"] = _integer("seed", seed, 0, 9223372036854775807)
    # A step or ramp asked for by option alone starts at the event time.
    if magnitude_step is not None or phase_step is not None or event_time is not None:
        s["step_time"] = event
    if ramp_rate is not None or ramp_duration is not None or event_time is not None:
        length = s["ramp_end"] - s["ramp_start"]
        if ramp_duration is not None:
            length = _finite("ramp-duration", ramp_duration)
        s["ramp_start"] = event
        s["ramp_end"] = event + length if ramp_duration is not None else end
    order = s["harmonics"][0][0] if s["harmonics"] else 3
    fraction = s["harmonics"][0][1] if s["harmonics"] else 0.0
    if harmonic_order is not None:
        order = _integer("harmonic-order", harmonic_order, 1, 1000)
    if harmonic_fraction is not None:
        fraction = _finite("harmonic-fraction", harmonic_fraction)
    s["harmonics"] = [(order, fraction, 0.0)] if fraction != 0.0 else []

    time = start_time + np.arange(count, dtype=np.float64) / fs
    phases = _orvane.signal_samples(s, time)
    ports = {"report_rate": rr, "magnitude_coeffs": mag, "phase_coeffs": phc, "nominal_frequency": f0,
             "report_mode": mode}
    return Signal(name=name, phases=phases, time=time, rate=fs, ports=ports, parameters=s)
