#!/usr/bin/python3
"""Operations that write an ".xmdf" output, run under a limit on the size of the files they
write (RLIMIT_FSIZE, with SIGXFSZ ignored, as on a full disk): at 900 bytes the creation of
the file fails, at 4000 bytes its first writes do. Each run must end with an "ERROR - " line
and status 1, and leave its folder holding its inputs alone, unchanged.

Usage: xmdf_size_limit.py ZORVEL
"""
import os
import resource
import shutil
import signal
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from dat_tools import report, write_dat  # noqa: E402

# Each operation's words and the name of the ".xmdf" output it creates.
OPERATIONS = [
    (["-max", "t_d.dat", "-out", "o.xmdf"], "o.xmdf"),
    (["-k2", "t_d.dat", "-out", "o.xmdf"], "o.xmdf"),
    (["-con", "t_d.dat", "u_d.dat", "-out", "o.xmdf"], "o.xmdf"),
    (["-conv", "t_d.dat"], "t.xmdf"),
]


def limited(size):
    """A preexec_fn: files of the child may not grow past size bytes, and a write past it
    fails instead of ending the process."""
    def set_limit():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (size, size))
    return set_limit


def child_environment():
    """The environment of the runs: under LeakSanitizer, the memory that HDF5 keeps of a file
    it could not flush is suppressed without a word on stderr."""
    env = dict(os.environ)
    env["LSAN_OPTIONS"] = (env.get("LSAN_OPTIONS", "") + ":print_suppressions=0").lstrip(":")
    return env


def contents(folder):
    return {name: open(os.path.join(folder, name), "rb").read() for name in sorted(os.listdir(folder))}


def main():
    zorvel = os.path.abspath(sys.argv[1])
    faults = []
    cases = 0
    for words, output in OPERATIONS:
        for size in (900, 4000):
            case = "%s at %d bytes" % (words[0], size)
            cases += 1
            folder = tempfile.mkdtemp(prefix="zorvel_fsize_")
            try:
                for name in ("t_d.dat", "u_d.dat"):
                    write_dat(os.path.join(folder, name), "Depth", False, 3, 1,
                              [(1.0, [1], [1.0, 2.0, 3.0]), (2.0, [1], [2.0, 3.0, 4.0])])
                inputs = contents(folder)
                r = subprocess.run([zorvel, "-b"] + words, cwd=folder, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, preexec_fn=limited(size),
                                   env=child_environment())
                lines = r.stdout.decode(errors="replace").splitlines()
                errors = [line for line in lines if line.startswith("ERROR - ")]
                if r.returncode != 1 or r.stderr:
                    faults.append("%s: status %d, stderr %r" % (case, r.returncode, r.stderr[:200]))
                if size == 900 and errors != ["ERROR - Creating file [XF_CREATE_FILE]" + output]:
                    faults.append("%s: error lines %r" % (case, errors))
                if not errors:
                    faults.append("%s: no error line, console ends %r" % (case, lines[-5:]))
                left = contents(folder)
                if left != inputs:
                    faults.append("%s: left %s" % (case, sorted(set(left) - set(inputs))))
            finally:
                shutil.rmtree(folder, ignore_errors=True)
    return report(faults, cases)


if __name__ == "__main__":
    sys.exit(main())
