#!/usr/bin/env bash
# The Windows zip as a user gets it: unpacked into a fresh folder, its capture-server.exe with
# the GenICam backend captures one frame from Aravis's emulator under Wine, asked by the zip's
# own capture-client.exe, and Aravis's log shows the USB3 Vision enumeration (libusb in place).
# Runs inside scripts/loopback-only.sh, with Wine's server started in the namespace.
#   scripts/loopback-only.sh scripts/test-release-zip.sh ZIP
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 ZIP" >&2; exit 2; }
zip="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
source "$(dirname "$0")/lib/common.sh"
work="$(mktemp -d /tmp/capture-release-zip.XXXXXX)"
export WINEPREFIX="$work/wine" WINEDEBUG=-all WINEARCH=win64
emulator=""
server=""
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null
    [ -n "$emulator" ] && kill "$emulator" 2>/dev/null
    wine_stop
    rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/unpacked" "$work/images" "$WINEPREFIX"
(cd "$work/unpacked" && cmake -E tar xf "$zip")
package="$(echo "$work"/unpacked/*)"
wine_boot

arv-fake-gv-camera-0.8 -i 127.0.0.1 >"$work/emulator.log" 2>&1 &
emulator=$!
exec 7>/tmp/capture-server-port.lock
flock 7
cd "$work/images"
CAMERA_SDK_BACKEND=genicam ARV_DEBUG=interface:3 wine "$package/capture-server.exe" \
    </dev/null >"$work/server.log" 2>&1 &
server=$!
status=0
# Not ready: the client below fails, and its log says why.
wait_for_ready "$work/server.log" "$server" 60 || true
timeout 60 wine "$package/capture-client.exe" --timeout 30 Get1 End || status=$?
timeout 30 tail --pid="$server" -f /dev/null || true
server=""
if [ "$status" -ne 0 ] || [ ! -s 0001.tiff ] || ! grep -q "USB3Vision" "$work/server.log"; then
    echo "FAIL: the unpacked zip's server did not capture (client status $status); its log:" >&2
    tail -n 40 "$work/server.log" >&2
    exit 1
fi
echo "PASS: the unpacked zip captured 0001.tiff from the emulator under Wine"
