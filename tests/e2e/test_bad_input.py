"""Bad input against the real server: random and NUL bytes, floods, tiny sends, resets,
half-closes, waiting clients, symlinks in place of the files, another run's leftovers. After
each case the server still answers Get1 with Done and a complete file, or has ended as the
protocol says.
"""

import os
import random
import socket
import time
import unittest

from harness import (CLOSING_LINES, DISCONNECTED_LINE, DONE, QUIET_WINDOW, SMALL, TERMINATED,
                     TIMEOUT, UNDEFINED_LINE, ServerTestCase, read_tiff)

# Byte strings that hold a command word anywhere could become a command when a receive
# starts inside them; the random cases leave them out.
COMMAND_WORDS = (b"Get1", b"Get2", b"End")
RANDOM_SEED = 20261208
RANDOM_STRINGS = 10000
# Servers in turn for the random strings, so that each console stays short.
RANDOM_BATCHES = 5


def without_commands(data):
    return not any(word in data for word in COMMAND_WORDS)


def random_strings(count, seed=RANDOM_SEED):
    generator = random.Random(seed)
    strings = []
    while len(strings) < count:
        data = bytes(generator.getrandbits(8) for _ in range(generator.randint(1, 32)))
        if without_commands(data):
            strings.append(data)
    return strings


def flood_bytes(size, seed=RANDOM_SEED):
    """Random bytes with no 'G' or 'E', so that no command word can form."""
    generator = random.Random(seed)
    data = bytearray(generator.getrandbits(8) for _ in range(size))
    return bytes(data).replace(b"G", b"g").replace(b"E", b"e")


class BadInputTestCase(ServerTestCase):
    def send_undefined(self, server, client, data):
        """Sends data as one receive and waits until the server has judged it undefined."""
        mark = len(server.lines)
        client.send(data)
        server.wait_for_line(UNDEFINED_LINE, start=mark)

    def wait_quiet(self, server, timeout=30.0):
        """Waits until the console stops growing: the server waits in its receive."""
        deadline = time.monotonic() + timeout
        count = len(server.lines)
        while time.monotonic() < deadline:
            time.sleep(QUIET_WINDOW)
            now = len(server.lines)
            if now == count:
                return
            count = now
        self.fail("the server kept printing for %.0f s" % timeout)

    def assertServes(self, server, client):
        """Get1 still answers Done with a complete, new file in slot 1."""
        capture = self.capture(server, client, b"Get1", 1)
        self.assertEqual(capture.image.width, int(SMALL["SIMCAM_WIDTH"]))

    def assertEndsCleanly(self, server, client):
        client.send(b"End")
        self.assertEqual(client.recv_exact(len(TERMINATED)), TERMINATED)
        self.assertEqual(server.wait_exit(), 0)


class RandomBytesTest(BadInputTestCase):
    def test_every_random_string_gets_no_reply_and_serving_goes_on(self):
        strings = random_strings(RANDOM_STRINGS)
        batch = len(strings) // RANDOM_BATCHES
        for first in range(0, len(strings), batch):
            with self.subTest(strings_from=first), self.run_alone():
                server, client = self.ready_client(SMALL)
                for data in strings[first:first + batch]:
                    self.send_undefined(server, client, data)
                self.assertEqual(client.recv_for(0.1), (b"", False))
                self.assertServes(server, client)
                self.assertEndsCleanly(server, client)
                self.assertEqual(server.output.count(UNDEFINED_LINE), batch)

    def test_nul_bytes_are_undefined_unless_after_a_command_word(self):
        server, client = self.ready_client(SMALL)
        for length in range(1, 33):
            self.send_undefined(server, client, b"\0" * length)
        self.send_undefined(server, client, b"\0Get1")
        self.send_undefined(server, client, b"G\0et1")
        self.assertEqual(client.recv_for(0.1), (b"", False))
        # What follows the word is ignored, NUL bytes included.
        self.capture(server, client, b"Get1\0\0\0", 1)
        self.assertServes(server, client)
        client.send(b"End\0")
        self.assertEqual(client.recv_exact(len(TERMINATED)), TERMINATED)
        self.assertEqual(server.wait_exit(), 0)


