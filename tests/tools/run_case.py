#!/usr/bin/python3
"""Runs one end-to-end case: the real zorvel binary in a fresh temporary folder.

A case folder holds:
  args             the command-line words, one per line (bytes as they are; may be empty)
  stdin            optional: what the console reads (absent: end of input at once)
  expected.stdout  the whole console output
  status           optional: the expected exit status (absent: 0)
  files/           optional: files copied into the run folder (hand-written inputs)
  fixtures         optional: generated or shared fixtures to copy in, one per line:
                   "name" or "name target" (looked up in the fixtures folder, then tests/data)
  expected/        files the run must leave, compared byte for byte; a file
                   "<name>.h5dump" stands for the HDF5 file <name>, compared as h5dump prints it
  setup            optional: shell commands run in the run folder before zorvel (mkdir, chmod, ...)
  unchecked        optional: patterns (fnmatch, one per line) of files the run leaves that are
                   not compared byte by byte, because the check below reads them
  check            optional: shell commands run in the run folder after the comparisons (they
                   must end with status 0); ZORVEL_TOOLS names this folder of tools
  limits           optional: what the run may take at most, one "seconds N" or "memory_mb N"
                   a line (wall time; peak resident memory)

The run must write nothing on stderr, and leave exactly the expected files besides its inputs
(unchanged, none of them gone). With --update the case's expected files are rewritten from the run, for review.
"""
import argparse
import filecmp
import fnmatch
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time


def read_words(path):
    with open(path, "rb") as f:
        data = f.read()
    return [w for w in data.split(b"\n") if w != b""] if data else []


def snapshot(folder):
    out = {}
    for root, _, files in os.walk(folder):
        for name in files:
            full = os.path.join(root, name)
            out[os.path.relpath(full, folder)] = full
    return out


