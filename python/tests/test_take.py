"""Takes as arrays: a take vekrec recorded beside a master reads into the very
arrays vekd --replay serves for the same trackers; chunks, ranges and
broken takes."""

import struct
import subprocess
import time
import zlib

import numpy as np
import pytest
import veksock
from conftest import Server, body_positions


def define_trackers(session, body):
    session.rigid_tracker(range(6), body, id=1)
    session.point_tracker(range(8, 14), id=2)


@pytest.fixture(scope="module")
def recorded(tmp_path_factory, vekrec):
    """A take of 2 s at 480 Hz, recorded as a slave beside a master with
    two trackers; the body's shape as the master defined it."""
    folder = tmp_path_factory.mktemp("take")
    server = Server("--freq", "480")
    try:
        with veksock.connect(server.address) as master:
            body = body_positions(master)
            define_trackers(master, body)
            run = subprocess.run([vekrec, "-s", server.address, "-o", str(folder / "session"), "-t", "2"],
                                 capture_output=True, text=True)
            assert run.returncode == 0, run.stderr
            assert "as a slave" in run.stdout
    finally:
        server.stop()
    return folder / "session.vektake", body


def as_bytes(rows):
    return np.ascontiguousarray(rows).tobytes()


def as_version_one(take):
    """The take as the older format wrote it: frames without the recorder's
    capture times (the i64 before each frame's wire payload)."""
    out = bytearray(take[:16])
    out[8:10] = struct.pack("<H", 1)
    at = 16
    while at + 12 <= len(take):
        length, kind = struct.unpack_from("<IH", take, at)
        payload = take[at + 12 + (8 if kind == 3 else 0): at + 12 + length]
        head = struct.pack("<IHH", len(payload), kind, 0)
        out += head + struct.pack("<I", zlib.crc32(head + payload)) + payload
        at += 12 + length
    return bytes(out)


def test_a_take_reads_into_what_its_replay_serves(recorded, vekd):
    path, body = recorded
    take = veksock.open_take(str(path))
    assert len(take) > 700 and take.cut_short is None
    assert take.peaks_carry_leds and not take.recorded_as_master and not take.turned_upright
    assert list(take.rigid_ids) == [1]
    per_tracker = veksock.MARKERS_PER_TRACKER
    assert list(take.marker_ids) == [per_tracker + i for i in range(6)] + [2 * per_tracker + i for i in range(6)]
    assert list(take.leds) == [-1] * 12
    whole = take.read()
    assert whole.markers.shape == (len(take), 12) and whole.rigids.shape == (len(take), 1)
    # Gaps are frames the recorder missed (or a busy server did not make).
    assert (np.diff(whole.number) == whole.dropped[1:] + 1).all() and whole.dropped.sum() == take.dropped
    # The recorder switched every stream on: 8 cameras, 2 detectors each.
    assert len(whole.detectors) == 16 * len(take) and len(whole.peaks) > 100 * len(take)
    assert set(whole.peaks["frame"]) == set(whole.number)

    replay = vekd("--replay", str(path), "--freq", "0")
    with veksock.connect(replay.address) as session:
        assert (as_bytes(session.cameras) == as_bytes(take.cameras))
        define_trackers(session, body)
        session.start(markers=True, rigids=True)
        session.frequency = 480
        served = []
        with pytest.raises(veksock.ServerStopped):
            for frame in session.frames():
                served.append(frame)
    assert replay.wait_for(f"vekd: end of take: {len(take)} frames served")
    # Served frame k is the take's frame k (the replay numbers its frames from 1).
    assert [f.number for f in served] == list(range(1, len(take) + 1))
    # The recording was a slave's: the take does not know the LEDs the replay's master does.
    assert list(served[0].markers["led"]) == list(range(6)) + list(range(8, 14))
    for k, frame in enumerate(served):
        for field in ("id", "x", "y", "z", "cond", "filled"):
            assert as_bytes(frame.markers[field]) == as_bytes(whole.markers[k][field]), f"frame {k}: {field}"
        assert as_bytes(frame.rigids) == as_bytes(whole.rigids[k]), f"frame {k}"


def test_capture_times_on_the_recorders_clock_and_old_takes(recorded, tmp_path):
    path, _ = recorded
    whole = veksock.open_take(str(path)).read()
    # Recorded on this machine, the recorder's clock runs with the server's:
    # the capture times keep the generation times' spacing, and lie in the
    # last minutes.
    assert np.isfinite(whole.local_time).all()
    assert np.abs(np.diff(whole.local_time) - np.diff(whole.time)).max() < 5e-6
    assert time.time() - 600 < whole.local_time[0] < time.time()
    old = tmp_path / "old.vektake"
    old.write_bytes(as_version_one(path.read_bytes()))
    old_whole = veksock.open_take(str(old)).read()
    assert old_whole.local_time is None
    assert as_bytes(old_whole.markers) == as_bytes(whole.markers)


def test_chunks_ranges_and_broken_takes(recorded, tmp_path):
    path, _ = recorded
    with veksock.open_take(str(path)) as take:
        whole = take.read()
        chunks = list(take.chunks(100))
        assert [len(c) for c in chunks[:-1]] == [100] * (len(chunks) - 1)
        assert [c.start for c in chunks] == list(range(0, len(take), 100))
        for field in ("number", "time", "dropped", "markers", "rigids", "peaks", "detectors"):
            joined = np.concatenate([getattr(c, field) for c in chunks])
            assert as_bytes(joined) == as_bytes(getattr(whole, field)), field
        # A range before the last one read starts the take again.
        assert as_bytes(take.read(10, 20).markers) == as_bytes(whole.markers[10:20])
        assert as_bytes(take.read(-5).number) == as_bytes(whole.number[-5:])
        assert len(take.read(30, 10)) == 0
    with pytest.raises(veksock.TakeError, match="closed"):
        take.read()

    # Cut short anywhere, a take reads up to its last whole frame.
    cut = tmp_path / "cut.vektake"
    cut.write_bytes(path.read_bytes()[: path.stat().st_size * 2 // 3])
    short = veksock.open_take(str(cut))
    assert "cut short, no end record" in short.cut_short
    assert 0 < len(short) < len(whole)
    assert as_bytes(short.read().markers) == as_bytes(whole.markers[: len(short)])

    damaged = bytearray(path.read_bytes())
    damaged[len(damaged) // 2] ^= 0xFF
    (tmp_path / "damaged.vektake").write_bytes(damaged)
    with pytest.raises(veksock.TakeError, match=r"damaged.vektake: byte [0-9]+ \(frame [0-9]+\): checksum"):
        veksock.open_take(str(tmp_path / "damaged.vektake"))
    (tmp_path / "notes.txt").write_text("not a take\n")
    with pytest.raises(veksock.TakeError, match="byte 0: not a take file"):
        veksock.open_take(str(tmp_path / "notes.txt"))
    with pytest.raises(veksock.TakeError, match="No such file"):
        veksock.open_take(str(tmp_path / "missing.vektake"))
