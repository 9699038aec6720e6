"""The connection to a running capture server: one command at a time, each waiting for its
reply, exactly as capture-client does."""

import pathlib
import socket
import time

from .errors import CaptureError, CaptureFailed, ServerClosed, UnexpectedReply
from .images import read_image

HOST = "127.0.0.1"
PORT = 55555
SLOT_FILES = {1: "0001.tiff", 2: "0002.tiff"}

DONE = b"Done\n"
FAIL = b"Fail\n"
TERMINATED = b"Terminated\n"


class CaptureClient:
    """A connected client of the server, which writes its images into folder.

    The server serves its first client for its whole run and ends when that client closes
    the connection, so close() ends the server too. After a timeout or a reply that is none
    of the protocol's, a late reply could pass for the next command's: the connection is
    then closed, and every later command raises ServerClosed.
    """

    def __init__(self, connection, folder, timeout):
        self._socket = connection
        self.folder = pathlib.Path(folder)
        self.timeout = timeout
        self._closed_because = None

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()

    def capture_file(self, slot):
        """Captures one frame into the slot's file (slot 1: 0001.tiff, 2: 0002.tiff) and
        returns its path once the server says it is in place."""
        if slot not in SLOT_FILES:
            raise ValueError("slot must be 1 or 2, not %r" % (slot,))
        reply = self._exchange(b"Get%d" % slot, (DONE, FAIL))
        if reply == FAIL:
            raise CaptureFailed("the server could not convert or save the frame of Get%d"
                                % slot)
        return self.folder / SLOT_FILES[slot]

    def capture(self, slot, with_metadata=False):
        """Captures one frame into the slot's file and returns it as a numpy array; with
        with_metadata, returns (array, FrameInfo) (see read_image)."""
        return read_image(self.capture_file(slot), with_metadata)

    def close(self):
        """Sends "End", waits for its reply (within the timeout) and closes the connection;
        raises nothing, whatever state the server is in."""
        if self._socket is None:
            return
        try:
            self._exchange(b"End", (TERMINATED,))
        except (OSError, CaptureError):
            pass
        self._close_connection("the client was closed")

    def _exchange(self, command, replies):
        if self._socket is None:
            raise ServerClosed("no connection to the server: %s" % self._closed_because)
        try:
            self._socket.sendall(command)
        except OSError as error:
            self._close_connection("sending %s failed" % command.decode())
            raise self._ended(command, error) from None
        deadline = time.monotonic() + self.timeout
        reply = b""
        length = max(len(candidate) for candidate in replies)
        # Never more bytes than the reply still lacks, so that nothing past it is taken.
        while reply not in replies:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                self._close_connection("no reply to %s in time" % command.decode())
                raise TimeoutError("no reply to %s within %g s (got %r)"
                                   % (command.decode(), self.timeout, reply))
            self._socket.settimeout(remaining)
            try:
                chunk = self._socket.recv(length - len(reply))
            except socket.timeout:
                continue
            except OSError as error:
                self._close_connection("the connection failed")
                raise self._ended(command, error) from None
            if not chunk:
                self._close_connection("the server closed the connection")
                raise self._ended(command, None)
            reply += chunk
            if not any(candidate.startswith(reply) for candidate in replies):
                self._close_connection("the server sent %r" % reply)
                raise UnexpectedReply("reply %r to %s" % (reply, command.decode()))
        return reply

    def _ended(self, command, error):
        """The exception for a connection that ended before the reply to command."""
        cause = " (%s)" % error if error is not None else ""
        return ServerClosed("the connection ended before the reply to %s%s"
                            % (command.decode(), cause))

    def _close_connection(self, why):
        if self._socket is not None:
            self._socket.close()
            self._socket = None
            self._closed_because = why


def connect(port=PORT, folder=".", timeout=10):
    """Connects to a server that is already running (started by hand, on another account,
    under Wine); folder is where that server writes its files. timeout bounds the connect and
    each wait for a reply, in seconds."""
    connection = socket.create_connection((HOST, port), timeout=timeout)
    return CaptureClient(connection, folder, timeout)
