"""The exceptions of the package. A reply that does not come in time raises the built-in
TimeoutError."""


class CaptureError(Exception):
    """Base of every error the server or the connection to it reports."""


class CaptureFailed(CaptureError):
    """The server answered "Fail": the frame of this capture could not be converted or saved."""


class ServerClosed(CaptureError):
    """The connection ended before the reply: the server has ended."""


class UnexpectedReply(CaptureError):
    """The server sent bytes that are no reply to the command."""


class StartFailed(CaptureError):
    """The server ended before it accepted the connection. The message holds its console lines
    and its exit status."""

    def __init__(self, message, status=None, lines=()):
        super().__init__(message)
        self.status = status
        self.lines = list(lines)
