#!/usr/bin/env python3
"""velk --fast against the default mode on every e2e case.

Each case folder under tests/e2e (and tests/e2e/bad) that holds an expected/ folder is copied to a
scratch directory and run with --fast. Its expected files are the default mode's output, checked by
the golden checkers; the fast run must give:

- the same exit status, and on a stop the same last line of standard output;
- the same set of files, and every file that holds no level energy byte for byte;
- in a level file (header "iline,nv,Jline,..."), the same rows in the same order with the same
  iline, v, J, Par, ic and node, and each energy within tol + 1e-5 cm-1 of the default's: both
  searches converge to tol on the same grid and curve, and the file prints five decimals;
  Ein, delE, Dcor, kleft-krigth and kturn are the fast search's own history and are not compared.
  A default-mode level that expected/stderr.txt says "did not come from a turning solution" is no
  level of the grid: the fast search finds the level of the grid instead, and only its energy
  is not compared.
  Where the default mode left a level unconverged (|Dcor| > tol) its energy is no reference, and
  from the third such level of a J on it lists nothing; the fast search converges such levels
  (it does not integrate the inner wall where a coarse step breaks the recurrence, and needs
  fewer iterations than a small maxit). In such a file every converged row of the default mode
  must be among the fast mode's rows, with its energy as above;
- in vel_tran.out, the same lines with every integer field equal and every wavenumber within
  4·(tol + 1e-5) + 1e-6 cm-1: a wavenumber is the difference of two level energies, and the
  second column of a branch the difference of two wavenumbers, so up to four energies enter a
  printed value, which has six decimals;
- the warnings of levels beyond the last level of their J, where the case keeps its standard
  error: every "lies above the last level" and "not found" line of expected/stderr.txt, and no
  other.

    python3 tests/e2e/tools/check_fast_mode.py build/velk [CASE_DIR ...]

Without case folders every case is taken. The exit status is 1 when any case failed.
"""
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

E2E = pathlib.Path(__file__).resolve().parent.parent


def read_tol(case):
    """The tolerance of velk.inf: the first token of its twelfth line (a Fortran D exponent too)."""
    try:
        line = (case / "velk.inf").read_text(errors="replace").splitlines()[11]
        return float(line.split()[0].rstrip(",").replace("D", "E").replace("d", "e"))
    except (IndexError, ValueError, OSError):
        return None


def level_rows(text):
    rows, other = [], []
    for line in text.splitlines():
        fields = line.split()
        if len(fields) >= 12 and all(re.fullmatch(r"-?\d+", f) for f in fields[:3]):
            rows.append(fields)
        else:
            other.append(line)
    return rows, other


def same_fields(w, g, iline=True):
    """iline (unless iline is False), v, J, Par, ic and node agree; a quasi-bound row ("res." in place of krigth) also
    carries its tunnelling figure, the barrier top and the limit, which agree too."""
    keys = [0, 1, 2, 4, 6] if iline else [1, 2, 4, 6]
    if "res." in w:
        at = w.index("res.")
        keys += list(range(at + 2, len(w)))
    else:
        keys.append(len(w) - 1)
    return len(w) == len(g) and all(w[i] == g[i] for i in keys)


def unjoined_levels(stderr_text):
    """(v, J) of the levels the default mode warns are no levels of the grid."""
    found = re.findall(r"v=(\d+) J=(\d+) at \S+ cm-1 did not come from a turning solution", stderr_text)
    return {(v, J) for v, J in found}


def compare_level_file(name, want, got, tol, unjoined=frozenset()):
    want_rows, want_other = level_rows(want)
    got_rows, got_other = level_rows(got)
    problems = []
    if want_other != got_other:
        problems.append(f"{name}: the lines around the levels differ")
    if len(want_rows) != len(got_rows) and not any(abs(float(w[8])) > tol for w in want_rows):
        return problems + [f"{name}: {len(got_rows)} levels, the default mode has {len(want_rows)}"]
    limit = tol + 1e-5 + 1e-9
    if any(abs(float(w[8])) > tol for w in want_rows):
        fast = {(g[1], g[2], g[4]): g for g in got_rows}
        for w in want_rows:
            if abs(float(w[8])) > tol:
                continue
            g = fast.get((w[1], w[2], w[4]))
            if g is None or not same_fields(w, g, iline=False) or \
                    abs(float(w[3]) - float(g[3])) > limit:
                problems.append(f"{name}: converged level {' '.join(w)}, fast {g}")
        return problems
    for w, g in zip(want_rows, got_rows):
        if not same_fields(w, g):
            problems.append(f"{name}: row {' '.join(g)} where the default has {' '.join(w)}")
        elif abs(float(w[3]) - float(g[3])) > limit and (w[1], w[2]) not in unjoined:
            problems.append(f"{name}: v={w[1]} J={w[2]} E={g[3]}, the default {w[3]}")
    return problems


