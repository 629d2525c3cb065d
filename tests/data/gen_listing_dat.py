#!/usr/bin/python3
"""".dat" fixtures for the listing of output times (-times), packed byte by byte.

Layout as in gen_driver_dat.py; a record may also have flag byte 0 and then no cell flags.
Every file belongs to driver_mesh.2dm (6 nodes, 3 cells).

lst_stored_V.dat   velocity vectors at 0, 0.5 (flag byte 0: no cell flags) and 1 hours,
                   then a stored maximum at 99999, then the end card
lst_header_h.dat   a header and the end card: no time record
lst_wide_h.dat     water levels at -99999 (a stored minimum), 123456789 and 1.0E11 (too
                   wide for 15 characters with 4 decimals); no end card
lst_cut_h.dat      water levels at 1 and 2 hours, then a record at 3 hours cut off in its values
"""
import os
import struct
import sys

from gen_driver_dat import header, record

NODES = 6
CELLS = 3


def record_without_flags(time, values, vector):
    b = struct.pack("<ibf", 200, 0, time)
    for v in values:
        b += struct.pack("<ff", *v) if vector else struct.pack("<f", v)
    return b


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)

    def write(name, data):
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)

    vectors = [(0.5 * j, -0.25 * j) for j in range(NODES)]
    write("lst_stored_V.dat",
          header("Velocity", NODES, CELLS, True)
          + record(0.0, [1, 0, 0], vectors, True)
          + record_without_flags(0.5, vectors, True)
          + record(1.0, [1, 1, 0], vectors, True)
          + record(99999.0, [1, 1, 1], vectors, True)
          + struct.pack("<i", 210))
    write("lst_header_h.dat", header("Water Level", NODES, CELLS, False) + struct.pack("<i", 210))
    levels = [10.0 + j for j in range(NODES)]
    write("lst_wide_h.dat",
          header("Water Level", NODES, CELLS, False)
          + record(-99999.0, [1, 1, 1], levels, False)
          + record(123456789.0, [1, 1, 1], levels, False)
          + record(1.0e11, [1, 1, 1], levels, False))
    whole = (header("Water Level", NODES, CELLS, False)
             + record(1.0, [1, 1, 1], levels, False)
             + record(2.0, [1, 1, 1], levels, False)
             + record(3.0, [1, 1, 1], levels, False))
    write("lst_cut_h.dat", whole[:-10])


if __name__ == "__main__":
    main()
