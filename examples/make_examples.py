#!/usr/bin/python3
"""Writes the shipped example: one small mesh and the water levels of two model runs on it.

run_a.2dm, run_b.2dm  the same 5 x 4 node mesh of 12 quadrilaterals (a 1 m grid, bed
                      falling from 10 m in the west to 8 m in the east)
run_a_h.dat           water levels at 0, 1, 2 and 3 hours of a flood moving east
run_b_h.dat           a bigger flood at 0, 1, 2 and 3 hours, with its stored maximum
                      (time 99999) as the last record

Run once from this folder (/usr/bin/python3 make_examples.py); the files are committed.
"""
import struct

NX, NY = 5, 4
NODES = NX * NY
CELLS = (NX - 1) * (NY - 1)


def bed(i):
    return 10.0 - 0.5 * (i % NX)


def mesh(path):
    with open(path, "w") as f:
        f.write("MESH2D    500000.000000 6000000.000000 0.000000 1.000000 1.000000 0.000000 0.000000 0.000000\n")
        for i in range(NODES):
            f.write("ND %d %.1f %.1f %.2f 0 0.0 0.0 0.0\n" % (i + 1, i % NX, i // NX, bed(i)))
        e = 0
        for r in range(NY - 1):
            for c in range(NX - 1):
                e += 1
                n1 = r * NX + c + 1
                f.write("E4Q %d %d %d %d %d 1 0 0 1\n" % (e, n1, n1 + 1, n1 + NX + 1, n1 + NX))


def levels(peak, front, t):
    """Water level per node and wet flag per cell: a front that has reached column front*t."""
    values, wet_nodes = [], set()
    for i in range(NODES):
        col = i % NX
        depth = max(0.0, peak * (1.0 - abs(col - front * t) / 3.0)) if col <= front * t + 1 else 0.0
        values.append(round(bed(i) + depth, 3))
        if depth > 0.05:
            wet_nodes.add(i)
    flags = []
    for r in range(NY - 1):
        for c in range(NX - 1):
            n1 = r * NX + c
            corners = {n1, n1 + 1, n1 + NX, n1 + NX + 1}
            flags.append(1 if corners & wet_nodes else 0)
    return values, flags


def dat(path, records):
    b = struct.pack("<i", 3000) + struct.pack("<ii", 100, 3) + struct.pack("<ii", 110, 4)
    b += struct.pack("<ii", 120, 1) + struct.pack("<i", 130)
    b += struct.pack("<ii", 170, NODES) + struct.pack("<ii", 180, CELLS)
    b += struct.pack("<i", 190) + b"Water Level".ljust(40, b" ")
    for time, (values, flags) in records:
        b += struct.pack("<ibf", 200, 1, time) + bytes(f & 0xFF for f in flags)
        b += struct.pack("<%df" % NODES, *values)
    b += struct.pack("<i", 210)
    with open(path, "wb") as f:
        f.write(b)


def main():
    mesh("run_a.2dm")
    mesh("run_b.2dm")
    a = [(float(t), levels(1.1, 0.8, t)) for t in range(4)]
    dat("run_a_h.dat", a)
    b = [(float(t), levels(0.9, 1.5, t)) for t in range(4)]
    peak = [max(step[1][0][i] for step in b) for i in range(NODES)]
    wet = [max(step[1][1][k] for step in b) for k in range(CELLS)]
    dat("run_b_h.dat", b + [(99999.0, (peak, wet))])


if __name__ == "__main__":
    main()
