#!/usr/bin/python3
"""Runs every tests/data/gen_*.py generator, each writing its fixtures into the fixtures folder."""
import os
import subprocess
import sys

data_dir, out_dir = sys.argv[1], sys.argv[2]
os.makedirs(out_dir, exist_ok=True)
failed = False
for name in sorted(os.listdir(data_dir)) if os.path.isdir(data_dir) else []:
    if name.startswith("gen_") and name.endswith(".py"):
        r = subprocess.run([sys.executable, "-B", os.path.join(data_dir, name), out_dir])
        if r.returncode != 0:
            print(f"fixture generator {name} failed with status {r.returncode}")
            failed = True
sys.exit(1 if failed else 0)
