"""Reading a saved image into a numpy array, with the frame's id and time from the file."""

import dataclasses
import pathlib
import re

_DESCRIPTION = re.compile(r"frame_id=(\d+) timestamp_us=(\d+)")


@dataclasses.dataclass(frozen=True)
class FrameInfo:
    """Where the image was saved, and the frame's id and timestamp (microseconds) as the
    camera library wrote them into the file's ImageDescription."""

    path: pathlib.Path
    frame_id: int
    timestamp_us: int


def read_image(path, with_metadata=False):
    """The image in a TIFF the server saved: 8- or 16-bit grey as height x width, RGB as
    height x width x 3, uint8 or uint16. With with_metadata, returns (image, FrameInfo).

    Needs numpy and tifffile (Debian: python3-numpy, python3-tifffile); tifffile reads the
    16-bit and 48-bit RGB files that other readers turn into 8 bits."""
    import tifffile

    path = pathlib.Path(path)
    with tifffile.TiffFile(path) as tiff:
        page = tiff.pages[0]
        image = page.asarray()
        description = page.description
    if not with_metadata:
        return image
    match = _DESCRIPTION.search(description)
    if match is None:
        raise ValueError("%s: ImageDescription %r holds no frame_id and timestamp_us"
                         % (path, description))
    return image, FrameInfo(path, int(match.group(1)), int(match.group(2)))
