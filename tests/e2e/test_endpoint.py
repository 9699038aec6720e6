"""The listening endpoint: the loopback address only, a taken port, and failures of socket()
and accept() made by a low limit on open files.
"""

import socket
import unittest

from harness import (CAMERA_HEADER, HOST, LISTENING_LINES, PAUSE_PROMPT, PORT, SMALL,
                     TERMINATED, TIMEOUT, ServerTestCase, runs_native_binary, socket_error,
                     startup_lines)


class EndpointTest(ServerTestCase):
    def test_accepts_on_127_0_0_1_only(self):
        server, client = self.ready_client(SMALL)
        # Another loopback address of this machine reaches no listener.
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection(("127.0.0.2", PORT), timeout=TIMEOUT).close()
        client.send(b"End")
        self.assertEqual(client.recv_exact(len(TERMINATED)), TERMINATED)
        self.assertEqual(server.wait_exit(), 0)

    def test_taken_port_ends_at_once_with_1(self):
        blocker = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.addCleanup(blocker.close)
        blocker.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        blocker.bind((HOST, PORT))
        blocker.listen(1)
        server = self.start_server(SMALL)
        # No pause: it ends while its standard input stays open, before any camera work.
        self.assertEqual(server.wait_exit(), 1)
        self.assertLines(server.lines, LISTENING_LINES[:8] + [
            "\tbind() failed: %d.\n" % socket_error("EADDRINUSE")])
        self.assertNotIn(CAMERA_HEADER, server.output)
        self.assertNotIn(PAUSE_PROMPT, server.output)


@unittest.skipUnless(runs_native_binary(), "needs the Linux binary to set its file limit")
class DescriptorLimitTest(ServerTestCase):
    def test_socket_failure_ends_with_1(self):
        # Only standard input, output and error may be open once the libraries are loaded.
        server = self.start_server(SMALL, nofile_limit=3)
        self.assertEqual(server.wait_exit(), 1)
        self.assertLines(server.lines, LISTENING_LINES[:6] + [
            "\tError at socket(): %d\n" % socket_error("EMFILE")])

    def test_accept_failure_ends_with_1(self):
        # Room for the listening socket but not for a client's. Linux reserves the client's
        # descriptor before it waits, so accept fails at once, with or without a client.
        server = self.start_server(SMALL, nofile_limit=4)
        self.assertEqual(server.wait_exit(), 1)
        self.assertLines(server.lines, startup_lines() + [
            "\taccept() failed: %d.\n" % socket_error("EMFILE")])
        self.assertNotIn(PAUSE_PROMPT, server.output)


if __name__ == "__main__":
    unittest.main()
