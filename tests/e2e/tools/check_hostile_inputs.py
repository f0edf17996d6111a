#!/usr/bin/env python3
"""Whole runs on inputs cut short, in working directories where an output cannot be written, and
over a large block whose open files and memory must stay bounded.

    check_hostile_inputs.py PATH/TO/velk truncations
    check_hostile_inputs.py PATH/TO/velk unwritable
    check_hostile_inputs.py PATH/TO/velk bounded
    check_hostile_inputs.py PATH/TO/velk special

truncations: velk.inf cut after every one of its 33 records, and after the first item of every
free-format record of several items; each data file form (Dunham, MLJ, analytic, pointwise with an
extension block) cut after every one of its lines. A cut where a record is still due must end the
run with status 2 and, as the last console line, the input error naming the file, the line that
is missing and what was expected there. A cut where the rest is optional (velk.inf after record
31, a pointwise file after its points or its dispersion lines) must run normally. The messages
are worked out here from the record layout, not taken from the program.

unwritable: an output name that is taken by a directory, or that leads to a full device, and an
input name that is a directory. The run must end with status 2 and a message naming the file,
leave the directory as it was and create no input file.

bounded: the energy-window run over a block of 50 v by 100 J of a Dunham state A, with branch 3
to five v' of a Dunham state B, so that the upper-state files are requested and read back 100
times. It runs with at most 16 open files allowed, which a file left open per request would
exhaust, and must write every one of its 75000 transitions. Outside the sanitizer build its peak
resident memory is compared with that of a block of 50 v by 10 J: it must not grow with the
block.
(The sanitizer build keeps freed memory in quarantine, so there only the files are checked.)

special: data files that are not regular files or hold a line without end: a FIFO (velk.inf, a
Dunham file, a potential file), /dev/zero behind a data file's name, a directory as a potential
file, and a line of 1 MiB + 1 characters in velk.inf, a Dunham and a potential file (while a line
of exactly 1 MiB is read). Each must end within a few seconds with status 2 and the message naming
the file and what it is, or the file and the line, and leave the directory exactly as it was: no
file lost, none created, the FIFO still a FIFO.

The inputs are those of make_bad_cases.py beside this script. Standard library only. Prints one
line per failure and "N passed, N failed" at the end; the exit status is 1 on any failure.
"""

import os
import resource
import signal
import stat
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no __pycache__ left in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_bad_cases as cases  # noqa: E402

INTEGER = "an integer"
REAL = "a real number"
LINE = "a line"
TEXT = "a line of text"


def items(*kinds):
    """The descriptions of the items of one free-format read, as the input errors word them."""
    if len(kinds) == 1:
        return [kinds[0]]
    return ["%s (item %d of %d)" % (kind, i + 1, len(kinds)) for i, kind in enumerate(kinds)]


# What each record of velk.inf reads: one description per item ([LINE] for a skip, [TEXT] for a
# text read).
CONTROL_RECORDS = {
    1: [LINE], 2: [TEXT], 3: [TEXT], 4: items(INTEGER), 5: [TEXT], 6: [TEXT], 7: items(INTEGER),
    8: [LINE], 9: items(REAL, REAL, INTEGER), 10: items(REAL, REAL, INTEGER), 11: items(INTEGER),
    12: items(REAL), 13: [TEXT], 14: [LINE], 15: [TEXT], 16: items(INTEGER),
    17: items(*[INTEGER] * 6), 18: [LINE], 19: [TEXT], 20: items(*[INTEGER] * 3),
    21: items(*[INTEGER] * 4), 22: [LINE], 23: [TEXT], 24: items(INTEGER),
    25: items(INTEGER, INTEGER, INTEGER, REAL), 26: items(*[INTEGER] * 4), 27: [LINE], 28: [TEXT],
    29: items(REAL, REAL), 30: items(*[INTEGER] * 6), 31: items(*[INTEGER] * 3),
}


