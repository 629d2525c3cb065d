#!/usr/bin/python3
"""Fixtures of the EnSight export's end-to-end cases: meshes, ".xmdf" (h5py) and ".dat"
(byte-packed) results, and for each set the expectation that tests/tools/check_ensight.py
compares VTK's reading with: points shifted to the smallest x and y, cells in EnSight's
block order (tria3, quad4, quad8, each in element order), every variable's values at its
times, worked out here from the rules of the format rather than from zorvel's code.

ens_run.2dm / .xmdf / .expect.json   6 nodes, 2 triangles, a 4-node quadrilateral; transient
                                     and static scalars, a /Times/ dataset, vectors in a
                                     second time set
ens_qgis.2dm / .xmdf / .expect.json  the same with every active cell stored as 255, as other
                                     writers store it
ens_hires.2dm / .xmdf / .expect.json triangles, a 4-node and a 9-node quadrilateral: every
                                     variable per element
ens_fv.2dm, ens_fv_h.dat, ens_fv.expect.json   finite-volume mesh and results (per element)
ens_dat.2dm, ens_dat_h.dat, ens_dat_d.dat, ens_dat.expect.json
                                     ".dat" inputs with temporal records, stored extremes, a
                                     time of peak and a record of an unexpected time
ens_cut_d.dat                        ens_dat_d.dat cut inside its second record: the export
                                     ends in an error after its first variable file
ens_digit.expect.json                ens_dat_h.dat named 100yr_h.dat: descriptions that would
                                     begin with a digit
ens_blank.expect.json                ens_dat_h.dat named "my run_h.dat" beside "my run.2dm": the
                                     set's files named with "_" for the blank
ens_many.xmdf, ens_many.expect.json  one dataset of 40 output times on the ens_run mesh, its
                                     times stored in seconds (read in hours)
ens_long.2dm, ens_long_h.dat         10,000 temporal records: more than the files can number
"""
import json
import os
import struct
import sys

import numpy as np

from gen_driver_dat import header as dat_header, record as dat_record, write as write_dat
from gen_driver_xmdf import dataset, model_file
from xmdf_h5 import fixed, generic

TRIANGLE, QUAD, QUADRATIC_QUAD = 5, 9, 23  # VTK cell types


class Mesh:
    """A mesh as its ".2dm" lines give it: nodes (x, y, z) and elements (kind, node numbers in
    line order)."""

    def __init__(self, nodes, elements, fv=False):
        self.nodes, self.elements, self.fv = nodes, elements, fv

    def write(self, path):
        lines = ["MESH2D" if self.fv else
                 "MESH2D    500000.000000 6000000.000000 0.000000 1.000000 1.000000 0.000000 0.000000 0.000000"]
        for i, (x, y, z) in enumerate(self.nodes, 1):
            lines.append(f"ND {i} {x} {y} {z}" + ("" if self.fv else " 0 0.0 0.0 0.0"))
        for e, (kind, nodes) in enumerate(self.elements, 1):
            key = {3: "E3T", 4: "E4Q", 9: "E9Q"}[kind]
            tail = " 1" if self.fv else (" 1 0 0 1 WX" if kind == 3 else " 1 0 0 1")
            lines.append(f"{key} {e} " + " ".join(map(str, nodes)) + tail)
        with open(path, "w") as f:
            f.write("\n".join(lines) + "\n")

    @staticmethod
    def stored(kind, nodes):
        """The node numbers as the mesh reader keeps them: a triangle and a 4-node quadrilateral
        turned round, a 9-node quadrilateral's corners, then mid-sides, then centre."""
        if kind == 3:
            return [nodes[0], nodes[2], nodes[1]]
        if kind == 4:
            return [nodes[0], nodes[3], nodes[2], nodes[1]]
        return [nodes[0], nodes[2], nodes[4], nodes[6], nodes[1], nodes[3], nodes[5], nodes[7], nodes[8]]

    def blocks(self):
        """Element numbers (from 0) in EnSight's block order."""
        return [e for kind in (3, 4, 9) for e, (k, _) in enumerate(self.elements) if k == kind]

    def geometry(self):
        xmin = min(x for x, _, _ in self.nodes)
        ymin = min(y for _, y, _ in self.nodes)
        points = [[x - xmin, y - ymin, z] for x, y, z in self.nodes]
        cells = []
        for e in self.blocks():
            kind, nodes = self.elements[e]
            s = self.stored(kind, nodes)
            vtk_type, used = {3: (TRIANGLE, 3), 4: (QUAD, 4), 9: (QUADRATIC_QUAD, 8)}[kind]
            cells.append([vtk_type, [n - 1 for n in s[:used]]])
        return {"points": points, "cells": cells}

    def per_node(self, values, flags):
        """Per-node values: a node counts when it is a corner of a wet element (any flag but 0)."""
        wet = set()
        for (kind, nodes), flag in zip(self.elements, flags):
            if flag != 0:
                wet.update(self.stored(kind, nodes)[:3 if kind == 3 else 4])
        return [v if n in wet else zero_like(v) for n, v in enumerate(values, 1)]

    def per_element(self, values, flags):
        """High-resolution per-element values: the mean of a triangle's or 4-node quadrilateral's
        corners, a 9-node quadrilateral's centre; dry elements 0."""
        out = []
        for e in self.blocks():
            kind, nodes = self.elements[e]
            s = self.stored(kind, nodes)
            if flags[e] == 0:
                out.append(zero_like(values[0]))
            elif kind == 9:
                out.append(values[s[8] - 1])
            else:
                corners = [values[n - 1] for n in s[:kind]]
                out.append(mean(corners))
        return out

    def fv_elements(self, values, flags):
        """Finite-volume per-element values: each element's own, dry elements 0."""
        return [values[e] if flags[e] != 0 else zero_like(values[e]) for e in self.blocks()]


