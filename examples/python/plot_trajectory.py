"""Records 5 seconds of the moving body (a rigid body on LEDs 0-5, its shape
taken from the first frame that sees all six) and plots its trajectory.

    python3 plot_trajectory.py [SERVER] [OUT.png] [SECONDS]
"""
import sys

import matplotlib

matplotlib.use("Agg")  # no display needed
import matplotlib.pyplot as plt
import numpy as np

import veksock

server = sys.argv[1] if len(sys.argv) > 1 else ""
out = sys.argv[2] if len(sys.argv) > 2 else "trajectory.png"
seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 5.0

with veksock.connect(server) as session:
    # The body's shape: its LEDs about their mean, from one frame where all are seen.
    points = session.point_tracker(range(6))
    shape = next(f.markers for f in session.frames() if (f.markers["cond"] > 0).all())
    xyz = np.stack([shape["x"], shape["y"], shape["z"]], axis=1)
    session.stop()
    session.latest()  # forgets what came before the stop
    session.remove_tracker(points)
    body = session.rigid_tracker(range(6), xyz - xyz.mean(axis=0))

    session.start(markers=False, rigids=True)
    times, positions = [], []
    for frame in session.frames():
        if len(frame.rigids) == 0:  # made before the body was defined
            continue
        times.append(frame.time)
        positions.append(frame.rigids["position"][0])  # NaN where the pose was not found
        if times[-1] - times[0] >= seconds:
            break

t = np.array(times) - times[0]
p = np.array(positions)
found = ~np.isnan(p[:, 0])
print(f"{len(t)} frames, pose found in {found.sum()}; wrote {out}")

figure, (top, side) = plt.subplots(1, 2, figsize=(10, 4.2), layout="constrained")
path = top.scatter(p[found, 0], p[found, 2], c=t[found], s=4, cmap="viridis")
top.set(title="Seen from above", xlabel="x (mm)", ylabel="z (mm)", aspect="equal")
figure.colorbar(path, ax=top, label="time (s)")
for axis, name in enumerate("xyz"):
    side.plot(t, p[:, axis], label=name)
side.set(title="Position of the body", xlabel="time (s)", ylabel="mm")
side.legend()
figure.savefig(out, dpi=100)
