#!/usr/bin/env bash
# Installs the Python package into a fresh virtual environment at $1, with docs/clients.md's
# commands, offline: the environment sees Debian's pip, numpy, tifffile, pytest, setuptools
# and wheel (--system-site-packages). A python3 ahead of Debian's on PATH (pyenv, conda) lacks
# them, so the first python3 that has them is taken.
set -euo pipefail
venv="$1"
root="$(cd "$(dirname "$0")/../.." && pwd)"
python=""
for candidate in python3 /usr/bin/python3; do
    if "$candidate" -c "import importlib.util as u, sys
sys.exit(not all(map(u.find_spec, ['numpy', 'pip', 'pytest', 'setuptools', 'tifffile', 'wheel'])))" \
        2>/dev/null; then
        python="$candidate"
        break
    fi
done
if [ -z "$python" ]; then
    echo "no python3 with pip, numpy, pytest, setuptools, tifffile and wheel:" \
        "run scripts/install-deps.sh"
    exit 1
fi
rm -rf "$venv"
"$python" -m venv --system-site-packages --without-pip "$venv"
"$venv/bin/python" -m pip install --no-index --no-build-isolation "$root/python"
# The installed copy, used away from the source tree, looks for the server in this checkout
# and carries the checkout's version.
cd /
env -u CAPTURE_SERVER_BINARY "$venv/bin/python" - "$root/build/bin/capture-server" \
    "$(cat "$root/VERSION")" <<'CHECK'
import importlib.metadata
import sys
import capture_server
try:
    found = str(capture_server.locate_binary())
except FileNotFoundError as error:
    found = str(error)
assert sys.argv[1] in found, "the installed package looks for the server elsewhere: " + found
installed = importlib.metadata.version("capture_server")
assert installed == sys.argv[2], "installed version %s, checkout's %s" % (installed, sys.argv[2])
print("installed", capture_server.__file__)
CHECK