class Checker:
    def __init__(self, binary):
        self.binary = binary
        self.passed = 0
        self.failed = 0

    def run(self, files, prepare=None, file_size_limit=None):
        """Runs the binary in a fresh directory holding `files`; returns (status, console lines,
        directory listing after the run). `prepare` may add things to the directory first. With
        `file_size_limit` (bytes) no file can grow beyond it, as on a full disk. The contents of
        the regular files after the run are kept in self.contents."""
        def limit():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (file_size_limit, file_size_limit))
        with tempfile.TemporaryDirectory() as work:
            cases.write_files(work, files)
            if prepare:
                prepare(work)
            result = subprocess.run([self.binary], cwd=work, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=300,
                                    preexec_fn=limit if file_size_limit else None)
            lines = result.stdout.decode("latin-1").rstrip("\n").split("\n")
            listing = {}
            self.contents = {}
            for name in os.listdir(work):
                path = os.path.join(work, name)
                mode = os.lstat(path).st_mode
                listing[name] = ("link" if stat.S_ISLNK(mode) else "dir" if stat.S_ISDIR(mode)
                                 else "fifo" if stat.S_ISFIFO(mode) else "file")
                if stat.S_ISREG(mode):
                    with open(path, "rb") as f:
                        self.contents[name] = f.read()
            return result.returncode, lines, result.stderr.decode("latin-1"), listing

    def expect(self, label, ok, detail):
        if ok:
            self.passed += 1
        else:
            self.failed += 1
            print("FAIL %s: %s" % (label, detail))

    def expect_error(self, label, files, status, message, prepare=None, check_listing=None,
                     file_size_limit=None):
        got_status, lines, stderr, listing = self.run(files, prepare, file_size_limit)
        ok = got_status == status and lines[-1] == message and not stderr
        detail = "status %d, last line %r%s (expected %d, %r)" % (
            got_status, lines[-1], ", stderr " + stderr[:200] if stderr else "", status, message)
        if ok and check_listing:
            problem = check_listing(listing)
            ok, detail = problem is None, problem
        self.expect(label, ok, detail)

    def expect_normal_run(self, label, files, level_file):
        status, lines, stderr, listing = self.run(files)
        # Warnings on what the files hold (a grid beyond the table, a level not found) may come.
        stray = [l for l in stderr.split("\n") if l and not l.startswith("velk: warning: ")]
        self.expect(label, status == 0 and level_file in listing and not stray,
                    "status %d, last line %r, files %s" % (status, lines[-1], sorted(listing)))


def eof_message(name, line, what):
    return "velk: %s, line %d: expected %s, found the end of the file" % (name, line, what)


def cut(content, lines):
    """The first `lines` lines of `content`, each with its line end."""
    return "".join(content.splitlines(keepends=True)[:lines])


def check_truncations(checker):
    records = cases.control()
    full = cases.text(records)
    others = {"dunA.dat": cases.DUN_A, "dunB.dat": cases.DUN_B}

    # velk.inf cut at every record boundary.
    for kept in range(0, 34):
        files = dict(others, **{"velk.inf": cut(full, kept)})
        label = "velk.inf after %d records" % kept
        if kept >= 31:
            checker.expect_normal_run(label, files, "Astate.dat")
        else:
            what = CONTROL_RECORDS[kept + 1][0]
            checker.expect_error(label, files, 2, eof_message("velk.inf", kept + 1, what))

    # A record of several items cut after its first item: the read runs on to the next line,
    # which is not there.
    for record, descriptions in CONTROL_RECORDS.items():
        if len(descriptions) < 2:
            continue
        first_item = records[record - 1].split()[0]
        content = cut(full, record - 1) + first_item + "\n"
        checker.expect_error("velk.inf record %d cut after one item" % record,
                             dict(others, **{"velk.inf": content}), 2,
                             eof_message("velk.inf", record + 1, descriptions[1]))

    # Each data file cut after every line. Every read is a free-format read of numbers, except
    # the text reads listed, so only the file and the line are checked in the message, plus the
    # kind of the expected item where the line is a text read.
    data_files = [
        ("dunA.dat", cases.DUN_A, cases.dunham_files(), {1: TEXT}, set()),
        ("mljA.pot", cases.MLJ_A, cases.mlj_files(), {6: LINE, 7: LINE, 8: TEXT}, set()),
        ("anA.pot", cases.AN_A, cases.an_files(), {6: LINE, 7: LINE, 8: TEXT}, set()),
        # After the last point the extension switch may be missing, and after the dispersion
        # lines the exchange switch: both cuts leave a complete file.
        ("pwA.pot", cases.PW_A, cases.pw_files(), {6: LINE, 7: LINE, 8: TEXT}, {51, 57}),
    ]
    for name, content, files, texts, complete in data_files:
        total = len(content.splitlines())
        for kept in range(0, total):
            label = "%s after %d lines" % (name, kept)
            truncated = dict(files, **{name: cut(content, kept)})
            if kept in complete:
                checker.expect_normal_run(label, truncated, "Astate.dat")
                continue
            status, lines, stderr, listing = checker.run(truncated)
            prefix = "velk: %s, line %d: expected " % (name, kept + 1)
            what = texts.get(kept + 1)
            ok = (status == 2 and lines[-1].startswith(prefix) and
                  lines[-1].endswith(", found the end of the file") and not stderr and
                  (what is None or lines[-1] == eof_message(name, kept + 1, what)) and
                  "Astate.dat" not in listing)
            checker.expect(label, ok, "status %d, last line %r, files %s" %
                           (status, lines[-1], sorted(listing)))


