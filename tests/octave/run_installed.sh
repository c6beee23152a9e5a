#!/usr/bin/env bash
# Runs the sizes query against an installation: installs the orvane and
# octave components of BUILD_DIR into a temporary prefix, and in Octave
# puts the deliverables on the path with the installed orvane_setup.m alone.
#
# usage: run_installed.sh BUILD_DIR BUILT   (BUILT as for run_in_octave.sh)
set -u
build=$1
built=$2
here=$(cd "$(dirname "$0")" && pwd)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
if [ "$built" = "built" ]; then
  for component in orvane octave; do
    cmake --install "$build" --prefix "$prefix" --component $component >/dev/null || exit 1
  done
fi
setup="$prefix/lib/orvane/orvane_setup.m"
bash "$here/run_in_octave.sh" "$here" "$built" \
  "run ('$setup'); where = which ('Orvane_10kHz_sf'); \
   if (! strncmp (where, '$prefix/lib/orvane/octave/', numel ('$prefix/lib/orvane/octave/'))) \
     error ('Orvane_10kHz_sf found at %s, not in the installed octave folder', where); end; \
   check_sizes_query ()"
