#!/usr/bin/env bash
# wheel_test.sh BUILD_DIR: the wheel built offline, installed with
# `pip install --no-index` into a fresh virtual environment (numpy from
# Debian through --system-site-packages), imported from another folder:
# the package must come from the environment, load the deliverable it
# carries, and give the tool's bytes for a built-in signal.
set -euo pipefail
build="$(cd "$1" && pwd)"
info="$build/python/orvane/_build_info.py"
[ -f "$info" ] || { echo "SKIPPED: no Python package in $build"; exit 77; }
python="$(sed -n 's/^PYTHON = "\(.*\)"$/\1/p' "$info")"
"$python" -c "import venv, ensurepip, setuptools, wheel, pip" 2>/dev/null ||
  { echo "SKIPPED: $python lacks venv, ensurepip, setuptools, wheel or pip (install python3-venv python3-setuptools python3-wheel python3-pip)"; exit 77; }
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

bash "$(dirname "$0")/../../packaging/build-wheel.sh" "$build" "$tmp/wheel" || fail "building the wheel"
"$python" -m venv --system-site-packages "$tmp/venv" || fail "python3 -m venv"
"$tmp/venv/bin/python" -m pip install --quiet --no-index "$tmp"/wheel/orvane-*.whl || fail "pip install --no-index"

mkdir "$tmp/work" && cd "$tmp/work"
args=(--signal ramp --duration 0.5 --start-time 1700000000.25 --report-rate 50 --build 10k)
"$build/orvane" run "${args[@]}" --reports-only --output tool.csv || fail "orvane run"
# -s: no user site (a developer's orvane.pth), no PYTHONPATH: only the wheel.
env -u PYTHONPATH -u ORVANE_BUILD_DIR "$tmp/venv/bin/python" -s -c "
import orvane
assert orvane.__file__.startswith('$tmp/venv/'), orvane.__file__
assert orvane.deliverable_path('10k').startswith('$tmp/venv/'), orvane.deliverable_path('10k')
s = orvane.signal('ramp', build='10k', duration=0.5, start_time=1700000000.25, report_rate=50)
orvane.write_csv('py.csv', orvane.run(s.phases, s.time, build='10k', **s.ports), reports_only=True)
" || fail "orvane.run from the wheel"
cmp tool.csv py.csv || fail "orvane.run from the wheel differs from the tool"
echo "wheel: $(basename "$tmp"/wheel/orvane-*.whl): same bytes as the tool ($(wc -l < tool.csv) lines)"
