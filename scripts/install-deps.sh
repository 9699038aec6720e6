#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, and any named as arguments,
# when one is missing.
set -euo pipefail

packages=(g++ make cmake libgtest-dev libtiff-dev libbenchmark-dev python3 "$@")
missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
# One installation at a time: CI builds the Windows dependencies beside the other stages,
# and apt-get refuses to run while another holds its lock.
exec 8>/tmp/capture-server-apt.lock
flock 8
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
