#!/usr/bin/python3
"""XMDF fixtures for the tests of the small XMDF access layer, written with h5py alone.

layer_run.xmdf    as a model run writes it: results/<folder>/<dataset> in the folders
                  Maximums, Minimums, Temporal and Times; 4 nodes, 3 cells.
                  Temporal/Depth, times 0, 0.5, 1.0:
                      step 1: 1.0  0.5  -2.0  7.0    flags 0 1 0
                      step 2: 3.0  0.25 -1.0  6.0    flags 0 0 0
                      step 3: 2.0  0.75 -3.0  5.0    flags 1 0 0
                  Temporal/Vector Velocity, same times and flags, (x, y) per node:
                      step 1: (1,-1) (0,2) (5,5) (-1,-1)
                      step 2: (2,-3) (1,1) (4,6) (-2,-0.5)
                      step 3: (0,0)  (3,0) (6,4) (-3,-2)
long_path.xmdf    one scalar dataset whose path is longer than 1000 characters.
broken.xmdf       datasets a query or read of which fails: "No Values" (no Values
                  array), "Flat Active" (Active of rank 1), "No Units" (no TimeUnits),
                  "Float Active" (Active of reals).
no_version.xmdf   a dataset but no File Version.
"""
import os
import sys

import numpy as np

from xmdf_h5 import dataset_group, generic, xmdf_file

CELLS = 3
TIMES = [0.0, 0.5, 1.0]
DEPTH = [[1.0, 0.5, -2.0, 7.0], [3.0, 0.25, -1.0, 6.0], [2.0, 0.75, -3.0, 5.0]]
VELOCITY = [[[1, -1], [0, 2], [5, 5], [-1, -1]],
            [[2, -3], [1, 1], [4, 6], [-2, -0.5]],
            [[0, 0], [3, 0], [6, 4], [-3, -2]]]
FLAGS = [[0, 1, 0], [0, 0, 0], [1, 0, 0]]


def dataset(parent, name, times, values, flags, units=True, values_array=True, active="rows"):
    values = np.array(values, dtype=np.float32)
    g = dataset_group(parent, name, "VECTOR" if values.ndim == 3 else "SCALAR", time_units=units)
    g.create_dataset("Times", data=np.array(times, dtype=np.float64), maxshape=(None,), chunks=(16,))
    if values_array:
        g.create_dataset("Values", data=values, maxshape=(None,) + values.shape[1:], chunks=(1,) + values.shape[1:])
    mags = np.sqrt((values ** 2).sum(axis=2)) if values.ndim == 3 else values
    g.create_dataset("Mins", data=mags.min(axis=1))
    g.create_dataset("Maxs", data=mags.max(axis=1))
    flags = np.array(flags, dtype=np.uint8)
    if active == "rows":
        g.create_dataset("Active", data=flags, maxshape=(None, flags.shape[1]), chunks=(1, flags.shape[1]))
    elif active == "flat":
        g.create_dataset("Active", data=flags.reshape(-1))
    elif active == "float":
        g.create_dataset("Active", data=flags.astype(np.float32))


def write_layer_run(path):
    with xmdf_file(path) as f:
        results = generic(f, "results")
        folders = {name: generic(results, name) for name in ("Temporal", "Maximums", "Minimums", "Times")}
        dataset(folders["Temporal"], "Depth", TIMES, DEPTH, FLAGS)
        dataset(folders["Temporal"], "Vector Velocity", TIMES, VELOCITY, FLAGS)
        dataset(folders["Maximums"], "Depth", [99999.0], [np.max(DEPTH, axis=0)], [[1, 1, 0]])
        dataset(folders["Maximums"], "Vector Velocity", [99999.0], [VELOCITY[2]], [[1, 1, 0]])
        dataset(folders["Minimums"], "Depth", [99999.0], [np.min(DEPTH, axis=0)], [[0, 0, 0]])
        dataset(folders["Times"], "Time of Peak Depth", [99999.0], [[0.5, 1.0, 0.5, 0.0]], [[1, 1, 0]])


def write_long_path(path):
    with xmdf_file(path) as f:
        temporal = generic(generic(f, "results"), "Temporal")
        dataset(temporal, "L" * 1100, TIMES[:1], DEPTH[:1], FLAGS[:1])


def write_broken(path):
    with xmdf_file(path) as f:
        temporal = generic(generic(f, "results"), "Temporal")
        dataset(temporal, "No Values", TIMES, DEPTH, FLAGS, values_array=False)
        dataset(temporal, "Flat Active", TIMES, DEPTH, FLAGS, active="flat")
        dataset(temporal, "No Units", TIMES, DEPTH, FLAGS, units=False)
        dataset(temporal, "Float Active", TIMES, DEPTH, FLAGS, active="float")


def write_no_version(path):
    with xmdf_file(path, version=False) as f:
        temporal = generic(generic(f, "results"), "Temporal")
        dataset(temporal, "Depth", TIMES, DEPTH, FLAGS)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_layer_run(os.path.join(out, "layer_run.xmdf"))
    write_long_path(os.path.join(out, "long_path.xmdf"))
    write_broken(os.path.join(out, "broken.xmdf"))
    write_no_version(os.path.join(out, "no_version.xmdf"))


if __name__ == "__main__":
    main()
