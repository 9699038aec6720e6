"""Failures of the camera library, made by its simulation: camera start-up, stream set-up,
acquisition start and stop, saving, and frames that come incomplete or not at all.
"""

import re
import time
import unittest

from harness import (CAMERA_HEADER, CAMERA_ID_LINE, DONE, FAIL, LISTENING_LINES, PAUSE_PROMPT,
                     SAVE_FAILED_LINES, SAVED_LINES, SMALL, TIMEOUT, TERMINATED, WAITING_LINES, ServerTestCase,
                     startup_lines)

OPENED = "\tOpened the factory.\n"
UPDATED = "\tUpdated the camera list.\n"
FOUND = "\t1 cameras were found.\n"


class FatalEndTestCase(ServerTestCase):
    def assertStartsToFatalEnd(self, env, log, text):
        """Start-up prints log, then fails the stream set-up with text before any client is
        accepted: the pause waits for its key (here: the end of input), then status 1.
        """
        server = self.start_server(env)
        client = self.connect(server)  # queued, never accepted
        self.assertRunsToFatalEnd(server, text)
        self.assertLines(server.lines, log + [text, PAUSE_PROMPT + "\n"])
        self.assertEqual(client.recv_until_closed(), b"")
        return server


class CameraStartupFailureTest(FatalEndTestCase):
    def test_camera_start_up_failures_are_reported_and_start_up_goes_on(self):
        # The program goes on without a camera; the library then refuses the width query.
        rows = [
            ({"SIMCAM_FAIL": "J_Factory_Open"}, [], "\tCould not open the factory!\n"),
            ({"SIMCAM_FAIL": "J_Factory_UpdateCameraList"}, [OPENED],
             "\tCould not update the camera list!\n"),
            ({"SIMCAM_FAIL": "J_Factory_GetNumOfCameras"}, [OPENED, UPDATED],
             "\tCould not get the number of cameras!\n"),
            ({"SIMCAM_CAMERAS": "0"}, [OPENED, UPDATED], "\tThere is no camera!\n"),
            ({"SIMCAM_FAIL": "J_Factory_GetCameraIDByIndex"}, [OPENED, UPDATED, FOUND],
             "\tCould not get the camera ID!\n"),
            ({"SIMCAM_FAIL": "J_Camera_Open"}, [OPENED, UPDATED, FOUND, CAMERA_ID_LINE],
             "\tCould not open the camera!\n"),
            # Camera settings: one the camera refuses, one that cannot be parsed, a camera
            # that is not there.
            ({"CAMERA_SDK_FEATURES": "Width=64; Gain=2"},
             [OPENED, UPDATED, FOUND, CAMERA_ID_LINE], "\tCould not open the camera!\n"),
            ({"CAMERA_SDK_FEATURES": "Width=64; Height"}, [], "\tCould not open the factory!\n"),
            ({"CAMERA_SDK_CAMERA": "SIMCAM-1"}, [OPENED, UPDATED], "\tThere is no camera!\n"),
        ]
        for env, steps, outcome in rows:
            with self.subTest(env=env), self.run_alone():
                log = LISTENING_LINES + [CAMERA_HEADER] + steps + [outcome] + WAITING_LINES
                self.assertStartsToFatalEnd(dict(SMALL, **env), log, "width\n")

    def test_malformed_camera_setting_fails_the_factory(self):
        server = self.assertStartsToFatalEnd(
            dict(SMALL, SIMCAM_FPS="fast"),
            LISTENING_LINES + [CAMERA_HEADER, "\tCould not open the factory!\n"] + WAITING_LINES,
            "width\n")
        self.assertIn("SIMCAM_FPS", server.stderr)


class StreamSetupFailureTest(FatalEndTestCase):
    def test_stream_set_up_failures_end_with_the_pause(self):
        int32_max = 2**31 - 1
        rows = [
            ({"SIMCAM_FAIL": "Width"}, "width\n"),
            ({"SIMCAM_FAIL": "Height"}, "height\n"),
            ({"SIMCAM_FAIL": "J_Image_OpenStream"}, "open stream\n"),
            # Sizes outside 1 .. 2^31-1, including those whose low 32 bits look valid.
            ({"SIMCAM_WIDTH": "0"}, "width\n"),
            ({"SIMCAM_WIDTH": "-1"}, "width\n"),
            ({"SIMCAM_WIDTH": str(int32_max + 1)}, "width\n"),
            ({"SIMCAM_WIDTH": str(2**32 + 96)}, "width\n"),
            ({"SIMCAM_HEIGHT": "0"}, "height\n"),
            ({"SIMCAM_HEIGHT": "-64"}, "height\n"),
            ({"SIMCAM_HEIGHT": str(int32_max + 1)}, "height\n"),
            ({"SIMCAM_HEIGHT": str(2**32 + 64)}, "height\n"),
            # 6 x width x height past 32 bits, where a wrapped size would look small.
            ({"SIMCAM_WIDTH": str(int32_max), "SIMCAM_HEIGHT": "1"}, "open stream\n"),
            ({"SIMCAM_WIDTH": "715827883", "SIMCAM_HEIGHT": "1"}, "open stream\n"),
            ({"SIMCAM_WIDTH": "65536", "SIMCAM_HEIGHT": "65536"}, "open stream\n"),
            ({"SIMCAM_WIDTH": str(int32_max), "SIMCAM_HEIGHT": str(int32_max)},
             "open stream\n"),
        ]
        for env, text in rows:
            with self.subTest(env=env, text=text), self.run_alone():
                self.assertStartsToFatalEnd(dict(SMALL, **env), startup_lines(), text)


