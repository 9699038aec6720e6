"""Fixtures of the scripting tests: the port lock that every program starting a server on
port 55555 holds, and a server started by hand for the clients that connect to one."""

import fcntl
import os
import subprocess

import pytest

import capture_server

PORT_LOCK = "/tmp/capture-server-port.lock"
# Small, quick frames.
SMALL = {"SIMCAM_WIDTH": "96", "SIMCAM_HEIGHT": "64", "SIMCAM_FPS": "100"}


@pytest.fixture(autouse=True)
def port_lock():
    with open(PORT_LOCK, "a") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        yield


@pytest.fixture
def start_by_hand(tmp_path):
    """Starts the server in tmp_path with extra variables, as a user would by hand, and waits
    for its ready line; returns the process. Kills it at the end of the test."""
    processes = []

    def start(env):
        process = subprocess.Popen([str(capture_server.locate_binary())], cwd=tmp_path,
                                   env=dict(os.environ, **env),
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, text=True)
        processes.append(process)
        for line in process.stdout:
            if line.startswith("***Hint: Server is ready"):
                return process
        pytest.fail("the server ended before its ready line")

    yield start
    for process in processes:
        process.kill()
        process.wait()
        process.stdout.close()
