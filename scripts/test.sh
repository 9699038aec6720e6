#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
warnings=OFF
[ "${CI:-}" = "true" ] && warnings=ON
"$root/scripts/build.sh" -DBUILD_TESTING=ON -DCAPTURE_WARNINGS_AS_ERRORS=$warnings
ctest --test-dir "$root/build" --output-on-failure --timeout 300
