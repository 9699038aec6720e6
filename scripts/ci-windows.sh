#!/usr/bin/env bash
# CI for the Windows build: cross builds Aravis and its libraries (cached, see
# scripts/build-windows-deps.sh), cross compiles with MinGW-w64 and the GenICam backend into
# build-windows/, makes the package folder build-windows/package/, and runs the unit tests and
# the end-to-end suite against the packaged .exe under Wine, in a throw-away Wine prefix; then
# the GenICam suite against Aravis's emulator, in a network namespace with only loopback up.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${CAPTURE_WINDOWS_BUILD_DIR:-$root/build-windows}"
package="$build/package"

"$root/scripts/install-deps.sh" g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 googletest \
    binutils-mingw-w64-x86-64 aravis-tools iproute2

deps="$("$root/scripts/build-windows-deps.sh" | tail -n 1)"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCAPTURE_WINDOWS_DEPS="$deps" -DBUILD_TESTING=ON -DCAPTURE_WARNINGS_AS_ERRORS=ON \
    -DCAPTURE_GENICAM=ON
cmake --build "$build" -j 2
"$root/scripts/package-windows.sh" "$build" "$deps" "$package"

WINEPREFIX="$(mktemp -d /tmp/capture-wine.XXXXXX)"
export WINEPREFIX WINEDEBUG=-all WINEARCH=win64
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
# One wineserver for the whole run instead of one per test, then the prefix's first boot.
wineserver -p
timeout 120 wineboot -i >/dev/null 2>&1

# The test programs in build-windows/bin find the DLLs of the package folder through WINEPATH.
WINEPATH="$(winepath -w "$package")"
export WINEPATH
timeout 900 ctest --test-dir "$build" --output-on-failure --timeout 120 -LE e2e -E '^e2e_'
export CAPTURE_SERVER_PLATFORM=windows
export CAPTURE_SERVER_COMMAND="wine $package/capture-server.exe"
# Wine's services and desktop process, started afresh here with no output and kept busy by
# the tests: started by a server instead, they would hold its output pipes open after it ends.
wineserver -k >/dev/null 2>&1 || true
wineserver -p >/dev/null 2>&1
timeout 120 wineboot >/dev/null 2>&1
(cd "$root/tests/e2e" &&
    timeout 1200 python3 -B -m unittest -v test_startup test_capture test_protocol \
        test_failures test_endpoint)

# Wine's server makes the program's sockets: the GenICam suite starts its own inside the
# namespace.
wineserver -k >/dev/null 2>&1 || true
status=0
"$root/scripts/loopback-only.sh" "$root/scripts/test-windows-genicam.sh" "$package" || status=$?
if [ "$status" -eq 77 ]; then
    echo "SKIP: the Windows GenICam tests need a network namespace with only loopback up"
elif [ "$status" -ne 0 ]; then
    exit "$status"
fi
