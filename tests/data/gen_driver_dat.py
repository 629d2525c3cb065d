#!/usr/bin/python3
"""".dat" fixtures for the command driver's end-to-end cases, packed byte by byte.

Layout: int32 cards 3000, 100 3, 110 4, 120 1, 130 (scalar) or 140 (vector), 170 nodes,
180 cells, 190 and a 40-byte blank-padded name; then per record card 200, a flag byte 1,
the float32 time, one int8 flag per cell and the float32 values (x, y pairs for vectors);
then card 210.

The results belong to driver_mesh.2dm: 6 nodes, cells 1 (nodes 1 2 4), 2 (2 5 4) and the
quadrilateral 3 (2 3 6 5), so nodes 3 and 6 lie only in cell 3.

drv_a_h.dat     water levels at 1, 2, 3 hours; cell 3 dry throughout, cell 2 wet from 2 h
drv_b_h.dat     water levels at 1, 2 hours and a stored maximum (99999) as the last record
drv_m_h.dat     water levels at 1, 2 hours and a stored minimum (-99999) as the last record
drv_c_d.dat     depths at 0.5 and 1.5 hours (no data type rule: every node counts)
drv_e_d.dat     depths at 0.5 and 1.5 hours; ties with drv_c_d.dat at nodes 1 and 2
drv_u_V.dat     velocity vectors at 1 and 2 hours
drv_w_V.dat     velocity vectors at 1 and 2 hours
drv_fv_h.dat    finite-volume water levels (4 nodes, 4 cells) at 1 and 2 hours
drv_fw_h.dat    the same size, other levels
drv_big_d.dat   depths of 7 nodes and 3 cells (size differs from the others)
drv_notype.dat  depths without a data-type suffix in the name
drv_f4_d.dat    depths whose activity flags are 4 bytes each (card 120 = 4), as some
                writers store them
"""
import os
import struct
import sys


def header(name, nodes, cells, vector, flag_bytes=1):
    b = struct.pack("<i", 3000)
    b += struct.pack("<ii", 100, 3) + struct.pack("<ii", 110, 4) + struct.pack("<ii", 120, flag_bytes)
    b += struct.pack("<i", 140 if vector else 130)
    b += struct.pack("<ii", 170, nodes) + struct.pack("<ii", 180, cells)
    b += struct.pack("<i", 190) + name.encode().ljust(40, b" ")[:40]
    return b


def record(time, flags, values, vector):
    b = struct.pack("<ibf", 200, 1, time)
    b += struct.pack("<%db" % len(flags), *flags)
    if vector:
        for x, y in values:
            b += struct.pack("<ff", x, y)
    else:
        b += struct.pack("<%df" % len(values), *values)
    return b


def write(out, file_name, name, nodes, cells, records, vector=False):
    data = header(name, nodes, cells, vector)
    for time, flags, values in records:
        assert len(flags) == cells and len(values) == nodes
        data += record(time, flags, values, vector)
    data += struct.pack("<i", 210)
    with open(os.path.join(out, file_name), "wb") as f:
        f.write(data)


