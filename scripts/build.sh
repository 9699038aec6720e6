#!/usr/bin/env bash
# Configures and builds the project into build/ (extra arguments go to CMake).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cmake -S "$root" -B "$root/build" "$@"
cmake --build "$root/build" -j "$(nproc)"
