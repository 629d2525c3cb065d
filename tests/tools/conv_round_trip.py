#!/usr/bin/python3
"""The round trip of -conv, checked without zorvel's own readers.

m01_h.dat, m01_d.dat and m01_V.dat (temporal records and stored maxima) are converted into
m01.xmdf. That file is read with h5py the way an XMDF reader finds its datasets: every group
whose "Grouptype" names a dataset, with its Times, Values and Active; each must hold the
records of its ".dat" input, bit for bit (a vector's scalar companion its magnitudes).
h5dump must read the file too. m01.xmdf is then converted back, and the ".dat" files it gives
must hold the same records (times, flags and values, bit for bit) as the inputs.

Usage: conv_round_trip.py <zorvel> <fixtures folder>
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

import h5py
import numpy as np

import dat_tools

INPUTS = {"m01_h.dat": "conv_m01_h.dat", "m01_d.dat": "conv_m01_d.dat", "m01_V.dat": "conv_m01_V.dat"}
# Where each input's records go: its dataset name, and the ".dat" file the way back gives.
DATASETS = {"m01_h.dat": ("Water Level", "m01_h.dat"), "m01_d.dat": ("Depth", "m01_d.dat"),
            "m01_V.dat": ("Vector Velocity", "m01_v.dat")}


def read_dat(path):
    """The header counts, vector flag and records (time bytes, flag bytes, value bytes) of a
    ".dat" file, read byte by byte."""
    d = dat_tools.read_dat(path)
    assert all(flag == 1 for flag, _, _, _ in d.records), "every record written carries its flags"
    assert d.end_card is not None and d.trailing == 0, "the end card closes the file"
    return d.nodes, d.cells, d.vector, [(time, flags, values) for _, time, flags, values in d.records]


def dataset_groups(f):
    """Every dataset group of the file by path, as an XMDF reader lists them."""
    found = {}

    def visit(name, obj):
        if isinstance(obj, h5py.Group):
            kind = obj.attrs.get("Grouptype")
            if kind is not None and bytes(np.asarray(kind).tobytes()).rstrip(b"\0").startswith(b"DATASET"):
                found[name] = obj
    f.visititems(visit)
    return found


def check_xmdf(path, inputs):
    problems = []
    with h5py.File(path, "r") as f:
        file_type = np.asarray(f["File Type"][()]).tobytes().rstrip(b"\0")
        if file_type != b"Xmdf":
            problems.append(f"File Type is {file_type!r}")
        groups = dataset_groups(f)
        want = set()
        for name, (nodes, cells, vector, records) in inputs.items():
            dataset = DATASETS[name][0]
            by_folder = {"Temporal": [r for r in records if struct.unpack("<f", r[0])[0] != 99999.0],
                         "Maximums": [r for r in records if struct.unpack("<f", r[0])[0] == 99999.0]}
            for folder, recs in by_folder.items():
                if not recs:
                    continue
                names = [dataset] + (["Velocity"] if vector else [])
                for set_name in names:
                    key = f"m01/{folder}/{set_name}"
                    want.add(key)
                    if key not in groups:
                        problems.append(f"no dataset {key}")
                        continue
                    g = groups[key]
                    times = g["Times"][()]
                    values = g["Values"][()]
                    active = g["Active"][()]
                    if times.dtype != np.float64 or values.dtype != np.float32 or active.dtype != np.uint8:
                        problems.append(f"{key}: types {times.dtype} {values.dtype} {active.dtype}")
                    want_times = np.array([struct.unpack("<f", r[0])[0] for r in recs], dtype=np.float64)
                    if times.tobytes() != want_times.tobytes():
                        problems.append(f"{key}: times {times} instead of {want_times}")
                    want_active = np.frombuffer(b"".join(r[1] for r in recs), dtype=np.uint8).reshape(len(recs), cells)
                    if active.tobytes() != want_active.tobytes():
                        problems.append(f"{key}: activity {active.tolist()} instead of {want_active.tolist()}")
                    raw = np.frombuffer(b"".join(r[2] for r in recs), dtype="<f4")
                    if set_name == "Velocity":
                        xy = raw.reshape(len(recs), nodes, 2)
                        magnitude = np.sqrt(xy[:, :, 0] ** 2 + xy[:, :, 1] ** 2)
                        if values.shape != magnitude.shape or not np.allclose(values, magnitude, rtol=1e-6, atol=0):
                            problems.append(f"{key}: magnitudes {values.tolist()}")
                        continue
                    shape = (len(recs), nodes, 2) if vector else (len(recs), nodes)
                    if values.shape != shape or values.tobytes() != raw.tobytes():
                        problems.append(f"{key}: values {values.tolist()} instead of {raw.reshape(shape).tolist()}")
        for extra in sorted(set(groups) - want):
            problems.append(f"unexpected dataset {extra}")
    return problems


def run(zorvel, folder, *words):
    r = subprocess.run([zorvel, "-b", "-conv", *words], cwd=folder, stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if r.returncode != 0 or r.stderr:
        raise SystemExit(f"zorvel -conv {' '.join(words)} ended with status {r.returncode}:\n"
                         + r.stdout.decode(errors="replace")[-2000:] + r.stderr.decode(errors="replace"))


def main():
    zorvel, fixtures = os.path.abspath(sys.argv[1]), sys.argv[2]
    work = tempfile.mkdtemp(prefix="zorvel_conv_round_trip_")
    problems = []
    try:
        there = os.path.join(work, "there")
        back = os.path.join(work, "back")
        os.makedirs(there)
        os.makedirs(back)
        for name, fixture in INPUTS.items():
            shutil.copyfile(os.path.join(fixtures, fixture), os.path.join(there, name))
        inputs = {name: read_dat(os.path.join(there, name)) for name in INPUTS}

        run(zorvel, there, *INPUTS)
        xmdf = os.path.join(there, "m01.xmdf")
        problems += check_xmdf(xmdf, inputs)
        dump = subprocess.run(["h5dump", "-d", "/m01/Temporal/Water Level/Times", xmdf],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if dump.returncode != 0 or b"(0): 1, 2" not in dump.stdout:
            problems.append("h5dump does not read the times of m01/Temporal/Water Level:\n" + dump.stdout.decode())

        shutil.copyfile(xmdf, os.path.join(back, "m01.xmdf"))
        run(zorvel, back, "m01.xmdf")
        made = sorted(n for n in os.listdir(back) if n != "m01.xmdf")
        want = sorted(v[1] for v in DATASETS.values())
        if made != want:
            problems.append(f"the way back wrote {made}, not {want}")
        for name, (_, out) in DATASETS.items():
            if out not in made:
                continue
            nodes, cells, vector, records = read_dat(os.path.join(back, out))
            if (nodes, cells, vector) != inputs[name][:3]:
                problems.append(f"{out}: header {(nodes, cells, vector)} instead of {inputs[name][:3]}")
            if records != inputs[name][3]:
                problems.append(f"{out}: records differ from those of {name}")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for p in problems:
        print(" - " + p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
