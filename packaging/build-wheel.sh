#!/usr/bin/env bash
# build-wheel.sh BUILD_DIR [OUTDIR]: the wheel of BUILD_DIR's Python package
# into OUTDIR (default BUILD_DIR): installs the orvane component into a
# temporary tree, gathers the package with its compiled module, the host
# library and the deliverables into one folder (the module finds the host
# by $ORIGIN, the package the deliverables beside itself) and builds it with
# pip, offline, with Debian's setuptools.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "$1" && pwd)"
out="$(mkdir -p "${2:-$build}" && cd "${2:-$build}" && pwd)"
info="$build/python/orvane/_build_info.py"
[ -f "$info" ] || { echo "build-wheel.sh: no Python package in $build (see the configure step)" >&2; exit 1; }
python="$(sed -n 's/^PYTHON = "\(.*\)"$/\1/p' "$info")"
python_version="$(sed -n 's/^PYTHON_VERSION = "\(.*\)"$/\1/p' "$info")"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
"$python" -c "import setuptools, wheel, pip" 2>/dev/null ||
  { echo "build-wheel.sh: $python lacks setuptools, wheel or pip (install python3-setuptools python3-wheel python3-pip)" >&2; exit 1; }

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
cmake --install "$build" --prefix "$tmp/stage" --component orvane --strip > /dev/null
mkdir -p "$tmp/src"
cp -r "$tmp/stage/lib/python3/dist-packages/orvane" "$tmp/src/orvane"
cp "$tmp/stage/lib/orvane/"*.mexa64 "$tmp/stage/lib/orvane/"liborvane_host.so "$tmp/src/orvane/"
# In a wheel the deliverables lie beside the package's code.
sed -i 's/^DELIVERABLES_FROM_PACKAGE = .*/DELIVERABLES_FROM_PACKAGE = ""/' "$tmp/src/orvane/_build_info.py"
cp "$here/setup.py" "$tmp/src/"
ORVANE_VERSION="$version" ORVANE_PYTHON_VERSION="$python_version" \
  "$python" -m pip wheel --quiet --no-build-isolation --no-index --no-deps --wheel-dir "$tmp/wheel" "$tmp/src"
cp "$tmp"/wheel/orvane-*.whl "$out/"
ls "$out"/orvane-"$version"-*.whl
