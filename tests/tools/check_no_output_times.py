#!/usr/bin/python3
"""Every operation that walks the steps of an ".xmdf" dataset, run on datasets without any
output time (drv_no_times.xmdf of tests/data/gen_driver_xmdf.py): each run ends with the
line "ERROR - No output times in dataset " naming the dataset and the file, then
"Press Enter to Close", with status 1 and no output left behind.

Usage: check_no_output_times.py ZORVEL FIXTURES
"""
import os
import shutil
import subprocess
import sys
import tempfile

FILE = "drv_no_times.xmdf"
OTHER = "drv_no_times_b.xmdf"  # the same file under a second name, for two-input operations

# The command-line words of each case and the dataset its walk reads.
CASES = [
    (["-dur1", FILE, "-typed"], "Depth"),
    (["-toi1", FILE, "-typed"], "Depth"),
    (["-dif", FILE, OTHER, "-typed", "-nowetdry"], "Depth"),
    (["-con", FILE, OTHER, "-typed"], "Depth"),
    (["-trim1", FILE, "-typed"], "Depth"),
    (["-va", FILE, "-typev"], "Vector Velocity"),
    (["-conv", FILE, "-s1"], "Depth"),
    (["-conv", FILE, "-v1"], "Vector Velocity"),
    (["-avg", FILE, "-typed"], "Depth"),
]


def run(zorvel, fixtures, words, dataset):
    """The faults of one case."""
    faults = []
    folder = tempfile.mkdtemp(prefix="zorvel_no_times_")
    try:
        for name in (FILE, OTHER):
            shutil.copyfile(os.path.join(fixtures, FILE), os.path.join(folder, name))
        r = subprocess.run([zorvel, "-b"] + words, cwd=folder, stdin=subprocess.DEVNULL,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        out = r.stdout.decode("latin-1")
        tail = (f'ERROR - No output times in dataset "drv_nt/Temporal/{dataset}" in {FILE}\n'
                "\nPress Enter to Close\n")
        if r.returncode != 1:
            faults.append(f"status {r.returncode}, expected 1")
        if r.stderr:
            faults.append(f"stderr {r.stderr[:200]!r}")
        if not out.endswith(tail):
            faults.append("the run does not end with the no-output-times line; it ends:\n" +
                          "".join(out.splitlines(keepends=True)[-6:]))
        left = sorted(set(os.listdir(folder)) - {FILE, OTHER})
        if left:
            faults.append(f"the run left {left}")
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return faults


def main():
    zorvel, fixtures = os.path.abspath(sys.argv[1]), sys.argv[2]
    faults = 0
    for words, dataset in CASES:
        for fault in run(zorvel, fixtures, words, dataset):
            print(f"{' '.join(words)}: {fault}")
            faults += 1
    print(f"{len(CASES)} cases, {faults} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
