"""An archive of recordings on a local Dask cluster of two worker processes."""

import subprocess
import sys

import numpy as np
import pytest
from conftest import BUILD_DIR, tool, tool_error

from orvane.dask import measure_archive

distributed = pytest.importorskip("distributed")

RATES = {"a4800": 4800, "b10000": 10000, "c4000": 4000, "d14400": 14400, "e6000": 6000, "f2000": 2000}


def write_comtrade(stem, rate, seconds=0.4, frequency=50.3, bad=False):
    """An ASCII 1999 recording of three phases at `rate` Hz."""
    n = int(rate * seconds)
    t = np.arange(n) / rate
    raw = [np.round(100.0 * np.cos(2 * np.pi * frequency * t + k * 2 * np.pi / 3) / 0.01).astype(int)
           for k in (0, -1, 1)]
    channels = "".join(f"{i},V{p},{p},,V,0.01,0,0,-99999,99999,1,1,P\n" for i, p in enumerate("ABC", 1))
    stem.with_suffix(".cfg").write_text(
        f"STATION,REC,1999\n3,3A,0D\n{channels}50\n1\n{rate},{n}\n"
        "08/12/2026,10:00:00.250000\n08/12/2026,10:00:00.250000\nASCII\n1\n")
    rows = [f"{i + 1},{round(i * 1e6 / rate)},{raw[0][i]},{raw[1][i]},{raw[2][i]}" for i in range(n)]
    if bad:
        rows[100] = rows[100].rsplit(",", 1)[0] + ",9O"
    stem.with_suffix(".dat").write_text("\n".join(rows) + "\n")


def test_archive_measured_like_the_tool(tmp_path):
    folder = tmp_path / "archive"
    folder.mkdir()
    for name, rate in RATES.items():
        write_comtrade(folder / name, rate)
    write_comtrade(folder / "g_broken", 4800, bad=True)  # a value that is not a number
    expected = {}
    for name in RATES:
        out = tmp_path / f"{name}.tool.csv"
        tool("run", "--comtrade", folder / f"{name}.cfg", "--build", "auto", "--output", out)
        expected[f"{name}.out.csv"] = out.read_bytes()
    broken_message = tool_error("run", "--comtrade", folder / "g_broken.cfg", "--build", "auto")

    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster, \
            distributed.Client(cluster, timeout=60) as client:
        for road, send_bytes in (("shared", False), ("bytes", True)):
            table = measure_archive([folder], client, tmp_path / road, send_bytes=send_bytes, timeout=180)
            assert list(table.file) == sorted(str(p) for p in folder.glob("*.cfg"))
            done = table[table.error == ""]
            assert len(done) == len(RATES) and (done.samples > 0).all()
            assert table.error.iloc[-1] == broken_message
            assert (table.warnings == "").all()
            assert {p.name: p.read_bytes() for p in (tmp_path / road).iterdir()} == expected

        cli = subprocess.run([sys.executable, "-m", "orvane.archive", "--scheduler", cluster.scheduler_address,
                              "--output-dir", tmp_path / "cli", str(folder)],
                             capture_output=True, text=True, timeout=180, env={"PYTHONPATH": str(BUILD_DIR / "python")})
    assert cli.returncode == 1, cli.stderr
    assert f"6 of 7 files done; failed: {folder / 'g_broken.cfg'}" in cli.stdout
    assert (tmp_path / "cli" / "archive.csv").is_file()
