"""Files, the compliance plan, and bad input through Python."""

import json
import math

import numpy as np
import pytest
from conftest import COMTRADE, golden_input, tool, tool_error

import orvane


def test_comtrade_as_the_tool_reads_and_measures_it(tmp_path):
    source = COMTRADE / "north4800.cfg"
    tool("run", "--comtrade", source, "--build", "auto", "--output", tmp_path / "tool.csv")
    orvane.write_csv(tmp_path / "py.csv", orvane.measure_comtrade(source, build="auto"))
    assert (tmp_path / "py.csv").read_bytes() == (tmp_path / "tool.csv").read_bytes()

    rec = orvane.read_comtrade(source, build="10k")
    assert (rec.rate, rec.build, rec.phase_channels) == (4800.0, "10k", ["VA", "VB", "VC"])
    assert rec.channels[:3] == ["VA", "VB", "VC"] and rec.phases.shape == (len(rec.time), 3)
    assert rec.start.isoformat() == "2026-12-08T09:00:00+00:00"
    assert rec.epoch_of_origin + rec.time[0] == rec.start.timestamp()
    assert np.all(np.diff(rec.model_time) > 0) and rec.model_phases.shape == (len(rec.model_time), 3)


def test_frame_file_holds_the_reports(tmp_path):
    tool("run", "--signal", "steady", "--report-rate", "25", "--start-time", "7", "--output", tmp_path / "out.csv",
         "--reports-only", "--c37118", tmp_path / "frames.c37")
    csv = np.genfromtxt(tmp_path / "out.csv", delimiter=",", names=True)
    frames = orvane.read_c37118(tmp_path / "frames.c37")
    assert len(frames["time"]) == len(csv)
    assert np.allclose(frames["time"], csv["timestamp"], atol=1e-6)
    assert np.allclose(frames["magnitude"], csv["magnitude"] / math.sqrt(2), rtol=1e-6)
    assert np.allclose(frames["frequency"], csv["frequency"], rtol=1e-6)
    table = orvane.read_c37118(tmp_path / "frames.c37", as_frame=True)
    assert list(table.columns)[:2] == ["time", "soc"]

    whole = (tmp_path / "frames.c37").read_bytes()
    (tmp_path / "cut.c37").write_bytes(whole[:-5])
    with pytest.raises(ValueError, match="ends inside a frame"):
        orvane.read_c37118(tmp_path / "cut.c37")


def test_compliance_equals_the_tools_json(tmp_path):
    tool("compliance", "--quick", "--json", tmp_path / "tool.json")
    expected = json.loads((tmp_path / "tool.json").read_text())
    got = orvane.compliance(quick=True)
    for doc in (expected, got):
        del doc["run"]["elapsedSeconds"]  # wall-clock time of the run
    assert got == expected


def bad_csv(folder):
    path = folder / "bad.csv"
    lines = golden_input("steady50_10k", folder).read_text().splitlines()
    lines[3] = lines[3].rsplit(",", 1)[0] + ",2"  # report_mode 2
    path.write_text("\n".join(lines) + "\n")
    return path


@pytest.mark.parametrize("call, error, text", [
    (lambda: orvane.run(np.zeros((5, 2))), ValueError, r"phases must have shape \(n, 3\)"),
    (lambda: orvane.run([["a", "b", "c"]]), ValueError, "not real numbers"),
    (lambda: orvane.run(np.zeros((5, 3)), nominal_frequency=[1j] * 5), ValueError, "not real numbers"),
    (lambda: orvane.run(np.zeros((5, 3)), np.zeros(4)), ValueError, "one value per sample"),
    (lambda: orvane.run(np.zeros((5, 3)), report_rate=3e9), ValueError,
     "report_rate '3000000000' is outside the int32 range -2147483648..2147483647"),
    (lambda: orvane.run(np.zeros((5, 3)), report_rate=[1, 2]), ValueError, "report_rate must be"),
    (lambda: orvane.run(np.zeros((5, 3)), report_mode=2), ValueError, "is not 0 or 1"),
    (lambda: orvane.run(np.zeros((5, 3)), magnitude_coeffs=(1, 2)), ValueError, "magnitude_coeffs must be"),
    (lambda: orvane.Pmu("20k"), ValueError, "unknown build '20k'"),
    (lambda: orvane.Pmu(deliverable="/nowhere/x.mexa64"), FileNotFoundError, "/nowhere/x.mexa64"),
    (lambda: orvane.signal("square"), ValueError, "unknown signal 'square'"),
    (lambda: orvane.signal(duration=-1), ValueError, "option '--duration' must lie in"),
    (lambda: orvane.compliance(nominal_frequency=55), ValueError, "must be 50 or 60"),
])
def test_bad_input_raises(call, error, text):
    with pytest.raises(error, match=text):
        call()


