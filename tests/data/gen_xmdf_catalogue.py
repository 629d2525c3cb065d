#!/usr/bin/python3
"""XMDF fixtures for the catalogue, search and extraction tests, written with h5py alone.

catalogue_run.xmdf       as a model run writes it (4 nodes, 3 cells):
    scalars  1 results/Maximums/Depth            [99999]
             2 results/Maximums/Water Level      [99999]
             3 results/Minimums/Water Level      [-99999]
             4 results/Temporal/Depth            [0, 1, 2]
             5 results/Temporal/Manning n        [0, 1, 2]
             6 results/Temporal/Manning n2       [0, 1, 2]
             7 results/Temporal/Water Level      [0, 1, 2]
             8 results/Times/Duration Above -0.5m
             9 results/Times/Duration Above 0.1m
            10 results/Times/Time of First Depth > 0.1m
            11 results/Times/Time of Peak V
            12 results/Times/Time of Peak h
            13 results/Times/Unknown Output
    vectors  1 results/Maximums/Vector Velocity  [99999]
             2 results/Temporal/Vector Velocity  [0.5, 1, 2]
catalogue_foreign.xmdf   another writer's habits: "Depth" at the root, "misc/Water Level" and
                         "other/Velocity" (vector) in folders of no known kind; float64
                         Values, no Active, variable-length strings, times in seconds.
catalogue_vectors_only.xmdf  one vector dataset and no scalar one.
catalogue_time_units.xmdf    in other writers' form (a one-element "File Type", datasets at
                         the root, 2 nodes, no cells), one dataset per kind of time units:
                         "a seconds" [0, 90, 5400] Seconds, "b minutes" [30, 90] minutes,
                         "c days" [0.5, 1.25] DAYS, "d hours" [1.5] Hours, "e none" [2.5]
                         without TimeUnits, "f fortnights" [3] Fortnights.
catalogue_first_depth_101.xmdf  101 "Time of First" datasets in results/Times.
catalogue_cutoffs.xmdf   /Times/ names whose cut-offs are hard to read (see CUTOFF_NAMES).
catalogue_peaks_11.xmdf  11 "Time of Peak h" datasets in results/Times.
catalogue_broken_first.xmdf  the first scalar dataset has Values of rank 1; a good vector.
catalogue_wrong_count.xmdf   results/Maximums/Depth of 4 nodes, results/Temporal/Depth of 3.
catalogue_no_times.xmdf      results/Temporal/Depth without its Times array.
catalogue_no_datasets.xmdf   no dataset at all.
catalogue_not_hdf5.xmdf      plain text.
catalogue_truncated.xmdf     the first half of catalogue_run.xmdf.
"""
import os
import sys

import h5py
import numpy as np

from xmdf_h5 import dataset_group, generic, xmdf_file

NODES = 4
CELLS = 3

# Temporal Depth: per step (t = 0, 1, 2) the node values and the cell flags.
DEPTH = [[1, 5, 0, -1], [2, 5, 0, 4], [6, 1, 0, 4]]
DEPTH_ACTIVE = [[0, 1, 0], [1, 1, 0], [0, 1, 0]]
# Temporal Vector Velocity (t = 0.5, 1, 2).
VELOCITY = [
    [[3, 4], [0, 0], [1, 0], [2, 0]],
    [[0, 1], [0, 0], [1, 0], [0, -3]],
    [[6, 8], [0, 0], [0, 1], [1, 1]],
]
VELOCITY_ACTIVE = [[1, 0, 1], [0, 0, 1], [0, 0, 1]]
# /Times/ names in listing order (byte order of the names).
CUTOFF_NAMES = [
    "Duration Above",
    "Duration Above 0.3 Time of First 0.7",
    "TIME OF FIRST depth > .5m",
    "Time of First Depth > -0.05m",
    "Time of First Depth > 1.2.3m",
    "Time of First Depth > m",
]


def dataset(parent, name, kind, times, values, active=None, cells=CELLS):
    """A dataset group as a model run writes it; values [t][n] or [t][n][2]."""
    values = np.array(values, dtype=np.float32)
    g = dataset_group(parent, name, kind)
    g.create_dataset("Times", data=np.array(times, dtype=np.float64), maxshape=(None,))
    g.create_dataset("Values", data=values, maxshape=(None,) + values.shape[1:])
    mags = np.sqrt((values ** 2).sum(axis=2)) if kind == "VECTOR" else values
    g.create_dataset("Mins", data=mags.min(axis=1))
    g.create_dataset("Maxs", data=mags.max(axis=1))
    if active is None:
        active = [[1] * cells for _ in times]
    g.create_dataset("Active", data=np.array(active, dtype=np.uint8), maxshape=(None, cells))
    return g


def steps(n, value):
    return [[value] * NODES for _ in range(n)]