def zero_like(v):
    return [0.0, 0.0, 0.0] if isinstance(v, (list, tuple)) else 0.0


def mean(values):
    if isinstance(values[0], (list, tuple)):
        return [sum(v[0] for v in values) / len(values), sum(v[1] for v in values) / len(values), 0.0]
    return sum(values) / len(values)


def vec(values):
    return [[x, y, 0.0] for x, y in values]


def write_expectation(path, mesh, variables, binary):
    data = dict(mesh.geometry())
    data["variables"] = variables
    data["binary"] = binary
    with open(path, "w") as f:
        json.dump(data, f, indent=1)


RUN_MESH = Mesh([(12.5, 20.25, 9.0), (13.5, 20.0, 9.5), (14.5, 20.0, 10.0),
                 (12.5, 21.0, 9.0), (13.5, 21.0, 9.5), (14.5, 21.0, 10.25)],
                [(3, [1, 2, 4]), (3, [2, 5, 4]), (4, [2, 3, 6, 5])])

RUN_TIMES = [-1.0, 0.5, 24.0, 50.5]
RUN_DEPTH = [[0.5, 0.25, 0.0, 1.0, 0.75, 2.0], [1.5, 1.25, 0.5, 2.0, 1.75, 2.5],
             [2.5, 2.25, 1.5, 3.0, 2.75, 3.5], [0.125, 0.0625, 0.0, 0.25, 0.5, 1.0]]
RUN_DEPTH_FLAGS = [[1, 0, 0], [1, 1, 0], [1, 1, 1], [0, 1, 0]]
RUN_LEVEL = [[9.5, 9.75, 10.0, 10.0, 10.25, 12.25], [10.5, 10.75, 10.5, 11.0, 11.25, 12.75],
             [11.5, 11.75, 11.5, 12.0, 12.25, 13.75], [9.125, 9.5625, 10.0, 9.25, 10.0, 11.25]]
RUN_MAX_DEPTH = [2.5, 2.25, 1.5, 3.0, 2.75, 3.5]
RUN_FIRST = [0.5, 0.5, 24.0, 0.5, 0.5, 24.0]
RUN_VEL_TIMES = [0.5, 1.0]
RUN_VEL = [[(1.0, 0.0), (0.0, 2.0), (0.5, -0.5), (-3.0, 4.0), (0.5, 0.5), (0.25, 0.0)],
           [(0.0, 1.5), (1.0, 1.0), (0.0, 0.0), (3.0, 0.0), (0.0, -0.25), (1.5, 2.5)]]
