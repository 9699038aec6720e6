"""GenICam capture latency against Aravis's emulator: the server (command sent to reply
received) beside a Python peer on Aravis through PyGObject that does the same capture (start,
first whole frame after the start, stop, the pixels written to a file). With --usb3-emulator,
then the server over USB3 Vision against the device emulator of tests/usb3-emulator, whose
camera is the same fake camera. Prints the median, p95 and slowest of each, in ms. Run on
loopback only, with Debian's python3-gi and gir1.2-aravis-0.8 for the peer:

    scripts/loopback-only.sh /usr/bin/python3 bench/genicam_latency.py build/bin/capture-server \
        --usb3-emulator build/bin/usb3-emulator
"""

import argparse
import fcntl
import os
import socket
import statistics
import subprocess
import tempfile
import time

from aravis_emulator import PORT_LOCK, start_emulator

WARM_UP = 2


def summary(name, times):
    times = sorted(times)
    return "%s, %d captures: median %.1f ms, p95 %.1f ms, slowest %.1f ms" % (
        name, len(times), statistics.median(times), times[int(0.95 * len(times))], times[-1])


def server_times(binary, captures, folder, **env):
    server = subprocess.Popen([os.path.abspath(binary)], cwd=folder, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              env=dict(os.environ, CAMERA_SDK_BACKEND="genicam", **env))
    for line in server.stdout:
        if b"Server is ready" in line:
            break
    client = socket.create_connection(("127.0.0.1", 55555), timeout=30)
    times = []
    for index in range(captures + WARM_UP):
        sent = time.perf_counter()
        client.sendall(b"Get1" if index % 2 == 0 else b"Get2")
        reply = b""
        while len(reply) < 5:
            reply += client.recv(5 - len(reply))
        if reply != b"Done\n":
            raise SystemExit("the server answered %r" % reply)
        if index >= WARM_UP:
            times.append((time.perf_counter() - sent) * 1000)
    client.sendall(b"End")
    server.stdout.read()
    server.wait()
    return times


def peer_times(captures, folder):
    import gi
    gi.require_version("Aravis", "0.8")
    from gi.repository import Aravis
    Aravis.update_device_list()
    camera = Aravis.Camera.new(Aravis.get_device_id(0))
    stream = camera.create_stream(None, None)
    for _ in range(4):
        stream.push_buffer(Aravis.Buffer.new_allocate(camera.get_payload()))
    device = camera.get_device()
    times = []
    for index in range(captures + WARM_UP):
        sent = time.perf_counter()
        started_ns = time.time_ns()
        device.execute_command("AcquisitionStart")
        data = None
        while data is None:
            buffer = stream.timeout_pop_buffer(10_000_000)
            if buffer is None:
                raise SystemExit("the peer had no frame within 10 s")
            if (buffer.get_status() == Aravis.BufferStatus.SUCCESS
                    and buffer.get_system_timestamp() >= started_ns):
                data = buffer.get_data()
            stream.push_buffer(buffer)
        device.execute_command("AcquisitionStop")
        with open(os.path.join(folder, "%04d.raw" % (1 + index % 2)), "wb") as out:
            out.write(data)
        if index >= WARM_UP:
            times.append((time.perf_counter() - sent) * 1000)
    return times


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("server", help="the capture-server binary")
    parser.add_argument("--captures", type=int, default=200)
    parser.add_argument("--usb3-emulator", metavar="FOLDER",
                        help="the USB3 Vision device emulator's folder (<build>/bin/usb3-emulator)")
    arguments = parser.parse_args()
    with open(PORT_LOCK, "a") as lock, tempfile.TemporaryDirectory() as folder:
        fcntl.flock(lock, fcntl.LOCK_EX)
        emulator, _ = start_emulator()
        try:
            print(summary("server", server_times(arguments.server, arguments.captures, folder)))
            print(summary("python peer", peer_times(arguments.captures, folder)))
        finally:
            emulator.kill()
            emulator.wait()
        if arguments.usb3_emulator:
            times = server_times(arguments.server, arguments.captures, folder,
                                 LD_LIBRARY_PATH=os.path.abspath(arguments.usb3_emulator))
            print(summary("server over USB3 Vision", times))


if __name__ == "__main__":
    main()
