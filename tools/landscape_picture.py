#!/usr/bin/python3
"""Draws where a mobile ion can go in a Tarnell landscape (a Gaussian cube file).

    tools/landscape_picture.py OUT.png CUBE LEVEL [LEVEL ...]

One panel per level: the grid points whose value stays at or below the level and that connect
to a removed site of the mobile ion (Tarnell lists those atoms last), followed across the
cell's faces over three cells along b, drawn seen along c (a and b at right angles assumed)
and coloured by their height along c. Needs numpy and
matplotlib (Debian's python3-numpy, python3-matplotlib).
"""
import sys
from collections import deque

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np

BOHR = 0.529177210903
COLOURS = {3: "magenta", 11: "magenta", 15: "orange", 26: "sienna", 27: "royalblue"}


def read_cube(path):
    with open(path) as f:
        f.readline()
        f.readline()
        count = int(f.readline().split()[0])
        points, voxels = [], []
        for _ in range(3):
            fields = f.readline().split()
            points.append(int(fields[0]))
            voxels.append([float(x) * BOHR for x in fields[1:4]])
        atoms = []
        for _ in range(count):
            fields = f.readline().split()
            atoms.append((int(fields[0]), np.array([float(x) * BOHR for x in fields[2:5]])))
        values = np.array(f.read().split(), dtype=float).reshape(points)
    return values, np.array(voxels), atoms


def cluster(values, start, level):
    """Unwrapped grid indices reachable from `start` through points at or below `level`."""
    n = values.shape
    seen = {start}
    queue = deque([start])
    while queue:
        u = queue.popleft()
        for d in range(3):
            for step in (-1, 1):
                v = list(u)
                v[d] += step
                if not (-n[1] <= v[1] < 2 * n[1]) or abs(v[0]) > n[0] or abs(v[2]) > n[2]:
                    continue
                v = tuple(v)
                if v in seen or values[tuple(v[e] % n[e] for e in range(3))] > level:
                    continue
                seen.add(v)
                queue.append(v)
    return np.array(sorted(seen), dtype=float)


def main(argv):
    if len(argv) < 4:
        sys.exit(__doc__)
    values, voxels, atoms = read_cube(argv[2])
    n = np.array(values.shape)
    axes_a = voxels * n[:, None]  # the cell's edges, one a row
    mobile = atoms[-1][0]  # the removed sites come last
    site = next(p for z, p in atoms if z == mobile)
    start = tuple(int(round(c)) % n[e] for e, c in enumerate(np.linalg.solve(axes_a.T, site) * n))
    levels = [float(x) for x in argv[3:]]
    figure, panels = plt.subplots(1, len(levels), figsize=(5.3 * len(levels), 5.0))
    panels = np.atleast_1d(panels)
    for ax, level in zip(panels, levels):
        points = cluster(values, start, level) / n @ axes_a
        order = np.argsort(points[:, 2])
        image = ax.scatter(points[order, 1], points[order, 0], c=points[order, 2], s=2,
                           cmap="viridis")
        for z, p in atoms:
            if z not in COLOURS:
                continue
            f = np.linalg.solve(axes_a.T, p)
            for sa in (-1, 0, 1):
                for sb in (-1, 0, 1):
                    q = (f + [sa, sb, 0]) @ axes_a
                    if -axes_a[1, 1] <= q[1] < 2 * axes_a[1, 1] and -3 <= q[0] <= axes_a[0, 0] + 2:
                        ax.plot(q[1], q[0], "o", color=COLOURS[z], markeredgecolor="k",
                                markersize=6 if z == mobile else 4)
        ax.set_xlim(-axes_a[1, 1], 2 * axes_a[1, 1])
        ax.set_ylim(-3, axes_a[0, 0] + 2)
        ax.set_aspect("equal")
        ax.set_xlabel("b (Å)")
        ax.set_ylabel("a (Å)")
        ax.set_title(f"|BVS − V| at most {level:.3f} v.u.", fontsize=9)
    figure.colorbar(image, ax=list(panels), label="height along c (Å)", shrink=0.8)
    figure.savefig(argv[1], dpi=110, bbox_inches="tight")


if __name__ == "__main__":
    main(sys.argv)