RUN_VEL_FLAGS = [[1, 1, 0], [1, 0, 1]]
RUN_MAX_VEL = [(1.0, 1.5), (1.0, 2.0), (0.5, -0.5), (3.0, 4.0), (0.5, 0.5), (1.5, 2.5)]


def write_run(out, stem="ens_run", active=1):
    """The run's mesh, results and expectation under the name stem, an active cell stored as active."""
    RUN_MESH.write(os.path.join(out, stem + ".2dm"))
    f, run = model_file(os.path.join(out, stem + ".xmdf"), stem)

    def stored(flags):
        return [[active * a for a in row] for row in flags]

    with f:
        temporal, maximums, times = generic(run, "Temporal"), generic(run, "Maximums"), generic(run, "Times")
        dataset(temporal, "Depth", "SCALAR", RUN_TIMES, RUN_DEPTH, stored(RUN_DEPTH_FLAGS))
        dataset(temporal, "Water Level", "SCALAR", RUN_TIMES, RUN_LEVEL, stored(RUN_DEPTH_FLAGS))
        dataset(maximums, "Depth", "SCALAR", [99999.0], [RUN_MAX_DEPTH], stored([[1, 1, 1]]))
        dataset(times, "Time of First Depth > 0.1m", "SCALAR", [0.0], [RUN_FIRST], stored([[1, 1, 0]]))
        dataset(temporal, "Vector Velocity", "VECTOR", RUN_VEL_TIMES, RUN_VEL, stored(RUN_VEL_FLAGS))
        dataset(maximums, "Vector Velocity", "VECTOR", [99999.0], [RUN_MAX_VEL], stored([[1, 1, 1]]))
    m = RUN_MESH
    variables = {
        "Max_Depth": {"at": "point", "steps": [[t, m.per_node(RUN_MAX_DEPTH, [1, 1, 1])] for t in RUN_TIMES]},
        "Depth": {"at": "point", "steps": [[t, m.per_node(v, fl)]
                                           for t, v, fl in zip(RUN_TIMES, RUN_DEPTH, RUN_DEPTH_FLAGS)]},
        "Water_Level": {"at": "point", "steps": [[t, m.per_node(v, fl)]
                                                 for t, v, fl in zip(RUN_TIMES, RUN_LEVEL, RUN_DEPTH_FLAGS)]},
        "Time_of_First_Depth_>_0.1m": {"at": "point", "steps": [[0.5, m.per_node(RUN_FIRST, [1, 1, 0])]]},
        "Max_Vector_Velocity": {"at": "point", "steps": [[0.5, m.per_node(vec(RUN_MAX_VEL), [1, 1, 1])]]},
        "Vector_Velocity": {"at": "point", "steps": [[t, m.per_node(vec(v), fl)]
                                                     for t, v, fl in zip(RUN_VEL_TIMES, RUN_VEL, RUN_VEL_FLAGS)]},
    }
    write_expectation(os.path.join(out, stem + ".expect.json"), m, variables, stem + ".2dm_binary.geo")


# Nodes of the high-resolution mesh: a 9-node quadrilateral (1 to 9) from (0, 0) to (2, 2), a
# 4-node quadrilateral to its right, two triangles on top.
HIRES_MESH = Mesh([(0.0, 0.0, 1.0), (1.0, 0.0, 1.5), (2.0, 0.0, 2.0), (2.0, 1.0, 2.5), (2.0, 2.0, 3.0),
                   (1.0, 2.0, 3.5), (0.0, 2.0, 4.0), (0.0, 1.0, 4.5), (1.0, 1.0, 5.0), (3.0, 0.0, 5.5),
                   (3.0, 2.0, 6.0), (1.5, 3.0, 6.5)],
                  [(9, [1, 2, 3, 4, 5, 6, 7, 8, 9]), (4, [3, 10, 11, 5]), (3, [7, 5, 12]), (3, [5, 11, 12])])
HIRES_TIMES = [1.0, 2.0]
HIRES_DEPTH = [[0.5, 1.0, 1.5, 2.0, 2.5, 3.0, 3.5, 4.0, 4.5, 5.0, 5.5, 6.0],
               [1.25, 0.25, 0.75, 2.0, 3.5, 1.0, 0.5, 0.125, 9.0, 4.0, 2.5, 0.25]]
