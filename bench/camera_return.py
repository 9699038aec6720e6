"""The times of a lost camera, with the GenICam backend against Aravis's emulator: a capture
while the camera is away (the first after the emulator is killed, then the next), and the
time from the emulator's return to the first Done, for a capture sent after the return and for
one that waits when it returns. Run on loopback only:

    scripts/loopback-only.sh python3 bench/camera_return.py build/bin/capture-server
"""

import argparse
import fcntl
import os
import socket
import subprocess
import tempfile
import time

from aravis_emulator import PORT_LOCK, start_emulator


def stop(emulator):
    emulator.kill()
    emulator.wait()


def reply(client):
    data = b""
    while len(data) < 5:
        data += client.recv(5 - len(data))
    return data.decode().strip()


def capture(client, word):
    sent = time.monotonic()
    client.sendall(word)
    return reply(client), time.monotonic() - sent


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("server", help="the capture-server binary")
    arguments = parser.parse_args()
    with open(PORT_LOCK, "a") as lock, tempfile.TemporaryDirectory() as folder:
        fcntl.flock(lock, fcntl.LOCK_EX)
        emulator, _ = start_emulator()
        server = subprocess.Popen([os.path.abspath(arguments.server)], cwd=folder,
                                  stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL,
                                  env=dict(os.environ, CAMERA_SDK_BACKEND="genicam"))
        for line in server.stdout:
            if b"Server is ready" in line:
                break
        client = socket.create_connection(("127.0.0.1", 55555), timeout=60)
        print("healthy: %s in %.2f s" % capture(client, b"Get1"))
        stop(emulator)
        for word in (b"Get2", b"Get1"):
            print("while away: %s in %.2f s" % capture(client, word))
        emulator, back = start_emulator()
        answer, _ = capture(client, b"Get2")
        print("sent after the return: %s %.2f s after it" % (answer, time.monotonic() - back))
        stop(emulator)
        print("while away again: %s in %.2f s" % capture(client, b"Get1"))
        client.sendall(b"Get2")
        time.sleep(1)
        emulator, back = start_emulator()
        answer = reply(client)
        print("waiting at the return: %s %.2f s after it" % (answer, time.monotonic() - back))
        client.sendall(b"End")
        server.stdout.read()
        print("server status %d" % server.wait())
        stop(emulator)


if __name__ == "__main__":
    main()
