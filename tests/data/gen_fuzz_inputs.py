#!/usr/bin/python3
"""Odd inputs that every reader must refuse with an "ERROR - " line (or read as they
are), and the seed inputs of the fuzz harnesses in tests/fuzz.

".dat" files, packed byte by byte (layout in gen_driver_dat.py):
  odd_no_record_huge_counts_h.dat  a 96-byte header claiming 50,000,000 nodes and cells, no record
  odd_huge_cells_h.dat             a header claiming 2^31 - 1 cells, then the start of a record
  odd_cut_record_h.dat             3 nodes and 2 cells, the one record cut after its time

".xmdf" files in odd but valid forms, written with h5py:
  odd_ranks.xmdf                 Values of rank 1 and Active of rank 3
  odd_types.xmdf                 Values of 32-bit integers, Times of 32-bit reals, Active of reals
  odd_missing_arrays.xmdf        one dataset without Times, one without Values
  odd_huge_dims.xmdf             Times declared 2^32 + 5 long, Values 2^31 wide, no data stored
  odd_strings_for_numbers.xmdf   Times and Values stored as strings, File Version a string
  odd_root_dataset.xmdf          "Water Level" as a dataset group at the root, beside a plain
                                 HDF5 dataset named like one

Seeds (fuzz_seeds/<harness>/): the inputs above and the ordinary fixtures, in the form each
harness reads (see tests/fuzz/fuzz_<harness>.cpp).
"""
import os
import struct
import sys

import h5py
import numpy as np

from gen_driver_dat import header, record
from xmdf_h5 import dataset_group, fixed, generic, xmdf_file

DATA = os.path.dirname(os.path.abspath(__file__))


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def odd_dat(out):
    files = {}
    files["odd_no_record_huge_counts_h.dat"] = header("huge", 50000000, 50000000, False) + struct.pack("<i", 0)
    files["odd_huge_cells_h.dat"] = header("cells", 3, 2 ** 31 - 1, False) + struct.pack("<ibf", 200, 1, 1.0) + \
        bytes(16)
    files["odd_cut_record_h.dat"] = header("cut", 3, 2, False) + struct.pack("<ibf", 200, 1, 1.0)
    for name, data in files.items():
        write(os.path.join(out, name), data)
    return files


def arrays(g, times, values, active):
    if times is not None:
        g.create_dataset("Times", data=times)
    if values is not None:
        g.create_dataset("Values", data=values)
    if active is not None:
        g.create_dataset("Active", data=active)


def odd_xmdf(out):
    lv = np.array([[10.0, 10.5, 11.0, 10.25, 10.0, 12.0]], dtype=np.float32)
    fl = np.array([[1, 1, 0]], dtype=np.uint8)
    t = np.array([1.0], dtype=np.float64)

    with xmdf_file(os.path.join(out, "odd_ranks.xmdf")) as f:
        temporal = generic(generic(f, "run"), "Temporal")
        arrays(dataset_group(temporal, "Water Level", "SCALAR"), t, lv[0], fl.reshape(1, 1, 3))
        arrays(dataset_group(temporal, "Vector Velocity", "VECTOR"), t, lv, fl)

    with xmdf_file(os.path.join(out, "odd_types.xmdf")) as f:
        temporal = generic(generic(f, "run"), "Temporal")
        arrays(dataset_group(temporal, "Water Level", "SCALAR"), t.astype(np.float32), lv.astype(np.int32),
               fl.astype(np.float32))

    with xmdf_file(os.path.join(out, "odd_missing_arrays.xmdf")) as f:
        run = generic(f, "run")
        arrays(dataset_group(generic(run, "Temporal"), "Water Level", "SCALAR"), None, lv, fl)
        arrays(dataset_group(generic(run, "Maximums"), "Water Level", "SCALAR"), t, None, fl)

    with xmdf_file(os.path.join(out, "odd_huge_dims.xmdf")) as f:
        g = dataset_group(generic(generic(f, "run"), "Temporal"), "Water Level", "SCALAR")
        g.create_dataset("Times", shape=(2 ** 32 + 5,), maxshape=(None,), chunks=(1024,), dtype=np.float64)
        g.create_dataset("Values", shape=(1, 2 ** 31), maxshape=(None, 2 ** 31), chunks=(1, 1024),
                         dtype=np.float32)
        g.create_dataset("Active", data=fl)

    with h5py.File(os.path.join(out, "odd_strings_for_numbers.xmdf"), "w") as f:
        f.create_dataset("File Type", data=fixed("Xmdf"))
        f.create_dataset("File Version", data=fixed("1.9"))
        g = dataset_group(generic(generic(f, "run"), "Temporal"), "Water Level", "SCALAR")
        arrays(g, np.array([b"1.0"]), np.array([[b"10.0"] * 6]), fl)

    with xmdf_file(os.path.join(out, "odd_root_dataset.xmdf")) as f:
        arrays(dataset_group(f, "Water Level", "SCALAR"), t, lv, fl)
        f.create_dataset("Depth", data=lv)


