"""Captures at a high frame rate: frames keep arriving while the server stops, arms and saves,
and each capture still saves exactly one fresh frame into its own slot.
"""

import unittest

from harness import SAVED_LINES, SMALL, TERMINATED, UNDEFINED_LINE, ServerTestCase

HIGH_RATE = dict(SMALL, SIMCAM_FPS="2000")
CAPTURES = 200


class HighFrameRateTest(ServerTestCase):
    def test_alternating_captures_each_save_one_new_frame(self):
        server, client = self.ready_client(HIGH_RATE)
        last_in_slot = {1: 0, 2: 0}
        for number in range(CAPTURES):
            slot = 1 + number % 2
            capture = self.capture(server, client, b"Get%d" % slot, slot)
            self.assertCaptureLines(capture.lines, slot)
            self.assertGreater(capture.image.frame_id, last_in_slot[slot])
            last_in_slot[slot] = capture.image.frame_id
            if number % 10 == 0:
                mark = len(server.lines)
                client.send(b"Nothing")
                server.wait_for_line(UNDEFINED_LINE, start=mark)
        client.send(b"End")
        self.assertEqual(client.recv_exact(len(TERMINATED)), TERMINATED)
        self.assertEqual(server.wait_exit(), 0)
        # No frame outside a capture was saved.
        saved = sum(server.output.count(line) for line in SAVED_LINES.values())
        self.assertEqual(saved, CAPTURES)
        self.assertEqual(self.tiff_files(), ["0001.tiff", "0002.tiff"])


if __name__ == "__main__":
    unittest.main()
