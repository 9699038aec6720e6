"""Takes the release's version from the checkout's VERSION file, which CMake reads too, and
records the checkout this package is installed from, so that CaptureServer finds the server
built there (build/bin/capture-server) without any setting. The release wheel
(CAPTURE_RELEASE_WHEEL=1, scripts/package-release.sh) records none: it finds the server on
PATH."""

import os
from pathlib import Path

from setuptools import setup
from setuptools.command.build_py import build_py

CHECKOUT = Path(__file__).resolve().parent.parent
VERSION = (CHECKOUT / "VERSION").read_text().strip()


class BuildWithCheckout(build_py):
    def run(self):
        super().run()
        target = Path(self.build_lib) / "capture_server" / "_checkout.py"
        recorded = None if os.environ.get("CAPTURE_RELEASE_WHEEL") == "1" else str(CHECKOUT)
        target.write_text("CHECKOUT = %r\n" % recorded)


setup(version=VERSION, cmdclass={"build_py": BuildWithCheckout})
