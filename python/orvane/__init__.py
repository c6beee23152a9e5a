"""Orvane, the three-phase class-P phasor measurement unit, from Python.

The model runs through the build's deliverable (the shared library the
simulation host loads), exactly as ``orvane run`` drives it, and gives the
same bits.

Main entry points
-----------------
run             measure a whole signal (numpy arrays in, numpy arrays out)
Pmu             one model instance fed in chunks, for live streams
signal          the built-in test signals with their exact reference phasor
read_comtrade   a COMTRADE recording's samples, rate, start time and channels
measure_comtrade  ``orvane run --comtrade`` on one recording
read_samples    a sample CSV as ``orvane run --input`` reads it
write_csv       measurements as the output CSV ``orvane run`` writes
read_c37118     a file of synchrophasor frames (``orvane run --c37118``)
compliance      the P-class test plan, as ``orvane compliance --json`` gives it
orvane.dask.measure_archive   many recordings on a Dask cluster

Units: seconds, hertz, hertz per second, radians; magnitudes are peak values
in the unit of the phase samples.
"""

from . import _env

_env.require_numpy()
_env.load_extension()

from .compliance import compliance  # noqa: E402
from .files import (Recording, measure_comtrade, read_c37118, read_comtrade, read_samples,  # noqa: E402
                    write_csv)
from .pmu import BUILDS, Measurements, OrvaneWarning, Pmu, build_rate, deliverable_path, run  # noqa: E402
from .signals import SIGNALS, Signal, signal  # noqa: E402

__all__ = [
    "BUILDS", "Measurements", "OrvaneWarning", "Pmu", "Recording", "SIGNALS", "Signal", "build_rate", "compliance",
    "deliverable_path", "measure_comtrade", "read_c37118", "read_comtrade", "read_samples", "run", "signal",
    "write_csv",
]
