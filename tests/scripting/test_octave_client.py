"""capture_get.m under Octave (with its instrument-control package) against the real server."""

import pathlib
import subprocess

import capture_server
from conftest import SMALL

HERE = pathlib.Path(__file__).resolve().parent
MATLAB_FOLDER = HERE.parent.parent / "matlab"


def run_octave(call, folder):
    """Runs call in Octave in the server's folder; fails with Octave's output on an error."""
    result = subprocess.run(
        ["octave", "--no-gui", "--no-window-system", "--quiet", "--eval",
         "addpath('%s', '%s'); %s" % (MATLAB_FOLDER, HERE / "octave", call)],
        cwd=folder, stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, result.stdout + result.stderr
    return result.stdout


def test_two_captures_return_images_of_the_camera_s_size(start_by_hand, tmp_path):
    server = start_by_hand(SMALL)
    printed = run_octave("two_captures_test(96, 64)", tmp_path)
    assert server.wait(10) == 0
    _, info = capture_server.read_image(tmp_path / "0002.tiff", with_metadata=True)
    assert "frame_id=%d timestamp_us=%d\n" % (info.frame_id, info.timestamp_us) in printed
    # The rest as the Python package reads it; the simulated camera has no exposure.
    assert "host %s SIMCAM-0 BayerRG8 96 64 100 1 1\n" % info.description["host_time"] in printed


def test_failed_save_raises_capture_get_fail(start_by_hand, tmp_path):
    server = start_by_hand(dict(SMALL, SIMCAM_FAIL="J_Image_SaveFile"))
    run_octave("failed_save_test()", tmp_path)
    assert server.wait(10) == 0
