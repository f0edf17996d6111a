#!/usr/bin/env python3
"""Interrupts velk while it writes its outputs and checks that nothing is lost.

Each case is a working directory built from the examples: every output the run writes is first
given an earlier content; a reference run without interruption gives what a completed output
holds. The run under test is interrupted (SIGINT or SIGTERM) at the moment the temporary file of
a chosen output exists, that is while that output is being written. Then:
  - the status is 128 + the signal (130, 143) and standard error says the run was interrupted;
  - every output holds either its earlier content or exactly the content of the reference run,
    never an empty or cut file;
  - no temporary file is left, and no other file was created.

usage: check_interrupts.py PATH/TO/velk
Standard library only. Prints one line per failure and "N passed, N failed".
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
EXAMPLES = os.path.join(ROOT, "examples")
EARLIER = b"what an earlier run left here\n"


def window_case(work):
    """The energy-window run with both states on the analytic Na2 X curve: it holds vel_tran.out
    open and reads Astate.dat back while it rewrites the branch files for every J''."""
    shutil.copy(os.path.join(EXAMPLES, "na2-window", "na2x.pot"), work)
    with open(os.path.join(EXAMPLES, "na2-window", "velk.inf")) as f:
        lines = f.read().split("\n")
    lines[4] = "na2x.pot"
    lines[5] = "p"
    lines[8] = "2.2 12 20000"
    lines[9] = "2.2 12 20000"
    lines[28] = "0.0 20000.0"
    lines[29] = "0 1 5 25 1 1"
    lines[30] = "0 20 3"
    with open(os.path.join(work, "velk.inf"), "w") as f:
        f.write("\n".join(lines))
    return ["Astate.dat", "BstateP.dat", "BstateQ.dat", "BstateR.dat", "vel_tran.out"]


def table_case(work):
    """A level table of the MLJ Na2 X curve, long enough to be caught while it is written."""
    for name in os.listdir(os.path.join(EXAMPLES, "na2-x-mlj")):
        if name != "README.md":
            shutil.copy(os.path.join(EXAMPLES, "na2-x-mlj", name), work)
    return ["Astate.dat"]


def extension_case(work):
    """A pointwise curve with a fitted extension: potext.out is rewritten by every build."""
    for name in os.listdir(os.path.join(EXAMPLES, "na2-x-points-ext")):
        if name != "README.md":
            shutil.copy(os.path.join(EXAMPLES, "na2-x-points-ext", name), work)
    return ["Astate.dat", "potext.out"]


def reference(binary, make_case):
    with tempfile.TemporaryDirectory() as work:
        outputs = make_case(work)
        subprocess.run([binary], cwd=work, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=600, check=True)
        complete = {}
        for name in outputs:
            with open(os.path.join(work, name), "rb") as f:
                complete[name] = f.read()
        return complete


def is_whole_level_file(content):
    """A level file as written in full: it ends with a line end and holds as many level lines as
    its first line announces (every level of these cases converges, so none is left out). The
    window run rewrites its branch files for every J'', so a branch file completed before the
    interruption is one of several complete versions, not the reference run's last one."""
    lines = content.decode("latin-1").split("\n")
    if not content.endswith(b"\n") or len(lines) < 8:
        return False
    try:
        announced = int(lines[0].split("!")[0])
    except ValueError:
        return False
    return announced == len(lines) - 1 - 6


def wait_until_stopped(pid):
    """SIGSTOP takes effect asynchronously; the state letter in /proc tells when it has."""
    for _ in range(20000):
        with open("/proc/%d/stat" % pid) as f:
            state = f.read().rsplit(")", 1)[1].split()[0]
        if state in ("T", "t", "Z"):
            return
        time.sleep(0.0001)


def interrupted(binary, make_case, target, signum, complete):
    """Problems found when the run is interrupted while `target` is being written, or None."""
    with tempfile.TemporaryDirectory() as work:
        outputs = make_case(work)
        for name in outputs:
            with open(os.path.join(work, name), "wb") as f:
                f.write(EARLIER)
        before = set(os.listdir(work))
        proc = subprocess.Popen([binary], cwd=work, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        prefix = "." + target + ".velk-"
        deadline = time.monotonic() + 120
        caught = False
        while time.monotonic() < deadline and proc.poll() is None:
            if any(n.startswith(prefix) for n in os.listdir(work)):
                # Held still, the run cannot finish the file between the look and the signal:
                # the signal is delivered before it goes on.
                proc.send_signal(signal.SIGSTOP)
                wait_until_stopped(proc.pid)
                if any(n.startswith(prefix) for n in os.listdir(work)):
                    proc.send_signal(signum)
                    caught = True
                proc.send_signal(signal.SIGCONT)
                if caught:
                    break
            time.sleep(0.0005)
        try:
            _, err = proc.communicate(timeout=60)
        except subprocess.TimeoutExpired:
            proc.kill()
            return "the run did not end after the signal"
        if not caught:
            return "never saw %s being written (status %s)" % (target, proc.returncode)
        problems = []
        if proc.returncode != 128 + signum:
            problems.append("status %s, expected %d" % (proc.returncode, 128 + signum))
        if b"interrupted" not in err:
            problems.append("standard error says %r" % err[:200])
        for name in outputs:
            with open(os.path.join(work, name), "rb") as f:
                got = f.read()
            whole = got == complete[name] or (name.startswith("Bstate") and is_whole_level_file(got))
            if got != EARLIER and not whole:
                problems.append("%s is neither its earlier content nor complete (%d bytes)" %
                                (name, len(got)))
        with open(os.path.join(work, target), "rb") as f:
            got = f.read()
            # potext.out is written at each build of the curve (for toadd, then for the levels):
            # a signal that catches a later write finds the first one complete.
            if got != EARLIER and not (target == "potext.out" and got == complete[target]):
                problems.append("%s, interrupted while written, lost its earlier content" % target)
        extra = set(os.listdir(work)) - before
        if extra:
            problems.append("left behind: %s" % sorted(extra))
        return "; ".join(problems) or None


def main():
    binary = os.path.abspath(sys.argv[1])
    passed = failed = 0
    cases = [(table_case, "Astate.dat"), (window_case, "vel_tran.out"),
             (window_case, "BstateQ.dat"), (window_case, "BstateR.dat"),
             (extension_case, "potext.out")]
    references = {}
    for make_case, target in cases:
        if make_case not in references:
            references[make_case] = reference(binary, make_case)
        for signum in (signal.SIGINT, signal.SIGTERM):
            problem = interrupted(binary, make_case, target, signum, references[make_case])
            label = "%s while %s is written (%s)" % (make_case.__name__, target,
                                                      signal.Signals(signum).name)
            if problem:
                failed += 1
                print("FAIL %s: %s" % (label, problem))
            else:
                passed += 1
    print("%d passed, %d failed" % (passed, failed))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
