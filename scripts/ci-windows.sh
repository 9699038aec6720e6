#!/usr/bin/env bash
# CI for the Windows build. Cross builds Aravis and its libraries (cached, see
# scripts/build-windows-deps.sh), cross compiles with MinGW-w64 and the GenICam backend into
# build-windows/ (the build puts every DLL beside the binaries), and runs the unit tests and the
# end-to-end suite (simulated camera, the default backend) against the .exe under Wine, from
# the build folder with no WINEPATH, in a throw-away Wine prefix. Then makes the package folder
# and runs the GenICam suite against it, on loopback only: over GigE Vision against Aravis's
# emulator, and over USB3 Vision against the device emulator of tests/usb3-emulator. Without the
# dependencies (no prefix, no tarballs) the build has no GenICam backend and the package and
# GenICam suite are skipped.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${CAPTURE_WINDOWS_BUILD_DIR:-$root/build-windows}"
package="$build/package"
source "$root/scripts/lib/common.sh"

"$root/scripts/install-deps.sh" g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 googletest \
    binutils-mingw-w64-x86-64 aravis-tools iproute2

# Skipped: neither a built prefix nor the tarballs to build one, as the script said.
run_or_skip "$root/scripts/build-windows-deps.sh" >/dev/null
deps=""
genicam=OFF
if [ "$skipped" = no ]; then
    deps="$("$root/scripts/build-windows-deps.sh" --print-prefix)"
    genicam=ON
fi
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCAPTURE_WINDOWS_DEPS="$deps" -DBUILD_TESTING=ON -DCAPTURE_WARNINGS_AS_ERRORS=ON \
    -DCAPTURE_GENICAM="$genicam"
cmake --build "$build" -j 2

WINEPREFIX="$(mktemp -d /tmp/capture-wine.XXXXXX)"
export WINEPREFIX WINEDEBUG=-all WINEARCH=win64
cleanup() {
    wine_stop
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
wine_boot

# A test program under Wine now and then hangs on its way out after its test has passed (seen
# in the GoogleTest programs that load Aravis): a test that times out runs once more, and
# fails only when it times out again or fails outright.
timeout 900 ctest --test-dir "$build" --output-on-failure --timeout 120 -LE e2e -E '^e2e_' \
    --repeat after-timeout:2
# A fresh Wine server and boot for the end-to-end suite: a Wine service or desktop process
# started by a program under test would hold that server's output pipes open after it ends.
wine_boot
# The modules labelled wine in tests/e2e/CMakeLists.txt.
wine_modules="$(e2e_modules "$build" wine)"
mapfile -t modules <<<"$wine_modules"
(
    export CAPTURE_SERVER_PLATFORM=windows
    export CAPTURE_SERVER_COMMAND="wine $build/bin/capture-server.exe"
    cd "$root/tests/e2e"
    timeout 1800 python3 -B -m unittest -v "${modules[@]}"
)

[ "$genicam" = ON ] || exit 0
echo "== the Windows package with the GenICam backend"
"$root/scripts/package-windows.sh" "$build" "$deps" "$package"

echo "== the GenICam suite against the package, under Wine, on loopback only"
# Over GigE Vision, and over USB3 Vision with the device emulator as the package's libusb.
# Skipped when the namespace cannot be made (loopback-only.sh says why).
run_or_skip "$root/scripts/loopback-only.sh" "$root/scripts/test-windows-genicam.sh" "$package" \
    "$build/bin/usb3-emulator/libusb-1.0.dll"
