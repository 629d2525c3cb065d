#!/usr/bin/python3
"""".dat" fixtures for the step-copying operations (-k, -r, range, -con, -trim, -va),
packed byte by byte as gen_driver_dat.py describes; a record may leave out its cell flags
(flag byte 0), and then the flags of the record before it hold.

Sizes are those of driver_mesh.2dm: 6 nodes, 3 cells.

copy_t_d.dat    depths at 0, 1, ..., 6 hours; node j (from 0) holds t + 0.25 j
copy_a_d.dat    depths at 0, 1, 2, 3, then a stored maximum (99999) and its time (99999.1)
copy_m_d.dat    depths at 0.5, 1.5, then a stored minimum (-99999) and its time (-99999.1)
copy_b_d.dat    depths at 3, 4, 5, 6; the record at 4 carries no cell flags
copy_trim_V.dat velocity vectors at 1 and 2 hours, magnitudes 0 to 12 (3-4-5 triangles)
copy_va_V.dat   velocity vectors at 0.5 and 1.5 hours pointing N, E, W, S, NE, ...
copy_third_d.dat depths at 0, 1/3 and 2/3 hours (0.33333334 and 0.6666667 as stored)
"""
import os
import struct
import sys

from gen_driver_dat import header

NODES = 6
CELLS = 3


def record(time, flags, values, vector):
    """One time record; flags None leaves the cell flags out."""
    b = struct.pack("<ibf", 200, 0 if flags is None else 1, time)
    if flags is not None:
        assert len(flags) == CELLS
        b += struct.pack("<%db" % CELLS, *flags)
    assert len(values) == NODES
    for v in values:
        b += struct.pack("<ff", *v) if vector else struct.pack("<f", v)
    return b


def write(out, file_name, name, records, vector=False):
    data = header(name, NODES, CELLS, vector)
    for time, flags, values in records:
        data += record(time, flags, values, vector)
    data += struct.pack("<i", 210)
    with open(os.path.join(out, file_name), "wb") as f:
        f.write(data)


def depths(t):
    return [t + 0.25 * j for j in range(NODES)]


T_RECORDS = [(float(t), [1, t % 2, 0], depths(float(t))) for t in range(7)]
A_RECORDS = [(float(t), [1, 1, t % 2], depths(10.0 + t)) for t in range(4)] + [
    (99999.0, [1, 1, 1], depths(13.0)),
    (99999.1, [1, 1, 1], [3.0] * NODES),
]
M_RECORDS = [
    (0.5, [0, 1, 1], depths(20.0)),
    (1.5, [1, 0, 1], depths(21.0)),
    (-99999.0, [0, 0, 1], depths(20.0)),
    (-99999.1, [0, 0, 1], [0.5] * NODES),
]
B_RECORDS = [
    (3.0, [0, 1, 0], depths(30.0)),
    (4.0, None, depths(31.0)),
    (5.0, [1, 1, 1], depths(32.0)),
    (6.0, [1, 0, 1], depths(33.0)),
]
TRIM_RECORDS = [
    (1.0, [1, 1, 0], [(6.0, 8.0), (0.6, 0.8), (0.0, 0.0), (-3.0, -4.0), (0.0, 12.0), (5.0, 0.0)]),
    (2.0, [1, 0, 1], [(3.0, 4.0), (8.0, 6.0), (0.0, -5.0), (0.0, 0.0), (-10.0, 0.0), (1.0, 1.0)]),
]
THIRD_RECORDS = [(t / 3.0, [1, 1, t % 2], depths(40.0 + t)) for t in range(3)]
VA_RECORDS = [
    (0.5, [1, 1, 0], [(0.0, 1.0), (1.0, 0.0), (-1.0, 0.0), (0.0, -1.0), (0.0, 0.0), (1.0, 1.0)]),
    (1.5, [0, 1, 1], [(1.0, -1.0), (-1.0, -1.0), (-1.0, 1.0), (0.0, 2.0), (3.0, 0.0), (0.0, 0.0)]),
]


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write(out, "copy_t_d.dat", "Depth", T_RECORDS)
    write(out, "copy_a_d.dat", "Depth", A_RECORDS)
    write(out, "copy_m_d.dat", "Depth", M_RECORDS)
    write(out, "copy_b_d.dat", "Depth", B_RECORDS)
    write(out, "copy_trim_V.dat", "Velocity", TRIM_RECORDS, vector=True)
    write(out, "copy_va_V.dat", "Velocity", VA_RECORDS, vector=True)
    write(out, "copy_third_d.dat", "Depth", THIRD_RECORDS)


if __name__ == "__main__":
    main()
