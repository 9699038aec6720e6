#!/usr/bin/env bash
# CI for the Windows build: cross compiles with MinGW-w64 into build-windows/ and runs the unit
# tests and the end-to-end suite against the .exe under Wine, in a throw-away Wine prefix.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${CAPTURE_WINDOWS_BUILD_DIR:-$root/build-windows}"

"$root/scripts/install-deps.sh" g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 googletest

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DBUILD_TESTING=ON -DCAPTURE_WARNINGS_AS_ERRORS=ON -DCAPTURE_GENICAM=OFF
cmake --build "$build" -j 2

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

timeout 900 ctest --test-dir "$build" --output-on-failure --timeout 120 -LE e2e -E '^e2e_'
export CAPTURE_SERVER_PLATFORM=windows
export CAPTURE_SERVER_COMMAND="wine $build/bin/capture-server.exe"
cd "$root/tests/e2e"
timeout 1800 python3 -B -m unittest -v test_startup test_capture test_protocol test_failures \
    test_endpoint test_formats
