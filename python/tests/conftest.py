"""Shared helpers: the build directory, the orvane tool, golden inputs."""

import lzma
import os
import subprocess
import sys
from pathlib import Path

import pytest

SOURCE_DIR = Path(__file__).resolve().parents[2]
BUILD_DIR = Path(os.environ.get("ORVANE_BUILD_DIR", SOURCE_DIR / "build"))
TOOL = BUILD_DIR / "orvane"
GOLDEN = SOURCE_DIR / "tests" / "data" / "golden"
COMTRADE = SOURCE_DIR / "tests" / "data" / "comtrade"
# The package of the build under test comes before any other on the path.
sys.path.insert(0, str(BUILD_DIR / "python"))


def tool(*args, check=True):
    """Runs the orvane tool; returns the completed process."""
    done = subprocess.run([str(TOOL), *map(str, args)], capture_output=True, text=True, timeout=300)
    if check and done.returncode != 0:
        raise AssertionError(f"orvane {' '.join(map(str, args))} failed: {done.stderr}")
    return done


def tool_error(*args):
    """The one-line message the tool prints for a run it refuses."""
    done = tool(*args, check=False)
    assert done.returncode == 2, done.stderr
    return done.stderr.strip().removeprefix("orvane run: ")


def golden_input(name, folder):
    """A golden case's sample CSV, decompressed into `folder`."""
    path = Path(folder) / f"{name}.in.csv"
    path.write_bytes(lzma.decompress((GOLDEN / f"{name}.in.csv.xz").read_bytes()))
    return path


@pytest.fixture(scope="session", autouse=True)
def built():
    if not TOOL.is_file():
        pytest.skip(f"{TOOL} is not built")
