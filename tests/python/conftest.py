"""Shared helpers of the module's tests: the velk binary of the same build, run on the same
request as the module, and its level table read back column by column."""

import os
import pathlib
import subprocess

import numpy as np
import pytest

import velk

SOURCE_DIR = pathlib.Path(os.environ.get("VELK_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
EXAMPLES = SOURCE_DIR / "examples"
BINARY = os.environ.get("VELK_BINARY", str(SOURCE_DIR / "build" / "velk"))
PROPS_BINARY = os.environ.get("VELK_PROPS_BINARY", str(SOURCE_DIR / "build" / "velk-props"))

CONTROL = """\
module test: a level table of state A
{file}
{kind}
{mass_index}
{file}
{kind}
{mass_index}
grid: Rmin (A), Rmax (A), number of points; state A, then state B
{Rmin!r} {Rmax!r} {N}
{Rmin!r} {Rmax!r} {N}
{maxit}
{tol!r}
{rev}
level table: switch / state / v1 v2 J1 J2 p1 p2
y
1
{v1} {v2} {J1} {J2} {p1} {p2}
one-level transitions
n
0 0 1
0 0 1 1
known-level transitions
n
1
0 0 1 0.0
0 0 1 1
energy window
n
0.0 1.0
0 0 0 0 0 0
0 0 1
LIF simulation (not supported): n
n
"""


class BinaryRun:
    """A run of the velk binary in a directory of its own."""

    def __init__(self, directory, completed):
        self.directory = directory
        self.returncode = completed.returncode
        self.stdout = completed.stdout
        self.stderr = completed.stderr

    def last_line(self):
        """The stop or input error message, alone on the last line of standard output."""
        return self.stdout.splitlines()[-1]

    def levels(self):
        """The listed levels of Astate.dat: (v, J, p, E as printed, node, tunnel or None)."""
        lines = (self.directory / "Astate.dat").read_text().splitlines()[6:]
        rows = []
        for line in lines:
            quasi_bound = line[70:77] == "   res."
            rows.append((int(line[5:9]), int(line[9:13]), int(line[26:28]), line[13:26],
                         int(line[80:84]), line[84:94] if quasi_bound else None))
        return rows


def run_binary(directory, files, grid, v=(0, 0), J=(0, 0), p=(1, 1), mass_index=1, tol=1e-6,
               maxit=60, reversed=False, kind="p", stdin=subprocess.DEVNULL, timeout=120,
               options=()):
    """Runs velk (with the command-line `options`) on the level table of the first file in
    `files` ({name: text})."""
    directory.mkdir(parents=True, exist_ok=True)
    for name, text in files.items():
        (directory / name).write_text(text)
    Rmin, Rmax, N = grid
    control = CONTROL.format(file=next(iter(files)), kind=kind, mass_index=mass_index, Rmin=float(Rmin),
                             Rmax=float(Rmax), N=N, maxit=maxit, tol=float(tol),
                             rev="y" if reversed else "n", v1=v[0], v2=v[1], J1=J[0], J2=J[1],
                             p1=p[0], p2=p[1])
    (directory / "velk.inf").write_text(control)
    completed = subprocess.run([BINARY, *options], cwd=directory, stdin=stdin, capture_output=True,
                               text=True, timeout=timeout)
    return BinaryRun(directory, completed)


def fortran_e10_2(x):
    """x as the edit descriptor E10.2 writes it: 0.12E-03."""
    digits, exponent = f"{abs(x):.1E}".split("E")
    mantissa = "0." + digits.replace(".", "")
    if x == 0:
        return f"{mantissa:>6}E+00".rjust(10)
    sign = "-" if x < 0 else ""
    return f"{sign}{mantissa}E{int(exponent) + 1:+03d}".rjust(10)


def printed(levels):
    """The module's levels as the binary lists them: E in F13.5, the tunnelling figure in E10.2
    for a quasi-bound level."""
    return [(int(l["v"]), int(l["J"]), int(l["p"]), f"{l['E']:13.5f}", int(l["node"]),
             None if l["tunnel"] != l["tunnel"] else fortran_e10_2(l["tunnel"])) for l in levels]


def example_text(relative):
    return (EXAMPLES / relative).read_text()


@pytest.fixture
def na2x():
    """Na2 X on the analytic curve of the examples."""
    return velk.Curve.from_file(EXAMPLES / "na2-x-analytic" / "na2x.pot")


def same_levels(a, b):
    """Two level tables equal field by field, to the last bit (NaN tunnelling figures match)."""
    return a.dtype == b.dtype and all(
        np.array_equal(a[name], b[name], equal_nan=a.dtype[name].kind == "f")
        for name in a.dtype.names)
