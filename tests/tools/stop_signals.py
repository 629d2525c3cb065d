#!/usr/bin/python3
"""SIGINT, SIGTERM, SIGHUP and SIGKILL sent to a real run of zorvel: at a console prompt (a
water-level input whose mesh is missing, without -b: the signal goes once the prompt is on
stdout), and in the middle of a large write (-con into a ".dat" file and -conv into an ".xmdf"
file, the signal sent once the output's temporary file has grown). A run stopped by SIGINT,
SIGTERM or SIGHUP must end with the status the shell gives for the signal (128 + its number),
its whole console log and then its "ERROR - " line, and leave its folder as it was: its inputs
and, on a rerun, the earlier output under the output's name, unchanged. A killed run may leave
its temporary file, but nothing under the output's name that it did not complete.

SIGPIPE (the reader of the console gone) and SIGXFSZ (a limit on file sizes) end a run as
the stop signals do; a signal right after an output's temporary file is made removes it; and a
signal that comes once the outputs are in place ends the run as a completed one (status 0).

Usage: stop_signals.py ZORVEL [RAISE_AFTER_OPEN_LIBRARY]
"""
import os
import resource
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from dat_tools import report, write_dat  # noqa: E402

PROMPT = b"Check file exists and press enter or enter another file name: "
NODES = 1 << 20
STEPS = 16  # 4 MiB of values a step


def interrupted(sig):
    """The console's last line after the signal."""
    return ("\nERROR - Run interrupted by signal %s.\n" % signal.Signals(sig).name).encode()


EARLIER = b"the output of an earlier run"


def temporary(name):
    """True for the name of a run's temporary output file."""
    return ".zorvel-" in name and name.endswith(".tmp")


def contents(folder, whole=True):
    """The files of the folder: their bytes, or (whole False) their sizes."""
    out = {}
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        out[name] = open(path, "rb").read() if whole else os.path.getsize(path)
    return out


def temp_size(folder, output):
    """The size of the output's temporary file, or -1 when there is none."""
    sizes = [os.path.getsize(os.path.join(folder, n)) for n in os.listdir(folder)
             if n.startswith(output + ".zorvel-") and temporary(n)]
    return max(sizes) if sizes else -1


def check_end(case, p, sig, stdout, left, before, faults):
    """The run ended by the signal: its status, its log then its last line, and the folder as
    it was before the run (a killed run may leave its temporary file besides)."""
    if sig == signal.SIGKILL:
        if p.returncode != -sig:
            faults.append("%s: status %d, expected death by SIGKILL" % (case, p.returncode))
        left = {n: v for n, v in left.items() if not temporary(n)}
    else:
        if p.returncode != 128 + sig:
            faults.append("%s: status %d, expected %d" % (case, p.returncode, 128 + sig))
        if not stdout.endswith(interrupted(sig)):
            faults.append("%s: console ends %r" % (case, stdout[-160:]))
        if b"Opertational flag" not in stdout:
            faults.append("%s: the console log before the signal is lost: %r" % (case, stdout[-300:]))
    if left != before:
        extra = sorted(set(left) - set(before))
        changed = sorted(n for n in before if left.get(n) != before[n])
        faults.append("%s: left %s; files changed or gone: %s" % (case, extra, changed))


