#!/usr/bin/python3
"""Reads a ".dat" file byte by byte and compares it with an expectation written by a fixture
generator, as a reader of the format that is not zorvel would take it.

    check_dat.py <file.dat> <expectation.json>

The expectation (JSON): "nodes" and "cells" (the header's counts), "vector" (its kind) and
"records": [[time, [flag per cell], values], ...], every record in order (a value is a
number, or [x, y] for a vector). Times, flags and values compare bit for bit as 32-bit
numbers; the file must end with its end card. Exit status 0 when everything matches.
"""
import json
import sys

import numpy as np

from dat_tools import F, read_dat, read_records, record_faults


def main():
    path, expectation = sys.argv[1], sys.argv[2]
    want = json.load(open(expectation))
    d = read_dat(path)
    faults = []
    for field in ("nodes", "cells", "vector"):
        if getattr(d, field) != want[field]:
            faults.append(f"header {field} {getattr(d, field)}, expected {want[field]}")
    if not faults:
        got = read_records(path)
        if len(got) != len(want["records"]):
            faults.append(f"{len(got)} records, expected {len(want['records'])}")
        for k, (g, (t, flags, values)) in enumerate(zip(got, want["records"]), 1):
            faults += record_faults(f"record {k}", g, (F(t), flags, np.asarray(values, F)))
    for fault in faults:
        print(f"{path}: {fault}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
