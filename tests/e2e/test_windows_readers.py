"""Captures beside a Windows program that reads the image through the C library's fopen:
while it holds the file open, Windows refuses to replace it. Windows only (under Wine here):
the reader is held_file_reader.exe, built beside the server by the Windows build.
"""

import os
import subprocess
import sys
import time
import unittest

from harness import (FAIL, SAVE_FAILED_LINES, SLOT_FILES, TERMINATED, TIMEOUT, WINDOWS,
                     ServerTestCase, read_tiff, server_command)

CAPTURES = 200
# The setting: 640x480 grey at 100 frames a second; the reader holds each read 2 ms.
FRAMES = {"SIMCAM_WIDTH": "640", "SIMCAM_HEIGHT": "480", "SIMCAM_PIXEL_FORMAT": "Mono8",
          "SIMCAM_FPS": "100"}
LOOP_HOLD_MS = "2"
# A wait other than the default, so that the test sees the variable read.
SAVE_WAIT_MS = 1500
# What Wine adds on top of the wait: the frame, the write, the reply.
FAIL_MARGIN = 3.0


def reader_command(*arguments):
    """held_file_reader.exe beside the server, run the way the server is (through wine)."""
    command = server_command()
    reader = os.path.join(os.path.dirname(command[-1]), "held_file_reader.exe")
    if not os.path.exists(reader):
        raise AssertionError("%s is missing: the Windows build makes it" % reader)
    return command[:-1] + [reader] + list(arguments)


@unittest.skipUnless(WINDOWS, "Windows only: CAPTURE_SERVER_PLATFORM=windows")
class HeldFileReaderTest(ServerTestCase):
    def start_reader(self, *arguments):
        """The reader in the server's folder; it has opened the file once it prints a line."""
        reader = subprocess.Popen(reader_command(*arguments), cwd=self.workdir,
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.addCleanup(reader.kill)
        self.addCleanup(reader.stdout.close)
        return reader

    def first_line(self, reader):
        line = reader.stdout.readline().decode().strip()
        self.assertIn(line, ("reading", "open"), "the reader could not start")
        return line

    def stop_reader(self, reader):
        """Ends its input; returns what it printed last."""
        reader.stdin.close()
        last = reader.stdout.read().decode().strip()
        self.assertEqual(reader.wait(timeout=TIMEOUT), 0)
        return last

    def own_files(self):
        return sorted(name for name in os.listdir(self.workdir) if ".Jai_Factory-" in name)

    def end(self, server, client):
        client.send(b"End")
        self.assertEqual(client.recv_exact(len(TERMINATED)), TERMINATED)
        self.assertEqual(server.wait_exit(), 0)

    def test_a_reader_in_a_loop_never_makes_a_capture_fail(self):
        server, client = self.ready_client(FRAMES)
        self.capture(server, client, b"Get1", 1)
        reader = self.start_reader("loop", SLOT_FILES[1], LOOP_HOLD_MS)
        self.first_line(reader)
        times = []
        for _ in range(CAPTURES):
            capture = self.capture(server, client, b"Get1", 1)
            times.append(capture.replied_clock - capture.requested_clock)
        summary = self.stop_reader(reader)
        self.end(server, client)
        # "opens <n> failed <n> bytes <min>..<max>": it read whole files all along. Its fopen
        # may fail for a moment (counted, not checked): the rename's own handle on the new
        # file refuses it, or the old file's name has gone and the new one's not yet come.
        words = summary.split()
        self.assertEqual(words[0::2], ["opens", "failed", "bytes"], summary)
        self.assertGreater(int(words[1]), CAPTURES, summary)
        self.assertGreaterEqual(int(words[5].split("..")[0]), 640 * 480, summary)
        self.assertEqual(self.own_files(), [])
        sys.stderr.write("\n%d captures beside the reader: slowest %.0f ms, median %.0f ms; "
                         "reader: %s\n" % (CAPTURES, max(times) * 1000,
                                           sorted(times)[CAPTURES // 2] * 1000, summary))

    def test_a_reader_that_keeps_the_file_fails_one_capture_then_the_next_is_done(self):
        server, client = self.ready_client(dict(FRAMES, CAMERA_SDK_SAVE_WAIT_MS=str(SAVE_WAIT_MS)))
        kept = self.capture(server, client, b"Get1", 1)
        reader = self.start_reader("hold", SLOT_FILES[1])
        self.first_line(reader)

        failed = self.capture(server, client, b"Get1", 1, reply=FAIL)
        took = failed.replied_clock - failed.requested_clock
        self.assertIn(SAVE_FAILED_LINES[1], failed.lines)
        self.assertGreaterEqual(took, SAVE_WAIT_MS / 1000)
        self.assertLess(took, SAVE_WAIT_MS / 1000 + FAIL_MARGIN)
        # The old file stays whole; of the save, only the old file's hidden name is left,
        # which the reader's handle keeps.
        self.assertEqual(read_tiff(self.path(SLOT_FILES[1])).frame_id, kept.image.frame_id)
        self.assertEqual([name for name in self.own_files() if name.endswith(".tmp")], [])

        self.assertEqual(self.stop_reader(reader), "closed")
        done = self.capture(server, client, b"Get1", 1)
        self.assertGreater(done.image.frame_id, kept.image.frame_id)
        self.end(server, client)
        self.assertEqual(sorted(os.listdir(self.workdir)), [SLOT_FILES[1]])
        self.assertEqual(server.stderr.splitlines(),
                         ["Jai_Factory: 0001.tiff not replaced: another program holds it open "
                          "(waited %d ms)" % SAVE_WAIT_MS])
        sys.stderr.write("\nthe capture beside the held file: Fail after %.0f ms (wait %d ms)\n"
                         % (took * 1000, SAVE_WAIT_MS))


if __name__ == "__main__":
    unittest.main()
