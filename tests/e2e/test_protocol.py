"""The command protocol: prefix matching, one command per receive, undefined commands, the
end of the connection, and clients other than the first.
"""

import unittest

from harness import (CLOSING_LINES, DISCONNECTED_LINE, DONE, END_LINE, QUIET_WINDOW, SLOT_LABELS,
                     SMALL, TERMINATED, UNDEFINED_LINE, UNDER_WINE, ServerTestCase, read_tiff,
                     socket_error)


class ProtocolTest(ServerTestCase):
    def assertUndefined(self, server, client, message):
        """message prints the undefined line once and gets no reply at all."""
        mark = len(server.lines)
        client.send(message)
        server.wait_for_line(UNDEFINED_LINE, start=mark)
        data, ended = client.recv_for(QUIET_WINDOW)
        self.assertEqual((data, ended), (b"", False), "no reply to %r" % message)
        self.assertEqual(server.lines[mark:], [UNDEFINED_LINE], "for %r" % message)

    def end(self, server, client):
        client.send(b"End")
        self.assertEqual(client.recv_exact(len(TERMINATED)), TERMINATED)
        self.assertEqual(server.wait_exit(), 0)

    def test_text_after_the_command_word_is_ignored(self):
        server, client = self.ready_client(SMALL)
        for message in (b"Get1\r\n", b"Get1 and then some text"):
            capture = self.capture(server, client, message, 1)
            self.assertCaptureLines(capture.lines, 1)
        capture = self.capture(server, client, b"Get2\r\n", 2)
        self.assertCaptureLines(capture.lines, 2)
        self.end(server, client)

    def test_undefined_commands_get_no_reply_and_serving_goes_on(self):
        server, client = self.ready_client(SMALL)
        # Case-sensitive words; shorter prefixes and other bytes are no command.
        for message in (b"get1", b"GET2", b"end", b"Ge", b"En", b"Hello", b"\r\n", b" Get1"):
            self.assertUndefined(server, client, message)
        capture = self.capture(server, client, b"Get1", 1)
        self.assertCaptureLines(capture.lines, 1)
        self.assertEqual(self.tiff_files(), ["0001.tiff"])
        self.end(server, client)

    def test_a_command_is_judged_only_on_its_own_bytes(self):
        # After a full command word, a shorter message must not be read as that word again.
        server, client = self.ready_client(SMALL)
        self.capture(server, client, b"Get1", 1)
        self.assertUndefined(server, client, b"G")
        self.assertUndefined(server, client, b"Get")
        self.capture(server, client, b"Get2", 2)
        self.assertUndefined(server, client, b"Get")
        self.assertUndefined(server, client, b"En")
        self.assertEqual(server.output.count("tictoc:\n"), 2)
        self.end(server, client)

    def test_word_beginning_with_end_ends(self):
        server, client = self.ready_client(SMALL)
        mark = len(server.lines)
        client.send(b"Ending")
        self.assertEqual(client.recv_exact(len(TERMINATED)), TERMINATED)
        self.assertEqual(server.wait_exit(), 0)
        self.assertEqual(server.lines[mark:], [END_LINE] + CLOSING_LINES)

    def test_two_words_in_one_receive_are_one_capture_into_slot_1(self):
        server, client = self.ready_client(SMALL)
        capture = self.capture(server, client, b"Get1Get2", 1)
        self.assertCaptureLines(capture.lines, 1)
        mark = len(server.lines)
        self.assertEqual(client.recv_for(QUIET_WINDOW), (b"", False))
        self.assertEqual(server.lines[mark:], [])
        self.assertEqual(self.tiff_files(), ["0001.tiff"])
        self.end(server, client)

    def test_40_byte_message_is_read_as_32_bytes_then_8(self):
        server, client = self.ready_client(SMALL)
        message = b"Get1".ljust(32, b"-") + b"Get2-End"
        self.assertEqual(len(message), 40)
        mark = len(server.lines)
        # One send call, so both commands arrive together.
        self.assertEqual(client.sock.send(message), 40)
        self.assertEqual(client.recv_exact(2 * len(DONE)), 2 * DONE)
        server.wait_for_line(SLOT_LABELS[2], start=mark)
        lines = server.lines[mark:]
        self.assertNotIn(UNDEFINED_LINE, lines)
        self.assertNotIn(END_LINE, lines)
        labels = [line for line in lines if line in SLOT_LABELS.values()]
        self.assertEqual(labels, [SLOT_LABELS[1], SLOT_LABELS[2]])
        self.assertEqual(lines.count("tictoc:\n"), 2)
        self.assertEqual(self.tiff_files(), ["0001.tiff", "0002.tiff"])
        self.assertLess(read_tiff(self.path("0001.tiff")).frame_id,
                        read_tiff(self.path("0002.tiff")).frame_id)
        self.end(server, client)


class ConnectionEndTest(ServerTestCase):
    def test_client_close_closes_camera_and_ends_with_0(self):
        server, client = self.ready_client(SMALL)
        self.capture(server, client, b"Get1", 1)
        mark = len(server.lines)
        client.close()
        self.assertEqual(server.wait_exit(), 0)
        self.assertEqual(server.lines[mark:], [DISCONNECTED_LINE] + CLOSING_LINES)
        # The last command is not served again.
        self.assertEqual(server.output.count("tictoc:\n"), 1)

    def test_client_reset_reports_receive_failure_and_ends_with_1(self):
        server, client = self.ready_client(SMALL)
        self.capture(server, client, b"Get1", 1)
        mark = len(server.lines)
        client.reset()
        status = server.wait_exit()
        failed = ["\trecv() failed: %d.\n" % socket_error("ECONNRESET")] + CLOSING_LINES
        if UNDER_WINE and status == 0:
            # Wine's sockets at times deliver a reset as an orderly close.
            self.assertEqual(server.lines[mark:], [DISCONNECTED_LINE] + CLOSING_LINES)
        else:
            self.assertEqual(status, 1)
            self.assertEqual(server.lines[mark:], failed)
        self.assertEqual(server.output.count("tictoc:\n"), 1)


class SecondClientTest(ServerTestCase):
    def test_second_client_is_never_served(self):
        server, first = self.ready_client(SMALL)
        self.capture(server, first, b"Get1", 1)
        second = self.connect(server)
        mark = len(server.lines)
        second.send(b"Get2")
        self.assertEqual(second.recv_for(QUIET_WINDOW), (b"", False))
        self.assertEqual(server.lines[mark:], [])
        self.assertEqual(self.tiff_files(), ["0001.tiff"])
        # The first client is still served.
        capture = self.capture(server, first, b"Get2", 2)
        self.assertCaptureLines(capture.lines, 2)
        first.send(b"End")
        self.assertEqual(first.recv_exact(len(TERMINATED)), TERMINATED)
        self.assertEqual(server.wait_exit(), 0)
        self.assertEqual(second.recv_until_closed(), b"")
        self.assertEqual(server.output.count("tictoc:\n"), 2)


if __name__ == "__main__":
    unittest.main()
