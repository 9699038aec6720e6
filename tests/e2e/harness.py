"""Runs the real capture server for end-to-end tests and reads what it leaves behind.

The command that starts the server is CAPTURE_SERVER_COMMAND (a command line, split like a
shell would), else the binary in CAPTURE_SERVER_BINARY (set by CTest). Set
CAPTURE_SERVER_PLATFORM=windows when that command runs the Windows build (under Wine, say):
the expected error numbers become those of Windows Sockets and console line ends CR LF are
read as LF.

Every wait here is bounded, so a server that hangs fails its test instead of stalling it.
"""

import contextlib
import errno
import fcntl
import os
import re
import resource
import shlex
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HOST = "127.0.0.1"
PORT = 55555

# Default bound of every wait for the server: start-up, a line, a reply, the exit.
TIMEOUT = 10.0
# How long a test listens to make sure that nothing arrives.
QUIET_WINDOW = 0.5

WINDOWS = os.environ.get("CAPTURE_SERVER_PLATFORM", "").lower() == "windows"
# The Windows build run by Wine: its cmd.exe words the pause prompt its own way and, at the
# end of input, ends the pause without a line end (Windows' cmd.exe prints one).
UNDER_WINE = WINDOWS and os.path.basename(
    (shlex.split(os.environ.get("CAPTURE_SERVER_COMMAND", "")) or [""])[0]) in ("wine", "wine64")

# Socket error numbers as the server prints them: the system's errno on POSIX, the Windows
# Sockets codes on Windows.
_WINDOWS_ERRORS = {"EADDRINUSE": 10048, "EMFILE": 10024, "ECONNRESET": 10054}


def socket_error(name):
    """The number the server prints for the socket error called name (e.g. "EADDRINUSE")."""
    if WINDOWS:
        return _WINDOWS_ERRORS[name]
    return getattr(errno, name)


def server_command():
    command = os.environ.get("CAPTURE_SERVER_COMMAND")
    if command:
        return shlex.split(command)
    binary = os.environ.get("CAPTURE_SERVER_BINARY")
    if not binary:
        raise unittest.SkipTest("neither CAPTURE_SERVER_COMMAND nor CAPTURE_SERVER_BINARY is set")
    return [binary]


def runs_native_binary():
    """True when the server is the Linux binary itself, so that its limits can be set."""
    return sys.platform.startswith("linux") and not os.environ.get("CAPTURE_SERVER_COMMAND")


# Console texts of a start-up with the defaults, up to the camera part.
LISTENING_LINES = [
    "Starting socket testing\n",
    "\tThe Winsock dll found!\n",
    "\tThe status: Running.\n",
    "\tThe dll supports the Winsock version 2.2!\n",
    "\tThe highest version this dll can support: 2.2\n",
    "Socket setup\n",
    "\tSocket is OK!\n",
    "Bind\n",
    "\tbind is OK!\n",
    "Listen\n",
    "\tWaiting for connections...\n",
]
CAMERA_HEADER = "Starting JAY capturage\n"
WAITING_LINES = [
    "Waiting for a client to connect...\n",
    "***Hint: Server is ready...run your client program...***\n",
]
READY_LINE = WAITING_LINES[-1]
CLOSING_LINES = ["\tClosed the camera.\n", "\tClosed the factory.\n"]
PAUSE_PROMPT = "Press any key to continue... " if UNDER_WINE else "Press any key to continue . . . "
UNDEFINED_LINE = "\tRecived undifined command\n"
END_LINE = "\tRecived end command\n"
DISCONNECTED_LINE = "\tClient disconnected\n"
CAMERA_ID_LINE = re.compile(r"\tcamera 0: \S[^\n]*\n")
TEMPO_LINE = re.compile(r"Tempo decorrido \(ms\)(-?\d+)\n")
SLOT_FILES = {1: "0001.tiff", 2: "0002.tiff"}
SLOT_LABELS = {1: "imgSeq1:1\n", 2: "imgSeq2:0\n"}
SAVED_LINES = {1: "Gravou 1 \n", 2: "Gravou 2 \n"}
SAVE_FAILED_LINES = {slot: "Failed to save file to disk, file name: %s\n" % name
                     for slot, name in SLOT_FILES.items()}
