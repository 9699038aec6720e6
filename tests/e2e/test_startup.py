"""Start-up log, the end command, and the number of cameras found."""

import time
import unittest

from harness import (CLOSING_LINES, END_LINE, PAUSE_PROMPT, SMALL, TERMINATED, ServerTestCase,
                     startup_lines)


class StartupTest(ServerTestCase):
    def test_start_up_log_with_defaults_then_end(self):
        server, client = self.ready_client()
        self.assertLines(server.lines, startup_lines())
        # Acquisition runs only for a request: nothing is saved while the server waits.
        time.sleep(0.2)
        self.assertEqual(self.tiff_files(), [])

        client.send(b"End")
        self.assertEqual(client.recv_exact(len(TERMINATED)), TERMINATED)
        # No pause after "End": it ends while its standard input stays open.
        self.assertEqual(server.wait_exit(), 0)
        self.assertLines(server.lines, startup_lines() + [END_LINE] + CLOSING_LINES)
        self.assertNotIn(PAUSE_PROMPT, server.output)
        self.assertEqual(client.recv_until_closed(), b"")
        self.assertEqual(server.stderr, "")

    def test_three_cameras_found_and_camera_0_serves(self):
        server, client = self.ready_client(dict(SMALL, SIMCAM_CAMERAS="3"))
        self.assertLines(server.lines, startup_lines(count=3))
        capture = self.capture(server, client, b"Get1", 1)
        self.assertCaptureLines(capture.lines, 1)
        client.send(b"End")
        self.assertEqual(client.recv_exact(len(TERMINATED)), TERMINATED)
        self.assertEqual(server.wait_exit(), 0)

    def test_chosen_camera_with_its_features_serves(self):
        server, client = self.ready_client(dict(
            SMALL, SIMCAM_CAMERAS="2", CAMERA_SDK_CAMERA="SIMCAM-1",
            CAMERA_SDK_FEATURES="Width=48; Height=32; PixelFormat=Mono16"))
        self.assertIn("\tcamera 0: SIMCAM-1\n", server.lines)
        self.assertLines(server.lines, startup_lines(count=1))
        image = self.capture(server, client, b"Get1", 1).image
        self.assertEqual((image.width, image.height, image.samples_per_pixel,
                          image.bits_per_sample), (48, 32, 1, 16))


if __name__ == "__main__":
    unittest.main()
