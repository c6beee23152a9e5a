#!/bin/sh
# Latency of the live PMU on a sampled-values stream: a merging unit
# publishes in real time into a veth pair whose other end sits in a network
# namespace made here (root only), `orvane serve --sv` measures it and one
# `orvane pdc` receives the data frames. serve prints, when the stream ends,
# the median and 99th percentile from the capture of the SV frame that
# completed a report's data to the departure of its data frame, and the
# CPU time serve took for the stream.
#   scripts/measure-sv-latency.sh [BUILD_DIR] [RATE] [BUILD] [SECONDS]
set -eu
build=${1:-build}
rate=${2:-4000}
tag=${3:-auto}
seconds=${4:-20}
tool=$(cd "$build" && pwd)/orvane
ns=orvane_lat_$$
a=orvlat$$a
b=orvlat$$b
work=$(mktemp -d)
cleanup() {
    ip link del "$a" 2>/dev/null || true
    ip netns del "$ns" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM
ip netns add "$ns"
ip link add "$a" type veth peer name "$b"
ip link set "$b" netns "$ns"
ip link set "$a" up
ip netns exec "$ns" ip link set "$b" up
/usr/bin/time -f "orvane serve: CPU %U s user + %S s system in %e s" \
    "$tool" serve --sv "$a" --build "$tag" --listen 127.0.0.1:0 2>"$work/serve.err" &
serve=$!
ip netns exec "$ns" "$tool" sv-publish --interface "$b" --rate "$rate" --signal steady --duration "$seconds" \
    2>"$work/publish.err" &
publish=$!
port=
for _ in $(seq 100); do
    port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/serve.err")
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || { cat "$work/serve.err" >&2; exit 1; }
"$tool" pdc "127.0.0.1:$port" --timeout 5 >/dev/null 2>"$work/pdc.err" || true
wait "$publish" || true
wait "$serve" || true
grep -E 'listening|latency|lost|CPU' "$work/serve.err"
