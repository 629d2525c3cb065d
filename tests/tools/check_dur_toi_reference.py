#!/usr/bin/python3
"""-dur and -toi of larger generated inputs against a reference walk written here.

Each case writes its input (".dat" byte by byte with numpy, ".xmdf" with h5py), runs the
real zorvel binary on it (-b, no console input) and compares the output record (time,
activity flags, values) bit for bit with what the walk below gives, and the console lines
of the walk (for ".dat" inputs every line from the first record read to the output
written, in order; for ".xmdf" inputs the progress lines) text for text. The walk follows
the rules of the two operations plainly, step by step and node by node in float32, whatever
the program does to be fast:

  steps      a ".dat" input's records in file order; the first record whose time is a stored
             extreme or its time (|t| > 99998) ends the walk unused; an ".xmdf" input's
             output times. Vectors count by their magnitudes. The first step starts the
             previous values (and the thresholds of -toi), every later step (of dt hours
             after the one before) adds.
  -dur c     a node adds dt where the step begins and ends at or above c, the part of dt
             after a rise through c ((d - c) / (d - e) * dt) or before a fall through it
             ((e - c) / (e - d) * dt), the whole of dt for a rise to or a fall from +inf (no
             interpolation), else nothing. The mean of the progress line is the
             sum of the hours added, in double, taken as four running sums over the nodes by
             their number modulo 4 up to the last whole four, added up as (s0 + s2) +
             (s1 + s3), then the remaining nodes one by one; over the number of nodes.
  -toi c     a node's threshold is its first value plus c (the magnitude of c when c is
             negative); a node not yet reached reaches it in the first step whose value is at
             or above it, at t0 + dt * (1 - (d - e) / (d - p)) when its value before was below
             it and its value now is not +inf, else at t0 (the step's start); the progress
             line gives the fraction of nodes reached in the step.
  cells      every step but the first merges its flags (a ".dat" record without flags: those
             of the last record that carried them) into the result: the larger magnitude.
  output     one record at time 0: the durations (always scalar), or the times (pairs
             (time, 0) for a vector input).

The values hold what makes walks go wrong: crossings both ways in every step, values exactly
at the cut-off, NaN, infinities, equal and falling times, records without flags breaking
runs of records, stored extremes at the end, and node counts that are no multiple of a
vector register, and more nodes than one block of a fold holds.

Usage: check_dur_toi_reference.py ZORVEL
"""
import math
import os
import shutil
import sys
import tempfile
from decimal import ROUND_HALF_UP, Decimal

import h5py
import numpy as np

from check_max_reference import flag_size, magnitude
from dat_tools import read_records, record_faults, report, run_case, write_dat

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data"))
from xmdf_h5 import dataset_group, generic, xmdf_file  # noqa: E402

F = np.float32


# ---------------------------------------------------------------------------------------
# Inputs


class Input:
    def __init__(self, name, vector, nodes, cells, records, xmdf=False):
        self.name, self.vector, self.nodes, self.cells, self.records, self.xmdf = \
            name, vector, nodes, cells, records, xmdf


def flood_scalars(rng, n, k, count):
    """Step k of a flood that rises and falls through 0 to 2 at every node at its own
    phase, on a coarse grid (values exactly at the cut-offs), with NaN, infinities and
    values beyond any cut-off sprinkled in."""
    phase = np.arange(n) % 37 / 37.0
    wave = np.sin(np.pi * (k / max(count - 1, 1) + phase) * 2.0)
    v = (np.round((1.0 + wave) * 8) / 8).astype(F)
    pick = rng.random(n)
    v[pick < 0.01] = np.nan
    v[(pick >= 0.01) & (pick < 0.013)] = np.inf
    v[(pick >= 0.013) & (pick < 0.016)] = -np.inf
    v[(pick >= 0.016) & (pick < 0.03)] = F(-0.0)
    v[(pick >= 0.03) & (pick < 0.04)] = F(1.0e6)
    v[(pick >= 0.04) & (pick < 0.06)] = rng.uniform(-3.0, 3.0, np.count_nonzero((pick >= 0.04) & (pick < 0.06)))
    return v


