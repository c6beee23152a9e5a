#!/usr/bin/env bash
# test-deb-install.sh [BUILD_DIR]: the Debian package as a user meets it.
# Builds it from BUILD_DIR (default build/, built already) into a temporary
# folder, installs it with apt-get, runs `orvane demo` and imports the
# Python package from another folder, removes it, and checks that nothing
# of it is left. Needs root (CI runs it after make test); skips otherwise,
# and when orvane is installed already (a user's installation is left alone).
# The package is removed on every way out, failures included.
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"
skip() { echo "test-deb-install: SKIPPED: $*"; exit 0; }
[ "$(id -u)" -eq 0 ] || skip "not root (apt-get install needs root)"
for program in apt-get dpkg dpkg-deb dpkg-shlibdeps cpack; do
  command -v "$program" >/dev/null || skip "$program not found (install dpkg-dev and apt)"
done
[ -f "$build/CPackConfig.cmake" ] || { echo "test-deb-install: $build is not configured; run make first" >&2; exit 1; }
if dpkg-query -W -f='${Status}' orvane 2>/dev/null | grep -q "installed"; then
  skip "a package orvane is installed already; not replacing it"
fi

tmp="$(mktemp -d)"
installed=no
touched=no
cleanup() {
  status=$?
  if [ "$installed" = yes ]; then
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq orvane >/dev/null 2>&1 || dpkg --remove orvane || true
  fi
  # dpkg keeps a removed package's record (its maintainer scripts); the
  # machine is left as it was found.
  [ "$touched" = yes ] && { dpkg --purge orvane >/dev/null 2>&1 || true; }
  rm -rf "$tmp"
  exit $status
}
trap cleanup EXIT
fail() { echo "test-deb-install: FAILED: $*" >&2; exit 1; }

cpack -G DEB -B "$tmp/package" --config "$build/CPackConfig.cmake" > "$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log"; fail "cpack"; }
deb="$(ls "$tmp"/package/orvane_*.deb)"
echo "test-deb-install: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB; Depends: $(dpkg-deb -f "$deb" Depends)"
files="$(dpkg-deb -c "$deb" | awk '{ print substr($6, 2) }' | grep -v '/$')"

installed=yes
touched=yes
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" > "$tmp/apt.log" 2>&1 ||
  { cat "$tmp/apt.log"; fail "apt-get install"; }

mkdir -p "$tmp/elsewhere"
cd "$tmp/elsewhere"
# From a clean environment: no build folder, no user site (-s), so that only
# the installed package can answer.
env -i PATH=/usr/bin:/bin HOME="$tmp" orvane demo --output demo.csv > demo.txt || fail "orvane demo"
[ -s demo.csv ] || fail "orvane demo wrote no demo.csv"
env -i PATH=/usr/bin:/bin HOME="$tmp" /usr/bin/python3 -s -c "
import orvane
assert orvane.__file__.startswith('/usr/lib/python3/dist-packages/orvane/'), orvane.__file__
assert orvane.deliverable_path('10k') == '/usr/lib/orvane/Orvane_10kHz_sf.mexa64', orvane.deliverable_path('10k')
print('test-deb-install: import orvane:', orvane.__file__)
" || fail "python3 -c 'import orvane'"
[ -f /usr/share/man/man1/orvane-run.1.gz ] || fail "no man page orvane-run"
cd /

DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq orvane > "$tmp/apt.log" 2>&1 ||
  { cat "$tmp/apt.log"; fail "apt-get remove"; }
installed=no
dpkg --purge orvane >/dev/null 2>&1 || true
left=()
while IFS= read -r f; do [ -e "$f" ] && left+=("$f"); done <<< "$files"
for folder in /usr/lib/orvane /usr/lib/python3/dist-packages/orvane /usr/share/doc/orvane; do
  [ -e "$folder" ] && left+=("$folder")
done
[ ${#left[@]} -eq 0 ] || fail "left after apt-get remove: ${left[*]}"
echo "test-deb-install: installed, ran, removed; nothing left"
