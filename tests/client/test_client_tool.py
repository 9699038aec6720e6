"""capture-client against the real server: its lines, the files, and its exit statuses."""

import os
import re
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

from harness import SLOT_FILES, SMALL, TIMEOUT, ServerTestCase, read_tiff  # noqa: E402

REPLY_LINE = re.compile(r"(Get1|Get2|End): (Done|Fail|Terminated) \(\d+\.\d\d ms\)")


def client_command():
    binary = os.environ.get("CAPTURE_CLIENT_BINARY")
    if not binary:
        raise unittest.SkipTest("CAPTURE_CLIENT_BINARY is not set")
    return [binary]


class ClientToolTest(ServerTestCase):
    def run_client(self, *arguments):
        return subprocess.run(client_command() + list(arguments), capture_output=True,
                              text=True, timeout=3 * TIMEOUT)

    def test_captures_and_end_exit_zero_with_both_files_in_place(self):
        server = self.start_server(SMALL)
        server.wait_ready()
        run = self.run_client("--repeat", "2", "Get1", "Get2", "End")
        self.assertEqual(run.returncode, 0, run.stderr)
        lines = run.stdout.splitlines()
        self.assertEqual([REPLY_LINE.fullmatch(line).group(1, 2) for line in lines[:5]],
                         [("Get1", "Done"), ("Get2", "Done")] * 2 + [("End", "Terminated")])
        self.assertTrue(lines[5].startswith("Get1: count 2, min "), lines)
        self.assertTrue(lines[6].startswith("Get2: count 2, min "), lines)
        self.assertEqual(server.wait_exit(), 0)
        first = read_tiff(self.path(SLOT_FILES[1]))
        second = read_tiff(self.path(SLOT_FILES[2]))
        self.assertGreater(second.frame_id, first.frame_id, "Get2 came last")

    def test_failed_save_exits_one_and_leaves_the_server_to_end(self):
        server = self.start_server(dict(SMALL, SIMCAM_FAIL="J_Image_SaveFile"))
        server.wait_ready()
        run = self.run_client("Get1", "End")
        self.assertEqual(run.returncode, 1)
        self.assertTrue(run.stdout.startswith("Get1: Fail ("), run.stdout)
        self.assertIn("could not save 0001.tiff", run.stderr)
        # The tool stopped at the failure: the server sees the client go, not End.
        self.assertEqual(server.wait_exit(), 0)
        self.assertIn("\tClient disconnected\n", server.lines)
        self.assertNotIn("\tRecived end command\n", server.lines)

    def test_no_server_exits_one(self):
        run = self.run_client("Get1")
        self.assertEqual(run.returncode, 1)
        self.assertIn("connection refused", run.stderr)


if __name__ == "__main__":
    unittest.main()
