#!/usr/bin/env bash
# deb_relocation_test.sh BUILD_DIR: builds the Debian package of BUILD_DIR
# into a temporary folder, unpacks it there with dpkg-deb -x (no install),
# and runs the tool and the Python package from the unpacked tree: they
# must find their deliverables and host relative to themselves, and no file
# may name the build folder.
set -euo pipefail
build="$(cd "$1" && pwd)"
for program in cpack dpkg-deb dpkg-shlibdeps readelf; do
  command -v "$program" >/dev/null || { echo "SKIPPED: $program not found (install dpkg-dev, binutils)"; exit 77; }
done
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

cpack -G DEB -B "$tmp/package" --config "$build/CPackConfig.cmake" > "$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log"; fail "cpack"; }
deb="$(ls "$tmp"/package/orvane_*.deb)"
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
# Whether this build made the Python package (an interpreter with numpy).
python_built=no
[ -f "$build/python/orvane/_build_info.py" ] && python_built=yes
expected=(libsoxr libpcap libhdf5 libstdc++)
[ $python_built = yes ] && expected+=(python3-numpy)
for library in "${expected[@]}"; do
  [[ $depends == *"$library"* ]] || fail "Depends names no $library"
done
contents="$(dpkg-deb -c "$deb")"
for file in usr/bin/orvane usr/lib/orvane/Orvane_10kHz_sf.mexa64 usr/lib/orvane/Narrow32_sf.mexa64 \
            usr/lib/orvane/orvane_setup.m usr/share/man/man1/orvane.1.gz usr/share/man/man1/orvane-run.1.gz \
            usr/share/bash-completion/completions/orvane usr/share/doc/orvane/README.md \
            $([ $python_built = yes ] && echo usr/lib/python3/dist-packages/orvane/pmu.py); do
  grep -q " ./$file\$" <<< "$contents" || fail "the package holds no /$file"
done

root="$tmp/unpacked/somewhere/else"
mkdir -p "$root" "$tmp/work"
dpkg-deb -x "$deb" "$root"
if grep -rlF "$build" "$root" > "$tmp/named"; then
  fail "files naming the build folder $build: $(tr '\n' ' ' < "$tmp/named")"
fi
[[ "$(readelf -d "$root/usr/bin/orvane")" == *'[$ORIGIN/../lib/orvane]'* ]] || fail "orvane's RUNPATH"

cd "$tmp/work"
"$root/usr/bin/orvane" run --signal steady --duration 0.2 --reports-only --output reports.csv ||
  fail "orvane run from the unpacked tree"
[ "$(wc -l < reports.csv)" -gt 5 ] || fail "reports.csv holds $(wc -l < reports.csv) lines"

if [ $python_built = yes ]; then
  python="$(sed -n 's/^PYTHON = "\(.*\)"$/\1/p' "$build/python/orvane/_build_info.py")"
  PYTHONPATH="$root/usr/lib/python3/dist-packages" ORVANE_BUILD_DIR= "$python" -s -c "
import orvane, sys
path = orvane.deliverable_path('10k')
assert path.startswith('$root/usr/lib/orvane/'), path
assert orvane.__file__.startswith('$root/'), orvane.__file__
print('python:', path)
" || fail "the Python package from the unpacked tree"
fi
echo "relocation: ok ($root)"