def write_run(path):
    with xmdf_file(path) as f:
        results = generic(f, "results")
        maximums = generic(results, "Maximums")
        minimums = generic(results, "Minimums")
        temporal = generic(results, "Temporal")
        times = generic(results, "Times")
        dataset(maximums, "Depth", "SCALAR", [99999.0], [[6, 5, 0, 4]], [[1, 1, 0]])
        dataset(maximums, "Water Level", "SCALAR", [99999.0], [[10, 11, 12, 13]])
        dataset(maximums, "Vector Velocity", "VECTOR", [99999.0], [[[6, 8], [0, 0], [1, 0], [0, -3]]])
        dataset(minimums, "Water Level", "SCALAR", [-99999.0], [[1, 2, 3, 4]], [[0, 1, 0]])
        dataset(temporal, "Depth", "SCALAR", [0.0, 1.0, 2.0], DEPTH, DEPTH_ACTIVE)
        dataset(temporal, "Manning n", "SCALAR", [0.0, 1.0, 2.0], steps(3, 0.03))
        dataset(temporal, "Manning n2", "SCALAR", [0.0, 1.0, 2.0], steps(3, 0.04))
        dataset(temporal, "Water Level", "SCALAR", [0.0, 1.0, 2.0],
                [[10 + s + i for i in range(NODES)] for s in range(3)])
        dataset(temporal, "Vector Velocity", "VECTOR", [0.5, 1.0, 2.0], VELOCITY, VELOCITY_ACTIVE)
        for name, value in (("Duration Above -0.5m", 7.0), ("Duration Above 0.1m", 3.0),
                            ("Time of First Depth > 0.1m", 0.25), ("Time of Peak V", 1.5),
                            ("Time of Peak h", 2.0), ("Unknown Output", 9.0)):
            dataset(times, name, "SCALAR", [0.0], steps(1, value))


def write_foreign(path):
    with h5py.File(path, "w") as f:
        f.create_dataset("File Version", data=np.float64(2.5))

        def foreign(parent, name, kind, values):
            g = parent.create_group(name)
            g.attrs["Grouptype"] = kind
            g.attrs["TimeUnits"] = "Seconds"
            g.create_dataset("Times", data=np.array([0.0, 3600.0]))
            g.create_dataset("Values", data=np.array(values, dtype=np.float64))

        foreign(f, "Depth", "DATASET SCALAR", [[0.5, 1.5, 2.5, 3.5], [1.0, 2.0, 3.0, 4.0]])
        foreign(f.create_group("misc"), "Water Level", "DATASET SCALAR", steps(2, 7.0))
        foreign(f.create_group("other"), "Velocity", "DATASET VECTOR",
                [[[1, 0]] * NODES, [[0, 2]] * NODES])


def write_vectors_only(path):
    with xmdf_file(path) as f:
        temporal = generic(generic(f, "results"), "Temporal")
        dataset(temporal, "Vector Velocity", "VECTOR", [0.5, 1.0, 2.0], VELOCITY, VELOCITY_ACTIVE)


def write_time_units(path):
    with xmdf_file(path, type_array=True) as f:
        for name, units, times in (("a seconds", "Seconds", [0.0, 90.0, 5400.0]),
                                   ("b minutes", "minutes", [30.0, 90.0]),
                                   ("c days", "DAYS", [0.5, 1.25]),
                                   ("d hours", "Hours", [1.5]),
                                   ("e none", False, [2.5]),
                                   ("f fortnights", "Fortnights", [3.0])):
            g = dataset_group(f, name, "SCALAR", time_units=units)
            g.create_dataset("Times", data=np.array(times, dtype=np.float64))
            g.create_dataset("Values", data=np.array([[1.0, 2.0]] * len(times), dtype=np.float32))


def write_times_many(path, names):
    with xmdf_file(path) as f:
        times = generic(generic(f, "results"), "Times")
        for name in names:
            dataset(times, name, "SCALAR", [0.0], [[1.0]], [[1]], cells=1)


def write_broken_first(path):
    with xmdf_file(path) as f:
        results = generic(f, "results")
        depth = dataset(generic(results, "Maximums"), "Depth", "SCALAR", [99999.0], [[6, 5, 0, 4]])
        del depth["Values"]
        depth.create_dataset("Values", data=np.array([6, 5, 0, 4], dtype=np.float32))
        dataset(generic(results, "Temporal"), "Vector Velocity", "VECTOR", [0.5, 1.0, 2.0], VELOCITY,
                VELOCITY_ACTIVE)


def write_wrong_count(path):
    with xmdf_file(path) as f:
        results = generic(f, "results")
        dataset(generic(results, "Maximums"), "Depth", "SCALAR", [99999.0], [[6, 5, 0, 4]])
        dataset(generic(results, "Temporal"), "Depth", "SCALAR", [0.0, 1.0], [[1, 2, 3], [4, 5, 6]])


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)

    def at(name):
        return os.path.join(out, name)

    write_run(at("catalogue_run.xmdf"))
    write_foreign(at("catalogue_foreign.xmdf"))
    write_vectors_only(at("catalogue_vectors_only.xmdf"))
    write_time_units(at("catalogue_time_units.xmdf"))
    write_times_many(at("catalogue_first_depth_101.xmdf"),
                     ["Time of First Depth > %.2fm" % (0.01 * k) for k in range(1, 102)])
    write_times_many(at("catalogue_cutoffs.xmdf"), CUTOFF_NAMES)
    write_times_many(at("catalogue_peaks_11.xmdf"), ["Time of Peak h %02d" % k for k in range(1, 12)])
    write_broken_first(at("catalogue_broken_first.xmdf"))
    write_wrong_count(at("catalogue_wrong_count.xmdf"))
    with xmdf_file(at("catalogue_no_times.xmdf")) as f:
        depth = dataset(generic(generic(f, "results"), "Temporal"), "Depth", "SCALAR", [0.0, 1.0], DEPTH[:2])
        del depth["Times"]
    with xmdf_file(at("catalogue_no_datasets.xmdf")) as f:
        generic(f, "results")
    with open(at("catalogue_not_hdf5.xmdf"), "w") as f:
        f.write("This is not an HDF5 file.\n")
    with open(at("catalogue_run.xmdf"), "rb") as f:
        data = f.read()
    with open(at("catalogue_truncated.xmdf"), "wb") as f:
        f.write(data[: len(data) // 2])


if __name__ == "__main__":
    main()
