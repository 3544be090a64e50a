#!/usr/bin/env bash
# Runs every benchmark binary in the build directory; each prints BENCH lines.
set -uo pipefail
build=$1
found=0
for b in "$build"/bench/bench_*; do
  [ -x "$b" ] || continue
  found=1
  "$b" || echo "benchmark $b failed" >&2
done
[ $found -eq 1 ] || echo "No benchmarks built yet."
