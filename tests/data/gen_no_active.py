#!/usr/bin/python3
"""An ".xmdf" file in the form of writers that store no activity flags, written with h5py
alone, with its mesh and what its conversion and its EnSight export must give.

no_active.xmdf     a one-element "File Type"; dataset groups at the root, outside any
                   Temporal or Maximums folder, of names no map output type has: scalars
                   "EH" and "WSPL", vector "VELOC", each with Times (4 output times) and
                   Values only (no Active, Mins or Maxs)
no_active.2dm      the mesh: 6 nodes, 2 triangles and a 4-node quadrilateral
no_active_EH.expect.json   the ".dat" that -conv -pathEH must write (tests/tools/check_dat.py):
                   the mesh's 3 cells, every flag 1, the four times and the values as stored
no_active.expect.json      the EnSight set of -ensight (tests/tools/check_ensight.py): every
                   dataset at every node and time, every cell being active
"""
import json
import os
import sys

import numpy as np

from gen_ensight import RUN_MESH, vec, write_expectation
from xmdf_h5 import dataset_group, xmdf_file

TIMES = [0.0, 0.5, 1.5, 4.0]
EH = [[9.5 + 0.25 * s + 0.125 * i for i in range(6)] for s in range(4)]
WSPL = [[10.0 + s - 0.5 * i for i in range(6)] for s in range(4)]
VELOC = [[(0.5 * s - 0.25 * i, 1.0 - 0.125 * (s + i)) for i in range(6)] for s in range(4)]
CELLS = len(RUN_MESH.elements)


def data_only(parent, name, kind, values):
    """A dataset group with Times and Values and nothing else."""
    g = dataset_group(parent, name, kind)
    g.create_dataset("Times", data=np.array(TIMES, dtype=np.float64))
    g.create_dataset("Values", data=np.array(values, dtype=np.float32))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    RUN_MESH.write(os.path.join(out, "no_active.2dm"))
    with xmdf_file(os.path.join(out, "no_active.xmdf"), type_array=True) as f:
        data_only(f, "EH", "SCALAR", EH)
        data_only(f, "WSPL", "SCALAR", WSPL)
        data_only(f, "VELOC", "VECTOR", VELOC)

    dat = {"nodes": 6, "cells": CELLS, "vector": False,
           "records": [[t, [1] * CELLS, v] for t, v in zip(TIMES, EH)]}
    with open(os.path.join(out, "no_active_EH.expect.json"), "w") as f:
        json.dump(dat, f, indent=1)

    wet = [1] * CELLS
    m = RUN_MESH
    variables = {
        "EH": {"at": "point", "steps": [[t, m.per_node(v, wet)] for t, v in zip(TIMES, EH)]},
        "WSPL": {"at": "point", "steps": [[t, m.per_node(v, wet)] for t, v in zip(TIMES, WSPL)]},
        "VELOC": {"at": "point", "steps": [[t, m.per_node(vec(v), wet)] for t, v in zip(TIMES, VELOC)]},
    }
    write_expectation(os.path.join(out, "no_active.expect.json"), m, variables, "no_active.2dm_binary.geo")


if __name__ == "__main__":
    main()
