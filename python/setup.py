"""Takes the release's version from the checkout's VERSION file, which CMake reads too, and
records the checkout this package is installed from, so that CaptureServer finds the server
built there (build/bin/capture-server) without any setting."""

from pathlib import Path

from setuptools import setup
from setuptools.command.build_py import build_py

CHECKOUT = Path(__file__).resolve().parent.parent
VERSION = (CHECKOUT / "VERSION").read_text().strip()


class BuildWithCheckout(build_py):
    def run(self):
        super().run()
        target = Path(self.build_lib) / "capture_server" / "_checkout.py"
        target.write_text("CHECKOUT = %r\n" % str(CHECKOUT))


setup(version=VERSION, cmdclass={"build_py": BuildWithCheckout})