def h5dump(path, cwd):
    r = subprocess.run(["h5dump", os.path.basename(path)], cwd=os.path.dirname(path) or cwd,
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return r.stdout


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--zorvel", required=True)
    ap.add_argument("--case", required=True)
    ap.add_argument("--fixtures", required=True)
    ap.add_argument("--data", required=True)
    ap.add_argument("--update", action="store_true")
    ap.add_argument("--keep", action="store_true", help="keep the run folder")
    a = ap.parse_args()
    a.zorvel = os.path.abspath(a.zorvel)
    case = a.case
    run_dir = tempfile.mkdtemp(prefix="zorvel_e2e_")
    problems = []
    try:
        files_dir = os.path.join(case, "files")
        if os.path.isdir(files_dir):
            shutil.copytree(files_dir, run_dir, dirs_exist_ok=True)
        fixtures = os.path.join(case, "fixtures")
        if os.path.exists(fixtures):
            for line in open(fixtures, encoding="utf-8").read().splitlines():
                parts = line.split()
                if not parts:
                    continue
                name, target = parts[0], parts[-1]
                src = os.path.join(a.fixtures, name)
                if not os.path.exists(src):
                    src = os.path.join(a.data, name)
                dst = os.path.join(run_dir, target)
                os.makedirs(os.path.dirname(dst), exist_ok=True)
                shutil.copyfile(src, dst)
        setup = os.path.join(case, "setup")
        if os.path.exists(setup):
            subprocess.run(["/bin/sh", setup], cwd=run_dir, check=True)
        before = snapshot(run_dir)
        saved = tempfile.mkdtemp(prefix="zorvel_inputs_")
        # A dangling link is kept as where it points: it is unchanged while it still dangles there.
        dangling = {rel: os.readlink(full) for rel, full in before.items() if not os.path.exists(full)}
        for rel, full in before.items():
            if rel in dangling:
                continue
            dst = os.path.join(saved, rel)
            os.makedirs(os.path.dirname(dst), exist_ok=True)
            shutil.copy2(full, dst)

        stdin_path = os.path.join(case, "stdin")
        stdin_data = open(stdin_path, "rb").read() if os.path.exists(stdin_path) else b""
        words = read_words(os.path.join(case, "args"))
        started = time.monotonic()
        r = subprocess.run([a.zorvel] + words, cwd=run_dir, input=stdin_data,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=100)
        took = {"seconds": time.monotonic() - started,
                "memory_mb": resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024.0}

        status_path = os.path.join(case, "status")
        want_status = int(open(status_path).read().strip()) if os.path.exists(status_path) else 0
        stdout_path = os.path.join(case, "expected.stdout")
        after = snapshot(run_dir)
        def unchanged(rel, full):
            if rel in dangling:
                return not os.path.exists(full) and os.path.islink(full) and os.readlink(full) == dangling[rel]
            return os.path.exists(full) and filecmp.cmp(full, os.path.join(saved, rel), shallow=False)
        left = {rel: full for rel, full in after.items() if rel not in before or not unchanged(rel, full)}
        shutil.rmtree(saved)
        unchecked_path = os.path.join(case, "unchecked")
        patterns = open(unchecked_path).read().split() if os.path.exists(unchecked_path) else []
        left = {rel: full for rel, full in left.items() if not any(fnmatch.fnmatch(rel, p) for p in patterns)}

        if a.update:
            with open(stdout_path, "wb") as f:
                f.write(r.stdout)
            if r.returncode != 0:
                open(status_path, "w").write(f"{r.returncode}\n")
            elif os.path.exists(status_path):
                os.remove(status_path)
            exp_dir = os.path.join(case, "expected")
            if os.path.isdir(exp_dir):
                shutil.rmtree(exp_dir)
            for rel, full in left.items():
                dst = os.path.join(exp_dir, rel)
                os.makedirs(os.path.dirname(dst), exist_ok=True)
                if rel.endswith((".xmdf", ".h5")):
                    open(dst + ".h5dump", "wb").write(h5dump(full, run_dir))
                else:
                    shutil.copyfile(full, dst)
            if r.stderr:
                print("stderr was not empty:\n" + r.stderr.decode(errors="replace"))
            print(f"updated {case}")
            return 0

        limits_path = os.path.join(case, "limits")
        if os.path.exists(limits_path):
            for line in open(limits_path).read().splitlines():
                if line.split():
                    what, most = line.split()
                    if took[what] > float(most):
                        problems.append(f"the run took {took[what]:.1f} {what}, at most {most} allowed")
        if r.returncode != want_status:
            problems.append(f"exit status {r.returncode}, expected {want_status}")
        if r.stderr:
            problems.append("stderr not empty:\n" + r.stderr.decode(errors="replace"))
        want_stdout = open(stdout_path, "rb").read() if os.path.exists(stdout_path) else b""
        if r.stdout != want_stdout:
            problems.append(diff_text("stdout", want_stdout, r.stdout))
        exp_dir = os.path.join(case, "expected")
        expected = snapshot(exp_dir) if os.path.isdir(exp_dir) else {}
        want_names = set()
        for rel, full in expected.items():
            if rel.endswith(".h5dump"):
                target = rel[: -len(".h5dump")]
                want_names.add(target)
                if target not in after:
                    problems.append(f"missing output {target}")
                    continue
                got = h5dump(after[target], run_dir)
                want = open(full, "rb").read()
                if got != want:
                    problems.append(diff_text(f"h5dump of {target}", want, got))
            else:
                want_names.add(rel)
                if rel not in after or not os.path.exists(after[rel]):
                    problems.append(f"missing output {rel}")
                elif not filecmp.cmp(full, after[rel], shallow=False):
                    problems.append(f"output {rel} differs from expected/{rel}")
        for rel in sorted(set(left) - want_names):
            problems.append(f"unexpected new or changed file {rel}")
        for rel in sorted(set(before) - set(after)):
            problems.append(f"input {rel} is gone")
        check = os.path.abspath(os.path.join(case, "check"))
        if os.path.exists(check):
            env = dict(os.environ, ZORVEL_TOOLS=os.path.dirname(os.path.abspath(__file__)))
            c = subprocess.run(["/bin/sh", check], cwd=run_dir, env=env,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=300)
            if c.returncode != 0:
                problems.append("check failed:\n" + c.stdout.decode(errors="replace"))
    finally:
        if a.keep:
            print(f"run folder kept: {run_dir}")
        else:
            shutil.rmtree(run_dir, ignore_errors=True)
    if problems:
        print(f"FAILED {case}")
        for p in problems:
            print(" - " + p)
        return 1
    return 0


def diff_text(what, want, got):
    import difflib
    w = want.decode("latin-1").splitlines(keepends=True)
    g = got.decode("latin-1").splitlines(keepends=True)
    d = "".join(difflib.unified_diff(w, g, "expected", "actual", n=2))
    return f"{what} differs:\n{d}"


if __name__ == "__main__":
    sys.exit(main())