def flood_vectors(rng, n, k, count, finite=False):
    """Vectors whose magnitudes follow flood_scalars, turning, with tiny and zero vectors
    (magnitude 0), components too large for their magnitude to be a real (3.7e19: the
    magnitude is +inf) and, unless finite, NaN components."""
    speed = np.nan_to_num(np.abs(flood_scalars(rng, n, k, count)), posinf=F(2.5))
    angle = 0.1 * ((np.arange(n) + k) % 63)
    xy = np.stack([speed * np.cos(angle), speed * np.sin(angle)], axis=1).astype(F)
    pick = rng.random(n)
    xy[pick < 0.03] = [3.0, 4.0]
    xy[(pick >= 0.03) & (pick < 0.05)] = [1.0e-7, -1.0e-7]
    xy[(pick >= 0.05) & (pick < 0.07)] = [0.0, 0.0]
    if not finite:
        xy[(pick >= 0.07) & (pick < 0.08), 1] = np.nan
    xy[(pick >= 0.08) & (pick < 0.10)] = [3.7e19, -1.0]
    return xy


def make_records(rng, vector, nodes, cells, times, no_flags=(), finite=False):
    recs = []
    count = len(times)
    for k, t in enumerate(times):
        values = flood_vectors(rng, nodes, k, count, finite) if vector else flood_scalars(rng, nodes, k, count)
        flags = None if k in no_flags else rng.choice(np.array([0, 1, 1, -1, 2], dtype=np.int8), cells)
        recs.append((F(t), flags, values))
    return recs


def write_xmdf(path, inp):
    """An ".xmdf" file with the records as the dataset "run/Temporal/<name>" (flags 0 or 1)."""
    with xmdf_file(path) as f:
        temporal = generic(generic(f, "run"), "Temporal")
        g = dataset_group(temporal, inp.name, "VECTOR" if inp.vector else "SCALAR")
        values = np.array([v for _, _, v in inp.records], dtype=F)
        g.create_dataset("Times", data=np.array([t for t, _, _ in inp.records], dtype=np.float64))
        g.create_dataset("Values", data=values)
        mags = magnitude(values[..., 0], values[..., 1]) if inp.vector else values
        with np.errstate(invalid="ignore"):
            g.create_dataset("Mins", data=np.nanmin(mags, axis=1).astype(F))
            g.create_dataset("Maxs", data=np.nanmax(mags, axis=1).astype(F))
        g.create_dataset("Active", data=np.array([np.abs(fl) % 2 for _, fl, _ in inp.records], dtype=np.uint8))


def build_inputs(rng):
    ins = {}
    n, c = 4099, 3001
    times = [0.25 * k for k in range(1, 31)]
    # Runs of records broken by records without flags; stored extremes and their times at the end.
    ins["a_d.dat"] = Input("Depth", False, n, c,
                           make_records(rng, False, n, c, times + [99999.0, 99999.1, -99999.0, -99999.1],
                                        no_flags=(5, 6, 17)))
    # The last record is a step; the first carries no flags; four nodes past the last multiple of 8.
    ins["b_d.dat"] = Input("Depth", False, 4102, 4102, make_records(rng, False, 4102, 4102, times[:20],
                                                                    no_flags=(0, 12)))
    # More nodes than one block of a fold; a stored minimum ends the walk before the last records.
    ins["c_d.dat"] = Input("Depth", False, 70001, 50000,
                           make_records(rng, False, 70001, 50000, times[:12] + [-99999.0] + times[12:14]))
    # Equal and falling times: steps of no length and of negative length.
    odd_times = [1.0, 2.0, 2.0, 3.0, 2.5, 4.0, 4.0, 4.0, 6.0, 5.0, 7.0, 8.0]
    ins["d_d.dat"] = Input("Depth", False, n, c, make_records(rng, False, n, c, odd_times))
    # Vectors, more nodes than a block of pairs holds, a stored maximum at the end.
    ins["a_V.dat"] = Input("Velocity", True, 40003, 3001,
                           make_records(rng, True, 40003, 3001, times[:14] + [99999.0], no_flags=(3,)))
    ins["b_V.dat"] = Input("Velocity", True, n, c, make_records(rng, True, n, c, times[:11]))
    # Finite components only, some too large for their magnitude to be a real: no NaN may come out.
    ins["c_V.dat"] = Input("Velocity", True, n, c, make_records(rng, True, n, c, times[:11], finite=True))
    ins["a.xmdf"] = Input("Depth", False, n, c, make_records(rng, False, n, c, times[:10]), xmdf=True)
    ins["v.xmdf"] = Input("Vector Velocity", True, n, c, make_records(rng, True, n, c, times[:9]), xmdf=True)
    return ins