HIRES_FLAGS = [[1, 1, 1, 0], [1, 0, 1, 1]]
HIRES_VEL = [[(0.5 * k, -0.25 * k) for k in range(12)], [(1.0, 0.5 * k) for k in range(12)]]


def write_hires(out):
    HIRES_MESH.write(os.path.join(out, "ens_hires.2dm"))
    f, run = model_file(os.path.join(out, "ens_hires.xmdf"), "ens_hires")
    with f:
        temporal = generic(run, "Temporal")
        dataset(temporal, "Depth", "SCALAR", HIRES_TIMES, HIRES_DEPTH, HIRES_FLAGS)
        dataset(temporal, "Vector Velocity", "VECTOR", HIRES_TIMES, HIRES_VEL, HIRES_FLAGS)
    m = HIRES_MESH
    variables = {
        "Depth": {"at": "cell", "steps": [[t, m.per_element(v, fl)]
                                          for t, v, fl in zip(HIRES_TIMES, HIRES_DEPTH, HIRES_FLAGS)]},
        "Vector_Velocity": {"at": "cell", "steps": [[t, m.per_element(vec(v), fl)]
                                                    for t, v, fl in zip(HIRES_TIMES, HIRES_VEL, HIRES_FLAGS)]},
    }
    write_expectation(os.path.join(out, "ens_hires.expect.json"), m, variables, "ens_hires.2dm_binary.geo")


FV_MESH = Mesh([(0.0, 0.0, 10.0), (1.0, 0.0, 11.0), (1.0, 1.0, 12.0), (0.0, 1.0, 13.0), (2.0, 0.5, 14.0),
                (2.0, 1.5, 15.0), (0.0, 2.0, 16.0)],
               [(4, [1, 2, 3, 4]), (3, [2, 5, 3]), (3, [3, 5, 6]), (4, [4, 3, 6, 7])], fv=True)
FV_RECORDS = [(1.0, [1, 1, 0, 1], [5.0, 6.0, 7.0, 8.0]), (2.0, [1, 0, 1, 1], [5.5, 6.25, 7.5, 8.125]),
              (99999.0, [1, 1, 1, 1], [5.5, 6.25, 7.5, 8.125])]


def write_fv(out):
    FV_MESH.write(os.path.join(out, "ens_fv.2dm"))
    write_dat(out, "ens_fv_h.dat", "Water Level", 4, 4, FV_RECORDS)
    m = FV_MESH
    temporal = [r for r in FV_RECORDS if r[0] < 99998]
    variables = {
        "ens_fv_h_Water_Level": {"at": "cell", "steps": [[t, m.fv_elements(v, fl)] for t, fl, v in temporal]},
        "Max_ens_fv_h_Water_Level": {"at": "cell", "steps": [[1.0, m.fv_elements(FV_RECORDS[2][2],
                                                                                  FV_RECORDS[2][1])]]},
    }
    write_expectation(os.path.join(out, "ens_fv.expect.json"), m, variables, "ens_fv.2dm_binary.geo")


DAT_H = [(0.0, [1, 0, 0], [9.5, 9.75, 10.0, 10.0, 10.25, 12.25]),
         (1.0, [1, 1, 0], [10.5, 10.75, 10.5, 11.0, 11.25, 12.75]),
         (100000.1, [1, 1, 1], [0.5] * 6),  # a time of first depth: no file for it
         (2.0, [1, 1, 1], [11.5, 11.75, 11.5, 12.0, 12.25, 13.75]),
         (99999.0, [1, 1, 1], [11.5, 11.75, 11.5, 12.0, 12.25, 13.75]),
         (900001.0, [1, 1, 1], [2.0, 2.0, 2.0, 2.0, 2.0, 2.0]),
         (-99999.0, [1, 0, 0], [9.5, 9.75, 10.0, 10.0, 10.25, 12.25])]
DAT_D = [(0.5, [1, 1, 1], [0.5, 0.25, 0.0, 1.0, 0.75, 2.0]),
         (1.5, [0, 1, 1], [1.5, 1.25, 0.5, 2.0, 1.75, 2.5]),
         (99999.0, [1, 1, 1], [1.5, 1.25, 0.5, 2.0, 1.75, 2.5])]


