#!/usr/bin/python3
"""Checks the dynamic symbol tables of the zorvel executable and libzorvel_utils.so.

Usage: check_exports.py <binary>...

Each binary must define the 90 exported routines and the message block DMESSAGES, and no
other symbol of its own. Besides them the table may hold only what the toolchain puts
there: symbols bound to a version of a system library (copies of the run-time's data),
the linker's own markers and, in a sanitizer build, the sanitizer run-time's data.
"""
import subprocess
import sys

EXPORTED = """
    LENSL EXITS
    FILEEXT FILEEXTKC FILENAME FILENAMEEXT FILE___EXT FILENAMENO_ FILENAMEPATH
    FILENAMEPATHNO_ FILEFOLDERPATH CLEANPATH ADDFOLDER REMOVEDOTDOT
    SS256 TRIMF REMOVEQUOTES REMOVESPACES DOUBLEQUOTE ALPHANUMERICONLY CLEANATTRIBUTENAME
    UPPERCASE LOWERCASE BLANK ASAME ASAMECS FLAGEXISTS FLAGEXISTSRET REPLACE REPLACEALL
    COMMENTLINE NUMBERLINE POSITIVEINTEGERNUMBER READGIS WRITEGIS READROWCOL CHECKLINE
    AINTEGER AINTEGER8 AINTEGERPREC0 AINTEGER8PREC0 AREAL AREAL8 AREALD AREALD8
    NUMBEROFNUMBERS CHECKINT CHECKINT4 CHECKINT8 NUMBEROFDAYS
    READLINE CSVCOLUMN CSVVALUE EXTRACTSTRING EXTRACTSTRINGREM EXTRACTINTEGER EXTRACTREAL
    NUMBEROFSUBSTRINGS SUBSTRING
    DMESSAGE DMESSAGEXY DMESSAGECLEAR DMESSAGERESETCOUNTERS DLINE
    ANGLE2D HYD_PARAM2 HYD_PARAM GEO_SHIFT SET_SUB_GRID_AREA SAME_POINT SAME_POINT_8
    INTERSECT_POINT INTERSECT_LINE_V2 INTERSECT_LINE_V2_8 INSIDE_POLYGON INTERSECT_LINE
    SAME_SIDE INTERPOLATE_TRIANGLE DISTANCE INTERSECTION_POINT INTERPOLATE_ELEMENT_8
    INTERPOLATE_TRIANGLE_8 INTERSECTION_POINT_8 INSIDE_POLYGON_8 INTERSECT_LINE_8 SAME_SIDE_8
    INTERPOLATE_TRIANGLE_NO_CHECKS VECTOR_MAGNITUDE CIRCLE_WIDTH DISTANCE_8
""".split()
BLOCK = "DMESSAGES"
LINKER_MARKERS = {"_IO_stdin_used", "__bss_start", "_edata", "_end", "_init", "_fini",
                  "__data_start", "data_start", "__dso_handle", "_start"}
SANITIZER_PREFIXES = ("__asan_", "__lsan_", "__ubsan_", "__sanitizer_")

assert len(EXPORTED) == 90 and len(set(EXPORTED)) == 90


def defined_symbols(path):
    """(name, version, type letter) of each defined dynamic symbol."""
    out = subprocess.run(["nm", "-D", "--defined-only", path], check=True,
                         capture_output=True, text=True).stdout
    symbols = []
    for line in out.splitlines():
        parts = line.split()
        if len(parts) < 3:
            continue
        name, _, version = parts[2].partition("@")
        symbols.append((name, version.lstrip("@"), parts[1]))
    return symbols


def check(path):
    problems = []
    symbols = defined_symbols(path)
    names = {name: kind for name, version, kind in symbols if not version}
    for name in EXPORTED:
        if name not in names:
            problems.append(f"missing routine {name}")
        elif names[name] not in "TW":
            problems.append(f"{name} is not code (type {names[name]})")
    if BLOCK not in names:
        problems.append(f"missing block {BLOCK}")
    elif names[BLOCK] not in "BDG":
        problems.append(f"{BLOCK} is not data (type {names[BLOCK]})")
    allowed = set(EXPORTED) | {BLOCK} | LINKER_MARKERS
    for name, version, kind in symbols:
        if not version and name not in allowed and not name.startswith(SANITIZER_PREFIXES):
            problems.append(f"leaked symbol {name} (type {kind})")
    return problems


failed = False
for binary in sys.argv[1:]:
    problems = check(binary)
    for p in problems:
        print(f"{binary}: {p}")
    failed = failed or bool(problems)
    if not problems:
        print(f"{binary}: the 90 routines and {BLOCK}, nothing else of ours")
sys.exit(1 if failed else 0)