# ---------------------------------------------------------------------------------------
# Reference walk


def fixed(x, d):
    """A real as the console writes it: d decimals, halfway away from zero."""
    x = float(x)
    if math.isnan(x):
        return "NaN"
    if math.isinf(x):
        return "-Infinity" if x < 0 else "Infinity"
    if x == 0.0:
        x = 0.0
    return format(Decimal(x).quantize(Decimal(1).scaleb(-d), rounding=ROUND_HALF_UP), "f")


def field(x, width, d):
    s = fixed(x, d)
    return "*" * width if len(s) > width else s.rjust(width)


def merge(result, flags):
    return np.maximum(flag_size(result), flag_size(flags)).astype(np.int8)


def hours_added(d, e, c, dt):
    add = np.zeros(len(d), F)
    with np.errstate(all="ignore"):
        full = (c <= d) & (c <= e)
        rise = (c <= d) & (e < c)
        fall = (d < c) & (c <= e)
        add[full] = dt
        add[rise] = np.where(d == np.inf, dt, (d - c) / (d - e) * dt)[rise]
        add[fall] = np.where(e == np.inf, dt, (e - c) / (e - d) * dt)[fall]
    return add


def mean_hours(add, n):
    whole = n // 4 * 4
    lanes = [float(np.cumsum(add[k:whole:4].astype(np.float64))[-1]) if whole > k else 0.0 for k in range(4)]
    total = (lanes[0] + lanes[2]) + (lanes[1] + lanes[3])
    for a in add[whole:]:
        total += float(a)
    return F(total / n)


def reference(inp, op, cut):
    """The walk: its console lines and the output record (time, flags, values)."""
    n, c = inp.nodes, inp.cells
    cut = F(cut)
    lines = []
    result_cells = np.zeros(c, np.int8)
    step_flags = np.zeros(c, np.int8)
    duration = np.zeros(n, F)
    toi = np.zeros(n, F)
    reached = np.zeros(n, bool)
    prev = threshold = t_prev = None
    for k, (t, own, values) in enumerate(inp.records):
        if not inp.xmdf:
            lines += ["   Call ReadDatFile.", "Reading data for time " + fixed(t, 3), "Done.", "   Done."]
            if k == len(inp.records) - 1:
                lines += ["", "End of .dat file."]
        if own is not None:
            step_flags = np.abs(own) % 2 if inp.xmdf else own
        v = magnitude(values[:, 0], values[:, 1]) if inp.vector else values
        stored = not inp.xmdf and abs(t) > F(99998.0)
        if prev is None:
            prev, t_prev = v.copy(), t
            with np.errstate(over="ignore"):
                threshold = np.full(n, -cut, F) if cut < 0 else (v + cut).astype(F)
            if stored:
                break
            continue
        if stored:
            break
        dt = F(t - t_prev)
        if op == "-dur":
            add = hours_added(v, prev, cut, dt)
            duration = (duration + add).astype(F)
            prev = v.copy()
            lines.append("...Duration Increment =" + field(dt, 5, 2) + "   Average duration of all nodes =" +
                         field(mean_hours(add, n), 5, 2) + "h")
        else:
            with np.errstate(all="ignore"):
                hit = ~reached & (v >= threshold)
                cross = (t_prev + dt * (F(1.0) - (v - threshold) / (v - prev))).astype(F)
            toi[hit] = np.where((prev < threshold) & (v < np.inf), cross, t_prev)[hit]
            prev = np.where(reached, prev, v).astype(F)
            reached |= hit
            lines.append("...Duration Increment =" + field(dt, 5, 2) + "   % of cells where toi exceeded = " +
                         field(F(np.count_nonzero(hit) / n), 5, 2))
        result_cells = merge(result_cells, step_flags)
        t_prev = t
    if op == "-dur":
        values = duration
    else:
        values = np.stack([toi, np.zeros(n, F)], axis=1) if inp.vector else toi
    return lines, (F(0.0), result_cells, values)


# ---------------------------------------------------------------------------------------
# Output