DONE = b"Done\n"
FAIL = b"Fail\n"
TERMINATED = b"Terminated\n"
# Small, quick frames for the tests that do not need the default size.
SMALL = {"SIMCAM_WIDTH": "96", "SIMCAM_HEIGHT": "64", "SIMCAM_FPS": "100"}
# File times come from a coarse clock that may lag the precise one by a tick.
MTIME_SLACK = 0.02


def camera_lines(count=1):
    """The camera part of the start-up log when camera 0 opens."""
    return [CAMERA_HEADER, "\tOpened the factory.\n", "\tUpdated the camera list.\n",
            "\t%d cameras were found.\n" % count, CAMERA_ID_LINE, "\tOpened camera 0.\n"]


def startup_lines(count=1):
    return LISTENING_LINES + camera_lines(count) + WAITING_LINES


class ServerError(AssertionError):
    pass


class Server:
    """One run of the server in its own working folder.

    stdout is read live into a list of lines (the last one may still lack its line feed,
    as the pause prompt does); stderr is collected whole.
    """

    def __init__(self, workdir, env=None, nofile_limit=None):
        self.workdir = workdir
        self._env = dict(env or {})
        self._nofile_limit = nofile_limit
        self._raw = ""
        self._stderr = b""
        self._condition = threading.Condition()
        self._stdout_closed = False
        self._threads = []
        self._stdout_file = None
        self.process = None
        # The highest frame id saved by this server so far (see ServerTestCase.capture).
        self.last_frame_id = 0

    # --- start and stop -------------------------------------------------------------------

    def start(self):
        # The library's own variables come from the test only.
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("SIMCAM_", "CAMERA_SDK_"))}
        env.update(self._env)
        if self._nofile_limit is not None:
            self._start_held(env)
            return self
        self.process = subprocess.Popen(
            server_command(), cwd=self.workdir, env=env, stdin=subprocess.PIPE,
            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self._start_readers(self.process.stdout.fileno(), 0)
        return self

    def _start_held(self, env):
        """Starts the server with its output pipe full, so that its first line blocks it
        before any socket is made; lowers its open-file limit once it has loaded its
        libraries (which needs a free descriptor) and then lets it run.
        """
        read_end, write_end = os.pipe()
        os.set_blocking(write_end, False)
        filler = 0
        try:
            while True:
                filler += os.write(write_end, b"\0" * 65536)
        except BlockingIOError:
            pass
        os.set_blocking(write_end, True)
        try:
            self.process = subprocess.Popen(
                server_command(), cwd=self.workdir, env=env, stdin=subprocess.PIPE,
                stdout=write_end, stderr=subprocess.PIPE)
        finally:
            os.close(write_end)
        self._stdout_file = os.fdopen(read_end, "rb", buffering=0)
        # Blocked on its first line: asleep with the libraries loaded.
        deadline = time.monotonic() + TIMEOUT
        while _process_state(self.process.pid) != "S":
            if time.monotonic() > deadline or self.process.poll() is not None:
                raise ServerError("the held server did not reach its first line")
            time.sleep(0.01)
        limit = self._nofile_limit
        resource.prlimit(self.process.pid, resource.RLIMIT_NOFILE, (limit, limit))
        self._start_readers(read_end, filler)

    def _start_readers(self, stdout_fd, skip):
        out = threading.Thread(target=self._read_stdout, args=(stdout_fd, skip), daemon=True)
        err = threading.Thread(target=self._read_stderr, daemon=True)
        self._threads = [out, err]
        out.start()
        err.start()

    def _read_stdout(self, fd, skip):
        while True:
            try:
                chunk = os.read(fd, 65536)
            except OSError:
                chunk = b""
            if skip and chunk:
                dropped = min(skip, len(chunk))
                skip -= dropped
                chunk = chunk[dropped:]
                if not chunk:
                    continue
            with self._condition:
                if not chunk:
                    self._stdout_closed = True
                else:
                    self._raw += chunk.decode("latin-1")
                self._condition.notify_all()
                if not chunk:
                    return

    def _read_stderr(self):
        data = self.process.stderr.read()
        with self._condition:
            self._stderr = data
            self._condition.notify_all()

    def kill(self):
        """Ends the server whatever state it is in, and waits until it is gone."""
        if self.process is None:
            return
        if self.process.poll() is None:
            try:
                self.process.kill()
            except ProcessLookupError:
                pass
        try:
            self.process.wait(timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            pass
        try:
            self.process.stdin.close()
        except OSError:
            pass
        for thread in self._threads:
            thread.join(timeout=TIMEOUT)
        # A process the server started may still hold its output pipes (under Wine, a desktop
        # process it woke inherits them): a reader still blocked holds its stream's lock, and
        # closing that stream would wait for it forever, so such a stream is left open.
        if any(thread.is_alive() for thread in self._threads):
            return
        for stream in (self.process.stdout, self.process.stderr, self._stdout_file):
            if stream is not None:
                try:
                    stream.close()
                except OSError:
                    pass

    # --- console ---------------------------------------------------------------------------

    @property
    def _text(self):
        if not WINDOWS:
            return self._raw
        text = self._raw.replace("\r\n", "\n")
        if UNDER_WINE and self._stdout_closed and text and not text.endswith("\n"):
            text += "\n"
        return text

    @property
    def output(self):
        """Everything printed so far."""
        with self._condition:
            return self._text

    @property
    def lines(self):
        """The lines printed so far, each with its line feed; a last, unfinished line too."""
        return self.output.splitlines(keepends=True)

    @property
    def stderr(self):
        """What the server wrote on stderr, with line feeds ending its lines on every system;
        complete once it has exited."""
        with self._condition:
            text = self._stderr.decode("latin-1")
        return text.replace("\r\n", "\n") if WINDOWS else text

    def wait_for_line(self, line, timeout=TIMEOUT, start=0):
        """Waits until line (with its line feed) has been printed at index start or later;
        returns its index in lines.
        """
        return self._wait(lambda lines: _index(lines, line, start), repr(line), timeout)

    def wait_for_text(self, text, timeout=TIMEOUT):
        """Waits until text has been printed (for a prompt without a line feed)."""
        return self._wait(lambda _: text in self._text or None, repr(text), timeout)

    def wait_ready(self, timeout=TIMEOUT):
        """Waits for the line after which the server accepts its client."""
        return self.wait_for_line(READY_LINE, timeout)

    def _wait(self, found, what, timeout):
        deadline = time.monotonic() + timeout
        with self._condition:
            while True:
                result = found(self._text.splitlines(keepends=True))
                if result is not None:
                    return result
                remaining = deadline - time.monotonic()
                if remaining <= 0 or self._stdout_closed:
                    break
                self._condition.wait(min(remaining, 0.1))
        raise ServerError("server did not print %s within %.0f s; printed:\n%s\nstderr:\n%s"
                          % (what, timeout, self._text, self.stderr))

    # --- process ---------------------------------------------------------------------------

    def answer_pause(self, key=b"\n"):
        """Gives the pause its key."""
        self.process.stdin.write(key)
        self.process.stdin.flush()

    def close_stdin(self):
        self.process.stdin.close()

    def running(self):
        return self.process.poll() is None

    def wait_exit(self, timeout=TIMEOUT):
        """Waits for the server to end and returns its exit status; the output is complete."""
        try:
            status = self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise ServerError("server did not exit within %.0f s; printed:\n%s"
                              % (timeout, self.output)) from None
        for thread in self._threads:
            thread.join(timeout=timeout)
        return status

    # --- client ----------------------------------------------------------------------------

    def connect(self, host=HOST, timeout=TIMEOUT):
        """Connects a client, retrying until the server listens."""
        deadline = time.monotonic() + timeout
        while True:
            try:
                return Client(socket.create_connection((host, PORT), timeout=timeout))
            except (ConnectionRefusedError, socket.timeout):
                if time.monotonic() > deadline or not self.running():
                    raise
                time.sleep(0.02)


def _index(lines, line, start):
    for index in range(start, len(lines)):
        if lines[index] == line:
            return index
    return None


def _process_state(pid):
    try:
        with open("/proc/%d/stat" % pid) as stat:
            return stat.read().rsplit(")", 1)[1].split()[0]
    except (OSError, IndexError):
        return None


class Client:
    """One TCP connection to the server."""

    def __init__(self, sock):
        self.sock = sock

    def send(self, data):
        self.sock.sendall(data)

    def recv_exact(self, count, timeout=TIMEOUT):
        """Reads exactly count bytes; fails on a timeout or an early end of the connection."""
        data = b""
        deadline = time.monotonic() + timeout
        while len(data) < count:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise AssertionError("got %r, expected %d bytes" % (data, count))
            self.sock.settimeout(remaining)
            try:
                chunk = self.sock.recv(count - len(data))
            except socket.timeout:
                continue
            if not chunk:
                raise AssertionError("connection ended after %r, expected %d bytes"
                                     % (data, count))
            data += chunk
        return data

    def recv_for(self, window):
        """Everything that arrives within window seconds, stopping early at the end of the
        connection; returns (bytes, ended).
        """
        data = b""
        deadline = time.monotonic() + window
        while True:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                return data, False
            self.sock.settimeout(remaining)
            try:
                chunk = self.sock.recv(4096)
            except socket.timeout:
                return data, False
            except ConnectionResetError:
                return data, True
            if not chunk:
                return data, True
            data += chunk

    def recv_until_closed(self, timeout=TIMEOUT):
        """Everything up to the end of the connection."""
        data, ended = self.recv_for(timeout)
        if not ended:
            raise AssertionError("connection still open after %.0f s (got %r)" % (timeout, data))
        return data

    def close(self):
        try:
            self.sock.close()
        except OSError:
            pass

    def reset(self):
        """Closes with a reset instead of an orderly end (SO_LINGER with a zero time)."""
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.sock.close()


# Every program on this machine that starts a server on the port holds this lock while the
# server runs, so that test suites, benchmarks and soak runs started side by side take turns.
PORT_LOCK = "/tmp/capture-server-port.lock"


def hold_port_lock():
    handle = open(PORT_LOCK, "a")
    fcntl.flock(handle, fcntl.LOCK_EX)
    return handle


def wait_port_free(timeout=TIMEOUT):
    """Waits until nothing listens on the server's port, so that a test starts clean."""
    deadline = time.monotonic() + timeout
    while True:
        probe = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        try:
            probe.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            probe.bind((HOST, PORT))
            probe.listen(1)
            return
        except OSError as error:
            if time.monotonic() > deadline:
                raise ServerError("port %d stays taken: %s" % (PORT, error)) from None
        finally:
            probe.close()
        time.sleep(0.05)


class ServerTestCase(unittest.TestCase):
    """Gives each test a fresh folder and kills every server and client it started."""

    def setUp(self):
        self._servers = []
        self.addCleanup(hold_port_lock().close)
        self.new_run()

    def new_run(self):
        """A fresh working folder, once the port is free (for one more server in a test)."""
        wait_port_free()
        self.workdir = tempfile.mkdtemp(prefix="capture-e2e-")
        self.addCleanup(shutil.rmtree, self.workdir, True)

    @contextlib.contextmanager
    def run_alone(self):
        """One more run within a test (for a subtest): a fresh folder, and every server
        started inside is killed on leaving, so that a failure cannot hold the port.
        """
        self.new_run()
        first = len(self._servers)
        try:
            yield
        finally:
            for server in self._servers[first:]:
                server.kill()

    def start_server(self, env=None, **options):
        server = Server(self.workdir, env, **options)
        self._servers.append(server)
        self.addCleanup(server.kill)
        server.start()
        return server

    def connect(self, server, **options):
        client = server.connect(**options)
        self.addCleanup(client.close)
        return client

    def ready_client(self, env=None):
        """A server that has printed its start-up log, and its connected client."""
        server = self.start_server(env)
        server.wait_ready()
        return server, self.connect(server)

    def path(self, name):
        return os.path.join(self.workdir, name)

    def read_bytes(self, name):
        with open(self.path(name), "rb") as data:
            return data.read()

    def tiff_files(self):
        return sorted(name for name in os.listdir(self.workdir) if name.endswith(".tiff"))

    def assertLines(self, actual, expected):
        """actual equals expected, line by line; an expected entry may be a compiled regex."""
        def same(line, want):
            return want.fullmatch(line) is not None if hasattr(want, "fullmatch") else line == want
        if len(actual) == len(expected) and all(map(same, actual, expected)):
            return
        shown = lambda want: want.pattern if hasattr(want, "fullmatch") else repr(want)
        self.fail("console lines differ\nexpected:\n  %s\ngot:\n  %s" % (
            "\n  ".join(map(shown, expected)), "\n  ".join(map(repr, actual))))

    def capture(self, server, client, message, slot, reply=DONE):
        """Sends message, expects reply (read exactly) and, on "Done\n", reads the slot's file
        at once (None after another reply). Returns a Capture.
        """
        mark = len(server.lines)
        requested = time.time()
        requested_clock = time.monotonic()
        client.send(message)
        self.assertEqual(client.recv_exact(len(reply)), reply)
        replied_clock = time.monotonic()
        image = mtime = None
        if reply == DONE:
            path = self.path(SLOT_FILES[slot])
            mtime = os.stat(path).st_mtime
            image = read_tiff(path)
            # Every capture is a later frame than any earlier capture of this server.
            self.assertGreater(image.frame_id, server.last_frame_id)
            server.last_frame_id = image.frame_id
        end = server.wait_for_line(SLOT_LABELS[slot], start=mark)
        return Capture(image, server.lines[mark:end + 1], mtime, requested, requested_clock,
                       replied_clock)

    def assertCaptureLines(self, lines, slot, saved=True):
        """The main thread's lines in order, tictoc, lap, label, and the frame thread's one
        line somewhere before the label (it is printed before the reply is sent).
        """
        frame_line = (SAVED_LINES if saved else SAVE_FAILED_LINES)[slot]
        self.assertIn(frame_line, lines[:-1], "the frame's line must come before the label")
        self.assertEqual(lines.count(frame_line), 1, lines)
        main = [line for line in lines if line != frame_line]
        self.assertLines(main, ["tictoc:\n", TEMPO_LINE, SLOT_LABELS[slot]])

    def assertRunsToFatalEnd(self, server, text, timeout=TIMEOUT):
        """The fatal end: text, the pause prompt, a wait for a key, then status 1."""
        server.wait_for_text(PAUSE_PROMPT, timeout)
        self.assertEqual(server.lines[-2:], [text, PAUSE_PROMPT])
        server.close_stdin()
        self.assertEqual(server.wait_exit(), 1)


class Capture:
    """What one capture left: the image read on its reply, its console lines, the file's
    mtime, the wall-clock time of the request, and monotonic times of request and reply.
    """

    def __init__(self, image, lines, mtime, requested, requested_clock, replied_clock):
        self.image, self.lines, self.mtime = image, lines, mtime
        self.requested, self.requested_clock, self.replied_clock = (
            requested, requested_clock, replied_clock)


# --- TIFF ------------------------------------------------------------------------------------

_TYPE_SIZES = {1: 1, 2: 1, 3: 2, 4: 4, 5: 8, 6: 1, 7: 1, 8: 2, 9: 4, 10: 8, 11: 4, 12: 8}
_TYPE_FORMATS = {1: "B", 3: "H", 4: "I", 6: "b", 8: "h", 9: "i"}


class TiffImage:
    def __init__(self, **fields):
        self.__dict__.update(fields)

    def __repr__(self):
        return "TiffImage(%dx%d, %d x %d bits, %r)" % (
            self.width, self.height, self.samples_per_pixel, self.bits_per_sample,
            self.description)


def read_tiff(path):
    """Parses a baseline, uncompressed TIFF and checks that it is complete: header, first IFD,
    and every strip inside the file, holding exactly width x height pixels.

    Returns width, height, bits_per_sample (one value, the same for every sample),
    samples_per_pixel, photometric, description, frame_id and timestamp_us (from the
    ImageDescription "frame_id=<n> timestamp_us=<t>"), fields (every key=value of the
    description), tags (tag number -> text or list of numbers) and pixels (the strips' bytes).
    """
    with open(path, "rb") as image_file:
        data = image_file.read()

    def fail(why):
        raise AssertionError("%s: %s" % (path, why))

    if len(data) < 8:
        fail("shorter than a TIFF header (%d bytes)" % len(data))
    order = {b"II": "<", b"MM": ">"}.get(data[:2])
    if order is None:
        fail("no byte-order mark")
    magic, ifd = struct.unpack(order + "HI", data[2:8])
    if magic != 42:
        fail("magic number %d, not 42" % magic)
    if ifd < 8 or ifd + 2 > len(data):
        fail("first IFD at %d outside the file" % ifd)
    (count,) = struct.unpack(order + "H", data[ifd:ifd + 2])
    if ifd + 2 + 12 * count + 4 > len(data):
        fail("IFD of %d entries runs past the end" % count)

    tags = {}
    for entry in range(count):
        at = ifd + 2 + 12 * entry
        tag, kind, number = struct.unpack(order + "HHI", data[at:at + 8])
        if kind not in _TYPE_SIZES:
            continue
        size = _TYPE_SIZES[kind] * number
        if size <= 4:
            raw = data[at + 8:at + 8 + size]
        else:
            (offset,) = struct.unpack(order + "I", data[at + 8:at + 12])
            if offset + size > len(data):
                fail("value of tag %d outside the file" % tag)
            raw = data[offset:offset + size]
        if kind == 2:
            tags[tag] = raw.split(b"\0", 1)[0].decode("latin-1")
        elif kind in _TYPE_FORMATS:
            tags[tag] = list(struct.unpack(order + _TYPE_FORMATS[kind] * number, raw))

    for tag, name in ((256, "ImageWidth"), (257, "ImageLength"), (273, "StripOffsets"),
                      (279, "StripByteCounts"), (262, "PhotometricInterpretation")):
        if tag not in tags:
            fail("no %s tag" % name)
    width, height = tags[256][0], tags[257][0]
    samples = tags.get(277, [1])[0]
    bits = tags.get(258, [1])
    if len(bits) != samples or len(set(bits)) != 1:
        fail("BitsPerSample %r for %d samples" % (bits, samples))
    compression = tags.get(259, [1])[0]
    if compression != 1:
        fail("compression %d, not uncompressed" % compression)
    if tags.get(284, [1])[0] != 1:
        fail("not planar configuration 1 (chunky)")
    offsets, counts = tags[273], tags[279]
    if len(offsets) != len(counts) or not offsets:
        fail("%d strip offsets for %d byte counts" % (len(offsets), len(counts)))
    pixels = bytearray()
    for offset, size in zip(offsets, counts):
        if offset + size > len(data):
            fail("strip at %d of %d bytes runs past the end (%d bytes)"
                 % (offset, size, len(data)))
        pixels += data[offset:offset + size]
    expected = width * height * samples * bits[0] // 8
    if len(pixels) != expected:
        fail("strips hold %d bytes, %dx%dx%dx%d bits need %d"
             % (len(pixels), width, height, samples, bits[0], expected))

    description = tags.get(270, "")
    fields = dict(part.split("=", 1) for part in description.split() if "=" in part)
    try:
        frame_id = int(fields["frame_id"])
        timestamp_us = int(fields["timestamp_us"])
    except (KeyError, ValueError):
        fail("ImageDescription %r is not 'frame_id=<n> timestamp_us=<t>'" % description)
    return TiffImage(width=width, height=height, bits_per_sample=bits[0],
                     samples_per_pixel=samples, photometric=tags[262][0],
                     description=description, frame_id=frame_id, timestamp_us=timestamp_us,
                     fields=fields, tags=tags, pixels=bytes(pixels), byte_order=order)
