#!/usr/bin/python3
"""XMDF fixtures of the water-level search and reads, written with h5py alone: 4 nodes and
2 cells, datasets in run/<folder>/<name>. The library lists the scalar paths in name order,
which gives the dataset numbers below.

wl_both.xmdf           1 run/Maximums/Depth, 2 run/Maximums/Water Level (99999),
                       3 run/Minimums/Water Level (-99999), 4 run/Temporal/Depth (0.5, 1, 1.5),
                       5 run/Temporal/Water Level (0.5, 1, 1.5)
wl_temporal_only.xmdf  1 run/Temporal/Depth (1, 2), 2 run/Temporal/water level (1, 2: lower case)
wl_none.xmdf           1 run/Extra/Water Level (a folder of no meaning), 2 run/Maximums/Depth,
                       3 run/Temporal/Depth (1, 2)
wl_seconds.xmdf        1 run/Temporal/Depth, 2 run/Temporal/Water Level, both with their times
                       in seconds (1800, 3600: half an hour and an hour)

Water levels of step s (from 1) at node j (from 1) are 10 * s + j, flags of step s are
[s % 2, 1]; a stored maximum holds 100 + j with flags [1, 0].
"""
import os
import sys

from xmdf_h5 import dataset, generic, xmdf_file

NODES = 4


def scalar(parent, name, times, values, active, time_units=True):
    """A scalar dataset of contiguous arrays (xmdf_h5.dataset)."""
    dataset(parent, name, "SCALAR", times, values, active, time_units)


def levels(n_steps):
    return ([[10.0 * s + j for j in range(1, NODES + 1)] for s in range(1, n_steps + 1)],
            [[s % 2, 1] for s in range(1, n_steps + 1)])


def depths(n_steps):
    return ([[0.5 * s] * NODES for s in range(1, n_steps + 1)], [[1, 1]] * n_steps)


def write_both(path):
    with xmdf_file(path) as f:
        run = generic(f, "run")
        maximums = generic(run, "Maximums")
        scalar(maximums, "Depth", [99999.0], [[9.0] * NODES], [[1, 1]])
        scalar(maximums, "Water Level", [99999.0], [[100.0 + j for j in range(1, NODES + 1)]], [[1, 0]])
        scalar(generic(run, "Minimums"), "Water Level", [-99999.0], [[1.0] * NODES], [[0, 0]])
        temporal = generic(run, "Temporal")
        scalar(temporal, "Depth", [0.5, 1.0, 1.5], *depths(3))
        scalar(temporal, "Water Level", [0.5, 1.0, 1.5], *levels(3))


def write_temporal_only(path):
    with xmdf_file(path) as f:
        temporal = generic(generic(f, "run"), "Temporal")
        scalar(temporal, "Depth", [1.0, 2.0], *depths(2))
        scalar(temporal, "water level", [1.0, 2.0], *levels(2))


def write_none(path):
    with xmdf_file(path) as f:
        run = generic(f, "run")
        scalar(generic(run, "Extra"), "Water Level", [1.0], *levels(1))
        scalar(generic(run, "Maximums"), "Depth", [99999.0], [[9.0] * NODES], [[1, 1]])
        scalar(generic(run, "Temporal"), "Depth", [1.0, 2.0], *depths(2))


def write_seconds(path):
    with xmdf_file(path) as f:
        temporal = generic(generic(f, "run"), "Temporal")
        scalar(temporal, "Depth", [1800.0, 3600.0], *depths(2), time_units="Seconds")
        scalar(temporal, "Water Level", [1800.0, 3600.0], *levels(2), time_units="Seconds")


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_both(os.path.join(out, "wl_both.xmdf"))
    write_temporal_only(os.path.join(out, "wl_temporal_only.xmdf"))
    write_none(os.path.join(out, "wl_none.xmdf"))
    write_seconds(os.path.join(out, "wl_seconds.xmdf"))


if __name__ == "__main__":
    main()
