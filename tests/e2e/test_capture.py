"""Captures: console lines, replies, and the TIFF files that "Done" announces."""

import datetime
import os
import time
import unittest

from harness import (MTIME_SLACK, SAVED_LINES, SMALL, TEMPO_LINE, UNDEFINED_LINE,
                     ServerTestCase, read_tiff)

RGB, GREY = 2, 1


class CaptureTest(ServerTestCase):
    def assertFresh(self, capture):
        """The file was written after the request."""
        self.assertGreaterEqual(capture.mtime, capture.requested - MTIME_SLACK)

    def test_get1_saves_default_frame_into_slot_1(self):
        server, client = self.ready_client()
        capture = self.capture(server, client, b"Get1", 1)
        self.assertCaptureLines(capture.lines, 1)
        image = capture.image
        # BayerRG8 at 1280x1024 is saved as 8-bit RGB.
        self.assertEqual((image.width, image.height), (1280, 1024))
        self.assertEqual((image.samples_per_pixel, image.bits_per_sample), (3, 8))
        self.assertEqual(image.photometric, RGB)
        self.assertGreaterEqual(image.frame_id, 1)
        self.assertFresh(capture)
        self.assertEqual(self.tiff_files(), ["0001.tiff"])

    def test_the_file_says_which_camera_took_it_how_and_when(self):
        server, client = self.ready_client(dict(SMALL, SIMCAM_PIXEL_FORMAT="Mono12p"))
        capture = self.capture(server, client, b"Get1", 1)
        image = capture.image
        keys = image.description.split()
        self.assertEqual(keys[:2], ["frame_id=%d" % image.frame_id,
                                    "timestamp_us=%d" % image.timestamp_us])
        # The simulated camera has no region, exposure, gain or temperature: left out.
        self.assertEqual([key.split("=")[0] for key in keys[2:]],
                         ["timestamp_clock", "host_time", "camera", "pixel_format", "width",
                          "height", "frame_rate"])
        self.assertEqual(
            {key: image.fields[key] for key in ("timestamp_clock", "camera", "pixel_format",
                                                "width", "height", "frame_rate")},
            {"timestamp_clock": "host", "camera": "SIMCAM-0", "pixel_format": "Mono12p",
             "width": "96", "height": "64", "frame_rate": "100"})
        arrived = datetime.datetime.strptime(image.fields["host_time"],
                                             "%Y-%m-%dT%H:%M:%S.%fZ")
        arrived = arrived.replace(tzinfo=datetime.timezone.utc)
        self.assertLess(abs(arrived.timestamp() - capture.requested), 5)
        # DateTime is the same instant in the host's local time, to the second.
        local = datetime.datetime.fromtimestamp(int(arrived.timestamp()))
        self.assertEqual((image.tags[271], image.tags[272], image.tags[306]),
                         ("capture-server", "simulated camera",
                          local.strftime("%Y:%m:%d %H:%M:%S")))
        self.assertRegex(image.tags[305], r"^capture-server \d+\.\d+\.\d+$")

    def test_get2_saves_into_slot_2(self):
        server, client = self.ready_client(SMALL)
        capture = self.capture(server, client, b"Get2", 2)
        self.assertCaptureLines(capture.lines, 2)
        self.assertEqual((capture.image.width, capture.image.height), (96, 64))
        self.assertFresh(capture)
        self.assertEqual(self.tiff_files(), ["0002.tiff"])

    def test_get1_get2_get1_keeps_both_files_with_fresh_frames(self):
        server, client = self.ready_client(SMALL)
        first = self.capture(server, client, b"Get1", 1)
        time.sleep(0.2)
        second = self.capture(server, client, b"Get2", 2)
        slot2_bytes = self.read_bytes("0002.tiff")
        time.sleep(0.2)
        third = self.capture(server, client, b"Get1", 1)

        for capture, slot in ((first, 1), (second, 2), (third, 1)):
            self.assertCaptureLines(capture.lines, slot)
            self.assertFresh(capture)
        self.assertEqual(self.tiff_files(), ["0001.tiff", "0002.tiff"])
        # Each capture is a later frame than every earlier one, with a different picture.
        ids = [c.image.frame_id for c in (first, second, third)]
        self.assertLess(ids[0], ids[1])
        self.assertLess(ids[1], ids[2])
        self.assertNotEqual(first.image.pixels, third.image.pixels)
        # Taken after its request: the camera time between two frames is at least the time
        # from the earlier reply to the later request (the earlier frame came before its
        # reply, the later one after its request).
        for earlier, later in ((first, second), (second, third)):
            camera_gap = later.image.timestamp_us - earlier.image.timestamp_us
            client_gap = (later.requested_clock - earlier.replied_clock) * 1e6
            self.assertGreaterEqual(camera_gap, client_gap - 1000)
        # The third capture overwrote slot 1 only.
        self.assertEqual(read_tiff(self.path("0001.tiff")).frame_id, ids[2])
        self.assertEqual(self.read_bytes("0002.tiff"), slot2_bytes)

    def test_reply_comes_once_the_frame_is_in_its_file(self):
        # A big frame takes far longer to convert and write than the 10 ms before the reply,
        # so "Done" sent on the frame's arrival would find the file missing or older.
        server, client = self.ready_client({"SIMCAM_WIDTH": "2048", "SIMCAM_HEIGHT": "1536",
                                            "SIMCAM_PIXEL_FORMAT": "BayerRG16",
                                            "SIMCAM_FPS": "100"})
        for message, slot in ((b"Get1", 1), (b"Get2", 2), (b"Get1", 1), (b"Get2", 2)):
            capture = self.capture(server, client, message, slot)
            self.assertEqual((capture.image.width, capture.image.height), (2048, 1536))
            self.assertEqual((capture.image.samples_per_pixel, capture.image.bits_per_sample),
                             (3, 16))

    def test_exactly_one_frame_saved_per_capture(self):
        # Many frames a second: frames after the capture's first must not touch the files.
        server, client = self.ready_client(dict(SMALL, SIMCAM_FPS="500"))
        first = self.capture(server, client, b"Get1", 1)
        slot1_bytes = self.read_bytes("0001.tiff")
        slot1_mtime = first.mtime
        time.sleep(0.3)
        self.assertEqual(self.tiff_files(), ["0001.tiff"])
        self.assertEqual(self.read_bytes("0001.tiff"), slot1_bytes)
        self.assertEqual(os.stat(self.path("0001.tiff")).st_mtime, slot1_mtime)

        second = self.capture(server, client, b"Get2", 2)
        time.sleep(0.3)
        self.assertGreater(second.image.frame_id, first.image.frame_id)
        self.assertEqual(self.read_bytes("0001.tiff"), slot1_bytes)
        output = server.output
        self.assertEqual(output.count(SAVED_LINES[1]), 1, output)
        self.assertEqual(output.count(SAVED_LINES[2]), 1, output)

    def test_lap_time_runs_from_the_start_of_the_wait_for_the_command(self):
        server, client = self.ready_client(SMALL)
        # The first pass waits about 1 s and gets an undefined command; the next pass
        # restarts the stopwatch, so the capture's lap covers only the 0.3 s wait after it.
        time.sleep(1.0)
        mark = len(server.lines)
        client.send(b"Nope")
        server.wait_for_line(UNDEFINED_LINE, start=mark)
        time.sleep(0.3)
        capture = self.capture(server, client, b"Get1", 1)
        lap = [TEMPO_LINE.fullmatch(line) for line in capture.lines]
        (elapsed,) = [int(match.group(1)) for match in lap if match]
        self.assertGreaterEqual(elapsed, 250)
        self.assertLess(elapsed, 1000)


class PixelFormatTest(ServerTestCase):
    def test_pixel_formats_give_their_tiff_layout(self):
        layouts = {
            "Mono8": (1, 8, GREY),
            "Mono16": (1, 16, GREY),
            "BayerRG8": (3, 8, RGB),
            "BayerRG16": (3, 16, RGB),
        }
        for pixel_format, (samples, bits, photometric) in layouts.items():
            with self.subTest(pixel_format=pixel_format), self.run_alone():
                server, client = self.ready_client(dict(SMALL, SIMCAM_PIXEL_FORMAT=pixel_format))
                capture = self.capture(server, client, b"Get2", 2)
                image = capture.image
                self.assertEqual((image.width, image.height), (96, 64))
                self.assertEqual(
                    (image.samples_per_pixel, image.bits_per_sample, image.photometric),
                    (samples, bits, photometric))


if __name__ == "__main__":
    unittest.main()
