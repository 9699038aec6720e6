"""Soak run: thousands of captures at a high frame rate into alternating slots, while another
process reads both files in a tight loop. Fails on a wrong reply, an incomplete or stale file,
a partial file seen by the reader, or descriptors or memory that grow past their bounds.

    python3 tests/soak/soak.py --binary build/bin/capture-server [--captures 5000] [--fps 200]

CAPTURE_SERVER_COMMAND replaces --binary, as in the end-to-end tests. Exit status 0 when every
check held; the figures are printed either way.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import harness  # noqa: E402

# Bounds on growth from the figures after the first captures to those at the end.
BASELINE_CAPTURES = 100
FD_BOUND = 2
RSS_BOUND_KIB = 16 * 1024


def process_figures(pid):
    """Open descriptors and resident memory (KiB) of process pid."""
    descriptors = len(os.listdir("/proc/%d/fd" % pid))
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return descriptors, int(line.split()[1])
    raise RuntimeError("no VmRSS for process %d" % pid)


def run_reader(folder):
    """Reader mode: reads both slot files until stdin closes; prints reads and bad reads."""
    stop = threading.Event()
    threading.Thread(target=lambda: (sys.stdin.read(), stop.set()), daemon=True).start()
    reads = bad = 0
    first_bad = ""
    paths = [os.path.join(folder, name) for name in harness.SLOT_FILES.values()]
    while not stop.is_set():
        for path in paths:
            try:
                harness.read_tiff(path)
                reads += 1
            except FileNotFoundError:
                pass
            except AssertionError as error:
                bad += 1
                first_bad = first_bad or str(error)
    print(reads, bad, first_bad, flush=True)
    return 0


def soak(captures, fps):
    failures = []
    workdir = tempfile.mkdtemp(prefix="capture-soak-")
    lock = harness.hold_port_lock()
    harness.wait_port_free()
    server = harness.Server(workdir, {"SIMCAM_FPS": str(fps)})
    reader = None
    number = 0
    elapsed = final = None
    try:
        server.start()
        server.wait_ready()
        client = server.connect()
        reader = subprocess.Popen([sys.executable, "-B", os.path.abspath(__file__), "--reader",
                                   workdir], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  text=True)
        last_frame_id = 0
        last_mtime = 0.0
        baseline = None
        started = time.monotonic()
        for number in range(1, captures + 1):
            slot = 1 if number % 2 else 2
            client.send(b"Get%d" % slot)
            reply = client.recv_exact(len(harness.DONE))
            if reply != harness.DONE:
                failures.append("capture %d: reply %r" % (number, reply))
                break
            path = os.path.join(workdir, harness.SLOT_FILES[slot])
            mtime = os.stat(path).st_mtime
            image = harness.read_tiff(path)
            if image.frame_id <= last_frame_id or mtime + harness.MTIME_SLACK < last_mtime:
                failures.append("capture %d: frame %d after %d, mtime %f after %f"
                                % (number, image.frame_id, last_frame_id, mtime, last_mtime))
                break
            last_frame_id, last_mtime = image.frame_id, mtime
            if number == BASELINE_CAPTURES:
                baseline = process_figures(server.process.pid)
        final = process_figures(server.process.pid)
        elapsed = time.monotonic() - started
        client.send(b"End")
        if client.recv_exact(len(harness.TERMINATED)) != harness.TERMINATED:
            failures.append("End was not answered")
        status = server.wait_exit()
        if status != 0:
            failures.append("exit status %d" % status)
    except (AssertionError, OSError, harness.ServerError) as error:
        failures.append(str(error))
    finally:
        reader_out = ""
        if reader is not None:
            reader_out, _ = reader.communicate(timeout=harness.TIMEOUT)
        server.kill()
        lock.close()
        shutil.rmtree(workdir, True)

    reads, bad, first_bad = (reader_out.split(" ", 2) + ["", "", ""])[:3]
    print("captures: %d of %d at %s frames/s%s" % (
        number, captures, fps, "" if elapsed is None else
        " in %.1f s (%.1f ms each)" % (elapsed, 1000 * elapsed / max(number, 1))))
    print("reader: %s complete reads, %s partial or unreadable%s"
          % (reads, bad, (": " + first_bad.strip()) if first_bad.strip() else ""))
    if bad != "0":
        failures.append("the reader saw %s bad files" % bad)
    if baseline is not None and final is not None:
        print("descriptors: %d after %d captures, %d at the end (bound +%d)"
              % (baseline[0], BASELINE_CAPTURES, final[0], FD_BOUND))
        print("resident memory: %d KiB after %d captures, %d KiB at the end (bound +%d KiB)"
              % (baseline[1], BASELINE_CAPTURES, final[1], RSS_BOUND_KIB))
        if final[0] > baseline[0] + FD_BOUND:
            failures.append("descriptors grew from %d to %d" % (baseline[0], final[0]))
        if final[1] > baseline[1] + RSS_BOUND_KIB:
            failures.append("memory grew from %d to %d KiB" % (baseline[1], final[1]))
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--binary", help="the capture-server binary")
    parser.add_argument("--captures", type=int, default=5000)
    parser.add_argument("--fps", default="200")
    parser.add_argument("--reader", metavar="FOLDER", help=argparse.SUPPRESS)
    arguments = parser.parse_args()
    if arguments.reader:
        return run_reader(arguments.reader)
    if arguments.binary:
        os.environ["CAPTURE_SERVER_BINARY"] = os.path.abspath(arguments.binary)
    if arguments.captures < BASELINE_CAPTURES:
        parser.error("--captures must be at least %d" % BASELINE_CAPTURES)
    return soak(arguments.captures, arguments.fps)


if __name__ == "__main__":
    sys.exit(main())
