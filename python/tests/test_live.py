"""Live frames against a real vekd: order, losses, the C library's view of the
same frames, trackers from files and LED lists, closing."""

import gc
import os
import signal
import subprocess
import time

import numpy as np
import pytest
import veksock
from conftest import body_positions, the_rest


def test_frames_come_in_order_and_carry_what_the_c_library_reads(vekd, tmp_path):
    server = vekd("--freq", "480")
    with veksock.connect(server.address) as session:
        assert (session.server_name, session.slave, session.same_clock) == ("vekd", False, True)
        assert len(session.cameras) == 8 and not session.cameras.flags.writeable
        body = tmp_path / "wand.rb"
        body.write_text("# the moving body\n" + "".join(
            f"{led}, {x:.3f} {y:.3f} {z:.3f}\n" for led, (x, y, z) in enumerate(body_positions(session))))
        assert session.point_tracker(range(8, 32)) == 0
        assert session.load_tracker(str(body)) == 1
        before = (session.server_dropped, session.library_dropped, session.server_skipped)
        session.start()

        # A slave of the C library beside us prints the markers of the same
        # frames (into a file: a full pipe would hold it up).
        with open(tmp_path / "c.txt", "w") as out:
            slave = subprocess.Popen([os.environ["C_MARKERS"], server.address, "960"], stdout=out)
        while not (tmp_path / "c.txt").read_text().startswith("ready\n"):
            assert slave.poll() is None
            time.sleep(0.01)
        frames, handed_out = [], []
        for frame in session.frames():
            handed_out.append(frame)
            # The server's frames in the making when the trackers came lack them.
            if frames or len(frame.markers) == 30:
                frames.append(frame)
            if len(frames) == 1440:  # 3 s
                break
        assert slave.wait(timeout=30) == 0
        c_lines = (tmp_path / "c.txt").read_text().splitlines()[1:]
        every = handed_out + the_rest(session)
        lost = [now - then for now, then in
                zip((session.server_dropped, session.library_dropped, session.server_skipped), before)]

    # None lost on the way: a gap is only a frame the server did not make
    # (a busy machine holds it up).
    numbers = np.array([f.number for f in every])
    dropped = np.array([f.dropped for f in every])
    assert (np.diff(numbers) == dropped[1:] + 1).all()
    assert lost == [0, 0, dropped.sum()]
    now = time.monotonic()
    assert all(f.local_time == f.time and now - 10 < f.time < now for f in frames)

    first = frames[0].markers
    assert list(first["id"]) == [i for i in range(24)] + [veksock.MARKERS_PER_TRACKER + i for i in range(6)]
    assert list(first["led"]) == list(range(8, 32)) + list(range(6))
    rigids = np.concatenate([f.rigids for f in frames])
    assert (rigids["id"] == 1).all() and (rigids["cond"] > 0).mean() > 0.9
    found = rigids[rigids["cond"] > 0]
    assert np.allclose(np.linalg.norm(found["quaternion"], axis=1), 1, atol=1e-5)

    c_frames = {}
    for line in c_lines:
        number, marker, x, y, z, cond = line.split()
        c_frames.setdefault(int(number), []).append((int(marker), float(x), float(y), float(z), float(cond)))
    compared = 0
    for frame in frames:
        if frame.number not in c_frames:
            continue
        compared += 1
        want = np.array(c_frames[frame.number], dtype=[("id", "i4"), ("x", "f4"), ("y", "f4"), ("z", "f4"),
                                                        ("cond", "f4")])
        got = frame.markers
        assert list(got["id"]) == list(want["id"])
        assert list(got["cond"]) == list(want["cond"])
        seen = want["cond"] > 0
        for axis in "xyz":
            assert list(got[axis][seen]) == list(want[axis][seen])
            assert np.isnan(got[axis][~seen]).all()
    assert compared > 800


def test_latest_stop_and_start_and_closing(vekd):
    server = vekd("--freq", "480")
    session = veksock.connect(server.address)
    session.point_tracker([0, 1, 2])
    first = next(session.frames())
    time.sleep(0.2)  # about 96 frames come meanwhile
    newest = session.latest()
    assert newest.number - first.number - 1 == newest.dropped > 50
    assert next(session.frames()).number == newest.number + 1
    assert session.latest(timeout=1) is not None

    session.stop()
    session.latest()
    with pytest.raises(veksock.TimedOut):
        next(session.frames(timeout=0.3))
    time.sleep(0.2)
    session.start()  # frames missed while stopped are no losses
    again = next(session.frames())
    assert again.dropped == 0 and again.number > newest.number + 96

    # A slave watches the master's markers; it may not change the server.
    with veksock.connect(server.address, slave=True) as watcher:
        assert watcher.slave
        assert (next(watcher.frames()).markers["led"] == -1).all()
        with pytest.raises(veksock.Refused) as refused:
            watcher.frequency = 100
        assert refused.value.code == 34
    assert watcher.closed
    with pytest.raises(veksock.Error, match="the session is closed"):
        next(watcher.frames())

    # Dropped by the last reference, the master's connection closes: a new
    # master gets in.
    del session, first, newest, again
    gc.collect()
    end = time.monotonic() + 5
    while True:
        try:
            veksock.connect(server.address).close()
            break
        except veksock.Refused:
            assert time.monotonic() < end, "the dropped session still holds the server"
            time.sleep(0.05)


def test_every_lost_frame_is_counted(vekd):
    # A small queue at the server: a client that does not read loses frames
    # there; a server that is held up skips the frames it could not make.
    server = vekd("--freq", "960", "--queue-bytes", "100000")
    with veksock.connect(server.address) as session:
        session.point_tracker(range(32))
        session.start(peaks=True, detectors=True)  # 13 KB a frame
        frames = [next(session.frames())]
        time.sleep(1.5)
        server.process.send_signal(signal.SIGSTOP)
        time.sleep(0.5)
        server.process.send_signal(signal.SIGCONT)
        for frame in session.frames():
            frames.append(frame)
            if frame.number > frames[0].number + 3000:
                break
        frames += the_rest(session)
        numbers = np.array([f.number for f in frames])
        dropped = np.array([f.dropped for f in frames])
        assert (np.diff(numbers) == dropped[1:] + 1).all()
        assert session.server_dropped > 100 and session.server_skipped > 100
        assert session.server_dropped + session.library_dropped + session.server_skipped == dropped.sum()


def test_capture_times_of_a_server_on_another_clock(vekd):
    # vekd posing as another machine: its frame clock an hour ahead.
    server = vekd("--freq", "480", "--clock-offset", "3600")
    with veksock.connect(server.address) as session:
        assert not session.same_clock
        frames = [session.latest(timeout=2.0) for _ in range(20)]
    assert all(f is not None and abs(f.local_time - (f.time - 3600)) < 1e-3 for f in frames)
