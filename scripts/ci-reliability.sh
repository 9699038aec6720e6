#!/usr/bin/env bash
# CI: reliability. Unit and end-to-end tests under AddressSanitizer+UndefinedBehaviorSanitizer
# and under ThreadSanitizer, each libFuzzer target for a bounded time, a short soak run, and
# the end-to-end tests under Valgrind memcheck. Any sanitizer or Valgrind report fails it.
# FUZZ_SECONDS (default 60) and SOAK_CAPTURES (default 500) set the lengths.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
source "$root/scripts/lib/common.sh"
fuzz_seconds="${FUZZ_SECONDS:-60}"
soak_captures="${SOAK_CAPTURES:-500}"
logs="$(mktemp -d /tmp/ci-reliability-logs.XXXXXX)"

"$root/scripts/install-deps.sh" clang libclang-rt-14-dev valgrind

# Fails when a sanitizer or Valgrind left a report in the logs.
no_reports() {
    local found
    found="$(find "$logs" -name "$1*" -size +0 | head -n 5)"
    if [ -n "$found" ]; then
        echo "== reports found:"
        for report in $found; do head -n 60 "$report"; done
        return 1
    fi
}

# Builds are staged so that the next tree compiles while the current one's tests run. They
# leave the GenICam backend out: GLib is not built with the sanitizers, which then misread its
# locking, and the GenICam backend has its own checks. The fuzz build lists its targets in
# build-fuzz/fuzz-targets.txt (fuzz/CMakeLists.txt), and the Valgrind build's CTest labels name
# the end-to-end modules to run under Valgrind (tests/e2e/CMakeLists.txt).
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
cmake --preset asan >/dev/null
cmake --build build-asan -j 2 >/dev/null
build_rest() {
    cmake --preset tsan >/dev/null && cmake --build build-tsan -j 1 >/dev/null &&
        cmake --preset fuzz >/dev/null &&
        sed 's/^/fuzz_/' build-fuzz/fuzz-targets.txt |
        xargs cmake --build build-fuzz -j 1 --target >/dev/null &&
        cmake -S . -B build-valgrind -DCAPTURE_WARNINGS_AS_ERRORS=ON -DBUILD_TESTING=ON \
            -DCAPTURE_GENICAM=OFF >/dev/null &&
        cmake --build build-valgrind -j 1 --target capture-server >/dev/null
}
build_rest >"$logs/builds.txt" 2>&1 &
builds=$!

echo "== AddressSanitizer + UndefinedBehaviorSanitizer: unit and end-to-end tests"
ASAN_OPTIONS="log_path=$logs/asan:detect_leaks=1:strict_string_checks=1" \
UBSAN_OPTIONS="log_path=$logs/asan-ub:halt_on_error=1:print_stacktrace=1" \
    ctest --test-dir build-asan --output-on-failure -E e2e_endpoint -LE scripting
# The descriptor-limit cases count the plain binary's descriptors; the sanitizer runtime
# holds more, so only the other endpoint cases run here.
(cd tests/e2e && CAPTURE_SERVER_BINARY="$root/build-asan/bin/capture-server" \
    ASAN_OPTIONS="log_path=$logs/asan:detect_leaks=1" \
    timeout 300 python3 -B -m unittest test_endpoint.EndpointTest)
no_reports asan
wait "$builds" || { cat "$logs/builds.txt"; exit 1; }

echo "== ThreadSanitizer: unit and end-to-end tests (e2e_high_rate runs at 2000 frames/s)"
TSAN_OPTIONS="log_path=$logs/tsan:halt_on_error=1:second_deadlock_stack=1" \
    ctest --test-dir build-tsan --output-on-failure -E e2e_endpoint -LE scripting
(cd tests/e2e && CAPTURE_SERVER_BINARY="$root/build-tsan/bin/capture-server" \
    TSAN_OPTIONS="log_path=$logs/tsan:halt_on_error=1" \
    timeout 300 python3 -B -m unittest test_endpoint.EndpointTest)
no_reports tsan
mapfile -t fuzz_targets <build-fuzz/fuzz-targets.txt

# The fuzzers run on one core while the soak and Valgrind runs use the other.
fuzz_all() {
    for target in "${fuzz_targets[@]}"; do
        corpus="$(mktemp -d /tmp/ci-fuzz-$target.XXXXXX)"
        timeout $((fuzz_seconds + 60)) "build-fuzz/bin/fuzz_$target" \
            -max_total_time="$fuzz_seconds" -print_final_stats=1 \
            "$corpus" "fuzz/corpus/$target" 2>"$logs/fuzz-$target.txt" || return 1
        rm -rf "$corpus"
    done
}
echo "== libFuzzer: ${fuzz_seconds} s a target, in the background"
fuzz_all &
fuzzers=$!

echo "== Soak: ${soak_captures} captures at 200 frames/s"
timeout 600 python3 -B tests/soak/soak.py --binary build-valgrind/bin/capture-server \
    --captures "$soak_captures"

echo "== Valgrind memcheck over the end-to-end tests"
valgrind_command="valgrind --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite"
valgrind_command+=" --log-file=$logs/valgrind.%p $root/build-valgrind/bin/capture-server"
valgrind_modules="$(e2e_modules build-valgrind valgrind)"
mapfile -t modules <<<"$valgrind_modules"
(cd tests/e2e && CAPTURE_SERVER_COMMAND="$valgrind_command" PYTHONDONTWRITEBYTECODE=1 \
    timeout 900 python3 -B -m unittest "${modules[@]}")
# A server killed by a test leaves a log without a summary; an error shows in either kind.
reported="$(grep -lE "ERROR SUMMARY: [1-9]|Invalid (read|write|free)|uninitialised" \
    "$logs"/valgrind.* || true)"
if [ -n "$reported" ]; then
    for log in $reported; do cat "$log"; done
    echo "== Valgrind found errors"
    exit 1
fi
echo "== Valgrind: $(ls "$logs"/valgrind.* | wc -l) server runs, no errors"

if ! wait "$fuzzers"; then
    for target in "${fuzz_targets[@]}"; do
        tail -n 60 "$logs/fuzz-$target.txt" 2>/dev/null || true
    done
    echo "== a fuzz target failed"
    exit 1
fi
for target in "${fuzz_targets[@]}"; do
    echo "-- fuzz_$target: $(grep -E "stat::number_of_executed_units" "$logs/fuzz-$target.txt")"
done
rm -rf "$logs"
echo "== reliability checks done"
