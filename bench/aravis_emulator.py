"""Aravis's GigE Vision camera emulator on 127.0.0.1 for the GenICam benchmarks, and the port
lock that every program holding a server on port 55555 takes."""

import socket
import subprocess
import time

EMULATOR = ["arv-fake-gv-camera-0.8", "-i", "127.0.0.1", "-s", "BENCH1"]
PORT_LOCK = "/tmp/capture-server-port.lock"


def start_emulator():
    """The emulator, and the time its control port opened."""
    emulator = subprocess.Popen(EMULATOR, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while True:
        probe = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        try:
            probe.bind(("127.0.0.1", 3956))
        except OSError:
            return emulator, time.monotonic()
        finally:
            probe.close()
        time.sleep(0.01)
