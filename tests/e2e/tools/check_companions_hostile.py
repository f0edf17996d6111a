#!/usr/bin/env python3
"""The companions of velk (velk-props, its spectrum command, velk-plot) and velk's own console, as
a hostile user meets them: inputs named like outputs, FIFOs, devices, endless lines, values no
run writes, a closed standard output, a second run in the same folder.

    check_companions_hostile.py BINDIR CASE      (BINDIR holds velk, velk-props and velk-plot)

Each case builds a working directory from the examples, runs the programs and checks the status,
the last line of the message, that every input is unchanged and that no temporary file is left.
Standard library only; exit status 1 on a failure, with what was found.
"""

import os
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
EXAMPLES = os.path.join(ROOT, "examples")
MOMENT = os.path.join(ROOT, "tests", "props", "na2_absorb_morse", "tdm.txt")
LIMIT = 20  # seconds: a refusal takes milliseconds, a hang runs into this
WHOLE_RUN = 600  # seconds for a run that is meant to finish (long in the sanitizer build)


class Failure(Exception):
    pass


def run(binary, args, work, timeout=LIMIT, stdout=subprocess.PIPE):
    child = subprocess.Popen([binary] + args, cwd=work, stdin=subprocess.DEVNULL, stdout=stdout,
                             stderr=subprocess.PIPE, start_new_session=True)
    try:
        out, err = child.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(child.pid, signal.SIGKILL)
        child.communicate()
        raise Failure("%s %s: no end within %d s" % (os.path.basename(binary), args, timeout))
    text = (out or b"").decode("utf-8", "replace").rstrip("\n").split("\n")
    return child.returncode, text[-1], err.decode("utf-8", "replace")


def snapshot(work):
    """Every entry and what it holds (a FIFO or a link as its kind)."""
    kinds = {}
    for name in os.listdir(work):
        path = os.path.join(work, name)
        mode = os.lstat(path).st_mode
        if stat.S_ISREG(mode):
            with open(path, "rb") as f:
                kinds[name] = f.read()
        else:
            kinds[name] = "fifo" if stat.S_ISFIFO(mode) else "link" if stat.S_ISLNK(mode) else "dir"
    return kinds


class Case:
    def __init__(self, bindir, work):
        self.velk = os.path.join(bindir, "velk")
        self.props = os.path.join(bindir, "velk-props")
        self.plot = os.path.join(bindir, "velk-plot")
        self.work = work

    def copy_example(self, name, *extra):
        for f in os.listdir(os.path.join(EXAMPLES, name)):
            if f != "README.md":
                shutil.copy(os.path.join(EXAMPLES, name, f), self.work)
        for f in extra:
            shutil.copy(f, self.work)

    def path(self, name):
        return os.path.join(self.work, name)

    def write(self, name, text):
        with open(self.path(name), "w") as f:
            f.write(text)

    def ok(self, binary, *args):
        status, last, err = run(binary, list(args), self.work, timeout=WHOLE_RUN)
        if status != 0:
            raise Failure("setup %s %s: status %d, %r %s" % (binary, args, status, last, err))

    def fcf_run(self):
        """The absorption with both states as curves: vel_tran.out and vel_tran.csv with moments."""
        self.copy_example("na2-absorb-fcf", MOMENT)
        self.ok(self.velk)
        self.ok(self.props, "transitions", "--moment", "tdm.txt")

    def refused(self, binary, args, message, changed=()):
        """Status 2 with the parts of `message` (separated by |) in the last line, and nothing but
        `changed` different."""
        before = snapshot(self.work)
        status, last, err = run(binary, args, self.work)
        after = snapshot(self.work)
        if status != 2 or any(part not in last for part in message.split("|")):
            raise Failure("status %d, last line %r, stderr %r (expected 2 and %r)" %
                          (status, last, err[:300], message))
        for name in set(before) | set(after):
            if name not in changed and before.get(name) != after.get(name):
                raise Failure("%s changed (%s)" % (name, "created" if name not in before else
                                                   "removed" if name not in after else "rewritten"))


def moment_named_like_output(c):
    c.fcf_run()
    c.write("vel_tran.csv", "2 0.5\n14 6.5\n")
    c.refused(c.props, ["transitions", "--moment", "vel_tran.csv"],
              "is the output vel_tran.csv of this command")


