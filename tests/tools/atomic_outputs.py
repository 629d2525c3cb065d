#!/usr/bin/python3
"""What stands under an output's name is never written through, and runs that write one output
at once each finish with a complete file:
  - a FIFO, a device node (where this user may make one) or a socket under the output's name is
    refused at once with an "ERROR - " line and status 1, the entry left as it was;
  - four runs writing the same output at the same moment all end with status 0, and the output
    is the complete file one run alone writes, with no temporary file left.

Usage: atomic_outputs.py ZORVEL
"""
import os
import shutil
import socket
import stat
import subprocess
import sys
import tempfile

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from dat_tools import report, write_dat  # noqa: E402

OUTPUT = "run_d(maxmax).dat"
REFUSAL = b'ERROR - Output file exists and is not a regular file: "' + OUTPUT.encode() + b'"'


def write_input(folder, nodes, steps):
    """A depth input of the given size, with no mesh needed for its maximum."""
    values = np.arange(nodes, dtype=np.float32)
    records = [(float(k), [1] * (nodes - 1), values * (k + 1)) for k in range(steps)]
    write_dat(os.path.join(folder, "run_d.dat"), "Depth", False, nodes, nodes - 1, records)


def run(zorvel, folder, timeout=30):
    """One batch run of -max on the input; (status, stdout), status None when it hung."""
    try:
        r = subprocess.run([zorvel, "-b", "-max", "run_d.dat"], cwd=folder, stdin=subprocess.DEVNULL,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=timeout)
        return r.returncode, r.stdout
    except subprocess.TimeoutExpired:
        return None, b""


def leftovers(folder):
    """Temporary output files left in the folder."""
    return [n for n in os.listdir(folder) if ".zorvel-" in n]


def refused(zorvel, what, make, kind, faults):
    """An entry that is no regular file under the output's name: refused at once, left alone."""
    folder = tempfile.mkdtemp(prefix="zorvel_atomic_")
    try:
        write_input(folder, 4, 2)
        path = os.path.join(folder, OUTPUT)
        try:
            keep = make(path)
        except PermissionError:
            return 0  # this user may not make such an entry here
        status, stdout = run(zorvel, folder, timeout=10)
        if status is None:
            faults.append("%s: the run hung on it" % what)
        elif status != 1 or REFUSAL not in stdout:
            faults.append("%s: status %s, console %r" % (what, status, stdout[-300:]))
        if not kind(os.lstat(path).st_mode):
            faults.append("%s: the entry under the output's name was changed" % what)
        if leftovers(folder):
            faults.append("%s: left %s" % (what, leftovers(folder)))
        if keep is not None:
            keep.close()
        return 1
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def make_socket(path):
    s = socket.socket(socket.AF_UNIX)
    s.bind(path)
    return s


def at_once(zorvel, faults):
    """Four runs writing one output at the same moment: each ends with status 0 and the output
    is whole."""
    folder = tempfile.mkdtemp(prefix="zorvel_atomic_")
    alone = tempfile.mkdtemp(prefix="zorvel_atomic_")
    try:
        write_input(folder, 200000, 6)
        shutil.copy(os.path.join(folder, "run_d.dat"), alone)
        if run(zorvel, alone)[0] != 0:
            faults.append("at once: the run alone failed")
            return
        want = open(os.path.join(alone, OUTPUT), "rb").read()
        runs = [subprocess.Popen([zorvel, "-b", "-max", "run_d.dat"], cwd=folder, stdin=subprocess.DEVNULL,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) for _ in range(4)]
        statuses = [p.wait(timeout=120) for p in runs]
        if statuses != [0, 0, 0, 0]:
            faults.append("at once: statuses %s" % statuses)
        if open(os.path.join(folder, OUTPUT), "rb").read() != want:
            faults.append("at once: the output is not the complete file")
        if leftovers(folder):
            faults.append("at once: left %s" % leftovers(folder))
    finally:
        shutil.rmtree(folder, ignore_errors=True)
        shutil.rmtree(alone, ignore_errors=True)


def main():
    zorvel = os.path.abspath(sys.argv[1])
    faults = []
    cases = 0
    cases += refused(zorvel, "FIFO", lambda p: os.mkfifo(p), stat.S_ISFIFO, faults)
    cases += refused(zorvel, "device", lambda p: os.mknod(p, 0o600 | stat.S_IFCHR, os.makedev(1, 3)),
                     stat.S_ISCHR, faults)
    cases += refused(zorvel, "socket", make_socket, stat.S_ISSOCK, faults)
    at_once(zorvel, faults)
    cases += 1
    return report(faults, cases)


if __name__ == "__main__":
    sys.exit(main())
