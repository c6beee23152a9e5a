#!/usr/bin/env bash
# Runs one Octave test function against the deliverables' Octave MEX files.
#
# usage: run_in_octave.sh MEX_DIR BUILT EXPRESSION
#   MEX_DIR     directory of the .mex files
#   BUILT       "built", or the reason the configuration did not build them
#   EXPRESSION  Octave code to evaluate, e.g. "check_sizes_query ()"
#
# Exit status: that of octave-cli (0 all cases passed); 77 when the test
# cannot run here, which CTest reports as skipped.
set -u

readonly skipped=77
readonly limit_seconds=${ORVANE_OCTAVE_TIMEOUT:-120}

if [ $# -ne 3 ]; then
  echo "usage: run_in_octave.sh MEX_DIR BUILT EXPRESSION" >&2
  exit 2
fi
mex_dir=$1
built=$2
expression=$3

if [ "$built" != "built" ]; then
  echo "SKIPPED: the Octave MEX files were not built in this configuration ($built)"
  exit $skipped
fi
if ! command -v octave-cli >/dev/null 2>&1; then
  echo "SKIPPED: octave-cli not found; install Debian's octave and octave-dev (scripts/install-deps.sh as root)"
  exit $skipped
fi

here=$(cd "$(dirname "$0")" && pwd)
timeout --kill-after=10 "$limit_seconds" octave-cli --no-gui --no-history --norc \
  --eval "addpath('$mex_dir'); addpath('$here'); $expression"
status=$?
if [ $status -eq 124 ] || [ $status -eq 137 ]; then
  echo "FAIL: octave-cli did not finish within $limit_seconds s (ORVANE_OCTAVE_TIMEOUT)" >&2
fi
# A failure must never pass for a skip.
if [ $status -eq $skipped ]; then
  status=1
fi
exit $status
