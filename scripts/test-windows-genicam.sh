#!/usr/bin/env bash
# The GenICam end-to-end suite against the Windows package under Wine and Aravis's emulator.
# Runs inside scripts/loopback-only.sh: Wine's server makes the program's sockets, so it is
# started here, inside the namespace, and stopped on the way out.
#   scripts/loopback-only.sh scripts/test-windows-genicam.sh PACKAGE_DIR
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 PACKAGE_DIR" >&2; exit 2; }
root="$(cd "$(dirname "$0")/.." && pwd)"
package="$(cd "$1" && pwd)"
source "$root/scripts/lib/common.sh"
: "${WINEPREFIX:?WINEPREFIX names a booted Wine prefix}"

trap wine_stop EXIT
wine_boot

export CAPTURE_SERVER_PLATFORM=windows
export CAPTURE_SERVER_COMMAND="wine $package/capture-server.exe"
cd "$root/tests/genicam"
PYTHONPATH="$root/tests/e2e" timeout 900 python3 -B -m unittest -v test_genicam
