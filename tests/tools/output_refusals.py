#!/usr/bin/python3
"""What a run may not replace is refused where the output is begun, before the work, and a run of
several outputs never replaces some and keeps others for a cause that could be known then:
  - an earlier output the user may not write (mode 444) is kept, for every kind of output
    (".dat", ".xmdf", "times.txt", a listing, an EnSight file, a -conv output): status 1, an
    "ERROR - " line naming it, the folder as it was;
  - in a sticky shared folder, another user's earlier output that the user may write is written
    into (owner and mode kept) once every other output is in place; one the user may not write
    refuses the run, and the run's other earlier outputs stay as they were;
  - a second output name longer than its folder allows (-xnfo, -ensight) ends the run before
    any earlier output is replaced;
  - an immutable earlier output and one that is a mount point are refused (where this machine
    lets the test make them).
The runs go as an unprivileged user (nobody, through setpriv, when the test runs as root);
without root the cases that need another user, chattr or mount are left out.

Usage: output_refusals.py ZORVEL FIXTURES_FOLDER
"""
import os
import shutil
import stat
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from dat_tools import report, write_dat  # noqa: E402

NOBODY = 65534
OTHER = 1  # the owner of "another user's" files: daemon
ROOT = os.geteuid() == 0
EARLIER = b"an earlier output the user keeps"


