"""Starting the capture server in a folder of its own, following its console, and ending it."""

import logging
import os
import pathlib
import shutil
import socket
import subprocess
import tempfile
import threading
import time

from .client import HOST, PORT, CaptureClient
from .errors import StartFailed

READY_LINE = "***Hint: Server is ready...run your client program...***"
# What the server prints when it ends after its ready line but before it accepts a client:
# a stream set-up it cannot do without, or a failed accept.
STREAM_SET_UP_FAILURES = ("width", "height", "open stream")
ACCEPT_FAILURE = "\taccept() failed"
BINARY_VARIABLE = "CAPTURE_SERVER_BINARY"
# The console lines that a failed start's message shows, at most.
SHOWN_LINES = 40

log = logging.getLogger("capture_server")


def _checkout():
    """The checkout this package was installed from, or the one it runs in; None for a
    release wheel, which comes from no checkout of the user's."""
    try:
        from ._checkout import CHECKOUT
    except ImportError:
        return pathlib.Path(__file__).resolve().parent.parent.parent
    return None if CHECKOUT is None else pathlib.Path(CHECKOUT)


def locate_binary(binary=None):
    """binary, else $CAPTURE_SERVER_BINARY, else build/bin/capture-server of this checkout,
    else capture-server on PATH (where the Debian package puts it); FileNotFoundError when
    there is none."""
    if binary is None:
        binary = os.environ.get(BINARY_VARIABLE)
    if binary:
        path = pathlib.Path(binary)
        if not path.is_file():
            raise FileNotFoundError("capture-server binary %s does not exist" % path)
        return path
    name = "capture-server.exe" if os.name == "nt" else "capture-server"
    checkout = _checkout()
    built = None if checkout is None else checkout / "build" / "bin" / name
    if built is not None and built.is_file():
        return built
    on_path = shutil.which(name)
    if on_path is not None:
        return pathlib.Path(on_path)
    raise FileNotFoundError(
        "no capture-server binary: pass binary=, set %s, put it on PATH%s"
        % (BINARY_VARIABLE, "" if built is None else ", or build %s (scripts/build.sh)" % built))


class _Console:
    """Reads the server's standard output and error as they come, line by line, into
    logging and into one list."""

    def __init__(self, process):
        self.lines = []
        self.ready = False
        self._condition = threading.Condition()
        self._open_streams = 2
        self._threads = [
            threading.Thread(target=self._read, args=(process.stdout, logging.INFO), daemon=True),
            threading.Thread(target=self._read, args=(process.stderr, logging.WARNING),
                             daemon=True)]
        for thread in self._threads:
            thread.start()

    def _read(self, stream, level):
        for raw in stream:
            line = raw.decode("utf-8", "replace").rstrip("\r\n")
            log.log(level, "%s", line)
            with self._condition:
                self.lines.append(line)
                self.ready = self.ready or line == READY_LINE
                self._condition.notify_all()
        stream.close()
        with self._condition:
            self._open_streams -= 1
            self._condition.notify_all()

    def wait_ready(self, timeout):
        """True once the ready line is printed, False when the output ends or time is up."""
        with self._condition:
            self._condition.wait_for(lambda: self.ready or not self.open, timeout)
            return self.ready

    @property
    def open(self):
        """True while the server's output has not ended."""
        return self._open_streams > 0

    def join(self, timeout):
        for thread in self._threads:
            thread.join(timeout)

    def after_ready(self):
        with self._condition:
            return self.lines[self.lines.index(READY_LINE) + 1:] if self.ready else []


class CaptureServer(CaptureClient):
    """Starts the server and connects to it as its client; a context manager.

    The server runs in folder (a new temporary folder by default, removed on close), with
    env added to the current environment (for the camera library's SIMCAM_ or
    CAMERA_SDK_BACKEND variables), its standard input closed (so that a fatal end's key
    prompt returns at once), its console lines sent to the "capture_server" logger.
    Returns once the server has printed its ready line and the connection is made.

    StartFailed, with the server's console lines and exit status, when the server ends
    before it accepts the connection: before the ready line (a taken port, say), or after it
    (no camera, a failed stream set-up). The second kind may show only at the first capture,
    since the server gives no sign of the accept itself; it raises StartFailed there too.

    close() (and leaving the block) sends "End" and waits for the process; one that has not
    ended within timeout seconds is killed. timeout also bounds each wait for a reply.
    """

    def __init__(self, binary=None, folder=None, env=None, start_timeout=10, timeout=10):
        command = [str(locate_binary(binary))]
        self._own_folder = folder is None
        folder = pathlib.Path(tempfile.mkdtemp(prefix="capture-") if folder is None else folder)
        environment = dict(os.environ)
        environment.update({name: str(value) for name, value in (env or {}).items()})
        self.process = subprocess.Popen(command, cwd=folder, env=environment,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)
        self._console = _Console(self.process)
        super().__init__(None, folder, timeout)
        deadline = time.monotonic() + start_timeout
        try:
            if not self._console.wait_ready(start_timeout):
                if self._console.open:
                    self.process.kill()
                    raise self._failed_start("did not print its ready line within %g s"
                                             % start_timeout)
                raise self._failed_start("ended before its ready line")
            self._socket = self._connect(deadline)
            if self.process.poll() is not None:
                raise self._failed_start("ended before it accepted the connection")
        except BaseException:
            self.close()
            raise

    @property
    def returncode(self):
        """The server's exit status once it has ended, else None."""
        return self.process.poll()

    def close(self):
        super().close()
        try:
            self.process.wait(self.timeout)
        except subprocess.TimeoutExpired:
            log.warning("the server did not end within %g s; killing it", self.timeout)
            self.process.kill()
            self.process.wait()
        self._console.join(self.timeout)
        if self._own_folder:
            shutil.rmtree(self.folder, ignore_errors=True)

    def _connect(self, deadline):
        """Connects, retrying while the server runs but does not listen yet (never the
        case after its ready line on Linux, kept for the other platforms)."""
        while True:
            try:
                return socket.create_connection((HOST, PORT),
                                                max(deadline - time.monotonic(), 0.01))
            except ConnectionRefusedError:
                if self.process.poll() is not None:
                    raise self._failed_start("ended before it accepted the connection")
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.02)

    def _ended(self, command, error):
        if self._ended_before_accept():
            return self._failed_start("ended before it accepted the connection")
        return super()._ended(command, error)

    def _ended_before_accept(self):
        try:
            self.process.wait(self.timeout)
        except subprocess.TimeoutExpired:
            return False
        self._console.join(self.timeout)
        following = self._console.after_ready()
        return bool(following) and (following[0] in STREAM_SET_UP_FAILURES or
                                    following[0].startswith(ACCEPT_FAILURE))

    def _failed_start(self, what):
        """StartFailed for a server that what; waits for its end, killing it if need be."""
        try:
            status = self.process.wait(self.timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            status = self.process.wait()
        self._console.join(self.timeout)
        lines = self._console.lines
        shown = "\n".join("    " + line for line in lines[-SHOWN_LINES:])
        return StartFailed("capture-server %s; exit status %s; it printed:\n%s"
                           % (what, status, shown), status, lines)
