#!/usr/bin/python3
"""-max and -min of larger generated ".dat" files against a reference fold written here.

Each case writes its inputs (byte by byte, with numpy), runs the real zorvel binary on them
(-b, no console input) and compares every record of the ".dat" output, time, activity flags
and values, bit for bit with what the fold below gives. The fold follows the rules of the
maximum and minimum plainly, record by record and input by input, whatever the program
does to be fast:

  per input   every record folded in file order: a node takes a value strictly greater
              (less) than its own, with the record's time; vectors compare magnitudes and
              start from the first record folded; cells keep the larger (smaller) flag
              magnitude; a record without flags stands for the flags of the last record
              that carried them. A stored time-of-extreme record (+-99999.1) ends the input;
              a stored extreme (+-99999) as the last record replaces the input's result
              outright (its flags as they are), unless -ignore_mm, which skips it anywhere.
  merge       input after input into the running extreme, strictly, keeping the input's
              number; water levels on a mesh whose cells are not its nodes count only at
              the corners of cells wet (any flag but 0) in the input; an unset node of a
              vector maximum takes the first input's vector.
  output      the extreme (111111, -111111), the source numbers (222222) and, for a single input,
              the time of each node's extreme (333333); vector outputs keep pairs.

The values hold what makes folds go wrong: ties within and across inputs, NaN, infinities,
signed zeros, tiny vectors, values beyond the starting +-99999, flags of -1 and 2, and node
and cell counts that are no multiple of a vector register.

Usage: check_max_reference.py ZORVEL
"""
import os
import shutil
import sys
import tempfile

import numpy as np

from dat_tools import read_records, record_faults, report, run_case, write_dat

F = np.float32
UNSET = {True: F(-99999.0), False: F(99999.0)}

GRID_COLS = 61
GRID_ROWS = 67
GRID_NODES = GRID_COLS * GRID_ROWS                 # 4087
GRID_CELLS = (GRID_COLS - 1) * (GRID_ROWS - 1)     # 3960


# ---------------------------------------------------------------------------------------
# Inputs


def grid_elements():
    """The elements of the grid mesh as 1-based node numbers: a quadrilateral in even
    cells, a triangle of three of its corners in odd ones."""
    elems = []
    for r in range(GRID_ROWS - 1):
        for c in range(GRID_COLS - 1):
            a = r * GRID_COLS + c + 1
            quad = [a, a + 1, a + GRID_COLS + 1, a + GRID_COLS]
            elems.append(quad if len(elems) % 2 == 0 else quad[:3])
    return elems


