#!/usr/bin/env bash
# The GenICam end-to-end suite against the Windows package under Wine: over GigE Vision against
# Aravis's emulator, and, given the USB3 Vision device emulator's DLL, over USB3 Vision against
# a copy of the package whose libusb-1.0.dll is that emulator. Runs inside
# scripts/loopback-only.sh: Wine's server makes the program's sockets, so it is started here,
# inside the namespace, and stopped on the way out.
#   scripts/loopback-only.sh scripts/test-windows-genicam.sh PACKAGE_DIR [EMULATOR_DLL]
set -euo pipefail
[ $# -eq 1 ] || [ $# -eq 2 ] || { echo "usage: $0 PACKAGE_DIR [EMULATOR_DLL]" >&2; exit 2; }
root="$(cd "$(dirname "$0")/.." && pwd)"
package="$(cd "$1" && pwd)"
emulator="${2:+$(realpath "$2")}"
source "$root/scripts/lib/common.sh"
: "${WINEPREFIX:?WINEPREFIX names a booted Wine prefix}"

usb3_package=""
cleanup() {
    wine_stop
    [ -z "$usb3_package" ] || rm -rf "$usb3_package"
}
trap cleanup EXIT
wine_boot

export CAPTURE_SERVER_PLATFORM=windows PYTHONPATH="$root/tests/e2e"
cd "$root/tests/genicam"
CAPTURE_SERVER_COMMAND="wine $package/capture-server.exe" \
    timeout 900 python3 -B -m unittest -v test_genicam.GigeVisionTest
[ -n "$emulator" ] || exit 0

usb3_package="$(mktemp -d /tmp/capture-usb3-package.XXXXXX)"
cp "$package"/*.exe "$package"/*.dll "$usb3_package/"
cp "$emulator" "$usb3_package/libusb-1.0.dll"
USB3_EMULATOR_DIR="$usb3_package" CAPTURE_SERVER_COMMAND="wine $usb3_package/capture-server.exe" \
    timeout 900 python3 -B -m unittest -v test_genicam.Usb3VisionTest