def at_prompt(zorvel, sig, faults):
    """A signal while the run waits for the name of a missing mesh, its output begun and an
    earlier output under its name."""
    case = "prompt %s" % signal.Signals(sig).name
    folder = tempfile.mkdtemp(prefix="zorvel_stop_")
    try:
        write_dat(os.path.join(folder, "nomesh_h.dat"), "Water Level", False, 3, 1,
                  [(1.0, [1], [1.0, 2.0, 3.0]), (2.0, [1], [2.0, 3.0, 4.0])])
        with open(os.path.join(folder, "nomesh_h(maxmax).dat"), "wb") as f:
            f.write(EARLIER)
        before = contents(folder)
        p = subprocess.Popen([zorvel, "-max", "nomesh_h.dat"], cwd=folder, stdin=subprocess.PIPE,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        seen = b""
        while PROMPT not in seen:
            chunk = os.read(p.stdout.fileno(), 65536)
            if not chunk:
                break
            seen += chunk
        if PROMPT not in seen:
            p.wait()
            faults.append("%s: no prompt, status %d, console %r" % (case, p.returncode, seen[-300:]))
            return
        if temp_size(folder, "nomesh_h(maxmax).dat") < 0:
            faults.append("%s: the output was not begun before the prompt" % case)
        p.send_signal(sig)
        rest = p.stdout.read()
        p.stdin.close()
        p.wait()
        check_end(case, p, sig, seen + rest, contents(folder), before, faults)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def write_big(path, steps, nodes=NODES):
    """A ".dat" depth file of the given numbers of nodes and steps, written fast."""
    write_dat(path, "Depth", False, nodes, nodes - 1, [])
    record = np.ones(nodes - 1, np.int8).tobytes() + np.arange(nodes, dtype="<f4").tobytes()
    with open(path, "r+b") as f:
        f.seek(-4, os.SEEK_END)
        for k in range(steps):
            f.write(struct.pack("<ibf", 200, 1, 0.25 * k))
            f.write(record)
        f.write(struct.pack("<i", 210))


def while_writing(zorvel, sig, words, output, share, faults, earlier=False):
    """A signal once the output's temporary file holds `share` of the input's bytes, the run
    still writing it; with earlier, a rerun over an earlier output under the output's name. A
    run that finished first is tried again on an input twice as long."""
    case = "%s %s%s" % (words[0], signal.Signals(sig).name, " rerun" if earlier else "")
    folder = tempfile.mkdtemp(prefix="zorvel_stop_")
    try:
        out = os.path.join(folder, output)
        for attempt in range(4):
            write_big(os.path.join(folder, "big_d.dat"), STEPS << attempt)
            if earlier:
                with open(out, "wb") as f:
                    f.write(EARLIER)
            # The inputs are compared by size: reading them back would outlast the run.
            before = contents(folder, whole=False)
            least = share * before["big_d.dat"]
            p = subprocess.Popen([zorvel, "-b"] + words, cwd=folder, stdin=subprocess.DEVNULL,
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            while p.poll() is None and temp_size(folder, output) < least:
                time.sleep(0.001)
            if p.poll() is None:
                p.send_signal(sig)
                stdout = p.stdout.read()
                p.wait()
                check_end(case, p, sig, stdout, contents(folder, whole=False), before, faults)
                if earlier and open(out, "rb").read() != EARLIER:
                    faults.append("%s: the earlier output is changed" % case)
                return
            p.stdout.read()
            p.wait()
            if os.path.exists(out):
                os.remove(out)
        faults.append("%s: every run finished before the signal" % case)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def complete_or_stopped(case, status, sig, folder, output, complete, faults):
    """A run that ended by itself with its output complete, or one the signal stopped with the
    earlier output kept; either way no temporary file left."""
    got = open(os.path.join(folder, output), "rb").read()
    if status == 128 + sig:
        if got != EARLIER:
            faults.append("%s: stopped, the earlier output is changed" % case)
    elif status != 0 or got != complete:
        faults.append("%s: status %d, output %s" % (case, status, "complete" if got == complete else "not complete"))
    left = [n for n in os.listdir(folder) if temporary(n)]
    if left:
        faults.append("%s: left %s" % (case, left))


def pipe_closed(zorvel, faults):
    """The reader of the console goes away while the run still writes its log (as `| head`
    does): SIGPIPE ends the run with its temporary output removed, the earlier file kept."""
    case = "SIGPIPE"
    folder = tempfile.mkdtemp(prefix="zorvel_stop_")
    try:
        # A few nodes and many steps: the run writes a long log.
        write_big(os.path.join(folder, "many_d.dat"), 100000, nodes=4)
        output = "many_d(maxmax).dat"
        subprocess.run([zorvel, "-b", "-max", "many_d.dat"], cwd=folder, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, check=True)
        complete = open(os.path.join(folder, output), "rb").read()
        with open(os.path.join(folder, output), "wb") as f:
            f.write(EARLIER)
        p = subprocess.Popen([zorvel, "-b", "-max", "many_d.dat"], cwd=folder, stdin=subprocess.DEVNULL,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        # Gone once the output is begun and the steps are being read.
        seen = b""
        while b"Reading data for time" not in seen:
            chunk = os.read(p.stdout.fileno(), 4096)
            if not chunk:
                break
            seen += chunk
        p.stdout.close()
        p.wait()
        complete_or_stopped(case, p.returncode, signal.SIGPIPE, folder, output, complete, faults)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def file_size_limit(zorvel, faults):
    """A rerun whose output grows past the limit on file sizes (ulimit -f), SIGXFSZ left to
    end it: its temporary file removed, the earlier output kept, the signal's line and status."""
    case = "SIGXFSZ"
    folder = tempfile.mkdtemp(prefix="zorvel_stop_")
    try:
        write_big(os.path.join(folder, "big_d.dat"), 2)
        output = "big_d(con).dat"
        with open(os.path.join(folder, output), "wb") as f:
            f.write(EARLIER)
        before = contents(folder, whole=False)
        limit = 2 << 20  # the input is 10 MB, so the output passes this while the input fits

        def limited():
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
        p = subprocess.Popen([zorvel, "-b", "-con", "big_d.dat", "big_d.dat"], cwd=folder,
                             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                             preexec_fn=limited)
        stdout = p.stdout.read()
        p.wait()
        check_end(case, p, signal.SIGXFSZ, stdout, contents(folder, whole=False), before, faults)
        if open(os.path.join(folder, output), "rb").read() != EARLIER:
            faults.append("%s: the earlier output is changed" % case)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def right_after_open(zorvel, shim, faults):
    """SIGTERM in the moment the output's temporary file has been made, before the run holds
    its descriptor: the file is removed all the same. Returns 0 where the preloaded library
    cannot reach the run's open (nothing checked)."""
    case = "SIGTERM right after the open"
    folder = tempfile.mkdtemp(prefix="zorvel_stop_")
    try:
        write_dat(os.path.join(folder, "t_d.dat"), "Depth", False, 3, 2,
                  [(1.0, [1, 1], [1.0, 2.0, 3.0]), (2.0, [1, 1], [2.0, 3.0, 4.0])])
        output = "t_d(maxmax).dat"
        with open(os.path.join(folder, output), "wb") as f:
            f.write(EARLIER)
        mark = os.path.join(folder, "raised")
        before = contents(folder)
        env = dict(os.environ, LD_PRELOAD=shim, ZORVEL_RAISED_MARK=mark)
        p = subprocess.Popen([zorvel, "-b", "-max", "t_d.dat"], cwd=folder, stdin=subprocess.DEVNULL,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
        stdout = p.stdout.read()
        p.wait()
        if not os.path.exists(mark):
            return 0
        os.remove(mark)
        check_end(case, p, signal.SIGTERM, stdout, contents(folder), before, faults)
        return 1
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def at_final_pause(zorvel, faults):
    """A finished run without -b, waiting for Enter to close with its output in place: a stop
    signal ends it as the completed run it is (status 0), the output kept."""
    case = "SIGTERM at the closing pause"
    folder = tempfile.mkdtemp(prefix="zorvel_stop_")
    try:
        write_dat(os.path.join(folder, "t_d.dat"), "Depth", False, 3, 2,
                  [(1.0, [1, 1], [1.0, 2.0, 3.0]), (2.0, [1, 1], [2.0, 3.0, 4.0])])
        output = os.path.join(folder, "t_d(maxmax).dat")
        p = subprocess.Popen([zorvel, "-max", "t_d.dat"], cwd=folder, stdin=subprocess.PIPE,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        closing = b"Press Enter to Close\n"
        seen = b""
        while not seen.endswith(closing):
            chunk = os.read(p.stdout.fileno(), 65536)
            if not chunk:
                break
            seen += chunk
        p.send_signal(signal.SIGTERM)
        seen += p.stdout.read()
        p.stdin.close()
        p.wait()
        if p.returncode != 0 or not seen.endswith(b"Finished.\n\n\nPress Enter to Close\n"):
            faults.append("%s: status %d, console ends %r" % (case, p.returncode, seen[-120:]))
        if not os.path.exists(output) or open(output, "rb").read() == EARLIER:
            faults.append("%s: the output is not in place" % case)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def main():
    zorvel = os.path.abspath(sys.argv[1])
    shim = os.path.abspath(sys.argv[2]) if len(sys.argv) > 2 else None
    faults = []
    cases = 0
    for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        at_prompt(zorvel, sig, faults)
        cases += 1
    con = ["-con", "big_d.dat", "big_d.dat", "big_d.dat"]
    for sig in (signal.SIGINT, signal.SIGTERM):
        while_writing(zorvel, sig, con, "big_d(con).dat", 1.0, faults)
        while_writing(zorvel, sig, ["-conv", "big_d.dat"], "big.xmdf", 0.25, faults)
        cases += 2
    for sig in (signal.SIGTERM, signal.SIGKILL):
        while_writing(zorvel, sig, con, "big_d(con).dat", 1.0, faults, earlier=True)
        cases += 1
    while_writing(zorvel, signal.SIGKILL, con, "big_d(con).dat", 1.0, faults)
    cases += 1
    pipe_closed(zorvel, faults)
    file_size_limit(zorvel, faults)
    at_final_pause(zorvel, faults)
    cases += 3
    if shim:
        cases += right_after_open(zorvel, shim, faults)
    return report(faults, cases)


if __name__ == "__main__":
    sys.exit(main())
