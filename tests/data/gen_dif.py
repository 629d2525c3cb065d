#!/usr/bin/python3
"""Fixtures of the difference's end-to-end cases: ".dat" files packed byte by byte (through
gen_driver_dat.py's writer) and ".xmdf" files written with h5py alone.

Every result has the 6 nodes and 3 cells of driver_mesh.2dm (bed levels 9.0 9.5 10.0 9.0 9.5
10.0, the first input's mesh) or of dif_mesh_b.2dm (the same cells, bed levels 9.5 9.0 10.5
8.0 9.5 10.0, the second input's mesh). A node is wet where its level lies more than 0.001
above its bed. Each case's README works out its expected values from these tables.

Water levels (first input A, second input B), cell flags in brackets:
  A at 1 h  10.0 9.5 10.0 9.5 11.0 10.0005 [1 0 0]  wet at nodes 1 4 5
  A at 2 h  10.5 10.25 10.75 9.75 10.0 11.0 [1 1 0] wet everywhere
  A at 3 h  the bed levels                  [0 0 0] dry everywhere
  B at 1 h  9.5 10.0 11.0 8.0 10.5 10.0     [0 1 0] wet at nodes 2 3 5
  B at 2 h  10.0 10.0 10.25 9.0 9.5 10.5    [1 1 1] wet at nodes 1 2 4 6
  B at 3 h  the bed levels                  [0 0 0] dry everywhere

dif_a_h.dat, dif_b_h.dat  the levels A and B at 1, 2 and 3 hours
dif_c_h.dat     B's levels at 2 and 3 hours, with other levels at 0.5 and 2.5 hours before them
dif_a_d.dat     depths DA at 1, 2, 3 hours (flags as A); companion dif_a_h.dat
dif_b_d.dat     depths DB at 1, 2, 3 hours (flags as B); companion dif_b_h.dat
dif_e_d.dat     DA at 1 and 2.5 hours; its companion dif_e_h.dat holds A at 1 and 2 hours
dif_f_d.dat     DA at 1, 2, 3 hours; its companion dif_f_h.dat holds A at 1, 2 and 3 hours
                between half-hourly levels of 20.0 at every node (0.5, 1.5, 2.5, 3.5 hours)
dif_g_d.dat     DA at 1 and 2 hours and at 2 hours again; its companion dif_g_h.dat holds A at
                1 and 2 hours
dif_u_V.dat     velocity vectors at 1 and 2 hours, flags as A (companion: A's levels)
dif_w_V.dat     velocity vectors at 1 and 2 hours, flags as B (companion: B's levels)
dif_x.xmdf      dif_x/Maximums/Depth, Water Level; dif_x/Temporal/Depth, Water Level (DA and A
                at 1, 2, 3 hours)
dif_y.xmdf      the same of dif_y with DB and B
dif_m.xmdf      dif_m/Maximums/Water Level and dif_m/Temporal/Depth only (no temporal levels)
dif_t.xmdf      dif_t/Temporal/Depth DA at 1, 2, 3 hours and Water Level A at 1 and 2 hours only
dif_q.xmdf, dif_r.xmdf  dif_x.xmdf and dif_y.xmdf with their Active stored 0/255, as other
                writers store it
"""
import os
import sys

from gen_driver_dat import write as write_dat
from xmdf_h5 import dataset, generic, xmdf_file

NODES, CELLS = 6, 3
BED_A = [9.0, 9.5, 10.0, 9.0, 9.5, 10.0]
BED_B = [9.5, 9.0, 10.5, 8.0, 9.5, 10.0]

LEVELS_A = [(1.0, [1, 0, 0], [10.0, 9.5, 10.0, 9.5, 11.0, 10.0005]),
            (2.0, [1, 1, 0], [10.5, 10.25, 10.75, 9.75, 10.0, 11.0]),
            (3.0, [0, 0, 0], BED_A)]
LEVELS_B = [(1.0, [0, 1, 0], [9.5, 10.0, 11.0, 8.0, 10.5, 10.0]),
            (2.0, [1, 1, 1], [10.0, 10.0, 10.25, 9.0, 9.5, 10.5]),
            (3.0, [0, 0, 0], BED_B)]
DEPTHS_A = [(1.0, [1, 0, 0], [1.0, 0.0, 0.0, 0.5, 1.5, 0.0005]),
            (2.0, [1, 1, 0], [1.5, 0.75, 0.75, 0.75, 0.5, 1.0]),
            (3.0, [0, 0, 0], [0.0] * NODES)]
DEPTHS_B = [(1.0, [0, 1, 0], [0.0, 1.0, 0.5, 0.0, 1.0, 0.0]),
            (2.0, [1, 1, 1], [0.5, 1.0, -0.25, 1.0, 0.0, 0.5]),
            (3.0, [0, 0, 0], [0.0] * NODES)]
