"""Fixtures of the veksock module's tests: real vekd servers on 127.0.0.1 with
ephemeral ports, started from the build tree (CTest sets VEKD, VEKREC and
C_MARKERS, and PYTHONPATH to the built module)."""

import os
import re
import signal
import subprocess
import threading
import time

import pytest
import veksock


class Server:
    """A vekd on 127.0.0.1, its output collected as it comes."""

    def __init__(self, *args):
        command = [os.environ["VEKD"], "--port", "0", "--discovery-port", "-1", *args]
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE, text=True)
        self.lines = []
        # "vekd: serving "NAME" on HOST:PORT, discovery ...", after a replay's summary.
        while not self.lines or not self.lines[-1].startswith("vekd: serving "):
            self.lines.append(self.process.stdout.readline())
            if not self.lines[-1]:
                self.process.wait()
                raise RuntimeError("vekd did not start: " + "".join(self.lines))
        found = re.search(r" on (127\.[0-9.]+):([0-9]+),", self.lines[-1])
        self.address = f"{found[1]}:{found[2]}"
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.append(line)

    def wait_for(self, text, seconds=10):
        """True once `text` appears in the output."""
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            if any(text in line for line in self.lines):
                return True
            time.sleep(0.02)
        return False

    def stop(self):
        """SIGTERM, as a user stops it; answers the exit status."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        status = self.process.wait(timeout=10)
        self._reader.join(timeout=5)
        return status


@pytest.fixture
def vekd():
    """start(*args) starts a vekd with extra arguments; every one is stopped at the end."""
    servers = []

    def start(*args):
        servers.append(Server(*args))
        return servers[-1]

    yield start
    for server in servers:
        server.stop()


@pytest.fixture(scope="session")
def vekrec():
    """The recorder's path (the tests that need a take skip without it)."""
    return os.environ.get("VEKREC") or pytest.skip("vekrec is not built")


def the_rest(session):
    """Stops the streams and answers the frames that came before the stop."""
    session.stop()
    rest = []
    try:
        for frame in session.frames(timeout=0):
            rest.append(frame)
    except veksock.TimedOut:
        return rest


def body_positions(session, leds=range(6)):
    """The moving body's shape as a rigid body needs it: its LEDs' positions in
    one frame where all are seen, about their mean (millimetres)."""
    tracker = session.point_tracker(list(leds))
    try:
        for frame in session.frames():
            mine = frame.markers[frame.markers["id"] // veksock.MARKERS_PER_TRACKER == tracker]
            if (mine["cond"] > 0).all():
                xyz = [[m["x"], m["y"], m["z"]] for m in mine]
                mean = [sum(c) / len(xyz) for c in zip(*xyz)]
                return [[p[i] - mean[i] for i in range(3)] for p in xyz]
    finally:
        session.stop()
        session.latest()  # forgets the frames that came before the stop
        session.remove_tracker(tracker)