def compare_transitions(name, want, got, tol):
    want_lines, got_lines = want.splitlines(), got.splitlines()
    if len(want_lines) != len(got_lines):
        return [f"{name}: {len(got_lines)} lines, the default mode has {len(want_lines)}"]
    limit = 4 * (tol + 1e-5) + 1e-6 + 1e-9
    problems = []
    for w, g in zip(want_lines, got_lines):
        wf, gf = w.split(), g.split()
        if len(wf) != len(gf):
            problems.append(f"{name}: '{g}' where the default has '{w}'")
            continue
        for a, b in zip(wf, gf):
            if a == b:
                continue
            try:
                close = "." in a and abs(float(a) - float(b)) <= limit
            except ValueError:
                close = False
            if not close:
                problems.append(f"{name}: '{g}' where the default has '{w}'")
                break
    return problems


def beyond_last_warnings(text):
    return [line for line in text.splitlines()
            if "lies above the last level" in line or " not found" in line]


def check_case(binary, case):
    expected = case / "expected"
    tol = read_tol(case)
    with tempfile.TemporaryDirectory() as scratch:
        work = pathlib.Path(scratch)
        for f in case.iterdir():
            if f.is_file() and f.name != "README.md":
                shutil.copy(f, work / f.name)
        run = subprocess.run([binary, "--fast"], cwd=work, stdin=subprocess.DEVNULL,
                             capture_output=True, timeout=600)
        problems = []
        want_status = (expected / "status.txt").read_text().strip()
        if str(run.returncode) != want_status:
            problems.append(f"status {run.returncode}, the default mode {want_status}")
        stdout = run.stdout.decode(errors="replace")
        want_stdout = (expected / "stdout.txt").read_text(errors="replace")
        if want_status != "0":
            last = lambda text: (text.rstrip("\n").splitlines() or [""])[-1]
            if last(stdout) != last(want_stdout):
                problems.append(f"last line '{last(stdout)}', the default '{last(want_stdout)}'")
        stderr_file = expected / "stderr.txt"
        unjoined = unjoined_levels(stderr_file.read_text(errors="replace")) if stderr_file.exists() else set()
        if stderr_file.exists():
            want = beyond_last_warnings(stderr_file.read_text(errors="replace"))
            got = beyond_last_warnings(run.stderr.decode(errors="replace"))
            if want != got:
                problems.append(f"warnings {got}, the default mode {want}")
        inputs = {f.name for f in case.iterdir() if f.is_file()}
        present = {f.name for f in work.iterdir()}
        wanted = {f.name for f in expected.iterdir()} - {"status.txt", "stdout.txt", "stderr.txt"}
        # An output may carry the name of an input (the run then replaces it).
        written = (present - inputs) | (wanted & present)
        if written != wanted:
            problems.append(f"wrote {sorted(written)}, the default mode {sorted(wanted)}")
        for name in sorted(wanted & written):
            want = (expected / name).read_bytes()
            got = (work / name).read_bytes()
            if want == got:
                continue
            want_text, got_text = want.decode(errors="replace"), got.decode(errors="replace")
            if tol is None:
                problems.append(f"{name} differs and velk.inf gives no tolerance")
            elif "iline,nv,Jline" in want_text:
                problems += compare_level_file(name, want_text, got_text, tol, unjoined)
            elif name == "vel_tran.out":
                problems += compare_transitions(name, want_text, got_text, tol)
            else:
                problems.append(f"{name} differs")
        return problems


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    binary = str(pathlib.Path(sys.argv[1]).resolve())
    if len(sys.argv) > 2:
        cases = [pathlib.Path(c).resolve() for c in sys.argv[2:]]
    else:
        cases = sorted(p.parent for p in E2E.glob("*/expected")) + sorted(
            p.parent for p in E2E.glob("bad/*/expected"))
    failed = 0
    compared = 0
    for case in cases:
        problems = check_case(binary, case)
        if any("iline,nv,Jline" in f.read_text(errors="replace")
               for f in (case / "expected").iterdir() if f.suffix == ".dat"):
            compared += 1
        if problems:
            failed += 1
            print(f"{case.name}: FAIL")
            for p in problems[:20]:
                print(f"  {p}")
    print(f"{len(cases)} cases, {compared} with level files, {failed} failed")
    # A glob that finds nothing must not pass.
    return 1 if failed or not compared else 0


if __name__ == "__main__":
    sys.exit(main())