# Stored maxima of the two ".xmdf" files: A dry at node 6, B dry at node 5.
MAX_DEPTH_A = [1.5, 0.75, 0.75, 0.75, 1.5, 1.0]
MAX_LEVEL_A = [10.5, 10.25, 10.75, 9.75, 11.0, 10.0]
MAX_DEPTH_B = [0.5, 1.0, 0.5, 1.0, 1.0, 0.5]
MAX_LEVEL_B = [10.0, 10.0, 11.0, 9.0, 9.5, 10.5]


def scalar(parent, name, records, active=1):
    """A scalar dataset of the records (time, cell flags, node values), an active cell stored
    as active."""
    dataset(parent, name, "SCALAR", [r[0] for r in records], [r[2] for r in records],
            [[active * f for f in r[1]] for r in records])


def write_run(path, name, depths, levels, max_depth=None, max_level=None, active=1):
    with xmdf_file(path) as f:
        run = generic(f, name)
        if max_depth is not None or max_level is not None:
            maximums = generic(run, "Maximums")
            if max_depth is not None:
                scalar(maximums, "Depth", [(99999.0, [1, 1, 1], max_depth)], active)
            if max_level is not None:
                scalar(maximums, "Water Level", [(99999.0, [1, 1, 1], max_level)], active)
        temporal = generic(run, "Temporal")
        scalar(temporal, "Depth", depths, active)
        if levels:
            scalar(temporal, "Water Level", levels, active)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_dat(out, "dif_a_h.dat", "Water Level", NODES, CELLS, LEVELS_A)
    write_dat(out, "dif_b_h.dat", "Water Level", NODES, CELLS, LEVELS_B)
    write_dat(out, "dif_c_h.dat", "Water Level", NODES, CELLS,
              [(0.5, [1, 1, 1], [12.0] * NODES), LEVELS_B[1], (2.5, [1, 1, 1], [13.0] * NODES), LEVELS_B[2]])
    write_dat(out, "dif_a_d.dat", "Depth", NODES, CELLS, DEPTHS_A)
    write_dat(out, "dif_b_d.dat", "Depth", NODES, CELLS, DEPTHS_B)
    write_dat(out, "dif_e_d.dat", "Depth", NODES, CELLS, [DEPTHS_A[0], (2.5,) + DEPTHS_A[1][1:]])
    write_dat(out, "dif_e_h.dat", "Water Level", NODES, CELLS, LEVELS_A[:2])
    write_dat(out, "dif_f_d.dat", "Depth", NODES, CELLS, DEPTHS_A)
    flood = [1, 1, 1], [20.0] * NODES
    write_dat(out, "dif_f_h.dat", "Water Level", NODES, CELLS,
              [(0.5,) + flood, LEVELS_A[0], (1.5,) + flood, LEVELS_A[1], (2.5,) + flood, LEVELS_A[2],
               (3.5,) + flood])
    write_dat(out, "dif_g_d.dat", "Depth", NODES, CELLS, DEPTHS_A[:2] + DEPTHS_A[1:2])
    write_dat(out, "dif_g_h.dat", "Water Level", NODES, CELLS, LEVELS_A[:2])
    write_dat(out, "dif_u_V.dat", "Velocity", NODES, CELLS, [
        (1.0, [1, 0, 0], [(3.0, 4.0), (0.0, 1.0), (1.0, 0.0), (0.0, 0.0), (6.0, 8.0), (0.0, 2.0)]),
        (2.0, [1, 1, 0], [(0.0, 2.0), (0.0, 1.0), (0.0, 3.0), (0.0, 4.0), (0.0, 5.0), (0.0, 6.0)]),
    ], vector=True)
    write_dat(out, "dif_w_V.dat", "Velocity", NODES, CELLS, [
        (1.0, [0, 1, 0], [(0.0, 3.0), (0.0, 2.0), (0.0, 0.0), (1.0, 0.0), (0.0, 6.0), (0.0, 0.0)]),
        (2.0, [1, 1, 1], [(1.0, 0.0), (0.5, 0.0), (1.0, 0.0), (3.0, 0.0), (1.0, 0.0), (2.0, 0.0)]),
    ], vector=True)
    write_run(os.path.join(out, "dif_x.xmdf"), "dif_x", DEPTHS_A, LEVELS_A, MAX_DEPTH_A, MAX_LEVEL_A)
    write_run(os.path.join(out, "dif_y.xmdf"), "dif_y", DEPTHS_B, LEVELS_B, MAX_DEPTH_B, MAX_LEVEL_B)
    write_run(os.path.join(out, "dif_m.xmdf"), "dif_m", DEPTHS_A, None, None, MAX_LEVEL_A)
    write_run(os.path.join(out, "dif_t.xmdf"), "dif_t", DEPTHS_A, LEVELS_A[:2])
    write_run(os.path.join(out, "dif_q.xmdf"), "dif_q", DEPTHS_A, LEVELS_A, MAX_DEPTH_A, MAX_LEVEL_A, 255)
    write_run(os.path.join(out, "dif_r.xmdf"), "dif_r", DEPTHS_B, LEVELS_B, MAX_DEPTH_B, MAX_LEVEL_B, 255)


if __name__ == "__main__":
    main()
