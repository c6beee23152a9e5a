#!/usr/bin/env bash
# Builds the libFuzzer targets with clang++ (address and undefined-behaviour
# sanitizers on, every library instrumented) and runs each for a fixed time.
# New inputs go to a scratch corpus, so the checked-in seeds under
# fuzz/corpus/ stay small; a crash leaves its input in the fuzz build
# directory and ends the script with a non-zero status.
#
#   scripts/fuzz.sh [BUILD_DIR] [SECONDS_PER_TARGET] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

build_dir=${1:-build-fuzz}
seconds=${2:-60}
shift 2 || shift $#
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(csv_reader_fuzz sizes_query_fuzz method_road_fuzz model_outputs_fuzz comtrade_fuzz c37118_fuzz sv_fuzz)
fi

if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ is missing (Debian packages clang and libclang-rt-14-dev)" >&2
  exit 1
fi
test -f "$build_dir/CMakeCache.txt" || cmake -S . -B "$build_dir" -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_BUILD_FUZZ=ON \
  -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_BENCH=OFF >/dev/null
cmake --build "$build_dir" -j "${JOBS:-$(nproc)}" --target orvane_fuzz_targets

status=0
for target in "${targets[@]}"; do
  mkdir -p "$build_dir/fuzz-corpus/$target"
  echo "fuzz: $target for ${seconds} s" >&2
  # -rss_limit_mb and -malloc_limit_mb catch a reader that lets a file size
  # its allocations; -timeout catches one that stops making progress.
  if ! (cd "$build_dir" && "./$target" -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=1024 \
        -timeout=25 -print_final_stats=1 "fuzz-corpus/$target" "$repo/fuzz/corpus/$target" \
        2>"fuzz-$target.log"); then
    echo "fuzz: $target FAILED; see $build_dir/fuzz-$target.log" >&2
    tail -n 40 "$build_dir/fuzz-$target.log" >&2
    status=1
  fi
  grep -E "^stat::number_of_executed_units|^stat::new_units_added" "$build_dir/fuzz-$target.log" |
    sed "s/^/fuzz: $target: /" >&2 || true
done
exit $status
