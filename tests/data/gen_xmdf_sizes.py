#!/usr/bin/python3
"""XMDF files whose declared sizes are or are not backed by the data they store, written
with h5py alone. HDF5 lets an array declare dimensions with nothing stored behind them
(chunks never written read as fill values), and compression makes real data small.

sizes_unbacked_nodes.xmdf   run/Temporal/Water Level: Values declared 1 x 2^31 - 1, chunked,
                            no chunk written (Times and Active real: 1 step, 3 cells)
sizes_unbacked_times.xmdf   run/Temporal/Water Level: Times declared 2^31 - 1 long, chunked,
                            no chunk written (Values 1 x 6 and Active 1 x 3 real)
sizes_accepted.xmdf         real data that compresses far, and a dataset with no step yet,
                            which must be read:
  run/Temporal/Water Level  float32 Values 1 x 5,000,000 all 12.5, chunks of 2^20 values,
                            deflate 9 (about 980 to 1, near deflate's limit of 1032);
                            Times 1.0; Active 1 x 3 all 1
  run/Temporal/Vector Velocity  float64 Values 1 x 1,100,000 x 2 all (0.5, -0.25), shuffle
                            and deflate 9, chunks of 2^18 nodes; no Active
  run/Temporal/Depth        float32 Values 1 x 5,000,000 all 2.0, scale-offset (a filter with
                            no known bound on its ratio), every chunk written
  run/Temporal/Zero steps   Times and Values declared with 0 steps of 1,000,000 values, as a
                            run still writing may leave them
sizes_refused.xmdf          arrays that declare more than they store, one dataset each:
  one chunk/Values          1 x 2^31 - 1, deflated constant chunks of 2^20, one written
  scale-offset/Values       1 x 2^31 - 1, scale-offset chunks of 2^20, one written
  huge chunk/Values         1 x 6 in chunks of 2^28 values (1 GiB), nothing written
  cells/Active              1 x 2^31 - 1 flags, nothing written (Values 1 x 6 real)
  steps not written/Values  4 x 2^18 (4 MiB) in chunks of one step, only step 1 written
  no step/Values            0 x 2^31 - 1: no timestep yet, but one would take 8 GiB
sizes_wide_numbers.xmdf     arrays of numbers wider than 64 bits, one dataset each (the other
                            arrays real: 1 step, 6 nodes, 3 cells):
  wide values/Values        16-byte reals
  wide times/Times          a 16-byte real
  wide flags/Active         16-byte integers
sizes_wide_version.xmdf     "File Version" a 16-byte real
sizes_linked_twice.xmdf     "top" and 63 folder levels below it, each linked twice ("a" and
                            "b") from the one above, a dataset group at the bottom: 2^63
                            ways to one dataset
sizes_long_paths.xmdf       a folder named with 100,000 "x" holding a dataset group, and 200
                            dataset groups at the root: their path slots together (200 x
                            100,000 bytes) hold more than the whole file
"""
import os
import sys

import h5py
import numpy as np

from xmdf_h5 import dataset_group, generic, xmdf_file

BIG = 2 ** 31 - 1


def temporal(f):
    return generic(generic(f, "run"), "Temporal")


def small_arrays(g, times=True, values=True, active=True):
    if times:
        g.create_dataset("Times", data=np.array([1.0]), maxshape=(None,))
    if values:
        g.create_dataset("Values", data=np.arange(6, dtype=np.float32).reshape(1, 6), maxshape=(None, 6))
    if active:
        g.create_dataset("Active", data=np.ones((1, 3), np.uint8), maxshape=(None, 3))


def write_unbacked(out):
    with xmdf_file(os.path.join(out, "sizes_unbacked_nodes.xmdf")) as f:
        g = dataset_group(temporal(f), "Water Level", "SCALAR")
        small_arrays(g, values=False)
        g.create_dataset("Values", shape=(1, BIG), maxshape=(None, BIG), chunks=(1, 1024), dtype=np.float32)
    with xmdf_file(os.path.join(out, "sizes_unbacked_times.xmdf")) as f:
        g = dataset_group(temporal(f), "Water Level", "SCALAR")
        small_arrays(g, times=False)
        g.create_dataset("Times", shape=(BIG,), maxshape=(None,), chunks=(1024,), dtype=np.float64)


