#!/usr/bin/python3
"""The cap that a run puts on its own memory (its soft limit on data, RLIMIT_DATA), read from
real runs of zorvel on sound inputs of 1,000,000 nodes, the inputs that need the most memory
for their size:

  dat     -max of a ".dat" file of one record of 1,000,000 nodes and as many cells (5 MB)
  xmdf    -max of an ".xmdf" file of one step of 1,000,000 equal depths, compressed (20 KB):
          its counts, not its size, make room for its arrays
  prompt  -max of the water levels of a 1000 x 1000 grid whose mesh is missing, the mesh
          (60 MB) named at the console's prompt, and the same run with the mesh under its
          own name: the named mesh counts as the one found does, and both caps are above
          that of the same values as depths, which read no mesh

Each runs without -b; while it waits at "Press Enter to Close" its limit and memory are read
from /proc. The limit must be set (finite) and at least four times the data it holds then,
and the run must pass as well under a limit given to it of a quarter of its cap. A limit given
to a run that is below its cap is kept as it is; and a run under a given limit too small for
its arrays ends with "ERROR - Could not allocate enough memory (RAM).", status 1, and leaves
nothing but its input.

Usage: memory_cap.py ZORVEL
"""
import os
import resource
import shutil
import subprocess
import sys
import tempfile

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from dat_tools import report, write_dat  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data"))
from xmdf_h5 import dataset_group, generic, xmdf_file  # noqa: E402

SIDE = 1000
NODES = SIDE * SIDE
GRID_CELLS = (SIDE - 1) * (SIDE - 1)
CLOSE = b"Press Enter to Close"
PROMPT = b"Check file exists and press enter or enter another file name: "
MIB = 1 << 20


