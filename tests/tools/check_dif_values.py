#!/usr/bin/python3
"""Checks the expected outputs of the difference's end-to-end cases against values worked out
by hand from the fixture tables of tests/data/gen_dif.py, so that no expected file can hold
what the code under test computed wrongly. ".dat" outputs are decoded byte by byte, ".xmdf"
outputs from their h5dump text.

Usage: check_dif_values.py <tests/e2e folder>

Wet/dry rule: a node is wet where its level lies more than 0.001 above its bed (first input:
9.0 9.5 10.0 9.0 9.5 10.0; second input: 9.5 9.0 10.5 8.0 9.5 10.0); both wet: the
difference; first only: 99; second only: -99; neither: 0. A cell is wet where either input's
cell is wet. Without the test a cell is wet only where both are.
  levels at 1 h: A wet at nodes 1 4 5, B at 2 3 5   -> 99 -99 -99 99 (5: difference) 0
  levels at 2 h: A wet everywhere, B at 1 2 4 6      -> (1 2 4 6: difference), 99 at 3 and 5
  levels at 3 h: both dry everywhere                 -> 0 everywhere
"""
import os
import re
import struct
import sys

import dat_tools

# Depths DA - DB with the wet/dry codes of the levels: 1.5-1.0 at 1 h; 1.5-0.5, 0.75-1.0,
# 0.75-1.0, 1.0-0.5 at 2 h. The ".xmdf" runs hold the same tables.
DEPTH_DIFFERENCES = [
    (1.0, [1, 1, 0], [99, -99, -99, 99, 0.5, 0]),
    (2.0, [1, 1, 1], [1.0, -0.25, 99, -0.25, 99, 0.5]),
    (3.0, [0, 0, 0], [0, 0, 0, 0, 0, 0])]

# Case: (output file, [(time, cell flags, node values), ...]).
CASES = {
    # A - B: 11.0 - 10.5 at node 5 at 1 h; 10.5-10, 10.25-10, 9.75-9, 11-10.5 at 2 h.
    "dif_dat_levels": ("dif_a_h - dif_b_h.dat", [
        (1.0, [1, 1, 0], [99, -99, -99, 99, 0.5, 0]),
        (2.0, [1, 1, 1], [0.5, 0.25, 99, 0.75, 99, 0.5]),
        (3.0, [0, 0, 0], [0, 0, 0, 0, 0, 0])]),
    # dif_c_h lacks 1 h and has 0.5 and 2.5 h: only 2 and 3 h are common (3 h read by a skip).
    "dif_dat_skips": ("dif_a_h - dif_c_h.dat", [
        (2.0, [1, 1, 1], [0.5, 0.25, 99, 0.75, 99, 0.5]),
        (3.0, [0, 0, 0], [0, 0, 0, 0, 0, 0])]),
    "dif_dat_depths": ("dif_a_d - dif_b_d.dat", DEPTH_DIFFERENCES),
    # The companion dif_f_h holds A's levels between half-hourly levels of other times.
    "dif_dat_half_hourly_levels": ("dif_f_d - dif_b_d.dat", DEPTH_DIFFERENCES),
    # dif_g_d gives 2 h twice, after its companion's last levels; its repeat has no partner.
    "dif_dat_repeated_time": ("dif_g_d - dif_b_d.dat", DEPTH_DIFFERENCES[:2]),
    # dif_q and dif_r hold dif_x's and dif_y's tables with their cells stored active as 255.
    "dif_xmdf_active_255": ("dif_q - dif_r.xmdf.h5dump", DEPTH_DIFFERENCES),
    "dif_xmdf_temporal": ("dif_x - dif_y.xmdf.h5dump", DEPTH_DIFFERENCES),
    "dif_mixed": ("dif_x - dif_b_d.xmdf.h5dump", DEPTH_DIFFERENCES),
    "dif_mixed_time": ("dif_x - dif_b_d.xmdf.h5dump", DEPTH_DIFFERENCES[1:2]),
    # Speeds |u| - |w|: 10 - 6 at node 5 at 1 h; 2-1, 1-0.5, 4-3, 6-2 at 2 h.
    "dif_dat_vectors": ("dif_u_V - dif_w_V.dat", [
        (1.0, [1, 1, 0], [99, -99, -99, 99, 4.0, 0]),
        (2.0, [1, 1, 1], [1.0, 0.5, 99, 1.0, 99, 4.0])]),
    # Plain DA - DB at 2 h, cells wet where both are.
    "dif_nowetdry_time": ("dif_a_d - dif_b_d.dat", [
        (2.0, [1, 1, 0], [1.0, -0.25, 1.0, -0.25, 0.5, 0.5])]),
    "dif_xmdf_active_255_nowetdry": ("dif_q - dif_r.xmdf.h5dump", [
        (2.0, [1, 1, 0], [1.0, -0.25, 1.0, -0.25, 0.5, 0.5])]),
    # Finite volume: plain differences of drv_fv_h and drv_fw_h (gen_driver_dat.py).
    "dif_fv": ("drv_fv_h - drv_fw_h.dat", [
        (1.0, [1, 0, 0, 0], [1.0, -0.5, 0.0, -1.0]),
        (2.0, [1, 0, 1, 0], [-0.5, -1.25, 1.0, -0.5])]),
    # drv_a_h - drv_b_h at 2 h without the test (gen_driver_dat.py), into the third name.
    "cli_op_dif": ("c_h.dat", [
        (2.0, [1, 1, 0], [0.0, -1.0, -1.0, -0.25, 0.25, 1.0])]),
    # Stored maxima: depths 1.5-0.5, 0.75-1, 0.75-0.5, 0.75-1; levels A dry at node 6 (10.0),
    # B dry at node 5 (9.5); every cell wet.
    "dif_xmdf_maximums": ("dif_x - dif_y.xmdf.h5dump", [
        (99999.0, [1, 1, 1], [1.0, -0.25, 0.25, -0.25, 99, -99])]),
}


def read_dat(path):
    """The records of a difference's ".dat" output: (time, cell flags or None, node values)."""
    d = dat_tools.read_dat(path)
    records = []
    for _, time, flags, values in d.records:
        records.append((struct.unpack("<f", time)[0],
                        None if flags is None else list(struct.unpack("<%db" % len(flags), flags)),
                        list(struct.unpack("<%df" % (len(values) // 4), values))))
    assert not d.vector, "a difference is written as scalars"
    return records


def dump_block(text, name):
    """The numbers of one dataset's DATA block in an h5dump text, one list per row."""
    m = re.search(r'DATASET "%s" \{.*?DATA \{(.*?)\}' % re.escape(name), text, re.S)
    rows = []
    for line in m.group(1).strip().splitlines():
        rows.append([float(v) for v in line.split(":", 1)[1].replace(",", " ").split()])
    return rows


def read_dump(path):
    text = open(path, encoding="latin-1").read()
    times = [t for row in dump_block(text, "Times") for t in row]
    values = dump_block(text, "Values")
    active = dump_block(text, "Active")
    return [(t, [int(a) for a in active[i]], values[i]) for i, t in enumerate(times)]


def main():
    e2e = sys.argv[1]
    failures = 0
    for case, (output, want) in sorted(CASES.items()):
        path = os.path.join(e2e, case, "expected", output)
        got = read_dump(path) if output.endswith(".h5dump") else read_dat(path)
        if got != [(float(t), f, [float(v) for v in vals]) for t, f, vals in want]:
            print(f"{case}: {output} holds {got}, worked out by hand {want}")
            failures += 1
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
