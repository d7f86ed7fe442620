#!/usr/bin/env bash
# Fuzzes the report-descriptor parser with libFuzzer for 60 seconds (or the
# number of seconds given). Builds its own clang tree in build-fuzz/; the
# committed seed corpus is read, new inputs go to a scratch folder.
# Usage: bench/hid/fuzz-descriptor.sh [seconds]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-60}
build=$root/build-fuzz

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKB_FUZZ=ON -DKB_BUILD_TESTS=OFF -DKB_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_report_descriptor

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$build/bin/fuzz_report_descriptor" -max_total_time="$seconds" -print_final_stats=1 \
  "$scratch" "$root/bench/hid/corpus"
