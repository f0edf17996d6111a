#!/usr/bin/env python3
"""Interrupts velk-props and velk-plot as check_interrupts.py interrupts velk, and checks that
nothing is lost.

A case is a working directory made by running velk (and what the command reads) on an example;
each output of the command under test is first given an earlier content, and a reference run
without interruption gives what a completed output holds. The command is interrupted (SIGINT or
SIGTERM) at a chosen moment: while the temporary file of a chosen output exists, or as soon as the
program has put its handlers in place (its mask of caught signals in /proc shows both). Then:
  - the status is 128 + the signal (130, 143) and standard error says "<program>: interrupted";
  - the output being written keeps its earlier content, byte for byte, and every other output
    holds its earlier content or exactly the reference run's;
  - no temporary file is left, and no other file was created.

usage: check_companion_interrupts.py BUILD_DIR SOURCE_DIR CASE SIGINT|SIGTERM
Standard library only. Prints what it found and "N passed, N failed".
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

EARLIER = b"what an earlier run left here\n"


def mlj_levels(build, source, work):
    """66 levels of the MLJ Na2 X curve on a grid of 50000 points: velk-props writes 19 MB of
    wave functions."""
    for name in ("velk.inf", "na2xmlj.pot"):
        shutil.copy(os.path.join(source, "examples", "na2-x-mlj", name), work)
    run([os.path.join(build, "velk")], work)


def mlj_wave_functions(build, source, work):
    mlj_levels(build, source, work)
    run([os.path.join(build, "velk-props"), "A", "--wavefunctions"], work)


def fcf_line_list(build, source, work):
    """The X(0) -> A progression of both curves, its line list made by velk-props transitions."""
    example = os.path.join(source, "examples", "na2-absorb-fcf")
    for name in os.listdir(example):
        if name != "README.md":
            shutil.copy(os.path.join(example, name), work)
    run([os.path.join(build, "velk")], work)
    run([os.path.join(build, "velk-props"), "transitions"], work)


# name: (setup, program, arguments, outputs, moment); the moment is the output whose temporary
# must exist when the signal comes, or None for "once the handlers are in place".
CASES = {
    "props_wavefunctions": (mlj_levels, "velk-props", ["A", "--wavefunctions"],
                            ["Astate_props.csv", "Astate_wf.csv"], "Astate_wf.csv"),
    # A Voigt profile 0.01 cm-1 wide: about 1.3 million points of spectrum.csv.
    "props_spectrum": (fcf_line_list, "velk-props",
                       ["spectrum", "--shape", "voigt", "--fwhm", "0.01"],
                       ["spectrum.csv", "vel_tran.csv"], "spectrum.csv"),
    "plot_wavefunctions": (mlj_wave_functions, "velk-plot", ["A", "--wavefunctions"],
                           ["plot_A.svg"], None),
}


def run(command, cwd):
    subprocess.run(command, cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=600, check=True)


def process_state(pid):
    with open("/proc/%d/stat" % pid) as f:
        return f.read().rsplit(")", 1)[1].split()[0]


def wait_until_stopped(pid):
    """SIGSTOP takes effect asynchronously; the state letter in /proc tells when it has."""
    for _ in range(20000):
        if process_state(pid) in ("T", "t", "Z"):
            return
        time.sleep(0.0001)


def handlers_in_place(pid):
    wanted = (1 << (signal.SIGINT - 1)) | (1 << (signal.SIGTERM - 1))
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("SigCgt:"):
                    return int(line.split()[1], 16) & wanted == wanted
    except OSError:
        pass
    return False


def moment_reached(work, pid, target):
    if target is None:
        return handlers_in_place(pid)
    prefix = "." + target + ".velk-"
    return any(n.startswith(prefix) for n in os.listdir(work))


def interrupted(command, work, outputs, target, signum, complete):
    """Problems found when the command is interrupted at its moment, or None."""
    for name in outputs:
        if target is None or name == target or not os.path.exists(os.path.join(work, name)):
            with open(os.path.join(work, name), "wb") as f:
                f.write(EARLIER)
    earlier = {}
    for name in outputs:
        with open(os.path.join(work, name), "rb") as f:
            earlier[name] = f.read()
    before = set(os.listdir(work))
    proc = subprocess.Popen(command, cwd=work, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    deadline = time.monotonic() + 120
    caught = False
    while time.monotonic() < deadline and proc.poll() is None:
        if moment_reached(work, proc.pid, target):
            # Held still, the program cannot pass the moment between the look and the signal.
            proc.send_signal(signal.SIGSTOP)
            wait_until_stopped(proc.pid)
            if moment_reached(work, proc.pid, target):
                proc.send_signal(signum)
                caught = True
            proc.send_signal(signal.SIGCONT)
            if caught:
                break
        time.sleep(0.0002)
    try:
        _, err = proc.communicate(timeout=60)
    except subprocess.TimeoutExpired:
        proc.kill()
        return "the program did not end after the signal"
    if not caught:
        return "never saw the moment (status %s)" % proc.returncode
    problems = []
    if proc.returncode != 128 + signum:
        problems.append("status %s, expected %d" % (proc.returncode, 128 + signum))
    program = os.path.basename(command[0])
    if (program + ": interrupted").encode() not in err:
        problems.append("standard error says %r" % err[:200])
    for name in outputs:
        with open(os.path.join(work, name), "rb") as f:
            got = f.read()
        if name == target or target is None:
            if got != earlier[name]:
                problems.append("%s, interrupted before it was complete, lost its earlier "
                                "content (%d bytes)" % (name, len(got)))
        elif got != earlier[name] and got != complete[name]:
            problems.append("%s is neither its earlier content nor complete (%d bytes)" %
                            (name, len(got)))
    extra = set(os.listdir(work)) - before
    if extra:
        problems.append("left behind: %s" % sorted(extra))
    return "; ".join(problems) or None


def main():
    build, source, case, signame = sys.argv[1:5]
    setup, program, arguments, outputs, target = CASES[case]
    signum = getattr(signal, signame)
    command = [os.path.join(os.path.abspath(build), program)] + arguments
    with tempfile.TemporaryDirectory() as scratch:
        base = os.path.join(scratch, "base")
        os.mkdir(base)
        setup(os.path.abspath(build), os.path.abspath(source), base)
        reference = os.path.join(scratch, "reference")
        shutil.copytree(base, reference)
        run(command, reference)
        complete = {}
        for name in outputs:
            with open(os.path.join(reference, name), "rb") as f:
                complete[name] = f.read()
        work = os.path.join(scratch, "work")
        shutil.copytree(base, work)
        problem = interrupted(command, work, outputs, target, signum, complete)
    label = "%s %s interrupted %s (%s)" % (
        program, " ".join(arguments),
        "while %s is written" % target if target else "once its handlers are in place", signame)
    if problem:
        print("FAIL %s: %s" % (label, problem))
        print("0 passed, 1 failed")
        sys.exit(1)
    print("ok %s" % label)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