class AcquisitionFailureTest(ServerTestCase):
    def test_failed_start_waits_for_a_key_sends_nothing_and_ends_with_1(self):
        server, client = self.ready_client(dict(SMALL, SIMCAM_FAIL="AcquisitionStart"))
        mark = len(server.lines)
        client.send(b"Get1")
        server.wait_for_text(PAUSE_PROMPT)
        self.assertEqual(server.lines[mark:], ["fail:Capturage start\n", PAUSE_PROMPT])
        # The pause holds the program until a key comes.
        self.assertEqual(client.recv_for(0.3), (b"", False))
        self.assertTrue(server.running())
        server.answer_pause(b"x")
        self.assertEqual(server.wait_exit(), 1)
        self.assertEqual(server.lines[mark:], ["fail:Capturage start\n", PAUSE_PROMPT + "\n"])
        self.assertEqual(client.recv_until_closed(), b"")
        self.assertEqual(self.tiff_files(), [])

    def test_failed_stop_ends_with_the_pause_sends_nothing_and_saves_no_more_frames(self):
        server, client = self.ready_client(dict(SMALL, SIMCAM_FAIL="AcquisitionStop"))
        mark = len(server.output)
        client.send(b"Get1")
        server.wait_for_text(PAUSE_PROMPT)
        # The camera goes on delivering frames during the pause; none but the capture's
        # first may be saved.
        self.assertEqual(client.recv_for(0.3), (b"", False))
        self.assertTrue(server.running())
        server.close_stdin()
        self.assertEqual(server.wait_exit(), 1)
        # The frame thread may still save the frame that ended the wait, and print its line
        # anywhere, even after the prompt.
        text = server.output[mark:].replace(SAVED_LINES[1], "", 1)
        self.assertEqual(text, "fail:Capturage stop\n" + PAUSE_PROMPT + "\n")
        self.assertEqual(client.recv_until_closed(), b"")


class SaveFailureTest(ServerTestCase):
    def test_failed_save_answers_fail_and_serving_goes_on(self):
        for operation in ("J_Image_Malloc", "J_Image_FromRawToImage", "J_Image_SaveFile",
                          "J_Image_Free"):
            with self.subTest(operation=operation), self.run_alone():
                server, client = self.ready_client(dict(SMALL, SIMCAM_FAIL=operation))
                for slot in (1, 2):
                    message = b"Get%d" % slot
                    capture = self.capture(server, client, message, slot, reply=FAIL)
                    self.assertCaptureLines(capture.lines, slot, saved=False)
                if operation in ("J_Image_Malloc", "J_Image_FromRawToImage"):
                    # Nothing converted, so nothing to save.
                    self.assertEqual(self.tiff_files(), [])
                self.assertNotIn("Gravou", server.output)
                client.send(b"End")
                self.assertEqual(client.recv_exact(len(TERMINATED)), TERMINATED)
                self.assertEqual(server.wait_exit(), 0)


class FrameWaitTest(ServerTestCase):
    # 1 s beyond two frame periods of 10 ms.
    BOUND = 1.02
    NO_WHOLE_FRAME = re.compile(
        r"Jai_Factory: SIMCAM-0: no whole frame within 1\.0 s of AcquisitionStart "
        r"\(CAMERA_SDK_FRAME_TIMEOUT\), the capture fails: (\d+) incomplete frames; check .*\n")

    def test_frames_that_never_come_whole_fail_each_capture_at_the_bound(self):
        for failure, frames_come in (("FrameData", True), ("FrameStart", False)):
            with self.subTest(failure=failure), self.run_alone():
                server, client = self.ready_client(dict(
                    SMALL, SIMCAM_FAIL=failure, CAMERA_SDK_FRAME_TIMEOUT="1"))
                for slot in (1, 2):
                    requested = time.monotonic()
                    client.send(b"Get%d" % slot)
                    self.assertEqual(client.recv_exact(len(FAIL), self.BOUND + TIMEOUT), FAIL)
                    self.assertGreaterEqual(time.monotonic() - requested, self.BOUND)
                    server.wait_for_line(SAVE_FAILED_LINES[slot])
                client.send(b"End")
                self.assertEqual(client.recv_exact(len(TERMINATED)), TERMINATED)
                self.assertEqual(server.wait_exit(), 0)
                self.assertEqual(self.tiff_files(), [])
                # One line a capture, counting the frames that came incomplete (100 a second).
                lines = server.stderr.splitlines(keepends=True)
                self.assertEqual(len(lines), 2, server.stderr)
                for line in lines:
                    incomplete = int(self.NO_WHOLE_FRAME.fullmatch(line).group(1))
                    self.assertEqual(incomplete > 50, frames_come, line)

    def test_a_slow_camera_still_captures_with_a_short_timeout(self):
        # The first frame 2 s after the start; 0.1 s beyond two frame periods.
        server, client = self.ready_client(dict(SMALL, SIMCAM_FPS="0.5",
                                                CAMERA_SDK_FRAME_TIMEOUT="0.1"))
        self.capture(server, client, b"Get1", 1, reply=DONE)


if __name__ == "__main__":
    unittest.main()
