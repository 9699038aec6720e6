"""Every raw pixel format, sent by the simulated camera and saved by the real server.

Each file is checked pixel for pixel against the format's definition applied to the camera's
test pattern (worked out here, independently of the library): the diagonal ramp
x + y + frame id, 8-bit samples ramp mod 256, deeper ones (ramp mod 1024) in their top 10
bits; RGB with green and blue the ramp + 85 and + 170; YUV with Y the ramp and U, V those of
the pair's first pixel + 85 and + 170. Deep samples are saved widened to 16 bits (the top bits
repeated into the low ones), Bayer frames demosaiced bilinearly, YUV through ITU-R BT.601 full
range. A packed format and its unpacked twin must save the same bytes for the same frame.
"""

import array
import sys
import unittest

from harness import FAIL, SMALL, ServerTestCase

WIDTH, HEIGHT = int(SMALL["SIMCAM_WIDTH"]), int(SMALL["SIMCAM_HEIGHT"])
GREY, RGB = 1, 2


def _formats():
    """name -> (family, significant bits, layout)."""
    formats = {"Mono8": ("mono", 8, None), "Mono10": ("mono", 10, None),
               "Mono12": ("mono", 12, None), "Mono14": ("mono", 14, None),
               "Mono16": ("mono", 16, None), "Mono10p": ("mono", 10, None),
               "Mono12p": ("mono", 12, None), "Mono10Packed": ("mono", 10, None),
               "Mono12Packed": ("mono", 12, None)}
    for first_row in ("RG", "GR", "GB", "BG"):
        mosaic = first_row + {"RG": "GB", "GR": "BG", "GB": "RG", "BG": "GR"}[first_row]
        for suffix, bits in (("8", 8), ("10", 10), ("12", 12), ("16", 16), ("10p", 10),
                             ("12p", 12), ("10Packed", 10), ("12Packed", 12)):
            formats["Bayer" + first_row + suffix] = ("bayer", bits, mosaic)
    for order in ("RGB", "BGR"):
        formats[order + "a8"] = ("rgb", 8, order + "a")
        for bits in (8, 10, 12, 16):
            formats[order + str(bits)] = ("rgb", bits, order)
    formats.update({"YUV422_8": ("yuv", 8, "YUYV"), "YCbCr422_8": ("yuv", 8, "YUYV"),
                    "YUV422_8_UYVY": ("yuv", 8, "UYVY")})
    return formats


FORMATS = _formats()
TWINS = [[base + suffix for suffix in ("", "p", "Packed")]
         for base in ["Mono10", "Mono12"] + ["Bayer%s%d" % (layout, bits)
                                              for layout in ("RG", "GR", "GB", "BG")
                                              for bits in (10, 12)]]


def sample(x, y, frame_id, bits, offset=0):
    ramp = x + y + frame_id + offset
    return ramp % 256 if bits == 8 else (ramp % 1024) << (bits - 10)


def widen(value, bits):
    if bits == 8:
        return value
    up = 16 - bits
    return (value << up) | (value >> (bits - up))


def demosaic(frame_id, bits, mosaic):
    """Bilinear: a pixel's own colour is its sample; each other colour the rounded mean of
    that colour's samples among the 3x3 neighbours inside the image."""
    colour = lambda x, y: "RGB".index(mosaic[2 * (y % 2) + x % 2])
    pixels = []
    for y in range(HEIGHT):
        for x in range(WIDTH):
            sums, counts = [0, 0, 0], [0, 0, 0]
            for ny in range(max(0, y - 1), min(HEIGHT, y + 2)):
                for nx in range(max(0, x - 1), min(WIDTH, x + 2)):
                    sums[colour(nx, ny)] += sample(nx, ny, frame_id, bits)
                    counts[colour(nx, ny)] += 1
            for channel in range(3):
                value = (sample(x, y, frame_id, bits) if channel == colour(x, y)
                         else (sums[channel] + counts[channel] // 2) // counts[channel])
                pixels.append(widen(value, bits))
    return pixels


def yuv_to_rgb(luma, u, v):
    """BT.601 full range in 16-bit fixed point, rounded and clamped."""
    u, v = u - 128, v - 128
    clamp = lambda fixed: min(255, max(0, fixed) >> 16)
    base = (luma << 16) + 32768
    return [clamp(base + 91881 * v), clamp(base - 22554 * u - 46802 * v),
            clamp(base + 116130 * u)]


def expected_pixels(name, frame_id):
    family, bits, layout = FORMATS[name]
    if family == "bayer":
        return demosaic(frame_id, bits, layout)
    pixels = []
    for y in range(HEIGHT):
        for x in range(WIDTH):
            if family == "mono":
                pixels.append(widen(sample(x, y, frame_id, bits), bits))
            elif family == "rgb":
                pixels += [widen(sample(x, y, frame_id, bits, offset), bits)
                           for offset in (0, 85, 170)]
            else:
                pair = x - x % 2
                pixels += yuv_to_rgb(sample(x, y, frame_id, 8), sample(pair, y, frame_id, 8, 85),
                                     sample(pair, y, frame_id, 8, 170))
    return pixels


def saved_samples(image):
    if image.bits_per_sample == 8:
        return list(image.pixels)
    words = array.array("H", image.pixels)
    if (image.byte_order == "<") != (sys.byteorder == "little"):
        words.byteswap()
    return list(words)


class PixelFormatsTest(ServerTestCase):
    def capture_format(self, name):
        with self.run_alone():
            server, client = self.ready_client(dict(SMALL, SIMCAM_PIXEL_FORMAT=name))
            return self.capture(server, client, b"Get1", 1).image

    def test_every_format_is_saved_as_its_definition_gives(self):
        images = {}
        for name, (family, bits, _) in FORMATS.items():
            with self.subTest(pixel_format=name):
                image = images[name] = self.capture_format(name)
                channels = 1 if family == "mono" else 3
                self.assertEqual(
                    (image.width, image.height, image.samples_per_pixel, image.bits_per_sample,
                     image.photometric),
                    (WIDTH, HEIGHT, channels, 8 if bits == 8 else 16,
                     GREY if channels == 1 else RGB))
                self.assertTrue(saved_samples(image) == expected_pixels(name, image.frame_id),
                                "%s frame %d differs from its definition" % (name, image.frame_id))
        for twins in TWINS:
            unpacked = images[twins[0]]
            for name in twins[1:]:
                with self.subTest(twins=(twins[0], name)):
                    packed = images[name]
                    # Each fresh server saves the first frame of its stream: frame 1.
                    self.assertEqual(packed.frame_id, unpacked.frame_id)
                    self.assertTrue(packed.pixels == unpacked.pixels)

    def test_a_frame_the_library_cannot_convert_fails_the_capture_with_a_line(self):
        # YUV 4:2:2 shares U and V between the two pixels of a pair: an odd width has none.
        server, client = self.ready_client(dict(SMALL, SIMCAM_WIDTH="95",
                                                SIMCAM_PIXEL_FORMAT="YUV422_8"))
        self.capture(server, client, b"Get1", 1, reply=FAIL)
        client.send(b"End")
        server.wait_exit()
        self.assertIn("Jai_Factory: YUV422_8 frames of odd width (95) cannot be converted\n",
                      server.stderr)


if __name__ == "__main__":
    unittest.main()