def seeds(out, dat_files):
    base = os.path.join(out, "fuzz_seeds")

    def seed(harness, name, data):
        folder = os.path.join(base, harness)
        os.makedirs(folder, exist_ok=True)
        write(os.path.join(folder, name), data)

    # .dat: a byte choosing the walk (records, maximum, minimum, average, time search), then the file.
    good = header("seed", 3, 2, False) + record(1.0, [1, 0], [1.0, 2.0, 3.0], False) + \
        record(2.0, [1, 1], [2.0, 1.0, 4.0], False) + struct.pack("<i", 210)
    vec = header("seed", 2, 1, True) + record(1.0, [1], [(1.0, 0.0), (0.0, 2.0)], True) + struct.pack("<i", 210)
    stored = header("seed", 2, 1, False) + record(1.0, [1], [1.0, 2.0], False) + \
        record(99999.0, [1], [3.0, 4.0], False)
    for k in range(5):
        seed("dat", "good_%d" % k, bytes([k]) + good)
        seed("dat", "vector_%d" % k, bytes([k]) + vec)
        seed("dat", "stored_max_%d" % k, bytes([k]) + stored)
    for name, data in dat_files.items():
        seed("dat", name, bytes([0]) + data)

    # .2dm: the results' node and cell counts as two bytes, then the mesh: counts that do not
    # fit and the mesh's own counts, and a small mesh of plain numbers in each layout.
    def mesh_counts(text):
        lines = text.split(b"\n")
        nodes = sum(1 for l in lines if l.startswith(b"ND"))
        cells = sum(1 for l in lines if l[:3] in (b"E3T", b"E4Q", b"E9Q"))
        return bytes([nodes % 256, cells % 256])

    for name in sorted(os.listdir(DATA)):
        if name.endswith(".2dm"):
            with open(os.path.join(DATA, name), "rb") as f:
                text = f.read()
            seed("2dm", name, bytes([6, 3]) + text)
            seed("2dm", "counted_" + name, mesh_counts(text) + text)
        if name.endswith(".sup"):
            with open(os.path.join(DATA, name), "rb") as f:
                seed("sup", name, f.read())
    heads = {"fv": b"MESH2D\n", "pre2005": b"MESH2D    512345.0 6123456.0 0.0 1.0 1.0 0.0 0.0\n",
             "current": b"MESH2D    512345.0 6123456.0 0.0 1.0 1.0 0.0 0.0" + b" " * 40 + b"2.5\n"}
    for layout, head in heads.items():
        text = head
        for i in range(1, 10):
            text += b"ND %d %.6f %.6f %.3f" % (i, 512345.0 + i % 3 * 2.5, 6123456.0 + i // 3 * 2.5, 10.0 + i * 0.25)
            text += b" %d 0.000 0.000 0.000\n" % (i % 2) if layout == "current" else b"\n"
        tail = {"fv": b"", "pre2005": b" 0 0", "current": b" 0 0 1"}[layout]
        for e, (a, b, c, d) in enumerate([(1, 2, 5, 4), (2, 3, 6, 5), (4, 5, 8, 7), (5, 6, 9, 8)], 1):
            if e % 2:
                text += b"E4Q %d %d %d %d %d 1%s\n" % (e, a, b, c, d, tail)
            else:
                text += b"E3T %d %d %d %d 1%s%s\n" % (e, a, b, c, tail, b" AB" if layout == "current" else b"")
        seed("2dm", "plain_" + layout + ".2dm", mesh_counts(text) + text)

    # xmdf: a command line number, the file header byte, then per dataset group a path
    # number, an attribute byte and five array forms (see fuzz_xmdf.cpp).
    seed("xmdf", "temporal_level", bytes([0, 0, 0, 0]) + bytes([0, 0, 0, 2, 0, 0, 0, 0, 0, 0]))
    seed("xmdf", "vector", bytes([2, 0, 2, 1]) + bytes([0, 0, 0, 2, 3, 1]))
    seed("xmdf", "times_folder", bytes([4, 0, 3, 0, 0, 0, 0, 0, 0, 0]))

    # The command line: words, one per line.
    lines = {
        "max_two": "-max\ndrv_a_h.dat\ndrv_b_h.dat\n-b",
        "min_vector": "-min\ndrv_u_V.dat\n-b",
        "max_xmdf": "-max\ndrv_x.xmdf\n-typeh\n-b",
        "max_sup": "-max\ndriver.sup\n-b",
        "times": "-times\ndrv_a_h.dat\n-b",
        "conv": "-conv\ndrv_a_h.dat\n-b",
        "dif": "-dif\ndrv_a_h.dat\ndrv_b_h.dat\n-t1\n-b",
        "k": "-k2\ndrv_x.xmdf\n-typeh\n-b",
    }
    odd = ["odd_no_record_huge_counts_h.dat", "odd_huge_cells_h.dat", "odd_cut_record_h.dat"]
    for i, name in enumerate(odd):
        lines["odd_dat_%d" % i] = "-max\n%s\n-b" % name
    for name in ["odd_ranks", "odd_types", "odd_missing_arrays", "odd_huge_dims", "odd_strings_for_numbers",
                 "odd_root_dataset"]:
        lines[name] = "-max\n%s.xmdf\n-typeh\n-b" % name
    for name, text in lines.items():
        seed("cli", name, text.encode())


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    dat_files = odd_dat(out)
    odd_xmdf(out)
    seeds(out, dat_files)


if __name__ == "__main__":
    main()