def write_mesh(path):
    lines = ["MESH2D"]
    for j in range(GRID_NODES):
        lines.append("ND %d %.1f %.1f %.3f" % (j + 1, j % GRID_COLS, j // GRID_COLS, 0.01 * (j % 17)))
    for e, nodes in enumerate(grid_elements()):
        kind = "E4Q" if len(nodes) == 4 else "E3T"
        lines.append("%s %d %s 1" % (kind, e + 1, " ".join(str(n) for n in nodes)))
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def awkward_scalars(rng, n, scale):
    """Values on a coarse grid (many ties) with NaN, infinities, signed zeros and values
    beyond the starting +-99999 sprinkled in."""
    v = (np.round(rng.uniform(-scale, scale, n) * 4) / 4).astype(F)
    pick = rng.random(n)
    v[pick < 0.01] = np.nan
    v[(pick >= 0.01) & (pick < 0.015)] = np.inf
    v[(pick >= 0.015) & (pick < 0.02)] = -np.inf
    v[(pick >= 0.02) & (pick < 0.03)] = F(-0.0)
    v[(pick >= 0.03) & (pick < 0.04)] = F(0.0)
    v[(pick >= 0.04) & (pick < 0.045)] = F(-99999.0)
    v[(pick >= 0.045) & (pick < 0.05)] = F(99999.0)
    v[(pick >= 0.05) & (pick < 0.055)] = F(-1.0e6)
    v[(pick >= 0.055) & (pick < 0.06)] = F(1.0e6)
    return v


def awkward_vectors(rng, n, scale):
    """Pairs on a coarse grid (ties of magnitude such as (3, 4) and (-5, 0)), tiny vectors
    (magnitude 0), zero vectors and NaN."""
    xy = (np.round(rng.uniform(-scale, scale, (n, 2)))).astype(F)
    pick = rng.random(n)
    xy[pick < 0.05] = [3.0, 4.0]
    xy[(pick >= 0.05) & (pick < 0.1)] = [-5.0, 0.0]
    xy[(pick >= 0.1) & (pick < 0.12)] = [1.0e-7, -1.0e-7]
    xy[(pick >= 0.12) & (pick < 0.14)] = [0.0, 0.0]
    xy[(pick >= 0.14) & (pick < 0.15), 0] = np.nan
    xy[(pick >= 0.15) & (pick < 0.155)] = [1.0e6, 0.0]
    return xy


def awkward_flags(rng, c):
    return rng.choice(np.array([0, 1, 1, 1, -1, 2], dtype=np.int8), c)


def make_records(rng, vector, nodes, cells, times, no_flags=(), scale=5.0):
    recs = []
    for k, t in enumerate(times):
        values = awkward_vectors(rng, nodes, scale) if vector else awkward_scalars(rng, nodes, scale)
        flags = None if k in no_flags else awkward_flags(rng, cells)
        recs.append((F(t), flags, values))
    return recs


# ---------------------------------------------------------------------------------------
# Reference fold


def flag_size(f):
    """A flag's magnitude as a merge compares it: |flag| as an unsigned byte."""
    u = np.asarray(f, dtype=np.int8).view(np.uint8)
    return np.minimum(u, (np.uint8(0) - u).astype(np.uint8))


def magnitude(x, y):
    x = np.asarray(x, dtype=F)
    y = np.asarray(y, dtype=F)
    with np.errstate(invalid="ignore", over="ignore"):
        big = (np.abs(x) > F(1.0e-6)) | (np.abs(y) > F(1.0e-6))
        return np.where(big, np.sqrt(x * x + y * y), F(0.0)).astype(F)


def better(a, b, is_max):
    with np.errstate(invalid="ignore"):
        return a > b if is_max else a < b


class Input:
    def __init__(self, name, vector, nodes, cells, records, is_h=False):
        self.name, self.vector, self.nodes, self.cells, self.records, self.is_h = \
            name, vector, nodes, cells, records, is_h


def reduce_input(inp, is_max, ignore_mm, tm):
    """One input's extreme over its records: values (x, y), cells, and the time record
    (tm: values and cells, kept from input to input as the program keeps them)."""
    n, c = inp.nodes, inp.cells
    start = F(0.0) if (is_max and inp.vector) else UNSET[is_max]
    x = np.full(n, start, F)
    y = np.full(n, start, F)
    speed = magnitude(x, y)
    cells = np.full(c, 0 if is_max else 1, np.int8)
    stop_code = F(99999.1) if is_max else F(-99999.1)
    stored_code = F(99999.0) if is_max else F(-99999.0)
    last_flags = None
    folded = False
    cells_folded = False
    kept = None

    def fold(t, flags, values):
        nonlocal folded, cells_folded, x, y, speed, cells
        if inp.vector:
            vx, vy = values[:, 0], values[:, 1]
            s = magnitude(vx, vy)
            if not folded:
                x, y, speed = vx.copy(), vy.copy(), s
                tm["values"][:] = t
            else:
                w = better(s, speed, is_max)
                x = np.where(w, vx, x)
                y = np.where(w, vy, y)
                speed = np.where(w, s, speed)
                tm["values"][w] = t
        else:
            w = better(values, x, is_max)
            x = np.where(w, values, x)
            tm["values"][w] = t
        folded = True
        if flags is not None:
            a, b = flag_size(flags), flag_size(cells)
            cells = (np.maximum(a, b) if is_max else np.minimum(a, b)).astype(np.int8)
            cells_folded = True

    stored_last = False
    for k, (t, own_flags, values) in enumerate(inp.records):
        if own_flags is not None:
            last_flags = own_flags
        flags = last_flags
        last = k == len(inp.records) - 1
        stop = abs(F(t - stop_code)) <= F(0.01)
        stored = abs(F(t - stored_code)) < F(0.01)
        ignore = ignore_mm and abs(F(t - stored_code)) < F(0.001)
        if stop:
            break
        if last and stored:
            stored_last = True
            kept = (t, flags, values)
            break
        if not ignore:
            fold(t, flags, values)
    if cells_folded:
        tm["cells"] = cells.copy()
    if stored_last and not ignore_mm:
        t, flags, values = kept
        if inp.vector:
            x, y = values[:, 0].copy(), values[:, 1].copy()
        else:
            x = values.copy()
        tm["values"][:] = t
        if flags is not None:
            cells = np.asarray(flags, np.int8).copy()
            tm["cells"] = cells.copy()
    return x, y, cells


def reference(inputs, is_max, ignore_mm, mesh_elements, fv):
    """The records of the output: [(time, flags, values)], values [n] or [n, 2]."""
    first = inputs[0]
    n, c, vector = first.nodes, first.cells, first.vector
    unset = UNSET[is_max]
    wx = np.full(n, unset, F)
    wy = np.full(n, unset, F)
    src = np.zeros(n, np.int32)
    wcells = np.full(c, 0 if is_max else 1, np.int8)
    tm = {"values": np.full(n, unset, F), "cells": np.zeros(c, np.int8)}
    for i, inp in enumerate(inputs, start=1):
        ax, ay, acells = reduce_input(inp, is_max, ignore_mm, tm)
        if is_max and vector:
            unset_nodes = src == 0
            wx = np.where(unset_nodes, ax, wx)
            wy = np.where(unset_nodes, ay, wy)
            src[unset_nodes] = i
        a, b = flag_size(acells), flag_size(wcells)
        wcells = (np.maximum(a, b) if is_max else np.minimum(a, b)).astype(np.int8)
        if vector:
            w = better(magnitude(ax, ay), magnitude(wx, wy), is_max)
            wx = np.where(w, ax, wx)
            wy = np.where(w, ay, wy)
        else:
            w = better(ax, wx, is_max)
            if inp.is_h and not fv:
                wet = np.zeros(n, bool)
                for e, nodes in enumerate(mesh_elements):
                    if acells[e] != 0:
                        wet[np.array(nodes) - 1] = True
                w &= wet
            wx = np.where(w, ax, wx)
        src[w] = i
    if is_max and vector:
        wx = np.where(src == 0, unset, wx)
        wy = np.where(src == 0, unset, wy)

    def values(first_component):
        return np.stack([first_component, wy], axis=1) if vector else first_component

    # The extreme's time as the program writes it: -111111 for a minimum, also to a ".dat" file.
    out = [(F(111111.0 if is_max else -111111.0), wcells, values(wx)), (F(222222.0), wcells, values(src.astype(F)))]
    if len(inputs) == 1:
        tmv = np.stack([tm["values"], np.full(n, unset, F)], axis=1) if vector else tm["values"]
        out.append((F(333333.0), tm["cells"], tmv))
    return out


# ---------------------------------------------------------------------------------------
# Output


def compare(case, got, want):
    if len(got) != len(want):
        return ["%s: %d records, expected %d" % (case, len(got), len(want))]
    faults = []
    for k, (g, w) in enumerate(zip(got, want)):
        faults += record_faults("%s: record %d" % (case, k + 1), g, w)
    return faults


# ---------------------------------------------------------------------------------------
# Cases


def build_inputs(rng):
    n, c = 4099, 3001  # not a multiple of a vector register; as many cells as nodes would be finite-volume
    times = [0.5 * k for k in range(1, 11)]
    ins = {}
    ins["a_d.dat"] = Input("Depth", False, n, c, make_records(rng, False, n, c, times))
    ins["b_d.dat"] = Input("Depth", False, n, c, make_records(rng, False, n, c, times[:7], no_flags=(2, 3)))
    ins["c_d.dat"] = Input("Depth", False, n, c, make_records(rng, False, n, c, [1.0, 2.0, 3.0, 99999.0]))
    ins["e_d.dat"] = Input("Depth", False, n, c,
                           make_records(rng, False, n, c, [1.0, 99999.0, 99999.1, 4.0], no_flags=(1,)))
    ins["m_d.dat"] = Input("Depth", False, n, c, make_records(rng, False, n, c, [1.0, 2.0, -99999.0, -99999.1]))
    ins["s_d.dat"] = Input("Depth", False, n, c, make_records(rng, False, n, c, [1.0, 2.0, -99999.0]))
    # a stored maximum without flags of its own: the flags of the record before it stand in
    ins["f_d.dat"] = Input("Depth", False, n, c, make_records(rng, False, n, c, [1.0, 2.0, 99999.0], no_flags=(2,)))
    ins["a_V.dat"] = Input("Velocity", True, n, c, make_records(rng, True, n, c, times))
    ins["b_V.dat"] = Input("Velocity", True, n, c, make_records(rng, True, n, c, times[:5] + [99999.0]))
    ins["a_h.dat"] = Input("Water Level", False, GRID_NODES, GRID_CELLS,
                           make_records(rng, False, GRID_NODES, GRID_CELLS, times), is_h=True)
    ins["b_h.dat"] = Input("Water Level", False, GRID_NODES, GRID_CELLS,
                           make_records(rng, False, GRID_NODES, GRID_CELLS, times[:4] + [99999.0]), is_h=True)
    # Long files: runs of ordinary records broken by a stored extreme that is not the last
    # record, a record without flags and a stored time of the extreme.
    long_times = [0.25 * k for k in range(1, 22)]
    long_times[8] = 99999.0
    ins["g_d.dat"] = Input("Depth", False, n, c, make_records(rng, False, n, c, long_times, no_flags=(13,)))
    vector_times = [0.25 * k for k in range(1, 20)]
    vector_times[9] = 99999.0
    vector_times[16] = 99999.1
    ins["g_V.dat"] = Input("Velocity", True, n, c, make_records(rng, True, n, c, vector_times, no_flags=(3,)))
    min_times = [0.25 * k for k in range(1, 13)]
    min_times[4] = -99999.0
    ins["h_d.dat"] = Input("Depth", False, n, c, make_records(rng, False, n, c, min_times))
    ins["fv_h.dat"] = Input("Water Level", False, n, n, make_records(rng, False, n, n, times[:6]), is_h=True)
    ins["fw_h.dat"] = Input("Water Level", False, n, n, make_records(rng, False, n, n, times[:3]), is_h=True)
    return ins


CASES = [
    # (flag, inputs, extra words)
    ("-max", ["a_d.dat", "b_d.dat"], []),
    ("-min", ["a_d.dat", "b_d.dat"], []),
    ("-max", ["a_d.dat"], []),
    ("-min", ["b_d.dat"], []),
    ("-max", ["c_d.dat"], []),
    ("-max", ["c_d.dat"], ["-ignore_mm"]),
    ("-max", ["e_d.dat"], []),
    ("-max", ["e_d.dat"], ["-ignore_mm"]),
    ("-max", ["f_d.dat"], []),
    ("-min", ["m_d.dat"], []),
    ("-min", ["m_d.dat"], ["-ignore_mm"]),
    ("-min", ["s_d.dat"], []),
    ("-max", ["a_d.dat", "c_d.dat", "e_d.dat"], []),
    ("-max", ["c_d.dat", "a_d.dat", "f_d.dat"], ["-ignore_mm"]),
    ("-min", ["s_d.dat", "b_d.dat", "m_d.dat"], []),
    ("-max", ["a_V.dat", "b_V.dat"], []),
    ("-min", ["a_V.dat", "b_V.dat"], []),
    ("-max", ["a_V.dat"], []),
    ("-min", ["b_V.dat"], []),
    ("-max", ["b_V.dat"], ["-ignore_mm"]),
    ("-max", ["g_d.dat"], []),
    ("-max", ["g_d.dat"], ["-ignore_mm"]),
    ("-min", ["g_d.dat"], []),
    ("-max", ["a_d.dat", "g_d.dat"], []),
    ("-max", ["g_V.dat"], []),
    ("-max", ["g_V.dat"], ["-ignore_mm"]),
    ("-min", ["g_V.dat"], []),
    ("-max", ["b_V.dat", "g_V.dat"], []),
    ("-min", ["h_d.dat"], []),
    ("-min", ["h_d.dat"], ["-ignore_mm"]),
    ("-max", ["a_h.dat", "b_h.dat"], []),
    ("-min", ["a_h.dat", "b_h.dat"], []),
    ("-max", ["b_h.dat"], []),
    ("-max", ["a_h.dat"], ["-ignore_mm"]),
    ("-max", ["fv_h.dat", "fw_h.dat"], []),
    ("-min", ["fv_h.dat"], []),
]


def output_name(flag, first):
    stem = first[:-4]
    return stem + ("(maxmax).dat" if flag == "-max" else "(minmin).dat")


def main():
    zorvel = os.path.abspath(sys.argv[1])
    rng = np.random.default_rng(20)
    ins = build_inputs(rng)
    run_dir = tempfile.mkdtemp(prefix="zorvel_max_reference_")
    faults = []
    try:
        for name, inp in ins.items():
            write_dat(os.path.join(run_dir, name), inp.name, inp.vector, inp.nodes, inp.cells, inp.records)
        write_mesh(os.path.join(run_dir, "a.2dm"))
        shutil.copy(os.path.join(run_dir, "a.2dm"), os.path.join(run_dir, "b.2dm"))
        elements = grid_elements()
        for flag, names, extra in CASES:
            case = " ".join([flag] + extra + names)
            out = os.path.join(run_dir, output_name(flag, names[0]))
            if run_case(zorvel, run_dir, [flag] + extra + names, out, case, faults) is None:
                continue
            inputs = [ins[n] for n in names]
            fv = inputs[0].nodes == inputs[0].cells
            want = reference(inputs, flag == "-max", "-ignore_mm" in extra, elements, fv)
            faults += compare(case, read_records(out), want)
            os.remove(out)
    finally:
        shutil.rmtree(run_dir, ignore_errors=True)
    return report(faults, len(CASES))


if __name__ == "__main__":
    sys.exit(main())
