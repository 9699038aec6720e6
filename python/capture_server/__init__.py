"""Runs the capture server (or connects to a running one) and hands back each captured image.

    with capture_server.CaptureServer(env={"SIMCAM_PIXEL_FORMAT": "Mono16"}) as server:
        image = server.capture(1)                       # numpy array, height x width
        image, info = server.capture(2, with_metadata=True)
        print(info.frame_id, info.timestamp_us)
"""

from .client import CaptureClient, connect
from .errors import CaptureError, CaptureFailed, ServerClosed, StartFailed, UnexpectedReply
from .images import FrameInfo, read_image
from .server import CaptureServer, locate_binary

__all__ = ["CaptureClient", "CaptureError", "CaptureFailed", "CaptureServer", "FrameInfo",
           "ServerClosed", "StartFailed", "UnexpectedReply", "connect", "locate_binary",
           "read_image"]
