#!/usr/bin/python3
"""Fixtures of the conversion (-conv), ".dat" files packed byte by byte and XMDF files written
with h5py alone. Every file belongs to driver_mesh.2dm (6 nodes, 3 cells).

conv_m01_h.dat     water levels at 1, 2 hours and a stored maximum (99999)
conv_m01_d.dat     depths at 0.5, 1.5 hours
conv_m01_V.dat     velocity vectors at 1, 2 hours and a stored maximum (99999)
conv_m02_h.dat     water levels at 1, 2, 3 hours
conv_cut_h.dat     conv_m01_h.dat cut off inside its second record
conv_codes_h.dat   water levels at 1 hour, then records at the time codes 900001, 99999.1,
                   100000.1, 200000.5, -99999 and 99999 (values 1..6 plus 10 times the record)
conv_a.xmdf        group "a" (scalars, in listing order):
                     1 a/Maximums/Water Level            [99999]
                     2 a/Minimums/Water Level            [-99999]
                     3 a/Temporal/Depth                  [0.5, 1, 1.5]
                     4 a/Temporal/My Data                [1]        (no map output type)
                     5 a/Temporal/Water Level            [0.5, 1, 1.5]
                     6 a/Times/Duration Above 0.3m       [0]
                     7 a/Times/Time of First Depth > 0.1m [0]
                     8 a/Times/Time of Peak h            [0]
                   vectors:
                     1 a/Maximums/Vector Velocity        [99999]
                     2 a/Temporal/Vector Velocity        [0.5, 1]
conv_b.xmdf        b/Temporal/Water Level [1, 2] and b/Results/Depth [1]: Depth lies only in a
                   folder of no known kind
"""
import os
import sys

from gen_driver_dat import write
from gen_driver_xmdf import dataset
from xmdf_h5 import generic, xmdf_file

NODES = 6
CELLS = 3

LEVELS = [[10.0, 10.5, 11.0, 10.25, 10.0, 12.0],
          [10.75, 10.5, 11.5, 10.25, 10.5, 12.5],
          [10.5, 11.25, 12.0, 10.0, 10.25, 13.0]]
LEVEL_FLAGS = [[1, 0, 0], [1, 1, 0], [1, 1, 1]]
VELOCITIES = [[(1.0, 0.0), (0.0, 2.0), (0.0, 0.0), (-3.0, 4.0), (0.5, 0.5), (0.0, 0.0)],
              [(0.0, 1.5), (1.0, 1.0), (0.0, 0.0), (3.0, 0.0), (0.0, -0.25), (0.0, 0.0)],
              [(1.0, 1.5), (1.0, 2.0), (0.0, 0.0), (3.0, 4.0), (0.5, 0.5), (0.0, 0.0)]]


def write_dat(out):
    write(out, "conv_m01_h.dat", "Water Level", NODES, CELLS, [
        (1.0, LEVEL_FLAGS[0], LEVELS[0]),
        (2.0, LEVEL_FLAGS[1], LEVELS[1]),
        (99999.0, [1, 1, 1], [10.75, 11.25, 12.0, 10.25, 10.5, 13.0]),
    ])
    write(out, "conv_m01_d.dat", "Depth", NODES, CELLS, [
        (0.5, [1, 0, 1], [0.5, 0.25, 0.0, 1.0, 0.75, 2.0]),
        (1.5, [1, 1, 0], [0.25, 0.5, 0.125, 1.5, 0.5, 1.0]),
    ])
    write(out, "conv_m01_V.dat", "Velocity", NODES, CELLS, [
        (1.0, [1, 1, 0], VELOCITIES[0]),
        (2.0, [1, 0, 0], VELOCITIES[1]),
        (99999.0, [1, 1, 0], VELOCITIES[2]),
    ], vector=True)
    write(out, "conv_m02_h.dat", "Water Level", NODES, CELLS, [
        (1.0, LEVEL_FLAGS[0], [v + 1.0 for v in LEVELS[0]]),
        (2.0, LEVEL_FLAGS[1], [v + 1.0 for v in LEVELS[1]]),
        (3.0, LEVEL_FLAGS[2], [v + 1.0 for v in LEVELS[2]]),
    ])
    with open(os.path.join(out, "conv_m01_h.dat"), "rb") as f:
        whole = f.read()
    with open(os.path.join(out, "conv_cut_h.dat"), "wb") as f:
        f.write(whole[:150])
    times = [1.0, 900001.0, 99999.1, 100000.1, 200000.5, -99999.0, 99999.0]
    write(out, "conv_codes_h.dat", "Water Level", NODES, CELLS, [
        (t, [1, k % 2, 0], [10.0 * k + j for j in range(1, NODES + 1)]) for k, t in enumerate(times)
    ])


def write_a(path):
    with xmdf_file(path) as f:
        run = generic(f, "a")
        temporal = generic(run, "Temporal")
        maximums = generic(run, "Maximums")
        minimums = generic(run, "Minimums")
        times = generic(run, "Times")
        dataset(temporal, "Water Level", "SCALAR", [0.5, 1.0, 1.5], LEVELS, LEVEL_FLAGS)
        dataset(temporal, "Depth", "SCALAR", [0.5, 1.0, 1.5],
                [[v - 10.0 for v in row] for row in LEVELS], LEVEL_FLAGS)
        dataset(temporal, "My Data", "SCALAR", [1.0], [[1.0, 2.0, 3.0, 4.0, 5.0, 6.0]], [[1, 1, 1]])
        dataset(temporal, "Vector Velocity", "VECTOR", [0.5, 1.0], VELOCITIES[:2], [[1, 1, 0], [1, 0, 0]])
        dataset(maximums, "Water Level", "SCALAR", [99999.0], [[11.0, 11.5, 12.5, 10.5, 10.75, 13.5]], [[1, 1, 1]])
        dataset(minimums, "Water Level", "SCALAR", [-99999.0], [[9.5, 10.0, 10.5, 10.0, 9.75, 11.5]], [[1, 0, 0]])
        dataset(maximums, "Vector Velocity", "VECTOR", [99999.0], [VELOCITIES[2]], [[1, 1, 1]])
        dataset(times, "Time of First Depth > 0.1m", "SCALAR", [0.0], [[0.25, 0.5, -99999.0, 1.0, 1.25, 1.5]],
                [[1, 1, 0]])
        dataset(times, "Duration Above 0.3m", "SCALAR", [0.0], [[2.0, 1.5, 0.0, 1.0, 0.5, 0.25]], [[1, 1, 0]])
        dataset(times, "Time of Peak h", "SCALAR", [0.0], [[1.5, 1.0, -99999.0, 0.5, 1.0, 1.5]], [[1, 1, 0]])


def write_b(path):
    with xmdf_file(path) as f:
        run = generic(f, "b")
        dataset(generic(run, "Temporal"), "Water Level", "SCALAR", [1.0, 2.0], LEVELS[:2], LEVEL_FLAGS[:2])
        dataset(generic(run, "Results"), "Depth", "SCALAR", [1.0], [[0.5] * NODES], [[1, 1, 1]])


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_dat(out)
    write_a(os.path.join(out, "conv_a.xmdf"))
    write_b(os.path.join(out, "conv_b.xmdf"))


if __name__ == "__main__":
    main()