def write_four_byte_flags(out, file_name, name, nodes, cells, records):
    data = header(name, nodes, cells, False, flag_bytes=4)
    for time, flags, values in records:
        data += struct.pack("<ibf", 200, 1, time) + struct.pack("<%di" % cells, *flags)
        data += struct.pack("<%df" % nodes, *values)
    data += struct.pack("<i", 210)
    with open(os.path.join(out, file_name), "wb") as f:
        f.write(data)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write(out, "drv_a_h.dat", "Water Level", 6, 3, [
        (1.0, [1, 0, 0], [10.0, 10.5, 11.0, 10.25, 10.0, 12.0]),
        (2.0, [1, 1, 0], [10.75, 10.5, 11.5, 10.25, 10.5, 12.5]),
        (3.0, [1, 1, 0], [10.5, 11.25, 12.0, 10.0, 10.25, 13.0]),
    ])
    write(out, "drv_b_h.dat", "Water Level", 6, 3, [
        (1.0, [1, 1, 1], [9.0, 11.0, 10.0, 10.0, 10.75, 11.0]),
        (2.0, [1, 1, 1], [10.75, 11.5, 12.5, 10.5, 10.25, 11.5]),
        (99999.0, [1, 1, 1], [10.75, 11.5, 12.5, 10.5, 10.75, 11.5]),
    ])
    write(out, "drv_m_h.dat", "Water Level", 6, 3, [
        (1.0, [1, 1, 1], [9.0, 11.0, 10.0, 10.0, 10.75, 11.0]),
        (2.0, [1, 1, 0], [10.75, 11.5, 12.5, 10.5, 10.25, 11.5]),
        (-99999.0, [1, 1, 0], [9.0, 11.0, 10.0, 10.0, 10.25, 11.0]),
    ])
    write(out, "drv_c_d.dat", "Depth", 6, 3, [
        (0.5, [1, 0, 1], [0.5, 0.25, 0.0, 1.0, 0.75, 2.0]),
        (1.5, [1, 1, 0], [0.25, 0.5, 0.125, 1.5, 0.5, 1.0]),
    ])
    write(out, "drv_e_d.dat", "Depth", 6, 3, [
        (0.5, [0, 1, 1], [0.5, 0.0, 0.5, 0.5, 1.0, 1.0]),
        (1.5, [1, 0, 1], [0.125, 0.5, 0.25, 0.25, 0.25, 3.0]),
    ])
    write(out, "drv_u_V.dat", "Velocity", 6, 3, [
        (1.0, [1, 1, 0], [(1.0, 0.0), (0.0, 2.0), (0.0, 0.0), (-3.0, 4.0), (0.5, 0.5), (0.0, 0.0)]),
        (2.0, [1, 0, 0], [(0.0, 1.5), (1.0, 1.0), (0.0, 0.0), (3.0, 0.0), (0.0, -0.25), (0.0, 0.0)]),
    ], vector=True)
    write(out, "drv_w_V.dat", "Velocity", 6, 3, [
        (1.0, [0, 1, 1], [(2.0, 0.0), (0.0, 1.0), (0.25, 0.0), (0.0, 5.0), (0.5, 0.5), (0.0, 0.0)]),
        (2.0, [0, 1, 1], [(0.0, -1.0), (1.5, 1.5), (0.0, 0.5), (1.0, 1.0), (0.25, 0.25), (0.0, 0.0)]),
    ], vector=True)
    write(out, "drv_fv_h.dat", "Water Level", 4, 4, [
        (1.0, [1, 1, 0, 0], [5.0, 6.0, 7.0, 8.0]),
        (2.0, [1, 1, 1, 0], [5.5, 5.0, 7.5, 8.0]),
    ])
    write(out, "drv_fw_h.dat", "Water Level", 4, 4, [
        (1.0, [1, 0, 1, 0], [4.0, 6.5, 7.0, 9.0]),
        (2.0, [1, 0, 1, 1], [6.0, 6.25, 6.5, 8.5]),
    ])
    write(out, "drv_big_d.dat", "Depth", 7, 3, [
        (0.5, [1, 1, 1], [0.5] * 7),
    ])
    write(out, "drv_notype.dat", "Depth", 6, 3, [
        (0.5, [1, 1, 1], [0.5, 0.25, 0.0, 1.0, 0.75, 2.0]),
    ])
    write_four_byte_flags(out, "drv_f4_d.dat", "Depth", 6, 3, [
        (0.5, [1, 0, 1], [0.5, 0.25, 0.0, 1.0, 0.75, 2.0]),
        (1.5, [1, 1, 1], [0.25, 0.5, 0.125, 1.5, 0.5, 1.0]),
    ])


if __name__ == "__main__":
    main()
