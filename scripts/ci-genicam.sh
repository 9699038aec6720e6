#!/usr/bin/env bash
# CI: the GenICam backend through Aravis. Builds with Aravis and warnings as errors, runs the
# pixel-format unit tests and the end-to-end tests against Aravis's GigE Vision camera
# emulator on 127.0.0.1 and against the USB3 Vision device emulator of tests/usb3-emulator
# (150 captures in a row among them), in a network namespace with only loopback up
# (scripts/loopback-only.sh), the same under AddressSanitizer with UndefinedBehaviorSanitizer
# (preset asan-genicam), then checks that a build without Aravis still works and says that the
# backend was not built.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${CI_GENICAM_BUILD_DIR:-$root/build-genicam}"
plain="${build}-without"

# libusb-1.0-0-dev: aravis-0.8.pc requires it, and libaravis-dev does not pull it in.
"$root/scripts/install-deps.sh" pkg-config libaravis-dev libusb-1.0-0-dev aravis-tools iproute2

echo "== build with Aravis"
cmake -S "$root" -B "$build" -DCAPTURE_GENICAM=ON -DCAPTURE_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$build" -j 2 --target capture-server genicam_tests usb3-emulator
echo "== GenICam tests (unit, and end-to-end against the emulator)"
(cd "$build" && timeout 600 ctest -R genicam --output-on-failure)

echo "== GenICam tests under AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset asan-genicam >/dev/null
cmake --build "$root/build-asan-genicam" -j 2 --target capture-server genicam_tests usb3-emulator >/dev/null
asan_logs="$(mktemp -d /tmp/ci-genicam-asan.XXXXXX)"
# Any report, leaks included, fails the step.
(cd "$root/build-asan-genicam" &&
    ASAN_OPTIONS="log_path=$asan_logs/asan:detect_leaks=1" \
    UBSAN_OPTIONS="log_path=$asan_logs/ub:halt_on_error=1:print_stacktrace=1" \
    timeout 900 ctest -R genicam --output-on-failure)
if [ -n "$(find "$asan_logs" -type f -size +0 | head -n 1)" ]; then
    head -n 60 "$asan_logs"/*
    echo "sanitizer reports found"
    exit 1
fi
rm -rf "$asan_logs"

echo "== build without Aravis"
cmake -S "$root" -B "$plain" -DCAPTURE_GENICAM=OFF -DBUILD_TESTING=OFF \
    -DCAPTURE_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$plain" -j 2 --target capture-server
folder="$(mktemp -d)"
trap 'rm -rf "$folder"' EXIT
set +e
output="$(cd "$folder" && CAMERA_SDK_BACKEND=genicam \
    flock /tmp/capture-server-port.lock timeout 30 "$plain/bin/capture-server" 2>&1 </dev/null)"
status=$?
set -e
grep -qx 'Jai_Factory: CAMERA_SDK_BACKEND: "genicam" is not built into this library' \
    <<<"$output" || { echo "$output"; echo "no line saying the backend was not built"; exit 1; }
grep -qx $'\tCould not open the factory!' <<<"$output" || { echo "$output"; exit 1; }
[ "$status" -eq 1 ] || { echo "status $status, expected 1"; exit 1; }
echo "== GenICam CI done"
