#!/usr/bin/env bash
# CI: builds the benchmarks with warnings as errors and gives each a short smoke run, so that
# they keep building and working. The figures of a smoke run mean nothing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${CI_BENCH_BUILD_DIR:-$root/build-bench}"

"$root/scripts/install-deps.sh"

cmake -S "$root" -B "$build" -DBUILD_TESTING=OFF -DCAPTURE_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$build" -j 2 --target capture-server capture-client capture_latency \
    save_throughput idle_cpu

# Each benchmark that starts a server takes the port lock itself; every run is bounded.
echo "== capture_latency (smoke)"
timeout 120 "$build/bin/capture_latency" --captures 3
echo "== save_throughput (smoke)"
timeout 120 "$build/bin/save_throughput" --benchmark_min_time=0.01
echo "== idle_cpu (smoke)"
timeout 120 "$build/bin/idle_cpu" --seconds 0.5
echo "== benchmark smoke runs done"
