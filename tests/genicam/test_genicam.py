"""The server with the GenICam backend against an emulated camera over each transport: frames,
a lost camera, the bound on the wait for a frame that does not come whole, settings written
through CAMERA_SDK_FEATURES and the camera chosen by its ID. One list of cases (GenicamCases)
runs over GigE Vision, against Aravis's GigE Vision camera emulator on 127.0.0.1, and over USB3
Vision, against the project's USB3 Vision device emulator (tests/usb3-emulator), which the
server loads in place of libusb; both emulate Aravis's fake camera.

Aravis's discovery broadcasts on every interface, so these tests run only in a network
namespace with nothing but loopback (scripts/loopback-only.sh makes one). They skip outside
one, and when an emulator is missing (Debian: aravis-tools; USB3_EMULATOR_DIR, set by CTest,
names the folder of the USB3 Vision one).
"""

import errno
import os
import re
import shutil
import signal
import socket
import subprocess
import time
import unittest

from harness import (CLOSING_LINES, FAIL, LISTENING_LINES, SAVE_FAILED_LINES, SLOT_LABELS,
                     TIMEOUT, WAITING_LINES, WINDOWS, ServerTestCase)

EMULATOR = shutil.which("arv-fake-gv-camera-0.8")
USB3_EMULATOR_DIR = os.environ.get("USB3_EMULATOR_DIR", "")
USB3_EMULATOR = (os.path.join(USB3_EMULATOR_DIR, "libusb-1.0.dll" if WINDOWS else "libusb-1.0.so.0")
                 if USB3_EMULATOR_DIR else "")
# libusb has no hot-plug on Windows: there a lost camera shows only in its next transfer.
USB3_HOTPLUG = "0" if WINDOWS else "1"
SERIAL = "E2E01"
# The emulator's default frames: 512 x 512 Mono8, saved as 8-bit grey.
WIDTH, HEIGHT, GREY = 512, 512, 1
RGB = 2
# Each pixel format the emulator offers, and what its frames are saved as: samples per pixel,
# bits per sample, photometric interpretation.
EMULATOR_FORMATS = {
    "Mono8": (1, 8, GREY), "Mono16": (1, 16, GREY),
    "BayerGR8": (3, 8, RGB), "BayerRG8": (3, 8, RGB), "BayerGB8": (3, 8, RGB),
    "BayerBG8": (3, 8, RGB), "RGB8": (3, 8, RGB),
}
GVCP_PORT = 3956
# The USB3 Vision device emulator looks for the file that unplugs it every 10 ms.
UNPLUG_NOTICED = 0.1
GENICAM = {"CAMERA_SDK_BACKEND": "genicam"}
# Discovery and the camera's opening take a few seconds.
STARTUP_TIMEOUT = 30.0
# The library's default bound on the wait for a whole frame: 5 s plus two frame intervals.
FRAME_WAIT_BOUND = 5.0
# Beyond the bound, for a loaded machine.
AWAY_SLACK = 2.0
LOST_LINE = ("Jai_Factory: %s: control of the camera is lost; captures fail until it is back "
             "(each capture looks for it while it waits for its frame)\n")
AWAY_LINE = (
    r"Jai_Factory: %s: no frame within \d+\.\d s of AcquisitionStart "
    r"\(CAMERA_SDK_FRAME_TIMEOUT\), the capture fails: the camera is away \(lost \d+\.\d s "
    r"ago\); the next capture looks for it again\n")
BACK_LINE = r"Jai_Factory: %s: back after \d+\.\d s away; %s\n"
NO_WHOLE_FRAME = (
    r"Jai_Factory: %s: no whole frame within (\d+\.\d) s of AcquisitionStart "
    r"\(CAMERA_SDK_FRAME_TIMEOUT\), the capture fails: (\d+) incomplete frames(?: \(the stream "
    r"counted (\d+) missing packets and (\d+) resent\))?; check %s, the bandwidth and the "
    r"trigger mode \(TriggerMode\)\n")


def interfaces_beyond_loopback():
    return [name for _, name in socket.if_nameindex() if name != "lo"]


def cpu_seconds(pid):
    """The processor time a process has used so far (Linux)."""
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def gvcp_port_taken():
    probe = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        probe.bind(("127.0.0.1", GVCP_PORT))
        return False
    except OSError as error:
        return error.errno == errno.EADDRINUSE
    finally:
        probe.close()


