#!/usr/bin/python3
"""The console of a real run reaches a pipe in few large writes, not a write per text: -max of a
".dat" file of many small records (three console lines each) with its standard output on a
packet-mode pipe (O_DIRECT), where every write(2) arrives as packets of its own of up to 4 KiB,
so the reads on the pipe count the run's writes. The bytes must come in packets of over 2 KiB
on average, and be the same bytes the same run writes into a regular file.

Usage: console_writes.py ZORVEL
"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from dat_tools import report, write_dat  # noqa: E402

RECORDS = 20000
WORDS = ["-b", "-max", "many_d.dat"]
OUTPUT = "many_d(maxmax).dat"


def packets_of_run(zorvel, folder):
    """The run's status and its standard output read off a packet-mode pipe, packet by packet."""
    r, w = os.pipe2(os.O_DIRECT | os.O_CLOEXEC)
    try:
        p = subprocess.Popen([zorvel] + WORDS, cwd=folder, stdin=subprocess.DEVNULL, stdout=w,
                             stderr=subprocess.DEVNULL)
        os.close(w)
        w = -1
        packets = []
        while True:
            packet = os.read(r, 1 << 16)
            if not packet:
                break
            packets.append(packet)
        return p.wait(), packets
    finally:
        os.close(r)
        if w >= 0:
            os.close(w)


def file_run(zorvel, folder):
    """The run's status and its standard output written into a regular file."""
    log = os.path.join(folder, "console.txt")
    with open(log, "wb") as out:
        status = subprocess.run([zorvel] + WORDS, cwd=folder, stdin=subprocess.DEVNULL, stdout=out,
                                stderr=subprocess.DEVNULL).returncode
    with open(log, "rb") as f:
        text = f.read()
    os.remove(log)
    return status, text


def main():
    zorvel = os.path.abspath(sys.argv[1])
    faults = []
    folder = tempfile.mkdtemp(prefix="zorvel_console_")
    try:
        write_dat(os.path.join(folder, "many_d.dat"), "Depth", False, 3, 1,
                  [(0.01 * k, [1], [k, k + 1.0, k + 2.0]) for k in range(RECORDS)])
        status, packets = packets_of_run(zorvel, folder)
        os.remove(os.path.join(folder, OUTPUT))
        text = b"".join(packets)
        if status != 0:
            faults.append("pipe: status %d" % status)
        if len(packets) * 2048 > len(text) + 8 * 2048:
            faults.append("pipe: %d bytes in %d packets: a write per text" % (len(text), len(packets)))
        file_status, file_text = file_run(zorvel, folder)
        if file_status != 0:
            faults.append("file: status %d" % file_status)
        if text != file_text:
            faults.append("the pipe got %d bytes ending %r, the file %d ending %r"
                          % (len(text), text[-120:], len(file_text), file_text[-120:]))
        print("%d console bytes in %d packets" % (len(text), len(packets)))
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return report(faults, 2)


if __name__ == "__main__":
    sys.exit(main())
