#!/usr/bin/env bash
# The main job on a built-in signal: two seconds of a 50.5 Hz signal with a
# 10 % third harmonic through the 10 kHz model.
set -euo pipefail
build_dir=${1:-build}
"$build_dir/orvane" demo --output "$build_dir/demo.csv"
# A short P-class compliance summary: the quick plan through the same model.
"$build_dir/orvane" compliance --quick --json "$build_dir/compliance.json" --html "$build_dir/compliance.html"