def check_unwritable(checker):
    def directory(name):
        def prepare(work):
            os.mkdir(os.path.join(work, name))
            with open(os.path.join(work, name, "keep"), "w") as f:
                f.write("untouched\n")
        return prepare

    def full_device(name):
        return lambda work: os.symlink("/dev/full", os.path.join(work, name))

    def directory_kept(name):
        def check(listing):
            return None if listing.get(name) == "dir" else "%s is no longer a directory" % name
        return check

    dunham_table = cases.dunham_files()
    one_level = cases.dunham_files(r15="n", r19="y")
    pointwise = cases.pw_files()

    for name, files in (("Astate.dat", dunham_table), ("vel_tran.out", one_level),
                        ("BstateQ.dat", one_level), ("potext.out", pointwise)):
        checker.expect_error("%s is a directory" % name, files, 2,
                             'velk: cannot write output file "%s": it is a directory' % name,
                             directory(name), directory_kept(name))

    # A FIFO in an output's place is refused at once (writing into it would block until a reader
    # came) and left as it is.
    def fifo(name):
        return lambda work: os.mkfifo(os.path.join(work, name))

    def fifo_kept(name):
        def check(listing):
            return None if listing.get(name) == "fifo" else "%s is no longer a FIFO" % name
        return check

    for name, files in (("Astate.dat", dunham_table), ("vel_tran.out", one_level)):
        checker.expect_error("%s is a FIFO" % name, files, 2,
                             'velk: cannot write output file "%s": it is a FIFO' % name,
                             fifo(name), fifo_kept(name))

    # An output name that is a link is replaced by the new file; what it pointed to is not
    # written through (the run succeeds although /dev/full takes no byte).
    if os.path.exists("/dev/full"):
        status, lines, stderr, listing = checker.run(dunham_table, full_device("Astate.dat"))
        checker.expect("a link named Astate.dat is replaced",
                       status == 0 and listing.get("Astate.dat") == "file",
                       "status %d, last line %r, Astate.dat is a %s" %
                       (status, lines[-1], listing.get("Astate.dat")))

    # A disk that fills up while an output is written: the run ends with status 2 naming the
    # file, and the output keeps what it held before (no empty or cut file, no temporary left).
    previous = b"the table of an earlier run\n"

    def earlier(*names):
        def prepare(work):
            for name in names:
                with open(os.path.join(work, name), "wb") as f:
                    f.write(previous)
        return prepare

    def kept(*names):
        def check(listing):
            for name in names:
                if checker.contents.get(name) != previous:
                    return "%s lost its earlier content: %r" % (name, checker.contents.get(name))
            stray = [n for n in listing if ".velk-" in n]
            return "temporary files left: %s" % stray if stray else None
        return check

    # (file that fills the disk, case, size limit in bytes, outputs that must keep their content)
    # The one-level run writes Astate.dat (228 bytes) in full before BstateQ.dat (304) meets the
    # limit of 250; BstateQ.dat and vel_tran.out, never completed, keep what they held.
    for name, files, limit, outputs in (
            ("Astate.dat", dunham_table, 200, ("Astate.dat",)),
            ("BstateQ.dat", one_level, 250, ("BstateQ.dat", "vel_tran.out")),
            ("potext.out", pointwise, 200, ("potext.out", "Astate.dat"))):
        checker.expect_error("%s on a full disk" % name, files, 2,
                             'velk: writing output file "%s" failed: File too large' % name,
                             earlier(*outputs), kept(*outputs), file_size_limit=limit)

    without_control = {k: v for k, v in dunham_table.items() if k != "velk.inf"}
    checker.expect_error("velk.inf is a directory", without_control, 2,
                         'velk: cannot open input file "velk.inf": it is a directory',
                         directory("velk.inf"), directory_kept("velk.inf"))
    without_dunham = {k: v for k, v in dunham_table.items() if k != "dunA.dat"}
    checker.expect_error("a Dunham file is a directory", without_dunham, 2,
                         'velk: cannot open input file "dunA.dat": it is a directory',
                         directory("dunA.dat"), directory_kept("dunA.dat"))
    without_potential = {k: v for k, v in pointwise.items() if k != "pwA.pot"}
    checker.expect_error("a missing potential file is not created", without_potential, 2,
                         'velk: cannot open input file "pwA.pot": no such file', None,
                         lambda listing: None if "pwA.pot" not in listing
                         else "pwA.pot was created")


