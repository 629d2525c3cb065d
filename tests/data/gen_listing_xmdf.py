#!/usr/bin/python3
"""XMDF fixtures for the listings (-times, -xnfo), written with h5py alone.

Every file belongs to driver_mesh.2dm (6 nodes, 3 cells), laid out as a model run writes it.
Datasets are listed in byte order of their paths.

lst_scalars.xmdf   scalar datasets only, in lst_s/Temporal:
                       Depth         times 0.5, 1.25, 2.0
                       Water Level   no times at all (Times and Values of 0 rows)
lst_broken.xmdf    in lst_b/Temporal, a vector "Vector Velocity" (times 1, 2), then the scalars
                       Depth         times 0.25, 0.75, 1.0 (good)
                       D<e-acute>pth a name that is not ASCII: the path a reader keeps is cut
                                     at it ("lst_b/Temporal/D"), which opens no group
                       No Times      without its Times array
                       Text Times    Times stored as int32, which cannot be read as times
                       Water Level   times 3.5, 4.5 (good)
lst_many.xmdf      1000 scalar datasets lst_m/Temporal/S0000 .. S0999, one time each
"""
import os
import sys

import numpy as np

from xmdf_h5 import dataset_group, generic, xmdf_file

NODES = 6
CELLS = 3


def dataset(parent, name, kind, times, times_type=np.float64):
    """A dataset group of the given times; its values and flags are of no interest here."""
    g = dataset_group(parent, name, kind)
    n = len(times)
    shape = (n, NODES, 2) if kind == "VECTOR" else (n, NODES)
    g.create_dataset("Times", data=np.array(times, dtype=times_type), maxshape=(None,))
    g.create_dataset("Values", data=np.ones(shape, dtype=np.float32), maxshape=(None,) + shape[1:])
    g.create_dataset("Mins", data=np.ones(n, dtype=np.float32), maxshape=(None,))
    g.create_dataset("Maxs", data=np.ones(n, dtype=np.float32), maxshape=(None,))
    g.create_dataset("Active", data=np.ones((n, CELLS), dtype=np.uint8), maxshape=(None, CELLS))
    return g


def temporal(f, group):
    return generic(generic(f, group), "Temporal")


def write_scalars(path):
    with xmdf_file(path) as f:
        t = temporal(f, "lst_s")
        dataset(t, "Depth", "SCALAR", [0.5, 1.25, 2.0])
        dataset(t, "Water Level", "SCALAR", [])


def write_broken(path):
    with xmdf_file(path) as f:
        t = temporal(f, "lst_b")
        dataset(t, "Vector Velocity", "VECTOR", [1.0, 2.0])
        dataset(t, "Depth", "SCALAR", [0.25, 0.75, 1.0])
        dataset(t, "D\u00e9pth", "SCALAR", [9.0, 9.5])
        no_times = dataset(t, "No Times", "SCALAR", [8.0, 8.5])
        del no_times["Times"]
        dataset(t, "Text Times", "SCALAR", [7, 8], times_type=np.int32)
        dataset(t, "Water Level", "SCALAR", [3.5, 4.5])


def write_many(path):
    with xmdf_file(path) as f:
        t = temporal(f, "lst_m")
        for k in range(1000):
            g = dataset_group(t, "S%04d" % k, "SCALAR")
            g.create_dataset("Times", data=np.array([float(k)]))
            g.create_dataset("Values", data=np.ones((1, NODES), dtype=np.float32))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_scalars(os.path.join(out, "lst_scalars.xmdf"))
    write_broken(os.path.join(out, "lst_broken.xmdf"))
    write_many(os.path.join(out, "lst_many.xmdf"))


if __name__ == "__main__":
    main()