def dat_h_variables(stem, word):
    """The variables of <stem>_h.dat (DAT_H) as the case file describes them: word is the
    description of its temporal records."""
    m = RUN_MESH

    def node_steps(records):
        return [[t, m.per_node(v, fl)] for t, fl, v in records]

    return {
        word: {"at": "point", "steps": node_steps([r for r in DAT_H if abs(r[0]) < 99998])},
        f"Max_{stem}_h_Water_Level": {"at": "point", "steps": node_steps([(0.0,) + DAT_H[4][1:]])},
        word + "_2": {"at": "point", "steps": node_steps([(0.0,) + DAT_H[5][1:]])},
        f"Min_{stem}_h_Water_Level": {"at": "point", "steps": node_steps([(0.0,) + DAT_H[6][1:]])},
    }


def write_dat_set(out):
    RUN_MESH.write(os.path.join(out, "ens_dat.2dm"))
    write_dat(out, "ens_dat_h.dat", "Water Level", 6, 3, DAT_H)
    write_dat(out, "ens_dat_d.dat", "Depth", 6, 3, DAT_D)
    cut = dat_header("Depth", 6, 3, False) + dat_record(*DAT_D[0], False) + dat_record(*DAT_D[1], False)
    with open(os.path.join(out, "ens_cut_d.dat"), "wb") as f:
        f.write(cut[:-10])
    m = RUN_MESH
    variables = dat_h_variables("run", "run_h_Water_Level")
    variables["run_d_Depth"] = {"at": "point", "steps": [[t, m.per_node(v, fl)] for t, fl, v in DAT_D[:2]]}
    variables["Max_run_d_Depth"] = {"at": "point", "steps": [[0.0, m.per_node(DAT_D[2][2], DAT_D[2][1])]]}
    write_expectation(os.path.join(out, "ens_dat.expect.json"), m, variables, "run.2dm_binary.geo")
    # The same input named 100yr_h.dat: a description that begins with a digit gets "_" ahead.
    write_expectation(os.path.join(out, "ens_digit.expect.json"), m,
                      dat_h_variables("100yr", "_100yr_h_Water_Level"), "100yr.2dm_binary.geo")
    write_expectation(os.path.join(out, "ens_blank.expect.json"), m,
                      dat_h_variables("my_run", "my_run_h_Water_Level"), "my_run.2dm_binary.geo")


MANY_TIMES = [0.25 * k for k in range(1, 41)]


def write_many(out):
    values = [[0.125 * k + 0.5 * j for j in range(6)] for k in range(40)]
    flags = [[1, k % 2, 1 if k % 3 else 0] for k in range(40)]
    f, run = model_file(os.path.join(out, "ens_many.xmdf"), "ens_many")
    with f:
        temporal = generic(run, "Temporal")
        dataset(temporal, "Depth", "SCALAR", [3600.0 * t for t in MANY_TIMES], values, flags)
        temporal["Depth"].attrs["TimeUnits"] = fixed("Seconds")
    m = RUN_MESH
    variables = {"Depth": {"at": "point", "steps": [[t, m.per_node(v, fl)]
                                                    for t, v, fl in zip(MANY_TIMES, values, flags)]}}
    write_expectation(os.path.join(out, "ens_many.expect.json"), m, variables, "ens_many.2dm_binary.geo")


def write_long(out):
    Mesh([(0.0, 0.0, 1.0), (1.0, 0.0, 1.0), (0.0, 1.0, 1.0)], [(3, [1, 2, 3])]).write(
        os.path.join(out, "ens_long.2dm"))
    parts = [dat_header("Water Level", 3, 1, False)]
    parts += [dat_record(0.01 * k, [1], [1.0, 2.0, 3.0], False) for k in range(10000)]
    parts.append(struct.pack("<i", 210))
    with open(os.path.join(out, "ens_long_h.dat"), "wb") as f:
        f.write(b"".join(parts))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_run(out)
    write_run(out, "ens_qgis", 255)
    write_hires(out)
    write_fv(out)
    write_dat_set(out)
    write_many(out)
    write_long(out)


if __name__ == "__main__":
    main()
