"""The server with the GenICam backend against Aravis's GigE Vision camera emulator.

The emulator runs on 127.0.0.1 only, and Aravis's discovery broadcasts on every interface, so
these tests run only in a network namespace with nothing but loopback (scripts/loopback-only.sh
makes one). They skip outside one, and when the emulator is not installed (Debian:
aravis-tools).
"""

import errno
import shutil
import signal
import socket
import subprocess
import time
import unittest

from harness import (CLOSING_LINES, FAIL, LISTENING_LINES, SAVE_FAILED_LINES, TIMEOUT,
                     WAITING_LINES, ServerTestCase)

EMULATOR = shutil.which("arv-fake-gv-camera-0.8")
SERIAL = "E2E01"
CAMERA_ID = "Aravis-Fake-" + SERIAL
# The emulator's default frames: 512 x 512 Mono8, saved as 8-bit grey.
WIDTH, HEIGHT, GREY = 512, 512, 1
GVCP_PORT = 3956
GENICAM = {"CAMERA_SDK_BACKEND": "genicam"}
# Discovery and the camera's opening take a few seconds.
STARTUP_TIMEOUT = 30.0
# Aravis's heartbeat notices a lost camera within a few seconds.
LOSS_TIMEOUT = 20.0


def interfaces_beyond_loopback():
    return [name for _, name in socket.if_nameindex() if name != "lo"]


def gvcp_port_taken():
    probe = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        probe.bind(("127.0.0.1", GVCP_PORT))
        return False
    except OSError as error:
        return error.errno == errno.EADDRINUSE
    finally:
        probe.close()


@unittest.skipIf(interfaces_beyond_loopback(),
                 "not in a loopback-only network namespace (run through scripts/loopback-only.sh)")
@unittest.skipUnless(EMULATOR, "arv-fake-gv-camera-0.8 is not installed (Debian: aravis-tools)")
class GenicamTest(ServerTestCase):
    def start_emulator(self, *options):
        """The emulator on 127.0.0.1, once its control port is open."""
        if gvcp_port_taken():
            self.fail("port %d on 127.0.0.1 is taken: another emulator runs" % GVCP_PORT)
        emulator = subprocess.Popen([EMULATOR, "-i", "127.0.0.1", "-s", SERIAL, *options],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(self.kill_emulator, emulator)
        deadline = time.monotonic() + TIMEOUT
        while not gvcp_port_taken():
            if emulator.poll() is not None or time.monotonic() > deadline:
                self.fail("the emulator did not open its control port")
            time.sleep(0.05)
        return emulator

    @staticmethod
    def kill_emulator(emulator):
        if emulator.poll() is None:
            emulator.send_signal(signal.SIGKILL)
        emulator.wait()

    def ready_genicam_client(self, *emulator_options):
        emulator = self.start_emulator(*emulator_options)
        server = self.start_server(GENICAM)
        server.wait_ready(STARTUP_TIMEOUT)
        return emulator, server, self.connect(server)

    def assertEmulatorFrame(self, image):
        self.assertEqual((image.width, image.height), (WIDTH, HEIGHT))
        self.assertEqual((image.samples_per_pixel, image.bits_per_sample), (1, 8))
        self.assertEqual(image.photometric, GREY)

    def test_startup_log_names_the_emulator(self):
        _, server, _ = self.ready_genicam_client()
        self.assertLines(server.lines, LISTENING_LINES + [
            "Starting JAY capturage\n", "\tOpened the factory.\n", "\tUpdated the camera list.\n",
            "\t1 cameras were found.\n", "\tcamera 0: %s\n" % CAMERA_ID, "\tOpened camera 0.\n"
        ] + WAITING_LINES)

    def test_get1_and_get2_save_the_emulators_frames(self):
        _, server, client = self.ready_genicam_client()
        for message, slot in [(b"Get1", 1), (b"Get2", 2), (b"Get1", 1)]:
            capture = self.capture(server, client, message, slot)
            self.assertCaptureLines(capture.lines, slot)
            self.assertEmulatorFrame(capture.image)
        self.assertEqual(self.tiff_files(), ["0001.tiff", "0002.tiff"])

    def test_captures_in_a_row_give_ever_newer_frames_across_the_id_wrap(self):
        # The emulator numbers its frames from 65400 and wraps after 65535, as GigE Vision 1
        # cameras do: 150 captures cross the wrap.
        _, server, client = self.ready_genicam_client()
        for index in range(150):
            slot = 1 + index % 2
            capture = self.capture(server, client, b"Get%d" % slot, slot)
            self.assertEmulatorFrame(capture.image)
        self.assertGreater(server.last_frame_id, 65535)
        client.send(b"End")
        self.assertEqual(client.recv_until_closed(), b"Terminated\n")
        self.assertEqual(server.lines[-3:], ["\tRecived end command\n"] + CLOSING_LINES)
        self.assertEqual(server.wait_exit(), 0)

    def test_emulator_killed_between_captures_ends_at_the_next_start(self):
        emulator, server, client = self.ready_genicam_client()
        self.capture(server, client, b"Get1", 1)
        self.kill_emulator(emulator)
        client.send(b"Get2")
        self.assertRunsToFatalEnd(server, "fail:Capturage start\n", LOSS_TIMEOUT)
        self.assertEqual(client.recv_until_closed(), b"")

    def test_emulator_killed_during_a_capture_answers_fail(self):
        # Every stream packet lost: no frame is ever complete, so the capture waits.
        emulator, server, client = self.ready_genicam_client("-r", "1000")
        client.send(b"Get1")
        data, ended = client.recv_for(1.5)
        self.assertEqual((data, ended), (b"", False), "an incomplete frame was passed on")
        self.kill_emulator(emulator)
        self.assertEqual(client.recv_exact(len(FAIL), LOSS_TIMEOUT), FAIL)
        server.wait_for_line("imgSeq1:1\n")
        self.assertIn(SAVE_FAILED_LINES[1], server.lines)
        self.assertEqual(self.tiff_files(), [])
        # The lost camera cannot start again.
        client.send(b"Get2")
        self.assertRunsToFatalEnd(server, "fail:Capturage start\n")
        self.assertEqual(client.recv_until_closed(), b"")

    def test_no_emulator_means_no_camera(self):
        server = self.start_server(GENICAM)
        self.assertRunsToFatalEnd(server, "width\n", STARTUP_TIMEOUT)
        self.assertIn("\tThere is no camera!\n", server.lines)


if __name__ == "__main__":
    unittest.main()