def read_xmdf(path, vector):
    """The one step of the ".xmdf" output: (time, flags, values)."""
    with h5py.File(path, "r") as f:
        found = []
        f.visititems(lambda name, obj: found.append(name) if name.endswith("/Values") else None)
        g = f[found[0].rsplit("/", 1)[0]]
        values = np.asarray(g["Values"][0], F)
        return F(g["Times"][0]), np.asarray(g["Active"][0]).astype(np.int8), values


def walk_lines(stdout, xmdf):
    """The console lines of the walk: for a ".dat" input from the first record read to the
    output written, for an ".xmdf" input its progress lines."""
    lines = stdout.decode().split("\n")
    if xmdf:
        return [s for s in lines if s.startswith("...Duration Increment")]
    first = lines.index("   Call ReadDatFile.")
    last = next(i for i, s in enumerate(lines) if s.startswith("Writing output data to: "))
    return lines[first:last - 1]


# ---------------------------------------------------------------------------------------
# Cases


CASES = [
    # (operation, cut-off text, input, extra words)
    ("-dur", "0.5", "a_d.dat", []),
    ("-dur", "1", "a_d.dat", []),
    ("-toi", "0.3", "a_d.dat", []),
    ("-toi", "-1.2", "a_d.dat", []),
    ("-dur", "1.25", "b_d.dat", []),
    ("-toi", "0", "b_d.dat", []),
    ("-dur", "0.75", "c_d.dat", []),
    ("-toi", "-0.5", "c_d.dat", []),
    ("-dur", "0.5", "d_d.dat", []),
    ("-toi", "0.25", "d_d.dat", []),
    ("-dur", "1.5", "a_V.dat", []),
    ("-toi", "-1", "a_V.dat", []),
    ("-dur", "0.5", "b_V.dat", []),
    ("-toi", "0.5", "b_V.dat", []),
    ("-dur", "0.5", "c_V.dat", []),
    ("-toi", "0.5", "c_V.dat", []),
    ("-dur", "0.5", "a.xmdf", ["-typed"]),
    ("-toi", "-1.5", "a.xmdf", ["-typed"]),
    ("-dur", "1", "v.xmdf", ["-typev"]),
    ("-toi", "0.5", "v.xmdf", ["-typev"]),
]


def output_name(op, cut, name):
    stem, ext = os.path.splitext(name)
    return "%s(%s)%s" % (stem, op[1:] + cut if op == "-dur" else "toi", ext)


def main():
    zorvel = os.path.abspath(sys.argv[1])
    rng = np.random.default_rng(13)
    ins = build_inputs(rng)
    run_dir = tempfile.mkdtemp(prefix="zorvel_dur_toi_reference_")
    faults = []
    try:
        for name, inp in ins.items():
            if inp.xmdf:
                write_xmdf(os.path.join(run_dir, name), inp)
            else:
                write_dat(os.path.join(run_dir, name), inp.name, inp.vector, inp.nodes, inp.cells, inp.records)
        for op, cut, name, extra in CASES:
            case = " ".join([op + cut, name] + extra)
            out = os.path.join(run_dir, output_name(op, cut, name))
            r = run_case(zorvel, run_dir, [op + cut, name] + extra, out, case, faults)
            if r is None:
                continue
            inp = ins[name]
            want_lines, want = reference(inp, op, float(cut))
            got_lines = walk_lines(r.stdout, inp.xmdf)
            if got_lines != want_lines:
                bad = next((i for i, (g, w) in enumerate(zip(got_lines, want_lines)) if g != w),
                           min(len(got_lines), len(want_lines)))
                faults.append("%s: console line %d of the walk %r, expected %r (%d lines, expected %d)"
                              % (case, bad + 1, got_lines[bad] if bad < len(got_lines) else None,
                                 want_lines[bad] if bad < len(want_lines) else None, len(got_lines), len(want_lines)))
            if inp.xmdf:
                got = read_xmdf(out, inp.vector)
            else:
                records = read_records(out)
                got = records[0] if len(records) == 1 else (None, [], [])
            faults += record_faults(case + ":", got, want)
            if name == "c_V.dat" and np.isnan(np.asarray(got[2], F)).any():
                faults.append("%s: NaN in the output of finite inputs" % case)
            os.remove(out)
    finally:
        shutil.rmtree(run_dir, ignore_errors=True)
    return report(faults, len(CASES))


if __name__ == "__main__":
    sys.exit(main())