def kinds_in(work):
    """Every entry of `work` and what it is."""
    listing = {}
    for name in os.listdir(work):
        mode = os.lstat(os.path.join(work, name)).st_mode
        listing[name] = ("link" if stat.S_ISLNK(mode) else "dir" if stat.S_ISDIR(mode) else
                         "fifo" if stat.S_ISFIFO(mode) else "file")
    return listing


def check_special(checker):
    # A hang shows as a run over this limit; a refusal takes milliseconds.
    limit = 20

    def expect_refusal(label, files, message, prepare=None):
        with tempfile.TemporaryDirectory() as work:
            cases.write_files(work, files)
            if prepare:
                prepare(work)
            before = kinds_in(work)
            # A session of its own, so that a hung run is ended with everything it started.
            child = subprocess.Popen([checker.binary], cwd=work, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     start_new_session=True)
            try:
                out, err = child.communicate(timeout=limit)
            except subprocess.TimeoutExpired:
                os.killpg(child.pid, signal.SIGKILL)
                child.communicate()
                checker.expect(label, False, "no end within %d s" % limit)
                return
            last = out.decode("latin-1").rstrip("\n").split("\n")[-1]
            after = kinds_in(work)
            stderr = err.decode("latin-1")
            checker.expect(label, child.returncode == 2 and last == message and not stderr and
                           before == after,
                           "status %d, last line %r%s, files before %s, after %s "
                           "(expected 2, %r)" % (child.returncode, last,
                                                 ", stderr " + stderr[:200] if stderr else "",
                                                 sorted(before.items()), sorted(after.items()),
                                                 message))

    def fifo(name):
        return lambda work: os.mkfifo(os.path.join(work, name))

    def device(name):
        return lambda work: os.symlink("/dev/zero", os.path.join(work, name))

    def directory(name):
        return lambda work: os.mkdir(os.path.join(work, name))

    def without(files, name):
        return {k: v for k, v in files.items() if k != name}

    def opening(name, what):
        return 'velk: cannot open input file "%s": %s' % (name, what)

    def too_long(name, line):
        return "velk: %s, line %d: the line is longer than 1048576 characters" % (name, line)

    dunham = cases.dunham_files()
    pointwise = cases.pw_files()
    expect_refusal("velk.inf is a FIFO", without(dunham, "velk.inf"),
                   opening("velk.inf", "it is a FIFO"), fifo("velk.inf"))
    expect_refusal("a Dunham file is a FIFO", without(dunham, "dunA.dat"),
                   opening("dunA.dat", "it is a FIFO"), fifo("dunA.dat"))
    expect_refusal("a potential file is a FIFO", without(pointwise, "pwA.pot"),
                   opening("pwA.pot", "it is a FIFO"), fifo("pwA.pot"))
    if os.path.exists("/dev/zero"):
        expect_refusal("a Dunham file is /dev/zero", without(dunham, "dunA.dat"),
                       opening("dunA.dat", "it is a device"), device("dunA.dat"))
        expect_refusal("a potential file is /dev/zero", without(pointwise, "pwA.pot"),
                       opening("pwA.pot", "it is a device"), device("pwA.pot"))
    expect_refusal("a potential file is a directory", without(pointwise, "pwA.pot"),
                   opening("pwA.pot", "it is a directory"), directory("pwA.pot"))

    # Record 1 of velk.inf and line 2 of a data file (read as text or as free format) 1 MiB + 1
    # characters long; the first line of a Dunham file (the kind letter, a text read) exactly
    # 1 MiB long reads as before.
    mib = 1 << 20
    control_lines = cases.control()
    long_control = cases.text(["t" * (mib + 1)] + control_lines[1:])
    expect_refusal("a line of velk.inf over 1 MiB", dict(dunham, **{"velk.inf": long_control}),
                   too_long("velk.inf", 1))
    dun_lines = cases.DUN_A.split("\n")
    long_dunham = "\n".join(dun_lines[:1] + [dun_lines[1] + " " * (mib + 1 - len(dun_lines[1]))] +
                            dun_lines[2:])
    expect_refusal("a line of a Dunham file over 1 MiB", dict(dunham, **{"dunA.dat": long_dunham}),
                   too_long("dunA.dat", 2))
    pw_lines = cases.PW_A.split("\n")
    long_pointwise = "\n".join(pw_lines[:1] + ["x" * (mib + 1)] + pw_lines[2:])
    expect_refusal("a line of a potential file over 1 MiB",
                   dict(pointwise, **{"pwA.pot": long_pointwise}), too_long("pwA.pot", 2))
    at_limit = "\n".join([dun_lines[0] + " " * (mib - len(dun_lines[0]))] + dun_lines[1:])
    status, lines, stderr, listing = checker.run(dict(dunham, **{"dunA.dat": at_limit}))
    _, clean_lines, _, _ = checker.run(dunham)
    checker.expect("a line of exactly 1 MiB reads as before",
                   status == 0 and lines == clean_lines and not stderr and "Astate.dat" in listing,
                   "status %d, last line %r" % (status, lines[-1]))