def test_file_faults_carry_the_tools_message(tmp_path):
    cases = [(orvane.read_comtrade, tmp_path / "missing.cfg", FileNotFoundError, "--comtrade"),
             (orvane.read_samples, tmp_path / "missing.csv", FileNotFoundError, "--input"),
             (orvane.read_samples, bad_csv(tmp_path), ValueError, "--input")]
    broken = tmp_path / "broken.cfg"
    broken.write_text("STATION,DEVICE,1999\n3,3A\n")
    cases.append((orvane.read_comtrade, broken, ValueError, "--comtrade"))
    for read, path, error, option in cases:
        with pytest.raises(error) as raised:
            read(path)
        assert str(raised.value) == tool_error("run", option, path)


def test_report_rate_beyond_the_builds_capacity_is_refused_in_the_tools_words(tmp_path):
    told = tool_error("run", "--build", "4k", "--signal", "steady", "--report-rate", "1200", "--output",
                      tmp_path / "x.csv")
    with pytest.raises(ValueError) as raised:
        orvane.run(np.zeros((10, 3)), build="4k", report_rate=1200, in_process=True)
    assert str(raised.value) == told and "up to 999 reports per second" in told
    # A rate per sample is the block's port, as a sample CSV's column: run
    # as it is (the block clamps 5000 to 1200) and said in the same words.
    with pytest.warns(orvane.OrvaneWarning, match="report rate 1200 is beyond the 4k build's reporting capacity"):
        orvane.run(np.zeros((10, 3)), build="4k", report_rate=[50] * 9 + [5000], in_process=True)
    assert len(orvane.run(np.zeros((10, 3)), build="4k", report_rate=999, in_process=True).timestamp) == 10
    assert len(orvane.run(np.zeros((10, 3)), build="10k", report_rate=1200, in_process=True).timestamp) == 10
    # compliance warns in the same words, then runs the plan (here refused
    # at once by a bad estimator, to keep the test short).
    with pytest.warns(orvane.OrvaneWarning, match="beyond the 4k build's reporting capacity"):
        with pytest.raises(ValueError, match="estimator"):
            orvane.compliance("4k", report_rate=1200, estimator="neither")


def test_recordings_line_frequency_and_phase_fields(tmp_path):
    text = (COMTRADE / "north4800.cfg").read_text()
    lines = text.splitlines()
    # Phase fields C, B, A over the file's VA, VB, VC: taken by the fields,
    # so channel 3 is phase a; a line frequency of 59.94 is a 60 Hz system.
    for k, ph in ((2, "C"), (4, "A")):
        fields = lines[k].split(",")
        fields[2] = ph
        lines[k] = ",".join(fields)
    lines[7] = "59.94"
    (tmp_path / "r.cfg").write_text("\r\n".join(lines) + "\r\n")
    (tmp_path / "r.dat").write_bytes((COMTRADE / "north4800.dat").read_bytes())
    with pytest.warns(orvane.OrvaneWarning, match="name them in another order"):
        rec = orvane.read_comtrade(tmp_path / "r.cfg")
    assert rec.phase_channels == ["VC", "VB", "VA"] and rec.nominal_frequency == 60.0
    with pytest.warns(orvane.OrvaneWarning) as said:
        orvane.measure_comtrade(tmp_path / "r.cfg", build="auto", in_process=True)
    assert sum("59.94 Hz is not 50 or 60: the nearer, 60 Hz" in str(w.message) for w in said) == 1
