#!/usr/bin/env bash
# Builds the .MTP parser fuzzer with clang and runs it for 60 seconds (or the
# number of seconds given) on a copy of the committed corpus.
# Usage: bench/isp/fuzz-mtp.sh [seconds]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-60}
build=$root/build-fuzz
cmake -S "$root" -B "$build" -G Ninja -DKB_FUZZ=ON -DKB_BUILD_TESTS=OFF -DKB_BUILD_BENCH=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target fuzz_mtp
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root"/bench/isp/mtp-corpus/* "$work"/
"$build"/bin/fuzz_mtp -max_total_time="$seconds" -max_len=70000 "$work"