def data_file_named_like_spectrum(c):
    c.copy_example("na2-absorb-fcf", MOMENT)
    os.rename(c.path("na2amors.pot"), c.path("spectrum.csv"))
    with open(c.path("velk.inf")) as f:
        text = f.read()
    c.write("velk.inf", text.replace("na2amors.pot", "spectrum.csv"))
    c.ok(c.velk)
    c.ok(c.props, "transitions")
    c.refused(c.props, ["spectrum"], "the data file of state B is the output spectrum.csv")


def potential_named_like_picture(c):
    c.copy_example("na2-x-analytic")
    os.rename(c.path("na2x.pot"), c.path("plot_A.svg"))
    with open(c.path("velk.inf")) as f:
        text = f.read()
    c.write("velk.inf", text.replace("na2x.pot", "plot_A.svg"))
    c.ok(c.velk)
    c.refused(c.plot, ["A"], "the data file of state A is the output plot_A.svg")


def special(kind, name, command):
    """`name` replaced by a FIFO, /dev/zero or a line of 1 MiB + 1 characters."""
    def case(c):
        c.fcf_run()
        c.ok(c.props, "spectrum")
        os.remove(c.path(name))
        if kind == "fifo":
            os.mkfifo(c.path(name))
            message = "%s|a FIFO" % name
        elif kind == "zero":
            os.symlink("/dev/zero", c.path(name))
            message = "%s|a device" % name
        else:
            c.write(name, "x" * ((1 << 20) + 1) + "\n")
            message = "%s, line 1: the line is longer than 1048576 characters" % name
        args = ["transitions", "--moment", name] if command == "moment" else ["spectrum"]
        c.refused(c.props, args, message)
    return case


def line_list_value(value):
    def case(c):
        c.fcf_run()
        with open(c.path("vel_tran.csv")) as f:
            lines = f.read().split("\n")
        cells = lines[1].split(",")
        cells[lines[0].split(",").index("wavenumber")] = value
        lines[1] = ",".join(cells)
        c.write("vel_tran.csv", "\n".join(lines))
        c.refused(c.props, ["spectrum"], "vel_tran.csv: line 2: expected a number wavenumber")
    return case


def huge_moment(c):
    c.fcf_run()
    c.write("big.txt", "0.5 2\n1 2\n2 3\n40 1e300\n")
    c.refused(c.props, ["transitions", "--moment", "big.txt"],
              "big.txt: line 4: expected a transition moment of at most 1e6 D")


def level_file_v(v, expect_refusal):
    def case(c):
        c.copy_example("na2-x-analytic")
        c.ok(c.velk)
        with open(c.path("Astate.dat")) as f:
            lines = f.read().split("\n")
        lines[7] = "    2 %d" % v + lines[7][9:]
        c.write("Astate.dat", "\n".join(lines))
        if expect_refusal:
            c.refused(c.props, ["A"], "Astate.dat: line 8: v = %d, J = 0 lies beyond" % v)
            return
        # One far row costs one level's search, not the search of every v below it.
        start = time.time()
        status, last, err = run(c.props, ["A"], c.work, timeout=WHOLE_RUN)
        # The fast search of every v up to the far one took 88 s outside the sanitizers.
        if status != 0 or "1 not found" not in last or time.time() - start > 60:
            raise Failure("status %d, %r after %.0f s" % (status, last, time.time() - start))
    return case


def wavefunction_limit(c):
    c.copy_example("na2-x-analytic")
    c.ok(c.velk)
    c.refused(c.props, ["A", "--wavefunctions", "--wavefunctions-limit", "100"],
              "Astate_wf.csv could take up to 219 MB (50000 points by 198 levels), over the limit")


def closed_console(c):
    """velk's standard output closed at once: the level file is written whole all the same."""
    c.copy_example("na2-x-analytic")
    reference = tempfile.mkdtemp(dir=c.work)
    for f in ("na2x.pot", "velk.inf"):
        shutil.copy(c.path(f), reference)
    run(c.velk, [], reference, timeout=WHOLE_RUN)
    read_end, write_end = os.pipe()
    os.close(read_end)
    status, _, err = run(c.velk, [], c.work, timeout=WHOLE_RUN, stdout=write_end)
    os.close(write_end)
    with open(c.path("Astate.dat"), "rb") as a, open(os.path.join(reference, "Astate.dat"), "rb") as b:
        same = a.read() == b.read()
    stray = [n for n in os.listdir(c.work) if ".velk-" in n]
    if status != 4 or not same or stray:
        raise Failure("status %d (expected 4), Astate.dat %s, temporaries %s, stderr %r" %
                      (status, "complete" if same else "differs", stray, err[:200]))


