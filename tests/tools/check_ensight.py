#!/usr/bin/python3
"""Reads an EnSight Gold set through VTK's reader, as ParaView opens it, and compares what
the reader sees with an expectation written by a fixture generator.

    check_ensight.py <case file> <expectation.json>

The expectation (JSON):
  points     [[x, y, z], ...]: the reader's points, in order
  cells      [[vtk cell type, [point ids from 0]], ...]: the reader's cells, in order
  variables  {description: {"at": "point" | "cell", "steps": [[time, values], ...]}}:
             every variable the reader lists, and its values at each of the times (a value
             is a number, or [x, y, z] for a vector)
  binary     optional: the name of the binary geometry file, read through a case file of
             its own (written beside the set and removed again) and compared with points
             and cells

Every message of VTK counts as a failure. Values compare within 5e-5 relative (the files
hold five significant digits). Exit status 0 when everything matches.
"""
import json
import os
import sys

from vtkmodules.vtkCommonCore import vtkOutputWindow, vtkStringOutputWindow
from vtkmodules.vtkIOEnSight import vtkGenericEnSightReader
from vtkmodules.util.numpy_support import vtk_to_numpy

problems = []


def close(a, b):
    return abs(a - b) <= 5e-5 * max(abs(a), abs(b)) + 1e-6


def read(case, time=None):
    r = vtkGenericEnSightReader()
    r.SetCaseFileName(case)
    r.ReadAllVariablesOn()
    r.UpdateInformation()
    if time is not None:
        r.SetTimeValue(time)
    r.Update()
    out = r.GetOutput()
    if out is None or out.GetNumberOfBlocks() != 1:
        problems.append(f"{case}: expected one part")
        return r, None
    return r, out.GetBlock(0)


def compare_geometry(block, want, what):
    got_points = vtk_to_numpy(block.GetPoints().GetData()).tolist() if block.GetPoints() else []
    if len(got_points) != len(want["points"]):
        problems.append(f"{what}: {len(got_points)} points, expected {len(want['points'])}")
    else:
        for k, (g, w) in enumerate(zip(got_points, want["points"])):
            if not all(close(a, b) for a, b in zip(g, w)):
                problems.append(f"{what}: point {k} is {g}, expected {w}")
    cells = []
    for c in range(block.GetNumberOfCells()):
        cell = block.GetCell(c)
        cells.append([cell.GetCellType(), [cell.GetPointId(i) for i in range(cell.GetNumberOfPoints())]])
    if cells != want["cells"]:
        problems.append(f"{what}: cells {cells}, expected {want['cells']}")


def names(block):
    out = {}
    for at, data in (("point", block.GetPointData()), ("cell", block.GetCellData())):
        for i in range(data.GetNumberOfArrays()):
            out[data.GetArrayName(i)] = (at, data.GetArray(i))
    return out


def flat(values):
    return [float(x) for v in values for x in (v if isinstance(v, list) else [v])]


def main():
    case, expectation = sys.argv[1], sys.argv[2]
    want = json.load(open(expectation))
    log = vtkStringOutputWindow()
    vtkOutputWindow.SetInstance(log)

    reader, block = read(case)
    if block is not None:
        compare_geometry(block, want, case)
        listed = {reader.GetPointArrayName(i) for i in range(reader.GetNumberOfPointArrays())}
        listed |= {reader.GetCellArrayName(i) for i in range(reader.GetNumberOfCellArrays())}
        if listed != set(want["variables"]):
            problems.append(f"variables {sorted(listed)}, expected {sorted(want['variables'])}")

    for name, v in want["variables"].items():
        for time, values in v["steps"]:
            _, b = read(case, time)
            if b is None:
                continue
            arrays = names(b)
            if name not in arrays:
                problems.append(f"{name} missing at time {time}")
                continue
            at, array = arrays[name]
            if at != v["at"]:
                problems.append(f"{name} is per {at}, expected per {v['at']}")
            got = vtk_to_numpy(array).ravel().tolist()
            expected = flat(values)
            if len(got) != len(expected) or not all(close(a, b) for a, b in zip(got, expected)):
                problems.append(f"{name} at time {time}: {got}, expected {expected}")

    if "binary" in want:
        folder = os.path.dirname(case)
        binary_case = os.path.join(folder, "check_binary_geometry.case")
        with open(binary_case, "w") as f:
            f.write(f"FORMAT\ntype: ensight gold\nGEOMETRY\nmodel: {want['binary']}\n")
        _, b = read(binary_case)
        os.remove(binary_case)
        if b is not None:
            compare_geometry(b, want, want["binary"])

    messages = log.GetOutput()
    if messages:
        problems.append("VTK reported:\n" + messages)
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