class GenicamCases:
    """The cases every transport passes. A transport's class gives CAMERA_ID, the lines its
    camera puts on standard error at every opening (OPENING_LINES), whether its stream counts
    packets (COUNTS_PACKETS), what its line for a capture without a whole frame says to check
    of the link (LINK_CHECKS), whether its camera outlives a server (OUTLIVES_SERVER),
    start_camera(fault) for one of FAULTS, camera_env() for the server, unplug(), which takes
    the camera away as a pulled cable would, and plug_back(), which brings it back fresh from
    power-on, with its defaults.
    """

    # The faults each transport's emulator shows: every frame incomplete, half of the frames
    # incomplete, and no frame ever whole.
    FAULTS = ("incomplete", "some incomplete", "never whole")

    def start_genicam(self, **env):
        return self.start_server(dict(GENICAM, **self.camera_env(), **env))

    def start_with_features(self, features, **env):
        return self.start_genicam(CAMERA_SDK_FEATURES=features, **env)

    def ready_genicam_client(self, fault=None):
        self.start_camera(fault)
        server = self.start_genicam()
        server.wait_ready(STARTUP_TIMEOUT)
        return server, self.connect(server)

    def assertEmulatorFrame(self, image):
        self.assertEqual((image.width, image.height), (WIDTH, HEIGHT))
        self.assertEqual((image.samples_per_pixel, image.bits_per_sample), (1, 8))
        self.assertEqual(image.photometric, GREY)

    def test_startup_log_names_the_emulator(self):
        server, _ = self.ready_genicam_client()
        self.assertLines(server.lines, LISTENING_LINES + [
            "Starting JAY capturage\n", "\tOpened the factory.\n", "\tUpdated the camera list.\n",
            "\t1 cameras were found.\n", "\tcamera 0: %s\n" % self.CAMERA_ID,
            "\tOpened camera 0.\n"
        ] + WAITING_LINES)

    def test_get1_and_get2_save_the_emulators_frames(self):
        server, client = self.ready_genicam_client()
        for message, slot in [(b"Get1", 1), (b"Get2", 2), (b"Get1", 1)]:
            capture = self.capture(server, client, message, slot)
            self.assertCaptureLines(capture.lines, slot)
            self.assertEmulatorFrame(capture.image)
        self.assertEqual(self.tiff_files(), ["0001.tiff", "0002.tiff"])

    def test_captures_in_a_row_give_ever_newer_frames_across_the_id_wrap(self):
        # The emulated camera numbers its frames from 65400: 150 captures cross 65535, where
        # GigE Vision 1 ids wrap and USB3 Vision's go on.
        server, client = self.ready_genicam_client()
        for index in range(150):
            slot = 1 + index % 2
            capture = self.capture(server, client, b"Get%d" % slot, slot)
            self.assertEmulatorFrame(capture.image)
        self.assertGreater(server.last_frame_id, 65535)
        client.send(b"End")
        self.assertEqual(client.recv_until_closed(), b"Terminated\n")
        self.assertEqual(server.wait_exit(), 0)
        self.assertEqual(server.lines[-3:], ["\tRecived end command\n"] + CLOSING_LINES)

    def assertFailsWhileAway(self, server, client, slot, bound):
        """A capture while the camera is away fails within bound; the server goes on."""
        mark = len(server.lines)
        requested = time.monotonic()
        client.send(b"Get%d" % slot)
        self.assertEqual(client.recv_exact(len(FAIL), bound + AWAY_SLACK), FAIL)
        self.assertLess(time.monotonic() - requested, bound + AWAY_SLACK)
        server.wait_for_line(SLOT_LABELS[slot], start=mark)
        self.assertIn(SAVE_FAILED_LINES[slot], server.lines[mark:])

    def test_emulator_killed_between_captures_then_back_with_its_defaults(self):
        server, client = self.ready_genicam_client()
        self.capture(server, client, b"Get1", 1)
        self.unplug()
        for slot in (2, 1):
            self.assertFailsWhileAway(server, client, slot, FRAME_WAIT_BOUND)
        self.plug_back()
        returned = time.monotonic()
        capture = self.capture(server, client, b"Get2", 2)
        self.assertEmulatorFrame(capture.image)
        self.assertLess(capture.replied_clock - returned, FRAME_WAIT_BOUND)
        client.send(b"End")
        self.assertEqual(client.recv_until_closed(), b"Terminated\n")
        self.assertEqual(server.wait_exit(), 0)
        lines = server.stderr.splitlines(keepends=True)
        self.assertEqual(lines[len(self.OPENING_LINES)], LOST_LINE % self.CAMERA_ID)
        away = re.compile(AWAY_LINE % self.CAMERA_ID)
        self.assertEqual(len([line for line in lines if away.fullmatch(line)]), 2, lines)
        self.assertRegex(lines[-1], BACK_LINE % (self.CAMERA_ID,
                                                 "no CAMERA_SDK_FEATURES settings to write again"))

    def test_emulator_killed_during_a_capture_then_back_with_the_settings_written_again(self):
        # No frame is ever whole, so the capture waits while the camera is taken away; it fails
        # at its bound, as does the next one while the camera is away. The camera back with
        # its defaults gets the region once more.
        self.start_camera("never whole")
        server = self.start_with_features("Width=256; Height=128", CAMERA_SDK_FRAME_TIMEOUT="8")
        server.wait_ready(STARTUP_TIMEOUT)
        client = self.connect(server)
        client.send(b"Get1")
        data, ended = client.recv_for(1.5)
        self.assertEqual((data, ended), (b"", False), "an incomplete frame was passed on")
        self.unplug()
        self.assertEqual(client.recv_exact(len(FAIL), 8 + AWAY_SLACK), FAIL)
        server.wait_for_line("imgSeq1:1\n")
        self.assertFailsWhileAway(server, client, 2, 8)
        self.plug_back()
        image = self.capture(server, client, b"Get1", 1).image
        self.assertEqual((image.width, image.height), (256, 128))
        self.assertEqual(self.tiff_files(), ["0001.tiff"])
        client.send(b"End")
        self.assertEqual(client.recv_until_closed(), b"Terminated\n")
        self.assertEqual(server.wait_exit(), 0)
        self.assertRegex(server.stderr.splitlines(keepends=True)[-1],
                         BACK_LINE % (self.CAMERA_ID,
                                      "2 CAMERA_SDK_FEATURES settings written again"))

    def test_incomplete_frames_fail_a_capture_only_when_no_frame_comes_whole_within_the_bound(self):
        # Some frames come whole (over GigE Vision, 256 x 256 frames of 50 packets at 20 lost
        # packets in 1000, a third of them): each capture waits for a whole one and saves it.
        self.start_camera("some incomplete")
        server = self.start_with_features(
            "Width=256; Height=256; GainAuto=Off; GainRaw=0; ExposureTimeAbs=10000")
        server.wait_ready(STARTUP_TIMEOUT)
        client = self.connect(server)
        for index in range(5):
            image = self.capture(server, client, b"Get%d" % (1 + index % 2), 1 + index % 2).image
            frame = image.frame_id % 65536
            self.assertEqual(image.pixels, bytes((x + y + frame) % 255
                                                 for y in range(256) for x in range(256)))
        server.kill()
        self.assertEqual(server.stderr, "".join(self.OPENING_LINES))

    def assertFailsAfterTheBound(self, server, client, frames_came):
        """Get1 answers Fail once the bound has passed, with one line that says why; End then
        ends the server as usual.
        """
        requested = time.monotonic()
        client.send(b"Get1")
        self.assertEqual(client.recv_exact(len(FAIL), FRAME_WAIT_BOUND + TIMEOUT), FAIL)
        self.assertGreaterEqual(time.monotonic() - requested, FRAME_WAIT_BOUND)
        server.wait_for_line("imgSeq1:1\n")
        self.assertIn(SAVE_FAILED_LINES[1], server.lines)
        client.send(b"End")
        self.assertEqual(client.recv_until_closed(), b"Terminated\n")
        self.assertEqual(server.wait_exit(), 0)
        self.assertEqual(self.tiff_files(), [])
        lines = server.stderr.splitlines(keepends=True)
        self.assertEqual(lines[:-1], self.OPENING_LINES, server.stderr)
        reason = re.fullmatch(NO_WHOLE_FRAME % (self.CAMERA_ID, re.escape(self.LINK_CHECKS)),
                              lines[-1])
        self.assertIsNotNone(reason, lines[-1])
        self.assertEqual(reason.group(3) is not None, self.COUNTS_PACKETS, lines[-1])
        self.assertEqual(int(reason.group(2)) > 0, frames_came, lines[-1])
        if self.COUNTS_PACKETS:
            self.assertEqual(int(reason.group(3)) > 0, frames_came, lines[-1])

    def test_a_capture_whose_frames_are_all_incomplete_fails_at_the_bound(self):
        server, client = self.ready_genicam_client("incomplete")
        self.assertFailsAfterTheBound(server, client, frames_came=True)

    def test_a_capture_in_trigger_mode_without_a_trigger_fails_at_the_bound(self):
        self.start_camera()
        server = self.start_with_features("TriggerMode=On; TriggerSource=Software")
        server.wait_ready(STARTUP_TIMEOUT)
        self.assertFailsAfterTheBound(server, self.connect(server), frames_came=False)

    def test_a_slow_camera_still_captures_with_a_short_timeout(self):
        # One frame in 2 s, and 0.5 s beyond two frame intervals.
        self.start_camera()
        server = self.start_with_features("AcquisitionFrameRate=0.5",
                                          CAMERA_SDK_FRAME_TIMEOUT="0.5")
        server.wait_ready(STARTUP_TIMEOUT)
        client = self.connect(server)
        for slot in (1, 2):
            self.assertEmulatorFrame(self.capture(server, client, b"Get%d" % slot, slot).image)

    def assertOpeningRefused(self, features, refusal):
        """The camera opens, refuses a setting (one line on stderr), and start-up goes on to
        its end for a camera that did not open.
        """
        server = self.start_with_features(features)
        self.assertRunsToFatalEnd(server, "width\n", STARTUP_TIMEOUT)
        self.assertIn("\tCould not open the camera!\n", server.lines)
        prefix = 'Jai_Factory: CAMERA_SDK_FEATURES: %s refused by %s: ' % (refusal,
                                                                          self.CAMERA_ID)
        lines = server.stderr.splitlines()
        self.assertEqual([line for line in lines if line.startswith("Jai_Factory:")],
                         [line for line in lines if line.startswith(prefix)], server.stderr)
        self.assertEqual(len([line for line in lines if line.startswith(prefix)]), 1)
        return lines

    def test_each_emulator_format_chosen_by_feature_is_saved_as_it_should_be(self):
        self.start_camera()
        for pixel_format, (samples, bits, photometric) in EMULATOR_FORMATS.items():
            with self.subTest(pixel_format=pixel_format), self.run_alone():
                server = self.start_with_features(
                    "PixelFormat=%s; Width=64; Height=48" % pixel_format)
                server.wait_ready(STARTUP_TIMEOUT)
                image = self.capture(server, self.connect(server), b"Get1", 1).image
                self.assertEqual((image.width, image.height, image.samples_per_pixel,
                                  image.bits_per_sample, image.photometric),
                                 (64, 48, samples, bits, photometric))

    def test_region_exposure_gain_and_a_boolean_reach_the_camera_and_its_files(self):
        self.start_camera()
        server = self.start_with_features(
            "Width=256; Height=128; OffsetX=64; OffsetY=32; GainAuto=Off; GainRaw=1; "
            "ExposureTimeAbs=100000; TestBoolean=true; AcquisitionFrameRate=50")
        server.wait_ready(STARTUP_TIMEOUT)
        image = self.capture(server, self.connect(server), b"Get1", 1).image
        self.assertEqual((image.width, image.height), (256, 128))
        # The emulator's ramp (x + y + frame) mod 255, scaled by 1 + gain + log10(exposure /
        # 10 ms): three times as bright at gain 1 and 100 ms. It does not move the ramp with
        # the offsets.
        frame = image.frame_id % 65536
        row = [min(255, 3 * ((x + 1 + frame) % 255)) for x in range(256)]
        self.assertEqual(list(image.pixels[256:512]), row)
        # The file says so; the emulator has no device temperature, which is left out.
        self.assertEqual(image.description.split()[2:], [
            "timestamp_clock=camera", "host_time=" + image.fields["host_time"],
            "camera=" + self.CAMERA_ID, "pixel_format=Mono8", "width=256", "height=128",
            "offset_x=64", "offset_y=32", "exposure_us=100000", "gain=1", "frame_rate=50"])
        self.assertEqual((image.tags[271], image.tags[272]), ("Aravis", "Fake"))

    def test_refused_settings_and_the_camera_choice(self):
        self.start_camera()
        with self.subTest("a feature the camera lacks"), self.run_alone():
            self.assertOpeningRefused("NoSuchFeature=1", '"NoSuchFeature=1"')
        with self.subTest("a value out of range, after one that was written"), self.run_alone():
            lines = self.assertOpeningRefused("PixelFormat=Mono16; Width=100000",
                                              '"Width=100000"')
            self.assertIn("(already written, and kept by the camera: PixelFormat=Mono16)",
                          lines[-1])
        with self.subTest("a value that is no entry"), self.run_alone():
            self.assertOpeningRefused("PixelFormat=Mono9", '"PixelFormat=Mono9"')
        with self.subTest("a read-only feature"), self.run_alone():
            lines = self.assertOpeningRefused("SensorWidth=64", '"SensorWidth=64"')
            self.assertTrue(lines[-1].endswith(": read-only"), lines[-1])
        with self.subTest("the emulator chosen by its ID"), self.run_alone():
            server = self.start_genicam(CAMERA_SDK_CAMERA=self.CAMERA_ID)
            server.wait_ready(STARTUP_TIMEOUT)
            self.assertIn("\tcamera 0: %s\n" % self.CAMERA_ID, server.lines)
            image = self.capture(server, self.connect(server), b"Get1", 1).image
            # The refused settings above changed nothing but the format written before one,
            # which a camera that outlives the server keeps.
            self.assertEqual((image.width, image.height, image.bits_per_sample),
                             (WIDTH, HEIGHT, 16 if self.OUTLIVES_SERVER else 8))
        with self.subTest("an ID that is not there"), self.run_alone():
            server = self.start_genicam(CAMERA_SDK_CAMERA="Aravis-Fake-NONE")
            self.assertRunsToFatalEnd(server, "width\n", STARTUP_TIMEOUT)
            self.assertIn("\tThere is no camera!\n", server.lines)
            self.assertEqual(server.stderr,
                             'Jai_Factory: CAMERA_SDK_CAMERA: "Aravis-Fake-NONE" is not among '
                             'the cameras found: %s\n' % self.CAMERA_ID)

    def test_no_emulator_means_no_camera(self):
        self.start_camera()
        self.unplug()
        server = self.start_genicam()
        self.assertRunsToFatalEnd(server, "width\n", STARTUP_TIMEOUT)
        self.assertIn("\tThere is no camera!\n", server.lines)


