#!/usr/bin/env bash
# Runs a command in a network namespace of its own with only loopback up. Everything that runs
# Aravis goes through here: its camera discovery broadcasts on every interface of the machine,
# and nothing of ours may send beyond loopback. Exits 77, which CTest counts as a skip, with
# the reason on standard error when the namespace cannot be made.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 COMMAND [ARG...]" >&2; exit 2; }

# Root makes the namespace directly; anyone else through a user namespace of their own.
unshare_options=(--net)
[ "$(id -u)" -ne 0 ] && unshare_options=(--net --map-root-user)
if ! unshare "${unshare_options[@]}" true 2>/dev/null; then
    echo "SKIP: cannot make a network namespace (unshare ${unshare_options[*]} failed)" >&2
    exit 77
fi
if ! command -v ip >/dev/null; then
    echo "SKIP: ip is not installed (Debian: iproute2)" >&2
    exit 77
fi
exec unshare "${unshare_options[@]}" bash -c 'ip link set lo up && exec "$@"' loopback-only "$@"
