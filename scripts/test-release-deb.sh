#!/usr/bin/env bash
# The Debian package as a user gets it: installed with apt-get, capture-server and
# capture-client from PATH capture two frames with the simulated camera in a fresh folder,
# capture-client --version names the package's version; with the Python wheel, installed into
# a fresh virtual environment as docs/clients.md says, a script captures through the server on
# PATH and reads what the file says of its frame. Then the package is removed again.
# As root (CI), or through sudo.
#   scripts/test-release-deb.sh DEB [WHEEL]
set -euo pipefail
[ $# -eq 1 ] || [ $# -eq 2 ] || { echo "usage: $0 DEB [WHEEL]" >&2; exit 2; }
deb="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
source "$(dirname "$0")/lib/common.sh"
version="$(dpkg-deb --field "$deb" Version)"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
work="$(mktemp -d /tmp/capture-release-deb.XXXXXX)"
server=""
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null
    rm -rf "$work"
    flock /tmp/capture-server-apt.lock $sudo apt-get remove -y -qq --purge capture-server \
        >/dev/null 2>&1 || true
}
trap cleanup EXIT

flock /tmp/capture-server-apt.lock env DEBIAN_FRONTEND=noninteractive \
    $sudo apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
hash -r
[ "$(command -v capture-server)" = /usr/bin/capture-server ]
[ "$(capture-client --version)" = "capture-client $version" ]

exec 7>/tmp/capture-server-port.lock
flock 7
cd "$work"
SIMCAM_WIDTH=96 SIMCAM_HEIGHT=64 capture-server </dev/null >"$work/server.log" 2>&1 &
server=$!
status=0
# Not ready: the client below fails, and its log says why.
wait_for_ready "$work/server.log" "$server" 10 || true
capture-client --timeout 20 Get1 Get2 End || status=$?
wait "$server" || status=$?
server=""
if [ "$status" -ne 0 ] || [ ! -s 0001.tiff ] || [ ! -s 0002.tiff ]; then
    echo "FAIL: the installed package did not capture (status $status); the server's log:" >&2
    tail -n 30 "$work/server.log" >&2
    exit 1
fi
echo "PASS: the installed package $version captured 0001.tiff and 0002.tiff from PATH"
[ $# -eq 2 ] || exit 0

wheel="$(cd "$(dirname "$2")" && pwd)/$(basename "$2")"
/usr/bin/python3 -m venv --system-site-packages --without-pip "$work/venv"
"$work/venv/bin/python" -m pip install --quiet --no-index "$wheel"
(cd "$work" && env -u CAPTURE_SERVER_BINARY SIMCAM_WIDTH=96 SIMCAM_HEIGHT=64 \
    "$work/venv/bin/python" - "$version" <<'CHECK'
import importlib.metadata
import sys
import capture_server
assert importlib.metadata.version("capture_server") == sys.argv[1]
with capture_server.CaptureServer() as server:
    image, info = server.capture(1, with_metadata=True)
assert server.process.args[0] == "/usr/bin/capture-server", server.process.args
assert image.shape == (64, 96, 3) and info.camera == "SIMCAM-0", (image.shape, info)
CHECK
)
echo "PASS: the wheel $(basename "$wheel") captured through the installed server"
