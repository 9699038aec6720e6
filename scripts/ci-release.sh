#!/usr/bin/env bash
# CI for the release packages: scripts/package-release.sh makes both in dist/, then each is
# checked as a user would use it: the Windows zip unpacked and run under Wine against Aravis's
# emulator (on loopback only), the Debian package installed with apt-get and run from PATH, with
# the Python wheel in a virtual environment capturing through it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/lib/common.sh"
"$root/scripts/install-deps.sh" wine wine64 aravis-tools iproute2

"$root/scripts/package-release.sh"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/build-release-linux/CMakeCache.txt")"

echo "== the Windows zip, unpacked, under Wine, on loopback only"
# Skipped when the namespace cannot be made (loopback-only.sh says why).
run_or_skip "$root/scripts/loopback-only.sh" "$root/scripts/test-release-zip.sh" \
    "$root/dist/capture-server-$version-windows-x86_64.zip"

echo "== the Debian package, installed with apt-get"
"$root/scripts/test-release-deb.sh" "$root/dist/capture-server_${version}_amd64.deb" \
    "$root/dist/capture_server-$version-py3-none-any.whl"
