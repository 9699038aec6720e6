"""Reading a saved image into a numpy array, with what the file says of its frame."""

import dataclasses
import datetime
import pathlib
import re
import typing

_START = re.compile(r"frame_id=(\d+) timestamp_us=(\d+)")
# The description's keys after its start, and how each is read; any other key stays text.
_TYPES = {"timestamp_clock": str, "camera": str, "pixel_format": str, "width": int,
          "height": int, "offset_x": int, "offset_y": int, "exposure_us": float,
          "gain": float, "frame_rate": float, "temperature_c": float}


def _utc_time(text):
    moment = datetime.datetime.strptime(text, "%Y-%m-%dT%H:%M:%S.%fZ")
    return moment.replace(tzinfo=datetime.timezone.utc)


@dataclasses.dataclass(frozen=True)
class FrameInfo:
    """Where the image was saved, and what the camera library wrote of its frame into the
    file's ImageDescription: the frame's id and timestamp (microseconds, on the clock that
    timestamp_clock names: "camera" or "host"), the host's UTC time when it arrived
    (host_time, an aware datetime), the camera's ID, the raw pixel format, the size, region,
    exposure (microseconds), gain, frame rate and temperature (degrees Celsius). A value the
    camera did not have is None. description holds every key=value of the file as text."""

    path: pathlib.Path
    frame_id: int
    timestamp_us: int
    timestamp_clock: typing.Optional[str] = None
    host_time: typing.Optional[datetime.datetime] = None
    camera: typing.Optional[str] = None
    pixel_format: typing.Optional[str] = None
    width: typing.Optional[int] = None
    height: typing.Optional[int] = None
    offset_x: typing.Optional[int] = None
    offset_y: typing.Optional[int] = None
    exposure_us: typing.Optional[float] = None
    gain: typing.Optional[float] = None
    frame_rate: typing.Optional[float] = None
    temperature_c: typing.Optional[float] = None
    description: typing.Mapping[str, str] = dataclasses.field(default_factory=dict)


def _frame_info(path, description):
    """The FrameInfo of the file at path whose ImageDescription is description."""
    match = _START.match(description)
    if match is None:
        raise ValueError("%s: ImageDescription %r holds no frame_id and timestamp_us"
                         % (path, description))
    fields = dict(part.split("=", 1) for part in description.split() if "=" in part)
    known = {key: kind(fields[key]) for key, kind in _TYPES.items() if key in fields}
    if "host_time" in fields:
        known["host_time"] = _utc_time(fields["host_time"])
    return FrameInfo(pathlib.Path(path), int(match.group(1)), int(match.group(2)),
                     description=fields, **known)


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
    return image, _frame_info(path, description)
