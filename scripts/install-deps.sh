#!/usr/bin/env bash
# Installs every Debian package that the build and the tests need. As root it
# installs them with apt-get; otherwise it names what is missing and leaves
# the rest to the build (tests that cannot run say so as skipped).
set -euo pipefail

packages=(g++ cmake make libgtest-dev libbenchmark-dev xz-utils libsoxr-dev tshark)
# Header-only: CLI11 reads the tool's command lines, nlohmann-json builds the
# compliance report's JSON.
packages+=(libcli11-dev nlohmann-json3-dev)
# HDF5 output (libhdf5-dev); the tests read it with h5dump and h5py, check a
# plot page's numbers (nlohmann-json3-dev) and its drawing in headless
# chromium (python3-pil reads the screenshot).
packages+=(libhdf5-dev hdf5-tools python3-h5py python3-pandas python3-numpy chromium python3-pil)
# libpcap reads and writes sampled-values captures and captures live.
packages+=(libpcap-dev)
# The live view of 'orvane pdc --http': cpp-httplib serves it, Chart.js
# (embedded at build time) draws its charts, chromium renders it in its test.
packages+=(libcpp-httplib-dev libjs-chart.js)
# clang and its runtime libraries build the libFuzzer targets (make fuzz).
packages+=(clang libclang-rt-14-dev)
# GNU Octave (about 300 MB) hosts the deliverables as real MEX files: octave
# gives octave-cli, octave-dev gives mkoctfile and the MEX headers. Like every
# package here it is installed only when missing.
packages+=(octave octave-dev)
# The Python package orvane: the interpreter with its headers, pybind11 for
# the binding, numpy and pandas for its arrays and tables, pytest for its
# tests, dask and distributed for archives on a cluster, matplotlib for the
# example study.
packages+=(python3 python3-dev pybind11-dev python3-pybind11 python3-numpy python3-pandas python3-pytest
           python3-dask python3-distributed python3-matplotlib)

# The documentation site (make docs, run by CI with --strict): mkdocs builds
# it from docs/; its YAML module also writes the build's own mkdocs.yml.
packages+=(mkdocs python3-yaml)

# Packages (make deb, make wheel): dpkg-dev gives dpkg-shlibdeps, which
# computes the Debian package's Depends from its binaries; help2man writes
# the man pages from each command's --help; setuptools, wheel and pip build
# the wheel offline, and venv (with pip) installs it in its test.
packages+=(dpkg-dev help2man python3-setuptools python3-wheel python3-pip python3-venv)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null || true
  if ! apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
    # One package the archive cannot give must not take the others with it.
    for p in "${missing[@]}"; do
      apt-get install -y -qq --no-install-recommends "$p" >/dev/null || echo "Could not install $p" >&2
    done
  fi
else
  echo "Not root; please install these Debian packages: ${missing[*]}" >&2
fi
