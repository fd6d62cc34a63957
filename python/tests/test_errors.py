"""Each failure as its veksock exception, with the library's words; waits that
let other threads run and end at Ctrl+C."""

import os
import signal
import socket
import subprocess
import sys
import threading
import time

import pytest
import veksock


def listener():
    sock = socket.socket()
    sock.bind(("127.0.0.1", 0))
    sock.listen()
    return sock


def test_connection_failures(vekd):
    unused = listener()
    port = unused.getsockname()[1]
    unused.close()
    with pytest.raises(veksock.Refused, match="connection refused") as refused:
        veksock.connect(f"127.0.0.1:{port}")
    assert refused.value.code == -10061

    server = vekd("--freq", "0")
    with veksock.connect(server.address):
        with pytest.raises(veksock.Refused) as busy:
            veksock.connect(server.address)
        assert busy.value.code == 0x101
        assert str(busy.value) == (f"cannot connect to {server.address}: another client controls vekd; "
                                   "a slave connection can watch its data")

    # A peer that accepts and says nothing, and one that answers in another protocol.
    with listener() as silent:
        with pytest.raises(veksock.TimedOut) as timed_out:
            veksock.connect("127.0.0.1:%d" % silent.getsockname()[1], timeout=0.3)
        assert timed_out.value.code == -10060
    with listener() as web:
        def answer():
            peer, _ = web.accept()
            peer.sendall(b"HTTP/1.0 400 Bad Request\r\n\r\n")
            peer.recv(1024)
            peer.close()
        threading.Thread(target=answer, daemon=True).start()
        with pytest.raises(veksock.ProtocolError, match="do not speak the same protocol") as protocol:
            veksock.connect("127.0.0.1:%d" % web.getsockname()[1])
        assert protocol.value.code == 0x103
    assert all(issubclass(e, veksock.Error)
               for e in (veksock.Refused, veksock.TimedOut, veksock.ProtocolError, veksock.ServerStopped))


def test_a_server_with_a_lab_key_admits_only_its_key(vekd, tmp_path):
    key = str(tmp_path / "lab.key")
    subprocess.run([os.environ["VEKD"], "--make-key", key], check=True, stdout=subprocess.DEVNULL)
    server = vekd("--freq", "0", "--key-file", key)
    with pytest.raises(veksock.Refused, match="not authorised: wrong or missing key") as refused:
        veksock.connect(server.address)
    assert refused.value.code == 0x104
    os.chmod(key, 0o644)
    with pytest.raises(veksock.Error, match="permissions 0644 are too open") as loose:
        veksock.connect(server.address, key_file=key)
    assert loose.value.code == 0x105
    os.chmod(key, 0o600)
    with veksock.connect(server.address, key_file=key) as session:
        assert session.server == server.address


def test_bad_trackers_are_refused_before_they_reach_the_server(vekd, tmp_path):
    server = vekd("--freq", "0")
    with veksock.connect(server.address) as session:
        with pytest.raises(FileNotFoundError):
            session.load_tracker(str(tmp_path / "missing.rb"))
        (tmp_path / "bad.pt").write_text("3\n0, 1 2\n")
        with pytest.raises(ValueError, match=r"bad.pt:[0-9]+: invalid string: 0, 1 2"):
            session.load_tracker(str(tmp_path / "bad.pt"))
        with pytest.raises(ValueError, match="point file"):
            session.load_tracker(str(tmp_path / "body.txt"))
        with pytest.raises(ValueError, match="LED ids are 0 or more"):
            session.point_tracker([1, -2])
        with pytest.raises(ValueError, match="one row of x, y, z"):
            session.rigid_tracker([0, 1, 2], [[0, 0, 0]])
        assert session.point_tracker([5], id=7) == 7
        with pytest.raises(ValueError, match="defined already"):
            session.point_tracker([6], id=7)
        with pytest.raises(KeyError):
            session.remove_tracker(8)
        with pytest.raises(veksock.Refused, match="refused the value") as value:
            session.frequency = 5000
        assert value.value.code == 32


def test_a_server_that_stops_ends_the_frames_after_the_last_one(vekd):
    server = vekd("--freq", "0")
    with veksock.connect(server.address) as session:
        with pytest.raises(veksock.TimedOut, match="no frame came within 0.2 s"):
            next(session.frames(timeout=0.2))
        session.frequency = 480
        frames = session.frames()
        first = next(frames)
        time.sleep(0.1)
        assert server.stop() == 0
        numbers = [first.number]
        with pytest.raises(veksock.ServerStopped) as stopped:
            for frame in frames:
                numbers.append(frame.number)
        assert stopped.value.code == 1
        assert numbers == list(range(first.number, first.number + len(numbers))) and len(numbers) > 30
        with pytest.raises(veksock.ServerStopped):
            session.frequency = 100


def test_waits_let_threads_run_and_ctrl_c_ends_them(vekd):
    server = vekd("--freq", "0")
    with veksock.connect(server.address) as session:
        counted = [0]
        done = threading.Event()

        def count():
            while not done.is_set():
                counted[0] += 1

        counter = threading.Thread(target=count)
        counter.start()
        before = counted[0]
        with pytest.raises(veksock.TimedOut):
            next(session.frames(timeout=0.5))
        during = counted[0] - before
        done.set()
        counter.join()
        assert during > 1000

    # Ctrl+C reaches a program waiting for frames that do not come.
    waiting = ("import veksock\n"
               f"s = veksock.connect('{server.address}')\n"
               "print('waiting', flush=True)\n"
               "try:\n"
               "    next(s.frames(timeout=None))\n"
               "except KeyboardInterrupt:\n"
               "    print('interrupted')\n")
    child = subprocess.Popen([sys.executable, "-c", waiting], stdout=subprocess.PIPE, text=True,
                             env=dict(os.environ))
    assert child.stdout.readline() == "waiting\n"
    time.sleep(0.2)
    child.send_signal(signal.SIGINT)
    assert child.communicate(timeout=10)[0] == "interrupted\n"
    assert child.returncode == 0
