#!/usr/bin/env bash
# Installs what is missing, builds, and starts the server with the simulated camera in the
# current folder, where it writes 0001.tiff and 0002.tiff.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" -DBUILD_TESTING=OFF
exec "$root/build/bin/capture-server"