def write_accepted(out):
    with xmdf_file(os.path.join(out, "sizes_accepted.xmdf")) as f:
        t = temporal(f)
        g = dataset_group(t, "Water Level", "SCALAR")
        g.create_dataset("Times", data=np.array([1.0]), maxshape=(None,))
        g.create_dataset("Values", data=np.full((1, 5000000), 12.5, np.float32), maxshape=(None, 5000000),
                         chunks=(1, 2 ** 20), compression="gzip", compression_opts=9)
        g.create_dataset("Active", data=np.ones((1, 3), np.uint8), maxshape=(None, 3))

        g = dataset_group(t, "Vector Velocity", "VECTOR")
        g.create_dataset("Times", data=np.array([1.0]), maxshape=(None,))
        vectors = np.empty((1, 1100000, 2), np.float64)
        vectors[..., 0] = 0.5
        vectors[..., 1] = -0.25
        g.create_dataset("Values", data=vectors, maxshape=(None, 1100000, 2), chunks=(1, 2 ** 18, 2),
                         shuffle=True, compression="gzip", compression_opts=9)

        g = dataset_group(t, "Depth", "SCALAR")
        g.create_dataset("Times", data=np.array([1.0]), maxshape=(None,))
        g.create_dataset("Values", data=np.full((1, 5000000), 2.0, np.float32), maxshape=(None, 5000000),
                         chunks=(1, 2 ** 20), scaleoffset=2)
        g.create_dataset("Active", data=np.ones((1, 3), np.uint8), maxshape=(None, 3))

        g = dataset_group(t, "Zero steps", "SCALAR")
        g.create_dataset("Times", shape=(0,), maxshape=(None,), dtype=np.float64)
        g.create_dataset("Values", shape=(0, 1000000), maxshape=(None, 1000000), chunks=(1, 2 ** 16),
                         dtype=np.float32)


def write_refused(out):
    with xmdf_file(os.path.join(out, "sizes_refused.xmdf")) as f:
        g = dataset_group(f, "one chunk", "SCALAR")
        small_arrays(g, values=False)
        v = g.create_dataset("Values", shape=(1, BIG), maxshape=(None, BIG), chunks=(1, 2 ** 20),
                             dtype=np.float32, compression="gzip", compression_opts=9)
        v[0, :2 ** 20] = np.full(2 ** 20, 1.0, np.float32)

        g = dataset_group(f, "scale-offset", "SCALAR")
        small_arrays(g, values=False)
        v = g.create_dataset("Values", shape=(1, BIG), maxshape=(None, BIG), chunks=(1, 2 ** 20),
                             dtype=np.float32, scaleoffset=2)
        v[0, :2 ** 20] = np.full(2 ** 20, 1.0, np.float32)

        g = dataset_group(f, "huge chunk", "SCALAR")
        small_arrays(g, values=False)
        g.create_dataset("Values", shape=(1, 6), maxshape=(None, None), chunks=(1, 2 ** 28), dtype=np.float32)

        g = dataset_group(f, "cells", "SCALAR")
        small_arrays(g, active=False)
        g.create_dataset("Active", shape=(1, BIG), maxshape=(None, BIG), chunks=(1, 4096), dtype=np.uint8)

        g = dataset_group(f, "steps not written", "SCALAR")
        small_arrays(g, values=False)
        v = g.create_dataset("Values", shape=(4, 2 ** 18), maxshape=(None, 2 ** 18), chunks=(1, 2 ** 18),
                             dtype=np.float32)
        v[0] = np.arange(2 ** 18, dtype=np.float32)

        g = dataset_group(f, "no step", "SCALAR")
        small_arrays(g, values=False)
        g.create_dataset("Values", shape=(0, BIG), maxshape=(None, BIG), chunks=(1, 1024), dtype=np.float32)


def write_wide(out):
    with xmdf_file(os.path.join(out, "sizes_wide_numbers.xmdf")) as f:
        g = dataset_group(f, "wide values", "SCALAR")
        small_arrays(g, values=False)
        g.create_dataset("Values", data=np.arange(6, dtype=np.longdouble).reshape(1, 6), maxshape=(None, 6))
        g = dataset_group(f, "wide times", "SCALAR")
        small_arrays(g, times=False)
        g.create_dataset("Times", data=np.array([1.0], dtype=np.longdouble), maxshape=(None,))
        g = dataset_group(f, "wide flags", "SCALAR")
        small_arrays(g, active=False)
        wide = h5py.h5t.STD_U8LE.copy()
        wide.set_size(16)
        space = h5py.h5s.create_simple((1, 3))
        flags = h5py.h5d.create(g.id, b"Active", wide, space)
        flags.write(h5py.h5s.ALL, h5py.h5s.ALL, np.ones((1, 3), np.uint8), mtype=h5py.h5t.NATIVE_UINT8)
    with xmdf_file(os.path.join(out, "sizes_wide_version.xmdf"), version=False) as f:
        f.create_dataset("File Version", data=np.array([1.9], dtype=np.longdouble))
        small_arrays(dataset_group(temporal(f), "Water Level", "SCALAR"))


def write_listings(out):
    with xmdf_file(os.path.join(out, "sizes_linked_twice.xmdf")) as f:
        level = f.create_group("top")
        for _ in range(63):
            lower = level.create_group("a")
            level["b"] = lower
            level = lower
        small_arrays(dataset_group(level, "Water Level", "SCALAR"))
    with xmdf_file(os.path.join(out, "sizes_long_paths.xmdf")) as f:
        small_arrays(dataset_group(f.create_group("x" * 100000), "Water Level", "SCALAR"))
        for k in range(200):
            dataset_group(f, "d%03d" % k, "SCALAR")


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_unbacked(out)
    write_accepted(out)
    write_refused(out)
    write_wide(out)
    write_listings(out)


if __name__ == "__main__":
    main()
