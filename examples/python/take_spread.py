"""Reads a take in chunks and prints each LED's spread: the RMS distance of its
positions from their mean, over the frames where it was seen (a few tenths of
a millimetre for a LED standing still; a moving LED spreads over its path).

    python3 take_spread.py TAKE.vektake
"""
import sys

import numpy as np

import veksock

with veksock.open_take(sys.argv[1]) as take:
    columns = len(take.marker_ids)
    count = np.zeros(columns)
    mean = np.zeros((columns, 3))
    squares = np.zeros((columns, 3))  # summed squared distances from the mean
    for block in take.chunks(1000):
        xyz = np.stack([block.markers[a].astype(np.float64) for a in "xyz"], axis=2)
        seen = ~np.isnan(xyz[:, :, 0])
        n = seen.sum(axis=0)
        chunk_mean = np.nansum(xyz, axis=0) / np.maximum(n, 1)[:, None]
        chunk_squares = np.nansum((xyz - chunk_mean) ** 2, axis=0)
        # Chunks merged as one sample (Chan et al.): no precision lost to large coordinates.
        both = np.maximum(count + n, 1)[:, None]
        delta = chunk_mean - mean
        squares += chunk_squares + delta**2 * (count * n)[:, None] / both
        mean += delta * n[:, None] / both
        count += n
    print(f"{take.path}: {len(take)} frames")
    for column in np.flatnonzero(count):
        spread = np.sqrt(squares[column].sum() / count[column])
        led = take.leds[column]
        name = f"LED {led}" if led >= 0 else f"marker {take.marker_ids[column]}"
        print(f"{name:>12}: seen in {int(count[column]):6d} frames, spread {spread:8.2f} mm")
