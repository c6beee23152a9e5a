"""The input checks every road shares, through Python, at the times real data
carries (0, a time of day with a fraction, a Unix time near 1.7e9)."""

import warnings

import numpy as np
import pytest
from conftest import tool

import orvane
from orvane.dask import measure_file

ORIGINS = (0.0, 80000.37, 1700000123.37)


def three_phase(rate, seconds, origin=80000.37, frequency=51.5):
    """Three phases at `rate` from `origin` (s): by default a time of day with a fraction, as real data."""
    t = origin + np.arange(int(round(rate * seconds))) / rate
    k = np.arange(len(t)) / rate  # phase from the sample count: exact at any origin
    return t, np.stack([100 * np.cos(2 * np.pi * frequency * k - 2 * np.pi * p / 3) for p in range(3)], axis=1)


def write_plain(path, t, ph):
    with open(path, "w") as f:
        f.write("time,va,vb,vc\n")
        for row in zip(t, *ph.T):
            f.write(",".join(f"{v:.17g}" for v in row) + "\n")


@pytest.mark.parametrize("origin", ORIGINS)
def test_arrays_at_real_times_equal_the_tool_in_one_call_and_in_chunks(tmp_path, origin):
    t, ph = three_phase(10000, 1.0, origin)
    write_plain(tmp_path / "plain.csv", t, ph)
    tool("run", "--in-process", "--build", "auto", "--input", tmp_path / "plain.csv", "--output", tmp_path / "tool.csv")
    with warnings.catch_warnings():
        warnings.simplefilter("error", orvane.OrvaneWarning)  # a clean input warns of nothing
        whole = orvane.run(ph, t, build="auto", in_process=True)
        with orvane.Pmu("10k", in_process=True) as pmu:
            parts = [pmu.process(ph[k:k + 777], t[k:k + 777]) for k in range(0, len(t), 777)]
    orvane.write_csv(tmp_path / "py.csv", whole)
    assert (tmp_path / "py.csv").read_bytes() == (tmp_path / "tool.csv").read_bytes()
    orvane.write_csv(tmp_path / "chunks.csv", orvane.Measurements.concatenate(parts))
    assert (tmp_path / "chunks.csv").read_bytes() == (tmp_path / "tool.csv").read_bytes()
    assert orvane.find_rate(t)[0] == 10000.0


def test_refusals_carry_the_tools_text(tmp_path):
    t4, ph4 = three_phase(4000, 1.0, 1700000123.37)
    t10, ph10 = three_phase(10000, 0.5)
    other = orvane.deliverable_path("4k")
    cases = [
        (lambda: orvane.run(ph4, t4), r"time: the samples are at 4000 Hz \(mean of 3999 steps over the first "
                                      r"0.99975 s, whole hertz\), but the 10k build takes 10000 Hz"),
        (lambda: orvane.run(ph10, t10, nominal_frequency=1e9), r"nominal frequency 1000000000 Hz is outside 45..65 Hz"),
        (lambda: orvane.run(ph10, t10, report_rate=5000), "report rate 5000 is not a whole number from 1 to 1200"),
        (lambda: orvane.run(np.zeros((0, 3))), "no samples"),
        (lambda: orvane.run(ph10, deliverable=other), "registers a sample time of 0.00025 s"),
    ]
    for call, text in cases:
        with pytest.raises(ValueError, match=text):
            call()


@pytest.mark.parametrize("edit, text", [
    (lambda t, ph: (t[::-1].copy(), ph), "time stands still, runs back or jumps"),
    (lambda t, ph: (t, np.where(np.arange(len(t))[:, None] == 300, np.nan, ph)), "1 sample with a missing value"),
    (lambda t, ph: (t[:500], ph[:500]), "shorter than the 0.12 s the filters need to settle"),
    (lambda t, ph: (t, ph[:, [0, 2, 1]]), "are two phases swapped?"),
])
def test_warnings_are_orvane_warnings(edit, text):
    t, ph = edit(*three_phase(10000, 0.5))
    with pytest.warns(orvane.OrvaneWarning, match=text):
        orvane.run(ph, t, in_process=True)


def test_plain_csv_and_the_archive_road_take_build_auto(tmp_path):
    t, ph = three_phase(4800, 1.0, 1700000123.37)
    path = tmp_path / "at4800.csv"
    write_plain(path, t, ph)
    tool("run", "--build", "auto", "--input", path, "--report-rate", "10", "--output", tmp_path / "tool.csv")
    samples = orvane.read_samples(path, build="auto")
    assert samples["build"] == "10k" and set(samples) == {"time", "phases", "build"}
    orvane.write_csv(tmp_path / "py.csv", orvane.run(**samples, report_rate=10))
    assert (tmp_path / "py.csv").read_bytes() == (tmp_path / "tool.csv").read_bytes()
    row = measure_file(str(path), str(tmp_path / "out"), {"build": "auto", "report_rate": 10})
    assert (row["error"], row["build"]) == ("", "10k")
    assert (tmp_path / "out" / "at4800.out.csv").read_bytes() == (tmp_path / "tool.csv").read_bytes()
    short = tmp_path / "short.csv"
    write_plain(short, t[:400], ph[:400])
    row = measure_file(str(short), str(tmp_path / "out"), {"build": "auto"})
    assert row["error"] == "" and "shorter than the 0.12 s" in row["warnings"]
