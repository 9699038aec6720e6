"""Saved files of every output kind (8- and 16-bit grey, 24- and 48-bit RGB, at odd sizes and
one large size), taken by the real server from the simulated camera, opened by the readers
that labs use: ImageJ, OpenCV, Pillow, libtiff's tiffinfo, GraphicsMagick and tifffile. Each
must give the file's size, depth and pixels, as this test reads them from the file's strips;
tiffinfo must print no warning; exiftool must show the tags that say what the file is.

Runs with Debian's python3 (python3-opencv, python3-pil, python3-tifffile, python3-numpy) and
exits 77 (a skip) naming what is missing; scripts/install-deps.sh installs it all.
"""

import datetime
import importlib.util
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

from harness import ServerTestCase, read_tiff

HERE = os.path.dirname(os.path.abspath(__file__))
MODULES = ["cv2", "numpy", "PIL", "tifffile"]
TOOLS = ["exiftool", "gm", "imagej", "tiffinfo", "xvfb-run"]
# Output kind: the raw format sent, samples per pixel, bits per sample.
KINDS = {"grey8": ("Mono8", 1, 8), "grey16": ("Mono16", 1, 16), "rgb24": ("RGB8", 3, 8),
         "rgb48": ("RGB16", 3, 16)}
FILES = [(kind, width, height) for kind in KINDS for width, height in ((97, 61), (7, 5))]
FILES.append(("rgb48", 2447, 2049))  # about 30 MB, in many strips


def missing():
    return ([name for name in MODULES if importlib.util.find_spec(name) is None] +
            [name for name in TOOLS if shutil.which(name) is None])


def run(command, check=True, **options):
    return subprocess.run(command, capture_output=True, timeout=120, check=check, **options)


class ReadersTest(ServerTestCase):
    def setUp(self):
        super().setUp()
        self.folder = tempfile.mkdtemp(prefix="capture-readers-")
        self.addCleanup(shutil.rmtree, self.folder, True)

    def save_files(self):
        """Each file of FILES, saved by a server of its own: name -> (kind, file's pixels)."""
        import numpy
        saved = {}
        for kind, width, height in FILES:
            pixel_format, samples, bits = KINDS[kind]
            with self.run_alone():
                server, client = self.ready_client({
                    "SIMCAM_PIXEL_FORMAT": pixel_format, "SIMCAM_WIDTH": str(width),
                    "SIMCAM_HEIGHT": str(height), "SIMCAM_FPS": "100"})
                image = self.capture(server, client, b"Get1", 1).image
                name = "%s_%dx%d.tiff" % (kind, width, height)
                shutil.copy(self.path("0001.tiff"), os.path.join(self.folder, name))
            order = image.byte_order + ("u1" if bits == 8 else "u2")
            pixels = numpy.frombuffer(image.pixels, order).reshape(
                (height, width, samples) if samples == 3 else (height, width))
            saved[name] = (kind, pixels)
        return saved

    def test_every_reader_gives_the_files_size_depth_and_pixels(self):
        import cv2
        import numpy
        import PIL.Image
        import tifffile

        saved = self.save_files()
        # ImageJ's JVM starts once for every file. Debian's imagej script ends with status 1
        # even when the macro ran: its printed lines tell.
        imagej = run(["xvfb-run", "-a", "imagej", "-b", os.path.join(HERE, "imagej_dump.ijm"),
                      self.folder], check=False, cwd=self.folder, text=True)
        imagej_lines = imagej.stdout.splitlines()
        for name, (kind, pixels) in sorted(saved.items()):
            _, samples, bits = KINDS[kind]
            height, width = pixels.shape[:2]
            path = os.path.join(self.folder, name)
            big = ">u1" if bits == 8 else ">u2"
            with self.subTest(reader="ImageJ", file=name):
                # 48-bit RGB is three 16-bit channels; 24-bit RGB one channel of depth 24.
                depth, channels = (samples * 8, 1) if bits == 8 else (16, samples)
                line = "%s %d %d %d %d 1" % (name, width, height, depth, channels)
                self.assertIn(line, imagej_lines, imagej.stdout + imagej.stderr)
                raw = numpy.fromfile(path + ".raw", big)
                self.assertTrue(numpy.array_equal(raw.reshape(pixels.shape), pixels))
            with self.subTest(reader="OpenCV", file=name):
                read = cv2.imread(path, cv2.IMREAD_UNCHANGED)
                if samples == 3:
                    read = read[:, :, ::-1]  # BGR
                self.assertEqual((read.shape, read.dtype), (pixels.shape, pixels.dtype.newbyteorder("=")))
                self.assertTrue(numpy.array_equal(read, pixels))
            with self.subTest(reader="Pillow", file=name):
                with PIL.Image.open(path) as opened:
                    mode = opened.mode
                    read = numpy.asarray(opened)
                # Pillow keeps the high bytes of 48-bit RGB.
                expected = (pixels >> 8).astype(numpy.uint8) if kind == "rgb48" else pixels
                self.assertEqual(mode, {"grey8": "L", "grey16": "I;16", "rgb24": "RGB",
                                        "rgb48": "RGB"}[kind])
                self.assertTrue(numpy.array_equal(read, expected))
            with self.subTest(reader="tiffinfo", file=name):
                info = run(["tiffinfo", path], text=True)
                self.assertEqual(info.stderr, "")
                self.assertIn("Image Width: %d Image Length: %d" % (width, height), info.stdout)
                self.assertIn("Bits/Sample: %d" % bits, info.stdout)
                self.assertIn("Samples/Pixel: %d" % samples, info.stdout)
            with self.subTest(reader="GraphicsMagick", file=name):
                # Its reported depth is the least that holds the values: the pixels, read at
                # the file's depth (big-endian), are the test.
                size = run(["gm", "identify", "-format", "%w %h", path], text=True).stdout
                self.assertEqual(size.split(), [str(width), str(height)])
                raw = run(["gm", "convert", path, "-depth", str(bits),
                           ("rgb:-" if samples == 3 else "gray:-")]).stdout
                read = numpy.frombuffer(raw, big).reshape(pixels.shape)
                self.assertTrue(numpy.array_equal(read, pixels))
            with self.subTest(reader="tifffile", file=name):
                read = tifffile.imread(path)
                self.assertEqual(read.shape, pixels.shape)
                self.assertTrue(numpy.array_equal(read, pixels))

        # exiftool, once: the tags that say what the file is.
        path = os.path.join(self.folder, "rgb24_97x61.tiff")
        tags = run(["exiftool", "-s", "-Make", "-Model", "-Software", "-ModifyDate",
                    "-ImageDescription", path], text=True).stdout
        fields = dict(re.split(r"\s*: ", line, 1) for line in tags.splitlines())
        self.assertEqual((fields["Make"], fields["Model"]), ("capture-server", "simulated camera"))
        self.assertRegex(fields["Software"], r"^capture-server \d")
        datetime.datetime.strptime(fields["ModifyDate"], "%Y:%m:%d %H:%M:%S")
        self.assertRegex(fields["ImageDescription"],
                         r"^frame_id=\d+ timestamp_us=\d+ timestamp_clock=host host_time=\S+Z "
                         r"camera=SIMCAM-0 pixel_format=RGB8 width=97 height=61 frame_rate=100$")


if __name__ == "__main__":
    lacking = missing()
    if lacking:
        print("SKIP: %s missing (scripts/install-deps.sh installs the readers)"
              % ", ".join(lacking), file=sys.stderr)
        sys.exit(77)
    unittest.main()