def held_locks(path):
    """Whether /proc/locks lists a lock on the file at `path`."""
    inode = os.stat(path).st_ino
    with open("/proc/locks") as f:
        return any(line.split()[5].endswith(":%d" % inode) for line in f if len(line.split()) > 5)


def second_run_refused(c):
    """A second velk in the folder of a running one stops at once, writing nothing; no lock file
    stays. The first run's lock is awaited in /proc/locks, so that the second surely meets it."""
    c.copy_example("na2-x-analytic")
    before = set(os.listdir(c.work))
    first = subprocess.Popen([c.velk], cwd=c.work, stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while first.poll() is None and not held_locks(c.path("velk.inf")):
        time.sleep(0.001)
    if first.poll() is not None:
        raise Failure("the first run ended (status %d) without a lock on velk.inf" % first.returncode)
    status, last, _ = run(c.velk, [], c.work)
    first_status = first.wait(timeout=WHOLE_RUN)
    if first_status != 0 or status != 1 or "another run of velk is working in this folder" not in last:
        raise Failure("first run %d, second run %d %r" % (first_status, status, last))
    left = set(os.listdir(c.work)) - before - {"Astate.dat"}
    if left or held_locks(c.path("velk.inf")):
        raise Failure("left behind: %s, lock still listed: %s" % (sorted(left),
                                                                  held_locks(c.path("velk.inf"))))


def many_threads_said(c):
    c.copy_example("na2-x-analytic")
    threads = max(64, 4 * (os.cpu_count() or 1) + 1)
    threads = min(threads, 256)
    status, _, err = run(c.velk, ["--threads", str(threads)], c.work, timeout=WHOLE_RUN)
    if status != 0 or ("velk: warning: --threads %d on " % threads) not in err:
        raise Failure("status %d, stderr %r" % (status, err[:300]))


def interrupted_wavefunctions(c):
    """SIGINT while velk-props writes its wave functions: status 130, no file cut, none left."""
    c.copy_example("na2-x-analytic")
    c.ok(c.velk)
    before = snapshot(c.work)
    child = subprocess.Popen([c.props, "A", "--wavefunctions"], cwd=c.work,
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    deadline = time.time() + WHOLE_RUN
    while time.time() < deadline and child.poll() is None:
        if any(n.startswith(".Astate_wf.csv.velk-") for n in os.listdir(c.work)):
            child.send_signal(signal.SIGINT)
            break
        time.sleep(0.001)
    status = child.wait(timeout=WHOLE_RUN)
    after = snapshot(c.work)
    after.pop("Astate_props.csv", None)  # complete before the wave functions were begun
    if status != 130 or after != before:
        raise Failure("status %d, entries now %s" % (status, sorted(set(after) ^ set(before))))


CASES = {
    "moment_named_like_output": moment_named_like_output,
    "data_file_named_like_spectrum": data_file_named_like_spectrum,
    "potential_named_like_picture": potential_named_like_picture,
    "moment_fifo": special("fifo", "tdm.txt", "moment"),
    "moment_device": special("zero", "tdm.txt", "moment"),
    "moment_endless_line": special("long", "tdm.txt", "moment"),
    "line_list_fifo": special("fifo", "vel_tran.csv", "spectrum"),
    "line_list_device": special("zero", "vel_tran.csv", "spectrum"),
    "line_list_endless_line": special("long", "vel_tran.csv", "spectrum"),
    "transition_list_fifo": special("fifo", "vel_tran.out", "spectrum"),
    "line_list_nan": line_list_value("nan"),
    "line_list_1e300": line_list_value("1e300"),
    "moment_1e300": huge_moment,
    "level_file_v_2147483647": level_file_v(2147483647, True),
    "level_file_one_far_v": level_file_v(99990, False),
    "wavefunction_limit": wavefunction_limit,
    "closed_console": closed_console,
    "second_run_refused": second_run_refused,
    "many_threads_said": many_threads_said,
    "interrupted_wavefunctions": interrupted_wavefunctions,
}


def main():
    if len(sys.argv) != 3 or sys.argv[2] not in CASES:
        raise SystemExit("usage: check_companions_hostile.py BINDIR " + "|".join(CASES))
    with tempfile.TemporaryDirectory() as work:
        try:
            CASES[sys.argv[2]](Case(os.path.abspath(sys.argv[1]), work))
        except Failure as failure:
            print("FAIL %s: %s" % (sys.argv[2], failure))
            sys.exit(1)
    print("passed %s" % sys.argv[2])


if __name__ == "__main__":
    main()
