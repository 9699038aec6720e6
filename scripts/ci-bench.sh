#!/usr/bin/env bash
# CI: builds the benchmarks with warnings as errors and gives each a short smoke run, so that
# they keep building and working. The figures of a smoke run mean nothing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${CI_BENCH_BUILD_DIR:-$root/build-bench}"

"$root/scripts/install-deps.sh" python3-matplotlib

cmake -S "$root" -B "$build" -DBUILD_TESTING=OFF -DCAPTURE_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$build" -j 2 --target capture-server capture-client capture_latency \
    save_throughput idle_cpu frame_delivery

# Each benchmark that starts a server takes the port lock itself; every run is bounded.
samples="$(mktemp -d)"
trap 'rm -rf "$samples"' EXIT
echo "== capture_latency (smoke, on disk and on tmpfs, then the plot)"
timeout 120 "$build/bin/capture_latency" --captures 3 --setting 640x480:Mono8:200 \
    --samples "$samples/disk.csv"
timeout 120 "$build/bin/capture_latency" --captures 3 --setting 640x480:Mono8:200 --tmpfs \
    --samples "$samples/tmpfs.csv"
timeout 120 /usr/bin/python3 "$root/bench/plot_latency.py" "$samples/disk.csv" \
    "$samples/tmpfs.csv" -o "$samples/latency.png"
echo "== frame_delivery (smoke)"
timeout 120 "$build/bin/frame_delivery" --cycles 3 --setting 640x480:Mono8:200
echo "== save_throughput (smoke)"
timeout 120 "$build/bin/save_throughput" --size 640x480 --benchmark_min_time=0.01
echo "== idle_cpu (smoke)"
timeout 120 "$build/bin/idle_cpu" --seconds 0.5
echo "== benchmark smoke runs done"
