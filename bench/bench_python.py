"""The Python module at 960 Hz with 32 markers: does a Python loop over
session.frames() keep up on one core, with how much of the core left, and what
does handing out one frame (its arrays and Frame object) cost?

    PYTHONPATH=build/python /usr/bin/python3 bench/bench_python.py build/vekd/vekd [SECONDS]

Starts its own vekd on 127.0.0.1 (ephemeral port, no discovery).
"""
import os
import re
import subprocess
import sys
import time

import numpy as np

import veksock


def start_vekd(path):
    server = subprocess.Popen([path, "--port", "0", "--discovery-port", "-1", "--freq", "960"],
                              stdout=subprocess.PIPE, text=True)
    found = re.search(r" on (127\.[0-9.]+:[0-9]+),", server.stdout.readline())
    return server, found[1]


def keep_up(session, seconds):
    """Frames, frames lost and the share of a core used by a loop that looks
    at every frame's markers."""
    frames = lost = seen = 0
    wall, cpu = time.monotonic(), time.process_time()
    for frame in session.frames():
        frames += 1
        lost += frame.dropped
        seen += int(np.count_nonzero(frame.markers["cond"] > 0))
        if time.monotonic() - wall >= seconds:
            break
    wall, cpu = time.monotonic() - wall, time.process_time() - cpu
    return frames, lost, cpu / wall, seen / max(frames, 1), frames / wall


def handing_out(session):
    """Microseconds to hand out a frame that has already come: the queue, its
    decoding, the rows, the NumPy arrays and the Frame object."""
    time.sleep(0.5)
    session.stop()  # what came before the stop is in the queue now
    costs = []
    frames = session.frames(timeout=0)
    while True:
        start = time.perf_counter_ns()
        try:
            next(frames)
        except veksock.TimedOut:
            break
        costs.append((time.perf_counter_ns() - start) / 1000)
    return np.array(costs)


def main():
    vekd, address = start_vekd(sys.argv[1])
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 10
    try:
        with veksock.connect(address) as session:
            session.point_tracker(range(32))
            next(session.frames())
            frames, lost, share, seen, rate = keep_up(session, seconds)
            print(f"{frames} frames in {seconds:g} s ({rate:.0f} per second), {lost} lost, "
                  f"{seen:.1f} of 32 markers seen per frame; the loop used {share:.1%} of a core")
            costs = handing_out(session)
            print(f"a frame handed out from the queue ({len(costs)} frames): mean {costs.mean():.1f} us, "
                  f"p50 {np.percentile(costs, 50):.1f} us, p99 {np.percentile(costs, 99):.1f} us")
        print(f"load: {os.getloadavg()[0]:.2f}")
    finally:
        vekd.terminate()
        vekd.wait()


main()
