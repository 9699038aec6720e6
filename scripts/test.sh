#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# The scripting clients' tests: the Python package in a virtual environment that sees
# Debian's packages, and capture_get.m under Octave. The readers' test: ImageJ (under a
# virtual X server), OpenCV, Pillow, tiffinfo, GraphicsMagick, tifffile and exiftool.
"$root/scripts/install-deps.sh" python3-pip python3-setuptools python3-wheel python3-numpy \
    python3-tifffile python3-pytest octave octave-instrument-control \
    imagej xvfb xauth python3-opencv python3-pil libtiff-tools graphicsmagick \
    libimage-exiftool-perl
warnings=OFF
[ "${CI:-}" = "true" ] && warnings=ON
"$root/scripts/build.sh" -DBUILD_TESTING=ON -DCAPTURE_WARNINGS_AS_ERRORS=$warnings
ctest --test-dir "$root/build" --output-on-failure --timeout 300