def run_limited(binary, files, max_open_files):
    """Runs the binary on `files` with a limit on open files; returns (status, peak resident
    memory in kB as last seen in /proc, lines of vel_tran.out, last console line). The peak is
    read while the run goes on (VmHWM only grows), since the resource usage of a child would
    include the copy of this interpreter it was forked from."""
    def limit():
        resource.setrlimit(resource.RLIMIT_NOFILE, (max_open_files, max_open_files))

    with tempfile.TemporaryDirectory() as work:
        cases.write_files(work, files)
        peak = 0
        with open(os.path.join(work, "stdout.txt"), "wb") as out:
            child = subprocess.Popen([binary], cwd=work, stdin=subprocess.DEVNULL, stdout=out,
                                     stderr=subprocess.DEVNULL, preexec_fn=limit)
            while child.poll() is None:
                try:
                    with open("/proc/%d/status" % child.pid) as status_file:
                        for line in status_file:
                            if line.startswith("VmHWM:") and os.path.realpath(
                                    "/proc/%d/exe" % child.pid) == os.path.realpath(binary):
                                peak = max(peak, int(line.split()[1]))
                except OSError:
                    pass
                time.sleep(0.002)
        with open(os.path.join(work, "stdout.txt"), "rb") as f:
            last = f.read().decode("latin-1").rstrip("\n").split("\n")[-1]
        path = os.path.join(work, "vel_tran.out")
        lines = 0
        if os.path.exists(path):
            with open(path, "rb") as f:
                lines = f.read().count(b"\n")
        return child.returncode, peak, lines, last


def check_bounded(checker):
    def window(block):
        return cases.dunham_files(r15="n", r28="y", r29="0.0 1.0e6", r30=block, r31="0 4 3")

    # Four header lines, then 5 v' in the P, Q and R branches for every lower level; every
    # wavenumber (about 50000 cm-1) lies inside the window.
    small = run_limited(checker.binary, window("0 49 0 9 1 1"), 16)
    large = run_limited(checker.binary, window("0 49 0 99 1 1"), 16)
    checker.expect("small block", small[0] == 0 and small[2] == 4 + 500 * 15,
                   "status %d, %d lines of vel_tran.out, last line %r" %
                   (small[0], small[2], small[3]))
    checker.expect("large block with at most 16 open files", large[0] == 0 and
                   large[2] == 4 + 5000 * 15, "status %d, %d lines of vel_tran.out, last line %r"
                   % (large[0], large[2], large[3]))
    with open(checker.binary, "rb") as f:
        sanitized = b"__asan_init" in f.read()
    growth = large[1] - small[1]
    print("peak resident memory: %d kB for 500 lower levels, %d kB for 5000%s" %
          (small[1], large[1], " (sanitizer build, not compared)" if sanitized else ""))
    if not sanitized:
        checker.expect("memory was measured", small[1] > 0 and large[1] > 0,
                       "no VmHWM read from /proc")
        checker.expect("memory does not grow with the block", growth < 1024,
                       "%d kB more for 5000 lower levels than for 500" % growth)


def main():
    modes = {"truncations": check_truncations, "unwritable": check_unwritable,
             "bounded": check_bounded, "special": check_special}
    if len(sys.argv) != 3 or sys.argv[2] not in modes:
        raise SystemExit("usage: check_hostile_inputs.py PATH/TO/velk " + "|".join(modes))
    checker = Checker(os.path.abspath(sys.argv[1]))
    modes[sys.argv[2]](checker)
    print("%d passed, %d failed" % (checker.passed, checker.failed))
    sys.exit(1 if checker.failed else 0)


if __name__ == "__main__":
    main()
