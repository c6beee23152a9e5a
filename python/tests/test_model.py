"""The model through Python against the tool, chunk by chunk and in threads."""

import threading

import numpy as np
import pytest
from conftest import golden_input, tool

import orvane


def same(a, b):
    return all(np.array_equal(getattr(a, c), getattr(b, c), equal_nan=True) for c in orvane.Measurements.COLUMNS)


@pytest.mark.parametrize("build", orvane.BUILDS)
def test_golden_case_bit_identical_to_tool(build, tmp_path):
    # The stress case changes every configuration port along the way.
    source = golden_input(f"stress_{build}", tmp_path)
    tool("run", "--build", build, "--input", source, "--output", tmp_path / "tool.csv")
    orvane.write_csv(tmp_path / "py.csv", orvane.run(build=build, **orvane.read_samples(source)))
    assert (tmp_path / "py.csv").read_bytes() == (tmp_path / "tool.csv").read_bytes()


def test_built_in_signal_bit_identical_to_tool(tmp_path):
    args = ["--signal", "phase-step", "--duration", "0.7", "--start-time", "3.25", "--phase", "30",
            "--harmonic-fraction", "0.05", "--noise", "0.5", "--report-rate", "25", "--build", "4k"]
    tool("run", *args, "--reports-only", "--output", tmp_path / "tool.csv")
    s = orvane.signal("phase-step", build="4k", duration=0.7, start_time=3.25, phase=30, harmonic_fraction=0.05,
                      noise=0.5, report_rate=25)
    orvane.write_csv(tmp_path / "py.csv", orvane.run(s.phases, s.time, build="4k", **s.ports), reports_only=True)
    assert (tmp_path / "py.csv").read_bytes() == (tmp_path / "tool.csv").read_bytes()


def test_chunks_equal_one_call_and_frames():
    s = orvane.signal("ramp", duration=0.6, start_time=10.0)
    whole = orvane.run(s.phases, s.time, **s.ports)
    for times in (None, s.time):
        with orvane.Pmu("10k", start_time=10.0) as pmu:
            edges = [0, 1, 999, 1000, 4321, len(s.time)]
            parts = [pmu.process(s.phases[a:b], None if times is None else times[a:b], **s.ports)
                     for a, b in zip(edges, edges[1:])]
            assert pmu.samples == len(s.time)
        assert same(orvane.Measurements.concatenate(parts), whole)

    frame = orvane.run(s.phases, s.time, **s.ports, reports_only=True, as_frame=True)
    assert list(frame.columns) == list(orvane.Measurements.COLUMNS) + ["quality"]
    assert frame.report_strobe.all() and len(frame) == whole.report_strobe.sum()
    assert np.array_equal(frame.frequency.to_numpy(), whole.frequency[whole.report_strobe])
    assert frame.active_report_rate.dtype == np.int32


def test_quality_word_is_the_tools(tmp_path):
    # The same word as every output of the tool: start-up at a real time of
    # day (the first report an instant before the first sample); a
    # non-finite sample flags every output after it.
    tool("run", "--signal", "steady", "--start-time", "80000", "--duration", "0.5", "--reports-only",
         "--quality", "--output", tmp_path / "tool.csv")
    words = np.loadtxt(tmp_path / "tool.csv", delimiter=",", skiprows=1, usecols=7)
    s = orvane.signal("steady", duration=0.5, start_time=80000.0)
    reports = orvane.run(s.phases, s.time, **s.ports, reports_only=True)
    assert np.array_equal(reports.quality, words)
    assert reports.do_not_use()[:7].all() and not reports.do_not_use()[7:].any()
    phases = s.phases.copy()
    phases[3000, 0] = np.nan
    flagged = orvane.run(phases, s.time, **s.ports)
    assert (flagged.quality[3000:] & 16).all() and not (flagged.quality[1300:3000] & 16).any()


@pytest.mark.parametrize("in_process", [False, True])
def test_two_instances_in_two_threads_match_alone(in_process):
    signals = [orvane.signal("phase-modulation", duration=1.0), orvane.signal("off-nominal", duration=1.0)]
    alone = [orvane.run(s.phases, s.time, **s.ports, in_process=in_process) for s in signals]
    together = [None, None]

    def measure(i):
        pmu = orvane.Pmu("10k", in_process=in_process)
        s = signals[i]
        together[i] = orvane.Measurements.concatenate(
            [pmu.process(s.phases[a:a + 500], s.time[a:a + 500], **s.ports) for a in range(0, len(s.time), 500)])

    threads = [threading.Thread(target=measure, args=(i,)) for i in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(timeout=120)
    assert all(same(a, b) for a, b in zip(alone, together))


def test_reference_agrees_with_settled_measurement():
    s = orvane.signal("off-nominal", duration=1.0)
    out = orvane.run(s.phases, s.time, **s.ports, reports_only=True)
    late = out.select(out.timestamp > 0.5)
    ref = s.reference(late.timestamp)
    assert np.allclose(late.frequency, ref["frequency"], atol=1e-3)
    assert np.allclose(late.magnitude, ref["magnitude"], rtol=1e-3)
    assert np.allclose(np.angle(np.exp(1j * (late.angle - ref["angle"]))), 0.0, atol=1e-3)
