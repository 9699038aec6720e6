"""A simulated camera that goes away and comes back (SIMCAM_LOST_AFTER, SIMCAM_LOST_FOR): a
capture fails while it is away and the server goes on; the same camera, never the other one
listed, is used again once it is back, with its settings written again and its frame ids
carried on.
"""

import re
import time
import unittest

from harness import (DONE, FAIL, SAVE_FAILED_LINES, SMALL, TERMINATED, TIMEOUT,
                     ServerTestCase)

LOST_FOR = 3.0
FRAME_TIMEOUT = 2.5
# Two simulated cameras: SIMCAM-0, the one opened, goes away after its second frame while
# SIMCAM-1 stays listed. The width set through CAMERA_SDK_FEATURES differs from SMALL's.
ENV = dict(SMALL, SIMCAM_CAMERAS="2", SIMCAM_LOST_AFTER="2", SIMCAM_LOST_FOR="%g" % LOST_FOR,
           CAMERA_SDK_FRAME_TIMEOUT="%g" % FRAME_TIMEOUT, CAMERA_SDK_FEATURES="Width=64")
# Beyond the bound, for a loaded machine.
SLACK = 1.5
LOST_LINE = ("Jai_Factory: SIMCAM-0: control of the camera is lost; captures fail until it is "
             "back (each capture looks for it while it waits for its frame)\n")
AWAY_LINE = re.compile(
    r"Jai_Factory: SIMCAM-0: no frame within 2\.5 s of AcquisitionStart "
    r"\(CAMERA_SDK_FRAME_TIMEOUT\), the capture fails: the camera is away \(lost \d+\.\d s "
    r"ago\); the next capture looks for it again\n")
BACK_LINE = re.compile(r"Jai_Factory: SIMCAM-0: back after (\d+\.\d) s away; 1 "
                       r"CAMERA_SDK_FEATURES settings written again\n")


class CameraReturnTest(ServerTestCase):
    def test_a_capture_fails_while_the_camera_is_away_and_the_camera_is_used_again(self):
        server, client = self.ready_client(ENV)
        for slot in (1, 2):
            self.assertEqual(self.capture(server, client, b"Get%d" % slot, slot).image.width, 64)
        lost = time.monotonic()
        # Away: the capture waits for its bound (it looks for the camera meanwhile) and fails.
        capture = self.capture(server, client, b"Get1", 1, reply=FAIL)
        waited = capture.replied_clock - capture.requested_clock
        self.assertGreaterEqual(waited, FRAME_TIMEOUT)
        self.assertLess(waited, FRAME_TIMEOUT + SLACK)
        self.assertIn(SAVE_FAILED_LINES[1], capture.lines)
        # Back during the next capture's wait: that capture saves the camera's first frame,
        # of the configured width, with an id above the earlier ones.
        capture = self.capture(server, client, b"Get2", 2)
        self.assertEqual(capture.image.width, 64)
        self.assertLess(capture.replied_clock, lost + LOST_FOR + 1 + SLACK)
        self.assertEqual(self.capture(server, client, b"Get1", 1).image.width, 64)
        client.send(b"End")
        self.assertEqual(client.recv_until_closed(), TERMINATED)
        self.assertEqual(server.wait_exit(), 0)
        lines = server.stderr.splitlines(keepends=True)
        self.assertEqual(len(lines), 3, server.stderr)
        self.assertEqual(lines[0], LOST_LINE)
        self.assertRegex(lines[1], AWAY_LINE)
        away = float(BACK_LINE.fullmatch(lines[2]).group(1))
        self.assertGreaterEqual(away, LOST_FOR - 0.1)


if __name__ == "__main__":
    unittest.main()