def runner_prefix():
    """The words that run a command as the unprivileged user."""
    if not ROOT:
        return []
    return ["setpriv", "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY, "--clear-groups"]


def runner_uid():
    return NOBODY if ROOT else os.geteuid()


def runnable(zorvel, shelf):
    """The binary, and the environment of its runs, as the unprivileged user can reach them: the
    build folder (and a suppressions file of the sanitizer's) may lie where that user cannot
    go, so they are copied onto a shelf everyone may read."""
    env = dict(os.environ)
    if not ROOT:
        return zorvel, env
    os.chmod(shelf, 0o755)
    copy = os.path.join(shelf, "zorvel")
    shutil.copy2(zorvel, copy)
    options = []
    for option in env.get("LSAN_OPTIONS", "").split(":"):
        if option.startswith("suppressions="):
            kept = os.path.join(shelf, "lsan.supp")
            shutil.copyfile(option[len("suppressions="):], kept)
            option = "suppressions=" + kept
        options.append(option)
    if options != [""]:
        env["LSAN_OPTIONS"] = ":".join(options)
    return copy, env


RUN_ENV = dict(os.environ)  # the environment of the runs (see runnable)


def run(zorvel, folder, words):
    """A batch run as the unprivileged user: (status, stdout)."""
    r = subprocess.run(runner_prefix() + [zorvel, "-b"] + words, cwd=folder, stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120, env=RUN_ENV)
    return r.returncode, r.stdout + r.stderr


def snapshot(folder):
    """Every entry of the folder: its bytes, owner and mode."""
    out = {}
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        st = os.lstat(path)
        out[name] = (open(path, "rb").read() if stat.S_ISREG(st.st_mode) else None, st.st_uid, st.st_mode)
    return out


def new_folder(mode=0o777):
    folder = tempfile.mkdtemp(prefix="zorvel_refuse_")
    os.chmod(folder, mode)
    return folder


def earlier(folder, name, mode=0o444, owner=None):
    """An earlier output under the name, with its mode and owner (by default the runner)."""
    path = os.path.join(folder, name)
    with open(path, "wb") as f:
        f.write(EARLIER)
    if ROOT:
        os.chown(path, runner_uid() if owner is None else owner, 0)
    os.chmod(path, mode)


def depth_input(folder, name):
    write_dat(os.path.join(folder, name), "Depth", False, 3, 2,
              [(1.0, [1, 1], [1.0, 2.0, 3.0]), (2.0, [1, 1], [2.0, 3.0, 4.0])])


def copy_fixture(fixtures, folder, name, target):
    shutil.copyfile(os.path.join(fixtures, name), os.path.join(folder, target))


def expect_refused(case, folder, before, status, stdout, name, faults):
    """The run ended with status 1 and an "ERROR - " line naming the output where it was begun
    (not once the work was done, at the move), the folder as it was."""
    errors = [line for line in stdout.splitlines() if line.startswith(b"ERROR - ")]
    if status != 1 or not errors or name.encode() not in errors[-1] or b"Unable to move" in errors[-1]:
        faults.append("%s: status %d, console ends %r" % (case, status, stdout[-300:]))
    after = snapshot(folder)
    if after != before:
        changed = sorted(n for n in set(before) | set(after) if before.get(n) != after.get(n))
        faults.append("%s: changed or left %s" % (case, [n[:60] for n in changed]))


def read_only_outputs(zorvel, fixtures, faults):
    """An earlier output of mode 444 under each kind of output's name."""
    cases = [
        (".dat", ["-max", "t_d.dat", "-out", "out.dat"], "out.dat"),
        (".xmdf", ["-max", "t_d.dat", "-out", "out.xmdf"], "out.xmdf"),
        ("times.txt", ["-times", "t_d.dat"], "times.txt"),
        ("listing", ["-xnfo", "a.xmdf"], "a.xmdf_xmdf_info.txt"),
        ("EnSight", ["-ensight", "run_h.dat"], "run_hMax.0001"),
        ("-conv", ["-conv", "t_d.dat"], "t.xmdf"),
    ]
    for what, words, name in cases:
        folder = new_folder()
        try:
            depth_input(folder, "t_d.dat")
            copy_fixture(fixtures, folder, "drv_x.xmdf", "a.xmdf")
            copy_fixture(fixtures, folder, "ens_dat.2dm", "run.2dm")
            copy_fixture(fixtures, folder, "ens_dat_h.dat", "run_h.dat")
            earlier(folder, name)
            before = snapshot(folder)
            status, stdout = run(zorvel, folder, words)
            expect_refused("read-only %s" % what, folder, before, status, stdout, name, faults)
        finally:
            shutil.rmtree(folder, ignore_errors=True)
    return len(cases)


def h5dump(path):
    return subprocess.run(["h5dump", os.path.basename(path)], cwd=os.path.dirname(path),
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT).stdout


def sticky_folder(zorvel, fixtures, faults):
    """-conv of two run names in a sticky shared folder whose m02.xmdf is another user's."""
    inputs = [("conv_m01_h.dat", "m01_h.dat"), ("conv_m01_d.dat", "m01_d.dat"), ("conv_m02_h.dat", "m02_h.dat")]
    words = ["-conv", "m01_h.dat", "m01_d.dat", "m02_h.dat"]
    reference = new_folder()
    try:
        for name, target in inputs:
            copy_fixture(fixtures, reference, name, target)
        if run(zorvel, reference, words)[0] != 0:
            faults.append("sticky: the run in a folder of its own failed")
            return 1
        for mode, refused in ((0o666, False), (0o644, True)):
            case = "sticky, another user's m02.xmdf of mode %o" % mode
            folder = new_folder(0o1777)
            try:
                for name, target in inputs:
                    copy_fixture(fixtures, folder, name, target)
                earlier(folder, "m01.xmdf", 0o644)
                earlier(folder, "m02.xmdf", mode, owner=OTHER)
                before = snapshot(folder)
                status, stdout = run(zorvel, folder, words)
                if refused:
                    expect_refused(case, folder, before, status, stdout, "m02.xmdf", faults)
                    continue
                if status != 0:
                    faults.append("%s: status %d, console ends %r" % (case, status, stdout[-300:]))
                for name in ("m01.xmdf", "m02.xmdf"):
                    if h5dump(os.path.join(folder, name)) != h5dump(os.path.join(reference, name)):
                        faults.append("%s: %s is not the completed output" % (case, name))
                st = os.stat(os.path.join(folder, "m02.xmdf"))
                if st.st_uid != OTHER or stat.S_IMODE(st.st_mode) != mode:
                    faults.append("%s: m02.xmdf is now owner %d, mode %o" % (case, st.st_uid, st.st_mode))
                if [n for n in os.listdir(folder) if ".zorvel-" in n]:
                    faults.append("%s: temporary files left" % case)
            finally:
                shutil.rmtree(folder, ignore_errors=True)
        return 2
    finally:
        shutil.rmtree(reference, ignore_errors=True)


def names_too_long(zorvel, fixtures, faults):
    """A second output whose name its folder cannot hold, an earlier first output in place."""
    long_xmdf = "x" * 240 + ".xmdf"  # its listing's name is 259 bytes
    long_dat = "r" * 249 + "_d.dat"  # its EnSight file "<name>.0001" is 256 bytes
    cases = [
        ("-xnfo", ["-xnfo", "m1.xmdf", long_xmdf], [("drv_x.xmdf", "m1.xmdf"), ("lst_scalars.xmdf", long_xmdf)],
         ["m1.xmdf_xmdf_info.txt"], long_xmdf + "_xmdf_info.txt"),
        ("-ensight", ["-ensight", "run_h.dat", long_dat],
         [("ens_dat.2dm", "run.2dm"), ("ens_dat_h.dat", "run_h.dat"), ("ens_dat_d.dat", long_dat)],
         ["run.2dm.case", "run.2dm_text.geo", "run_h.0001"], long_dat[:-4] + ".0001"),
    ]
    for what, words, inputs, earlier_names, name in cases:
        case = "name too long, %s" % what
        folder = new_folder()
        try:
            for fixture, target in inputs:
                copy_fixture(fixtures, folder, fixture, target)
            for n in earlier_names:
                earlier(folder, n, 0o644)
            before = snapshot(folder)
            status, stdout = run(zorvel, folder, words)
            expect_refused(case, folder, before, status, stdout, name[:200], faults)
        finally:
            shutil.rmtree(folder, ignore_errors=True)
    return len(cases)


def immutable_and_mount_point(zorvel, faults):
    """An immutable earlier output, and an output name that is a mount point (bind-mounted file)."""
    if not ROOT:
        return 0
    cases = 0
    for what in ("immutable", "mount point"):
        folder = new_folder()
        made = False
        try:
            depth_input(folder, "t_d.dat")
            earlier(folder, "out.dat", 0o666)
            out = os.path.join(folder, "out.dat")
            if what == "immutable":
                made = subprocess.run(["chattr", "+i", out], stderr=subprocess.DEVNULL).returncode == 0
            else:
                source = os.path.join(folder, "source.dat")
                shutil.copyfile(out, source)
                made = subprocess.run(["mount", "--bind", source, out], stderr=subprocess.DEVNULL).returncode == 0
            if not made:
                continue
            cases += 1
            before = snapshot(folder)
            status, stdout = run(zorvel, folder, ["-max", "t_d.dat", "-out", "out.dat"])
            expect_refused(what, folder, before, status, stdout, "out.dat", faults)
        finally:
            if made:
                undo = ["chattr", "-i", out] if what == "immutable" else ["umount", out]
                subprocess.run(undo, stderr=subprocess.DEVNULL)
            shutil.rmtree(folder, ignore_errors=True)
    return cases


def main():
    zorvel = os.path.abspath(sys.argv[1])
    fixtures = os.path.abspath(sys.argv[2])
    shelf = tempfile.mkdtemp(prefix="zorvel_refuse_bin_")
    try:
        zorvel, env = runnable(zorvel, shelf)
        RUN_ENV.update(env)
        faults = []
        cases = read_only_outputs(zorvel, fixtures, faults)
        if ROOT:
            cases += sticky_folder(zorvel, fixtures, faults)
        cases += names_too_long(zorvel, fixtures, faults)
        cases += immutable_and_mount_point(zorvel, faults)
        return report(faults, cases)
    finally:
        shutil.rmtree(shelf, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