LOOPBACK_ONLY = unittest.skipIf(
    interfaces_beyond_loopback(),
    "not in a loopback-only network namespace (run through scripts/loopback-only.sh)")


@LOOPBACK_ONLY
@unittest.skipUnless(EMULATOR, "arv-fake-gv-camera-0.8 is not installed (Debian: aravis-tools)")
class GigeVisionTest(GenicamCases, ServerTestCase):
    """The cases against Aravis's GigE Vision camera emulator, a process of its own."""

    CAMERA_ID = "Aravis-Fake-" + SERIAL
    OPENING_LINES = [
        "Jai_Factory: %s: GigE Vision packet size 1400 bytes, as the camera has it (it sends "
        "no test packets)\n" % CAMERA_ID]
    COUNTS_PACKETS = True
    LINK_CHECKS = "the packet size (GevSCPSPacketSize), the receive buffer"
    OUTLIVES_SERVER = True
    # Stream packets lost in 1000.
    FAULT_OPTIONS = {None: (), "incomplete": ("-r", "300"), "some incomplete": ("-r", "20"),
                     "never whole": ("-r", "1000")}

    def start_camera(self, fault=None):
        """The emulator on 127.0.0.1, once its control port is open."""
        if gvcp_port_taken():
            self.fail("port %d on 127.0.0.1 is taken: another emulator runs" % GVCP_PORT)
        emulator = subprocess.Popen(
            [EMULATOR, "-i", "127.0.0.1", "-s", SERIAL, *self.FAULT_OPTIONS[fault]],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(self.kill_emulator, emulator)
        deadline = time.monotonic() + TIMEOUT
        while not gvcp_port_taken():
            if emulator.poll() is not None or time.monotonic() > deadline:
                self.fail("the emulator did not open its control port")
            time.sleep(0.05)
        self.emulator = emulator

    @staticmethod
    def kill_emulator(emulator):
        if emulator.poll() is None:
            emulator.send_signal(signal.SIGKILL)
        emulator.wait()

    def camera_env(self):
        return {}

    def unplug(self):
        self.kill_emulator(self.emulator)

    def plug_back(self):
        self.start_camera()


@LOOPBACK_ONLY
@unittest.skipUnless(USB3_EMULATOR and os.path.exists(USB3_EMULATOR),
                     "the USB3 Vision device emulator is not built (USB3_EMULATOR_DIR)")
class Usb3VisionTest(GenicamCases, ServerTestCase):
    """The cases against the USB3 Vision device emulator, which lives in the server's process
    in place of libusb: unplugging it is making the file it watches.
    """

    CAMERA_ID = "Aravis-U3VEMU%s-%s" % (SERIAL, SERIAL)
    OPENING_LINES = []
    COUNTS_PACKETS = False
    LINK_CHECKS = "the USB link (the cable, the port, a hub shared with other devices)"
    OUTLIVES_SERVER = False
    FAULT_SETTINGS = {None: {}, "incomplete": {"USB3_EMULATOR_INCOMPLETE": "1000"},
                      "some incomplete": {"USB3_EMULATOR_INCOMPLETE": "500"},
                      "never whole": {}}

    def start_camera(self, fault=None, **settings):
        self.unplugged_file = os.path.join(self.workdir, "unplugged")
        self.stalled_file = os.path.join(self.workdir, "stalled")
        if fault == "never whole":
            open(self.stalled_file, "w").close()
        self.usb3_settings = dict(LD_LIBRARY_PATH=USB3_EMULATOR_DIR, USB3_EMULATOR_SERIAL=SERIAL,
                                  USB3_EMULATOR_HOTPLUG=USB3_HOTPLUG,
                                  USB3_EMULATOR_UNPLUGGED_WHILE=self.unplugged_file,
                                  USB3_EMULATOR_STALLED_WHILE=self.stalled_file,
                                  **self.FAULT_SETTINGS[fault])
        self.usb3_settings.update(settings)

    def camera_env(self):
        return self.usb3_settings

    def unplug(self):
        open(self.unplugged_file, "w").close()
        time.sleep(UNPLUG_NOTICED)

    def plug_back(self):
        if os.path.exists(self.stalled_file):
            os.remove(self.stalled_file)
        os.remove(self.unplugged_file)

    def test_a_stalled_stream_fails_at_the_bound(self):
        server, client = self.ready_genicam_client("never whole")
        self.assertFailsAfterTheBound(server, client, frames_came=False)

    def test_the_stream_of_an_unplugged_camera_stops(self):
        # Aravis's stream thread would ask the lost device for data without a pause, as long
        # as the stream lives: the server would keep a core busy while the camera is away.
        server, client = self.ready_genicam_client()
        self.capture(server, client, b"Get1", 1)
        self.unplug()
        time.sleep(0.5)
        used = cpu_seconds(server.process.pid)
        time.sleep(2)
        self.assertLess(cpu_seconds(server.process.pid) - used, 0.1)

    def test_unplugged_without_hot_plug_then_back(self):
        # As on Windows, where libusb has no hot-plug: the loss shows in the next transfer.
        self.start_camera(USB3_EMULATOR_HOTPLUG="0")
        server = self.start_genicam()
        server.wait_ready(STARTUP_TIMEOUT)
        client = self.connect(server)
        self.capture(server, client, b"Get1", 1)
        self.unplug()
        self.assertFailsWhileAway(server, client, 2, FRAME_WAIT_BOUND)
        self.plug_back()
        self.assertEmulatorFrame(self.capture(server, client, b"Get1", 1).image)
        server.kill()
        self.assertEqual(server.stderr.splitlines(keepends=True)[0],
                         LOST_LINE % self.CAMERA_ID)

if __name__ == "__main__":
    unittest.main()
