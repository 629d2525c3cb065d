#!/usr/bin/python3
"""XMDF fixtures for the binding's tests, written with h5py alone.

model_run.xmdf     as a model run writes it: groups results/<folder>/<dataset>,
                   fixed-length string attributes, float32 Values, uint8 Active,
                   plus a dataset group at the root and one below a plain group.
foreign_layout.xmdf  another writer's habits: dataset groups at the root, float64
                   Values, deflate, no Active, variable-length strings, time units
                   "Seconds", File Version as a float64 scalar.
no_datasets.xmdf   the root datasets and an empty folder, no dataset at all.
not_hdf5.xmdf      plain text.
truncated.xmdf     the first half of model_run.xmdf.

Values: scalar step s (from 1), node i (from 0) = 10*s + 0.5*i; vector x = s + i,
y = -0.25*(s + i); activity = (s + i) % 2.
"""
import os
import sys

import h5py
import numpy as np

from xmdf_h5 import dataset_group, generic, xmdf_file

NODES = 5
CELLS = 3


def scalar_values(steps, n=NODES):
    return np.array([[10.0 * s + 0.5 * i for i in range(n)] for s in range(1, steps + 1)])


def vector_values(steps, n=NODES):
    return np.array([[[s + i, -0.25 * (s + i)] for i in range(n)] for s in range(1, steps + 1)])


def activity(steps, n=CELLS):
    return np.array([[(s + i) % 2 for i in range(n)] for s in range(1, steps + 1)], dtype=np.uint8)


def model_dataset(parent, name, kind, times, values, with_active=True):
    g = dataset_group(parent, name, kind)
    g.create_dataset("Times", data=np.array(times, dtype=np.float64), maxshape=(None,), chunks=(16,))
    g.create_dataset("Values", data=values.astype(np.float32), maxshape=(None,) + values.shape[1:],
                     chunks=(1,) + values.shape[1:])
    mags = np.sqrt((values ** 2).sum(axis=2)) if kind == "VECTOR" else values
    g.create_dataset("Mins", data=mags.min(axis=1).astype(np.float32))
    g.create_dataset("Maxs", data=mags.max(axis=1).astype(np.float32))
    if with_active:
        g.create_dataset("Active", data=activity(len(times)), maxshape=(None, CELLS), chunks=(1, CELLS))
    return g


def write_model_run(path):
    with xmdf_file(path) as f:
        results = generic(f, "results")
        temporal = generic(results, "Temporal")
        maximums = generic(results, "Maximums")
        # Created out of name order: the listing must come out in name order.
        model_dataset(temporal, "Water Level", "SCALAR", [0.0, 0.5, 1.0], scalar_values(3))
        model_dataset(temporal, "Depth", "SCALAR", [0.0, 0.5, 1.0], scalar_values(3))
        model_dataset(temporal, "Vector Velocity", "VECTOR", [0.0, 0.5, 1.0], vector_values(3))
        model_dataset(maximums, "Depth", "SCALAR", [99999.0], scalar_values(1))
        model_dataset(maximums, "Vector Velocity", "VECTOR", [99999.0], vector_values(1))
        plain = f.create_group("plain")  # a group without Grouptype still holds datasets
        model_dataset(plain, "Inner", "SCALAR", [2.0], scalar_values(1))
        model_dataset(f, "zeta", "SCALAR", [3.0], scalar_values(1))


def write_foreign(path):
    with h5py.File(path, "w") as f:
        f.create_dataset("File Version", data=np.float64(2.5))
        for name, kind, values in (("Depth", "DATASET SCALAR", scalar_values(2)),
                                   ("Velocity", "DATASET VECTOR", vector_values(2))):
            g = f.create_group(name)
            g.attrs["Grouptype"] = kind
            g.attrs["TimeUnits"] = "Seconds"
            g.attrs["DatasetUnits"] = "m/s"
            g.create_dataset("Times", data=np.array([0.0, 3600.0]))
            g.create_dataset("Values", data=values.astype(np.float64), chunks=(1,) + values.shape[1:],
                             compression="gzip", compression_opts=6)


def write_no_datasets(path):
    with xmdf_file(path) as f:
        generic(f, "empty")


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    model = os.path.join(out, "model_run.xmdf")
    write_model_run(model)
    write_foreign(os.path.join(out, "foreign_layout.xmdf"))
    write_no_datasets(os.path.join(out, "no_datasets.xmdf"))
    with open(os.path.join(out, "not_hdf5.xmdf"), "w") as f:
        f.write("This is not an HDF5 file.\n")
    with open(model, "rb") as f:
        data = f.read()
    with open(os.path.join(out, "truncated.xmdf"), "wb") as f:
        f.write(data[: len(data) // 2])


if __name__ == "__main__":
    main()
