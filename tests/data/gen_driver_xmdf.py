#!/usr/bin/python3
"""XMDF fixtures for the command driver's end-to-end cases, written with h5py alone.

Every file belongs to driver_mesh.2dm (6 nodes, 3 cells) unless said otherwise; datasets
lie in <group>/<folder>/<name> as a model run writes them (fixed-length string
attributes, float32 Values, uint8 Active).

drv_x.xmdf    Temporal and Maximums of Water Level and Vector Velocity, Temporal Depth
drv_y.xmdf    Temporal Water Level and Vector Velocity only (no stored maximum)
drv_z7.xmdf   Temporal Water Level of 7 nodes
drv_no_times.xmdf  Temporal Depth and Vector Velocity without any output time, as a run
              that stopped before its first output leaves them
drv_s.xmdf    in another writer's form: a one-element "File Type", the dataset "Depth" at
              the root with its times in seconds (3600, 7200, 10800: 1, 2 and 3 hours)
"""
import os
import sys

import numpy as np

import xmdf_h5
from xmdf_h5 import generic, xmdf_file

CELLS = 3


def dataset(parent, name, kind, times, values, active, time_units="Hours"):
    """A dataset group whose arrays may grow a step at a time (xmdf_h5.dataset)."""
    xmdf_h5.dataset(parent, name, kind, times, values, active, time_units, growable=True)


def model_file(path, group):
    f = xmdf_file(path)
    return f, generic(f, group)


LEVELS = [[10.0, 10.5, 11.0, 10.25, 10.0, 12.0],
          [10.75, 10.5, 11.5, 10.25, 10.5, 12.5],
          [10.5, 11.25, 12.0, 10.0, 10.25, 13.0]]
LEVEL_FLAGS = [[1, 0, 0], [1, 1, 0], [1, 1, 0]]
VELOCITIES = [[[1.0, 0.0], [0.0, 2.0], [0.0, 0.0], [-3.0, 4.0], [0.5, 0.5], [0.0, 0.0]],
              [[0.0, 1.5], [1.0, 1.0], [0.0, 0.0], [3.0, 0.0], [0.0, -0.25], [0.0, 0.0]]]
VELOCITY_FLAGS = [[1, 1, 0], [1, 0, 0]]


def write_x(path):
    f, run = model_file(path, "drv_x")
    with f:
        temporal = generic(run, "Temporal")
        maximums = generic(run, "Maximums")
        dataset(temporal, "Water Level", "SCALAR", [1.0, 2.0, 3.0], LEVELS, LEVEL_FLAGS)
        dataset(temporal, "Depth", "SCALAR", [1.0, 2.0, 3.0],
                [[v - 9.0 for v in row] for row in LEVELS], LEVEL_FLAGS)
        dataset(temporal, "Vector Velocity", "VECTOR", [1.0, 2.0], VELOCITIES, VELOCITY_FLAGS)
        # A stored maximum that differs from the temporal one, so the two roads differ.
        dataset(maximums, "Water Level", "SCALAR", [99999.0],
                [[11.0, 11.5, 12.5, 10.5, 10.75, 13.5]], [[1, 1, 1]])
        dataset(maximums, "Vector Velocity", "VECTOR", [99999.0],
                [[[2.0, 0.0], [0.0, 2.5], [0.0, 0.0], [-3.0, 4.0], [0.5, 0.5], [0.0, 1.0]]], [[1, 1, 0]])


def write_y(path):
    f, run = model_file(path, "drv_y")
    with f:
        temporal = generic(run, "Temporal")
        dataset(temporal, "Water Level", "SCALAR", [1.0, 2.0],
                [[9.0, 11.0, 10.0, 10.0, 10.75, 11.0], [10.75, 11.5, 12.5, 10.5, 10.25, 11.5]],
                [[1, 1, 1], [1, 1, 1]])
        dataset(temporal, "Vector Velocity", "VECTOR", [1.0, 2.0],
                [[[2.0, 0.0], [0.0, 1.0], [0.25, 0.0], [0.0, 5.0], [0.5, 0.5], [0.0, 0.0]],
                 [[0.0, -1.0], [1.5, 1.5], [0.0, 0.5], [1.0, 1.0], [0.25, 0.25], [0.0, 0.0]]],
                [[0, 1, 1], [0, 1, 1]])


def write_z7(path):
    f, run = model_file(path, "drv_z7")
    with f:
        temporal = generic(run, "Temporal")
        dataset(temporal, "Water Level", "SCALAR", [1.0], [[1.0] * 7], [[1, 1, 1]])


def write_no_times(path):
    f, run = model_file(path, "drv_nt")
    with f:
        temporal = generic(run, "Temporal")
        dataset(temporal, "Depth", "SCALAR", [], np.zeros((0, 6)), np.zeros((0, CELLS)))
        dataset(temporal, "Vector Velocity", "VECTOR", [], np.zeros((0, 6, 2)), np.zeros((0, CELLS)))


def write_s(path):
    with xmdf_file(path, type_array=True) as f:
        dataset(f, "Depth", "SCALAR", [3600.0, 7200.0, 10800.0],
                [[v - 9.0 for v in row] for row in LEVELS], LEVEL_FLAGS, time_units="Seconds")


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_x(os.path.join(out, "drv_x.xmdf"))
    write_y(os.path.join(out, "drv_y.xmdf"))
    write_z7(os.path.join(out, "drv_z7.xmdf"))
    write_s(os.path.join(out, "drv_s.xmdf"))
    write_no_times(os.path.join(out, "drv_no_times.xmdf"))


if __name__ == "__main__":
    main()
