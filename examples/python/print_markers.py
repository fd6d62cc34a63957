"""Prints the live markers of the moving body (LEDs 0-5), ten frames.

    python3 print_markers.py [SERVER]       # default localhost:8998
"""
import sys

import veksock

with veksock.connect(sys.argv[1] if len(sys.argv) > 1 else "") as session:
    session.point_tracker(range(6))
    for frame, _ in zip(session.frames(), range(10)):
        seen = frame.markers[frame.markers["cond"] > 0]
        print(frame.number, "  ".join(f"{m['led']}: {m['x']:7.1f} {m['y']:7.1f} {m['z']:7.1f}" for m in seen))
