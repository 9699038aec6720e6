"""The Python package against the real server with the simulated camera."""

import datetime
import socket

import numpy
import pytest

import capture_server
from conftest import SMALL


@pytest.mark.parametrize("pixel_format, dtype, colour", [
    ("Mono8", numpy.uint8, False), ("Mono16", numpy.uint16, False),
    ("BayerRG8", numpy.uint8, True), ("BayerRG16", numpy.uint16, True)])
def test_images_are_arrays_of_the_file_s_shape_and_depth(pixel_format, dtype, colour):
    with capture_server.CaptureServer(env=dict(SMALL, SIMCAM_PIXEL_FORMAT=pixel_format)) as server:
        image, info = server.capture(1, with_metadata=True)
    assert image.dtype == dtype
    assert image.shape == ((64, 96, 3) if colour else (64, 96))
    if not colour:
        # The ramp x + y + frame id tells rows from columns.
        rows, columns = numpy.indices((64, 96))
        ramp = (columns + rows + info.frame_id) % (256 if dtype == numpy.uint8 else 1024)
        assert numpy.array_equal(image, ramp * (1 if dtype == numpy.uint8 else 64))


def test_each_capture_s_file_and_frame_are_given():
    with capture_server.CaptureServer(env=SMALL) as server:
        first = server.capture_file(1)
        _, info = server.capture(2, with_metadata=True)
        _, again = server.capture(1, with_metadata=True)
    assert first == info.path.with_name("0001.tiff") == again.path
    assert info.path.name == "0002.tiff"
    assert 0 < info.frame_id < again.frame_id
    assert info.timestamp_us < again.timestamp_us
    # The rest of the description, typed; what the simulated camera lacks is None.
    now = datetime.datetime.now(datetime.timezone.utc)
    assert datetime.timedelta(0) < now - info.host_time < datetime.timedelta(seconds=30)
    assert (info.timestamp_clock, info.camera, info.pixel_format, info.width, info.height,
            info.frame_rate, info.offset_x, info.exposure_us, info.gain,
            info.temperature_c) == ("host", "SIMCAM-0", "BayerRG8", 96, 64, 100.0, None, None,
                                    None, None)
    assert info.description["frame_id"] == str(info.frame_id)
    assert info.description["host_time"].endswith("Z")


def test_failed_save_raises_capture_failed_and_serving_goes_on():
    with capture_server.CaptureServer(env=dict(SMALL, SIMCAM_FAIL="J_Image_SaveFile")) as server:
        for slot in (1, 2):
            with pytest.raises(capture_server.CaptureFailed):
                server.capture(slot)
    assert server.returncode == 0


def test_taken_port_fails_the_start_with_the_server_s_line():
    with socket.socket() as blocker:
        blocker.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        blocker.bind(("127.0.0.1", 55555))
        blocker.listen(1)
        with pytest.raises(capture_server.StartFailed) as failure:
            capture_server.CaptureServer(env=SMALL)
    assert "\tbind() failed: 98." in failure.value.lines
    assert "exit status 1" in str(failure.value) and "bind() failed: 98." in str(failure.value)


def test_no_camera_fails_the_start_not_the_capture():
    with pytest.raises(capture_server.StartFailed) as failure:
        with capture_server.CaptureServer(env=dict(SMALL, SIMCAM_CAMERAS="0")) as server:
            server.capture(1)
    assert failure.value.status == 1
    assert failure.value.lines[-2:] == ["width", "Press any key to continue . . . "]
    assert "\tThere is no camera!" in str(failure.value)


def test_server_ending_during_a_capture_raises_server_closed():
    with capture_server.CaptureServer(env=dict(SMALL, SIMCAM_FAIL="AcquisitionStart")) as server:
        with pytest.raises(capture_server.ServerClosed):
            server.capture(1)
    assert server.returncode == 1


def test_no_reply_in_time_raises_timeout_and_the_server_is_killed_on_close():
    # The first frame would come after 1000 s.
    with capture_server.CaptureServer(env=dict(SMALL, SIMCAM_FPS="0.001"), timeout=0.5) as server:
        with pytest.raises(TimeoutError):
            server.capture(1)
        with pytest.raises(capture_server.ServerClosed):
            server.capture(2)
    assert server.returncode == -9


def test_connect_to_a_running_server(start_by_hand, tmp_path):
    process = start_by_hand(dict(SMALL, SIMCAM_PIXEL_FORMAT="BayerRG8"))
    with capture_server.connect(folder=tmp_path) as client:
        assert client.capture(2).shape == (64, 96, 3)
    assert process.wait(10) == 0


def test_leaving_the_block_ends_the_server_and_removes_its_folder():
    with pytest.raises(KeyError):
        with capture_server.CaptureServer(env=SMALL) as server:
            raise KeyError("a script's own error")
    assert server.returncode == 0
    assert not server.folder.exists()
    with pytest.raises(ConnectionRefusedError):
        socket.create_connection(("127.0.0.1", 55555), timeout=1).close()


def test_missing_binary_is_named(tmp_path):
    with pytest.raises(FileNotFoundError, match="capture-server binary .*none does not exist"):
        capture_server.CaptureServer(binary=tmp_path / "none")