def write_inputs(folder):
    """The inputs of the cases."""
    levels = (np.arange(NODES) % 997 * 0.01).astype(np.float32)
    write_dat(os.path.join(folder, "one_d.dat"), "Depth", False, NODES, NODES,
              [(1.0, np.ones(NODES, np.int8), levels)])
    write_dat(os.path.join(folder, "grid_h.dat"), "Water Level", False, NODES, GRID_CELLS,
              [(1.0, np.ones(GRID_CELLS, np.int8), levels + 1.0)])
    shutil.copyfile(os.path.join(folder, "grid_h.dat"), os.path.join(folder, "grid_d.dat"))
    with xmdf_file(os.path.join(folder, "flat.xmdf")) as f:
        g = dataset_group(generic(generic(f, "flat"), "Temporal"), "Depth", "SCALAR")
        g.create_dataset("Times", data=np.array([1.0]), maxshape=(None,), chunks=(16,))
        for name, data in (("Values", np.zeros((1, NODES), np.float32)), ("Active", np.ones((1, NODES), np.uint8))):
            g.create_dataset(name, data=data, maxshape=(None, NODES), chunks=(1, NODES), compression="gzip",
                             compression_opts=9)
        g.create_dataset("Mins", data=np.zeros(1, np.float32))
        g.create_dataset("Maxs", data=np.zeros(1, np.float32))
    lines = ["MESH2D"]
    lines += ["ND %d %d.0 %d.0 %.3f" % (j + 1, j % SIDE, j // SIDE, j % 997 * 0.01) for j in range(NODES)]
    e = 0
    for r in range(SIDE - 1):
        for c in range(SIDE - 1):
            n = r * SIDE + c + 1
            e += 1
            lines.append("E4Q %d %d %d %d %d 1" % (e, n, n + 1, n + SIDE + 1, n + SIDE))
    with open(os.path.join(folder, "grid_mesh.2dm"), "w") as f:
        f.write("\n".join(lines) + "\n")


def given(limit):
    """A preexec_fn that gives the child a soft limit on its data of limit bytes."""
    def set_limit():
        resource.setrlimit(resource.RLIMIT_DATA, (limit, resource.RLIM_INFINITY))
    return set_limit if limit else None


def read_until(p, marks):
    """The console up to the first of the marks (or to its end)."""
    seen = b""
    while not any(m in seen for m in marks):
        chunk = os.read(p.stdout.fileno(), 65536)
        if not chunk:
            break
        seen += chunk
    return seen


def at_close(p):
    """The soft data limit (None when there is none) and the data (VmData) and peak resident
    memory (VmHWM) in bytes of the process waiting at "Press Enter to Close"."""
    soft = None
    for line in open("/proc/%d/limits" % p.pid):
        if line.startswith("Max data size"):
            field = line.split()[3]
            soft = None if field == "unlimited" else int(field)
    status = {}
    for line in open("/proc/%d/status" % p.pid):
        key, _, value = line.partition(":")
        if key in ("VmData", "VmHWM"):
            status[key] = int(value.split()[0]) * 1024
    return soft, status["VmData"], status["VmHWM"]


def run(zorvel, folder, words, limit=0, typed=None):
    """Runs zorvel with the words and without -b (typed answers the prompt for a missing
    file): (status, console, (limit, data, peak) at the close or None when it never came)."""
    p = subprocess.Popen([zorvel] + words, cwd=folder, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, preexec_fn=given(limit))
    seen = read_until(p, [CLOSE, PROMPT])
    if PROMPT in seen and typed is not None:
        p.stdin.write(typed.encode() + b"\n")
        p.stdin.flush()
        seen += read_until(p, [CLOSE])
    figures = at_close(p) if CLOSE in seen else None
    out, err = p.communicate(b"\n", timeout=120)
    if err:
        seen += b"\nstderr: " + err
    return p.returncode, seen + out, figures


def outputs(folder, inputs):
    """The files of the folder that are not among the inputs."""
    return sorted(set(os.listdir(folder)) - set(inputs))


def clean(folder, inputs):
    for name in outputs(folder, inputs):
        os.remove(os.path.join(folder, name))


def main():
    zorvel = os.path.abspath(sys.argv[1])
    faults = []
    cases = 0
    folder = tempfile.mkdtemp(prefix="zorvel_memory_cap_")
    try:
        write_inputs(folder)
        inputs = sorted(os.listdir(folder))
        caps = {}
        for case, words, typed in [("dat", ["-max", "one_d.dat"], None),
                                   ("xmdf", ["-max", "flat.xmdf", "-typed"], None),
                                   ("prompt", ["-max", "grid_h.dat", "-2dm", "missing.2dm"], "grid_mesh.2dm"),
                                   ("named", ["-max", "grid_h.dat", "-2dm", "grid_mesh.2dm"], None),
                                   ("depths", ["-max", "grid_d.dat"], None)]:
            cases += 1
            status, console, figures = run(zorvel, folder, words, typed=typed)
            clean(folder, inputs)
            if status != 0 or figures is None:
                faults.append("%s: status %d, console ends %r" % (case, status, console[-300:]))
                continue
            cap, data, peak = figures
            caps[case] = cap
            print("%-6s cap %s MiB, data at the close %.0f MiB, peak resident %.0f MiB"
                  % (case, "none" if cap is None else "%.0f" % (cap / MIB), data / MIB, peak / MIB))
            if cap is None or cap < 4 * data:
                faults.append("%s: cap %r for %d bytes of data" % (case, cap, data))
                continue
            status, console, _ = run(zorvel, folder, words, cap // 4, typed)
            clean(folder, inputs)
            if status != 0:
                faults.append("%s under a quarter of its cap: status %d, console ends %r"
                              % (case, status, console[-300:]))
        cases += 1
        prompt, named, depths = caps.get("prompt"), caps.get("named"), caps.get("depths")
        if prompt != named or not prompt or not depths or prompt <= depths:
            faults.append("the cap with the mesh named at the prompt %r, found by its name %r, without it %r"
                          % (prompt, named, depths))

        cases += 1
        status, console, figures = run(zorvel, folder, ["-max", "one_d.dat"], 512 * MIB)
        clean(folder, inputs)
        if status != 0 or figures is None or figures[0] != 512 * MIB:
            faults.append("a given limit of 512 MiB: status %d, limit at the close %r"
                          % (status, figures and figures[0]))

        cases += 1
        status, console, figures = run(zorvel, folder, ["-max", "one_d.dat"], 64 * MIB)
        left = outputs(folder, inputs)
        clean(folder, inputs)
        errors = [line for line in console.decode(errors="replace").splitlines() if line.startswith("ERROR - ")]
        if status != 1 or errors != ["ERROR - Could not allocate enough memory (RAM)."] or left:
            faults.append("a given limit of 64 MiB: status %d, error lines %r, left %s" % (status, errors, left))
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return report(faults, cases)


if __name__ == "__main__":
    sys.exit(main())