class FloodTest(BadInputTestCase):
    def test_one_mebibyte_flood_is_read_through_and_serving_goes_on(self):
        server, client = self.ready_client(SMALL)
        data = flood_bytes(1 << 20)
        client.send(data)
        self.wait_quiet(server)
        self.assertEqual(client.recv_for(0.1), (b"", False))
        # At least one receive each 32 bytes, and nothing else printed.
        undefined = server.output.count(UNDEFINED_LINE)
        self.assertGreaterEqual(undefined, len(data) // 32)
        self.assertNotIn("tictoc:", server.output)
        self.assertServes(server, client)
        self.assertEndsCleanly(server, client)

    def test_thousands_of_one_byte_sends_and_serving_goes_on(self):
        server, client = self.ready_client(SMALL)
        client.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        for byte in flood_bytes(5000, seed=RANDOM_SEED + 1):
            client.send(bytes([byte]))
        self.wait_quiet(server)
        self.assertEqual(client.recv_for(0.1), (b"", False))
        # A command split over receives is not a command.
        for byte in b"Get1":
            self.send_undefined(server, client, bytes([byte]))
        self.assertEqual(client.recv_for(QUIET_WINDOW), (b"", False))
        self.assertServes(server, client)
        self.assertEndsCleanly(server, client)


class BrokenConnectionTest(BadInputTestCase):
    def test_reset_during_a_capture_finishes_the_file_and_ends(self):
        # Five frames a second: the reset comes well before the frame.
        server, client = self.ready_client(dict(SMALL, SIMCAM_FPS="5"))
        self.assertServes(server, client)
        mark = len(server.lines)
        client.send(b"Get2")
        server.wait_for_line("tictoc:\n", start=mark)
        client.reset()
        self.assertIn(server.wait_exit(), (0, 1))
        self.assertEqual(server.lines[-2:], CLOSING_LINES)
        self.assertEqual(server.output.count("Gravou 2 \n"), 1)
        self.assertEqual(read_tiff(self.path("0002.tiff")).width, int(SMALL["SIMCAM_WIDTH"]))

    def test_half_closed_client_gets_its_reply_then_the_server_ends(self):
        server, client = self.ready_client(SMALL)
        client.send(b"Get1")
        client.sock.shutdown(socket.SHUT_WR)
        self.assertEqual(client.recv_until_closed(), DONE)
        self.assertEqual(server.wait_exit(), 0)
        self.assertEqual(server.lines[-3:], [DISCONNECTED_LINE] + CLOSING_LINES)
        read_tiff(self.path("0001.tiff"))


class WaitingClientsTest(BadInputTestCase):
    def test_a_hundred_waiting_clients_do_not_disturb_the_first(self):
        server, first = self.ready_client(SMALL)
        waiting = []
        for _ in range(99):
            sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            self.addCleanup(sock.close)
            sock.settimeout(0.2)
            try:
                sock.connect(("127.0.0.1", 55555))
                sock.sendall(b"Get2")
            except OSError:
                pass  # past the listen queue: the connect is left waiting
            waiting.append(sock)
        self.assertServes(server, first)
        self.capture(server, first, b"Get2", 2)
        self.assertEqual(server.output.count("tictoc:\n"), 2)
        self.assertEndsCleanly(server, first)


class SymlinkTest(BadInputTestCase):
    def test_symlinks_at_the_file_names_are_replaced_not_followed(self):
        outside = os.path.join(self.workdir, "outside")
        os.mkdir(outside)
        victim = os.path.join(outside, "victim")
        with open(victim, "wb") as data:
            data.write(b"keep")
        os.symlink(victim, self.path("0001.tiff"))
        dangling = os.path.join(outside, "created")
        os.symlink(dangling, self.path("0002.tiff"))
        server, client = self.ready_client(SMALL)
        self.capture(server, client, b"Get1", 1)
        self.capture(server, client, b"Get2", 2)
        self.assertEndsCleanly(server, client)
        for name in ("0001.tiff", "0002.tiff"):
            self.assertFalse(os.path.islink(self.path(name)), name)
        with open(victim, "rb") as data:
            self.assertEqual(data.read(), b"keep")
        self.assertFalse(os.path.exists(dangling))
        self.assertEqual(sorted(os.listdir(self.workdir)), ["0001.tiff", "0002.tiff", "outside"])


class LeftoverTest(BadInputTestCase):
    def test_a_killed_runs_leftovers_go_and_a_normal_end_leaves_only_the_images(self):
        # The names of a save's temporary file and of a replaced file's hidden second name,
        # as another run of the library leaves them when it is killed between the steps.
        leftovers = [".0001.tiff.Jai_Factory-0123456789abcdef-3.tmp",
                     ".0002.tiff.Jai_Factory-0123456789abcdef-4.old"]
        kept = ["notes.txt", ".0001.tiff.tmp", ".0002.tiff.Jai_Factory-0123456789abcdef-4.old~"]
        for name in leftovers + kept:
            with open(self.path(name), "wb") as data:
                data.write(b"keep")
        server, client = self.ready_client(SMALL)
        for _ in range(3):
            self.capture(server, client, b"Get1", 1)
            self.capture(server, client, b"Get2", 2)
        self.assertEndsCleanly(server, client)
        self.assertEqual(sorted(os.listdir(self.workdir)),
                         sorted(["0001.tiff", "0002.tiff"] + kept))
        for name in kept:
            with open(self.path(name), "rb") as data:
                self.assertEqual(data.read(), b"keep", name)


if __name__ == "__main__":
    unittest.main()
