"""The example study runs headless and writes its figure."""

import os
import subprocess
import sys

import pytest
from conftest import BUILD_DIR, SOURCE_DIR

pytest.importorskip("matplotlib")


def test_example_writes_its_figure(tmp_path):
    image = tmp_path / "study.png"
    env = dict(os.environ, MPLBACKEND="Agg", PYTHONPATH=str(BUILD_DIR / "python"), MPLCONFIGDIR=str(tmp_path))
    done = subprocess.run([sys.executable, SOURCE_DIR / "python" / "examples" / "phase_step_and_recording.py",
                           "--output", image], capture_output=True, text=True, timeout=300, env=env)
    assert done.returncode == 0, done.stderr
    assert image.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
