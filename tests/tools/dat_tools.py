"""What the test tools share: ".dat" files written and read byte by byte, records compared
bit for bit, and runs of zorvel on generated inputs."""
import os
import struct
import subprocess
from collections import namedtuple

import numpy as np

F = np.float32

# A ".dat" file as it is stored: its header counts and vector flag; its records, each
# (flag byte, time bytes, flag bytes or None for a record without flags, value bytes); the
# card after the last record or the header (None when the file ends there) and the bytes
# after that card.
DatFile = namedtuple("DatFile", "nodes cells vector records end_card trailing")


def write_dat(path, name, vector, nodes, cells, records):
    """records: (time, flags or None for a record without flags, values [n] or [n, 2])."""
    out = [struct.pack("<i", 3000), struct.pack("<ii", 100, 3), struct.pack("<ii", 110, 4),
           struct.pack("<ii", 120, 1), struct.pack("<i", 140 if vector else 130),
           struct.pack("<ii", 170, nodes), struct.pack("<ii", 180, cells),
           struct.pack("<i", 190), name.encode().ljust(40, b" ")]
    for t, flags, values in records:
        out.append(struct.pack("<i", 200))
        if flags is None:
            out.append(struct.pack("<bf", 0, t))
        else:
            out.append(struct.pack("<bf", 1, t))
            out.append(np.asarray(flags, dtype=np.int8).tobytes())
        out.append(np.asarray(values, dtype="<f4").tobytes())
    out.append(struct.pack("<i", 210))
    with open(path, "wb") as f:
        f.write(b"".join(out))


def read_dat(path):
    """The ".dat" file at path as it is stored (a DatFile), read byte by byte."""
    data = open(path, "rb").read()
    pos = 0

    def card():
        nonlocal pos
        value = struct.unpack_from("<i", data, pos)[0]
        pos += 4
        return value

    nodes = cells = 0
    vector = False
    c = None
    while pos < len(data):
        c = card()
        if c in (100, 110, 120, 150, 160):
            card()
        elif c in (130, 140):
            vector = c == 140
        elif c == 170:
            nodes = card()
        elif c == 180:
            cells = card()
        elif c == 190:
            pos += 40
        elif c in (200, 210):
            break
    else:
        c = None
    records = []
    size = nodes * (8 if vector else 4)
    while c == 200:
        flag = struct.unpack_from("<b", data, pos)[0]
        time = data[pos + 1:pos + 5]
        pos += 5
        flags = None
        if flag == 1:
            flags = data[pos:pos + cells]
            pos += cells
        values = data[pos:pos + size]
        if len(values) < size:
            raise struct.error("the file ends inside a record")
        pos += size
        records.append((flag, time, flags, values))
        c = card() if pos < len(data) else None
    return DatFile(nodes, cells, vector, records, c, len(data) - pos)


def read_records(path):
    """The records of a ".dat" output, each carrying its flags and the file closed by its
    end card: (time, flags, values) with numpy, a vector's values as (x, y) rows."""
    d = read_dat(path)
    records = []
    for flag, time, flags, values in d.records:
        assert flag == 1
        v = np.frombuffer(values, "<f4")
        records.append((F(struct.unpack("<f", time)[0]), np.frombuffer(flags, np.int8),
                        v.reshape(d.nodes, 2) if d.vector else v))
    assert d.end_card == 210 and d.trailing == 0, "end card"
    return records


def same_bits(a, b):
    a = np.ascontiguousarray(a, dtype=F)
    b = np.ascontiguousarray(b, dtype=F)
    return a.shape == b.shape and np.array_equal(a.view(np.uint32), b.view(np.uint32))


def record_faults(label, got, want):
    """What differs, bit for bit, between the record got and the record want (time, flags,
    values), each fault a line that begins with label."""
    faults = []
    gt, gf, gv = got
    wt, wf, wv = want
    if not same_bits(gt, wt):
        faults.append("%s time %r, expected %r" % (label, gt, wt))
    if not np.array_equal(np.asarray(gf, np.int8), np.asarray(wf, np.int8)):
        bad = np.nonzero(np.asarray(gf, np.int8) != np.asarray(wf, np.int8))[0]
        faults.append("%s flags differ at %d cells, first cell %d: %d, expected %d"
                      % (label, len(bad), bad[0] + 1, gf[bad[0]], wf[bad[0]]))
    if not same_bits(gv, wv):
        g = np.asarray(gv, F).view(np.uint32).reshape(len(gv), -1)
        w = np.asarray(wv, F).view(np.uint32).reshape(len(wv), -1)
        bad = np.nonzero((g != w).any(axis=1))[0] if g.shape == w.shape else [0]
        faults.append("%s values differ at %d nodes, first node %d: %r, expected %r"
                      % (label, len(bad), bad[0] + 1, gv[bad[0]], wv[bad[0]]))
    return faults


def run_case(zorvel, run_dir, words, out, case, faults):
    """Runs zorvel -b with the words in run_dir, without console input: the finished run, or
    None, with a fault of the case, when it failed, wrote to stderr or left no output at out."""
    r = subprocess.run([zorvel, "-b"] + words, cwd=run_dir, stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if r.returncode != 0 or r.stderr or not os.path.exists(out):
        faults.append("%s: status %d, stderr %r, output %s" % (case, r.returncode, r.stderr[:200],
                                                               "present" if os.path.exists(out) else "missing"))
        return None
    return r


def report(faults, cases):
    """Prints the faults and the count of cases and faults; the exit status."""
    for f in faults:
        print(f)
    print("%d cases, %d faults" % (cases, len(faults)))
    return 1 if faults else 0
