#!/usr/bin/python3
"""XMDF fixtures for the step-copying operations, written with h5py alone in the layout
of gen_driver_xmdf.py (6 nodes, 3 cells).

copy_a.xmdf   group copy_a: Temporal and Maximums of Depth and of Vector Velocity; the
              temporal datasets at 0.5, 1.5 and 2.5 hours
copy_b.xmdf   group copy_b: Temporal Depth at 3.5 and 4.5 hours and Temporal Vector
              Velocity at 3.5 hours; no stored maximum
copy_c.xmdf   group copy_c: a stored maximum of Vector Velocity and no temporal dataset
copy_third.xmdf group copy_third: Temporal Depth at 1/3 and 2/3 hours
"""
import os
import sys

from gen_driver_xmdf import dataset, model_file
from xmdf_h5 import generic

A_DEPTHS = [[0.5, 1.0, 0.0, 2.0, 1.5, 0.25],
            [1.0, 1.5, 0.5, 2.5, 2.0, 0.75],
            [0.75, 1.25, 0.25, 3.0, 1.0, 0.5]]
A_DEPTH_FLAGS = [[1, 0, 1], [1, 1, 1], [0, 1, 1]]
A_MAX_DEPTHS = [[1.0, 1.5, 0.5, 3.0, 2.0, 0.75]]
A_VELOCITIES = [[[0.0, 1.0], [1.0, 0.0], [-1.0, 0.0], [0.0, -1.0], [0.0, 0.0], [1.0, 1.0]],
                [[6.0, 8.0], [0.0, -2.0], [-3.0, 3.0], [0.0, 0.5], [2.0, 0.0], [0.0, 0.0]],
                [[3.0, 4.0], [-4.0, 0.0], [1.0, -1.0], [0.0, 0.0], [0.0, 3.0], [-1.0, 1.0]]]
A_VELOCITY_FLAGS = [[1, 1, 0], [1, 0, 1], [0, 1, 1]]
A_MAX_VELOCITIES = [[[6.0, 8.0], [-4.0, 0.0], [-3.0, 3.0], [0.0, -1.0], [0.0, 3.0], [-1.0, 1.0]]]
B_DEPTHS = [[4.0, 4.25, 4.5, 4.75, 5.0, 5.25],
            [5.0, 5.25, 5.5, 5.75, 6.0, 6.25]]
B_VELOCITIES = [[[0.0, -3.0], [2.0, 2.0], [0.0, 0.0], [-5.0, 0.0], [1.0, 0.0], [0.0, 1.0]]]


def write_a(path):
    f, run = model_file(path, "copy_a")
    with f:
        temporal = generic(run, "Temporal")
        maximums = generic(run, "Maximums")
        dataset(temporal, "Depth", "SCALAR", [0.5, 1.5, 2.5], A_DEPTHS, A_DEPTH_FLAGS)
        dataset(maximums, "Depth", "SCALAR", [99999.0], A_MAX_DEPTHS, [[1, 1, 1]])
        dataset(temporal, "Vector Velocity", "VECTOR", [0.5, 1.5, 2.5], A_VELOCITIES, A_VELOCITY_FLAGS)
        dataset(maximums, "Vector Velocity", "VECTOR", [99999.0], A_MAX_VELOCITIES, [[1, 1, 1]])


def write_b(path):
    f, run = model_file(path, "copy_b")
    with f:
        temporal = generic(run, "Temporal")
        dataset(temporal, "Depth", "SCALAR", [3.5, 4.5], B_DEPTHS, [[1, 1, 0], [0, 1, 1]])
        dataset(temporal, "Vector Velocity", "VECTOR", [3.5], B_VELOCITIES, [[1, 0, 1]])


def write_c(path):
    f, run = model_file(path, "copy_c")
    with f:
        maximums = generic(run, "Maximums")
        dataset(maximums, "Vector Velocity", "VECTOR", [99999.0], A_MAX_VELOCITIES, [[1, 1, 1]])


def write_third(path):
    f, run = model_file(path, "copy_third")
    with f:
        temporal = generic(run, "Temporal")
        dataset(temporal, "Depth", "SCALAR", [1.0 / 3.0, 2.0 / 3.0], B_DEPTHS, [[1, 1, 0], [0, 1, 1]])


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_a(os.path.join(out, "copy_a.xmdf"))
    write_b(os.path.join(out, "copy_b.xmdf"))
    write_c(os.path.join(out, "copy_c.xmdf"))
    write_third(os.path.join(out, "copy_third.xmdf"))


if __name__ == "__main__":
    main()
