#!/usr/bin/python3
"""Fixtures of the operations that walk an input's steps (-avg, -dur, -toi): ".dat" files
packed byte by byte (gen_driver_dat.py's writer) and an XMDF file written with h5py alone.

Every file belongs to driver_mesh.2dm (6 nodes, 3 cells). The scalar steps are the same in
every file, at 1, 2, 3 and 5 hours:

    node      1     2     3     4     5      6
    1 h       0     1     0.5   2     0      4
    2 h       2     1     0.5   0     0.5    4
    3 h       2     2     0.5   2     1.5    4
    5 h       0     1     0.5   3     1.25   0
    cells: 1 h (0 0 1), 2 h (1 1 0), 3 h (0 1 0), 5 h (0 0 0)

walk_h.dat      the four steps as water levels, then a stored maximum (99999), its time
                (99999.1), a stored minimum (-99999) and its time (-99999.1)
walk_d.dat      the four steps as depths, nothing stored after them
walk_cut_d.dat  walk_d.dat cut off inside its third record
walk_V.dat      velocity vectors at 0.5, 1 and 1.5 hours:
                  0.5 h  (0,0) (3,4)  (0,-1) (0.5,0)  (0,2)  (0,0)   cells 1 0 0
                  1.0 h  (-2,0) (-4,3) (0,0) (0,-0.5) (0,0)  (0,0)   cells 1 1 0
                  1.5 h  (0,2) (0,0)  (0,0)  (1.5,0)  (-2,0) (0,0)   cells 0 0 1
walk.xmdf       group "walk", folder Temporal: "Depth" (the four steps), "Water Level"
                (the first step alone, one output time) and "Vector Velocity" (the vectors)
walk_short.xmdf group "walk_short", folder Temporal: "Depth" with the four output times but
                the values of the first two steps only
"""
import os
import sys

import numpy as np

from gen_driver_dat import write
from xmdf_h5 import dataset, dataset_group, generic, xmdf_file

TIMES = [1.0, 2.0, 3.0, 5.0]
VALUES = [[0.0, 1.0, 0.5, 2.0, 0.0, 4.0],
          [2.0, 1.0, 0.5, 0.0, 0.5, 4.0],
          [2.0, 2.0, 0.5, 2.0, 1.5, 4.0],
          [0.0, 1.0, 0.5, 3.0, 1.25, 0.0]]
FLAGS = [[0, 0, 1], [1, 1, 0], [0, 1, 0], [0, 0, 0]]
STORED = [(99999.0, [1, 1, 1], [2.0, 2.0, 0.5, 3.0, 1.5, 4.0]),
          (99999.1, [1, 1, 1], [2.0, 3.0, 1.0, 5.0, 3.0, 1.0]),
          (-99999.0, [1, 1, 1], [0.0, 1.0, 0.5, 0.0, 0.0, 0.0]),
          (-99999.1, [1, 1, 1], [1.0, 1.0, 1.0, 2.0, 1.0, 5.0])]
VTIMES = [0.5, 1.0, 1.5]
VECTORS = [[(0.0, 0.0), (3.0, 4.0), (0.0, -1.0), (0.5, 0.0), (0.0, 2.0), (0.0, 0.0)],
           [(-2.0, 0.0), (-4.0, 3.0), (0.0, 0.0), (0.0, -0.5), (0.0, 0.0), (0.0, 0.0)],
           [(0.0, 2.0), (0.0, 0.0), (0.0, 0.0), (1.5, 0.0), (-2.0, 0.0), (0.0, 0.0)]]
VFLAGS = [[1, 0, 0], [1, 1, 0], [0, 0, 1]]


def steps():
    return list(zip(TIMES, FLAGS, VALUES))


def write_xmdf(path):
    with xmdf_file(path) as f:
        temporal = generic(generic(f, "walk"), "Temporal")
        dataset(temporal, "Depth", "SCALAR", TIMES, VALUES, FLAGS)
        dataset(temporal, "Water Level", "SCALAR", TIMES[:1], VALUES[:1], FLAGS[:1])
        dataset(temporal, "Vector Velocity", "VECTOR", VTIMES, VECTORS, VFLAGS)


def write_short_xmdf(path):
    with xmdf_file(path) as f:
        temporal = generic(generic(f, "walk_short"), "Temporal")
        g = dataset_group(temporal, "Depth", "SCALAR")
        g.create_dataset("Times", data=np.array(TIMES, dtype=np.float64))
        g.create_dataset("Values", data=np.array(VALUES[:2], dtype=np.float32))
        g.create_dataset("Mins", data=np.array([min(r) for r in VALUES], dtype=np.float32))
        g.create_dataset("Maxs", data=np.array([max(r) for r in VALUES], dtype=np.float32))
        g.create_dataset("Active", data=np.array(FLAGS[:2], dtype=np.uint8))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write(out, "walk_h.dat", "Water Level", 6, 3, steps() + STORED)
    write(out, "walk_d.dat", "Depth", 6, 3, steps())
    with open(os.path.join(out, "walk_d.dat"), "rb") as f:
        whole = f.read()
    header = 92
    record = 4 + 1 + 4 + 3 + 6 * 4
    with open(os.path.join(out, "walk_cut_d.dat"), "wb") as f:
        f.write(whole[:header + 2 * record + 20])
    write(out, "walk_V.dat", "Velocity", 6, 3, list(zip(VTIMES, VFLAGS, VECTORS)), vector=True)
    write_xmdf(os.path.join(out, "walk.xmdf"))
    write_short_xmdf(os.path.join(out, "walk_short.xmdf"))


if __name__ == "__main__":
    main()
