#!/usr/bin/env python3
"""Expected output of velk runs whose states are given by Dunham files.

A second, independent computation of such a run: it reads the velk.inf and the Dunham files of a
working directory, evaluates the term values from the closed forms, lays out the level files and
vel_tran.out in their fixed-column layouts, and writes what the program should print and return.

Regenerate the expected files of one or more e2e cases (writes CASE_DIR/expected/, replacing it):

    python3 tests/e2e/tools/dunham_expected.py tests/e2e/dunham_table_a tests/e2e/one_level_q ...

or every case whose README.md names this script:

    python3 tests/e2e/tools/dunham_expected.py --all

Compare instead of writing, the CTest test e2e/golden_dunham: with --check, every e2e case folder
(those under bad/ included) whose run reaches no state given by a potential file is computed here
and compared byte for byte with its expected/ folder; the others are listed as skipped, and a case
whose README names this script but needs a potential fails, as does a run that compares nothing:

    python3 tests/e2e/tools/dunham_expected.py --check

Standard library only. Numerics follow the program's conventions: 64-bit sums in the order of the
closed form, integer powers by square-and-multiply, the parity partial sums rounded to single
precision and their product with J(J+1) formed in double, wavenumbers formed from the energies as they stand in the
level files (six decimals), which is what the transition runs read back.

The texts of input errors (a missing file, a value that cannot be read, a limit of the Dunham
tables) follow the program's one-line style "velk: FILE, line N: ...". The wording of the limit
messages is the program's own choice; the file and line are worked out here.
"""

import argparse
import math
import os
import re
import shutil
import struct
import sys

# ----------------------------------------------------------------------------------------------
# Errors that end a run


class StopRun(Exception):
    """One of the program's own stops: message alone on stdout, status 1."""


class InputError(Exception):
    """A missing, short or malformed input: message on stdout, status 2."""


# ----------------------------------------------------------------------------------------------
# Numbers


def f32(x):
    """x rounded to the nearest single-precision value."""
    return struct.unpack("f", struct.pack("f", x))[0]


def ipow(x, n):
    """x**n for n >= 0 by square-and-multiply (the order compiled code uses)."""
    y = x if n & 1 else 1.0
    n >>= 1
    while n:
        x *= x
        if n & 1:
            y *= x
        n >>= 1
    return y


def wrap32(n):
    n &= 0xFFFFFFFF
    return n - (1 << 32) if n >= 1 << 31 else n


# ----------------------------------------------------------------------------------------------
# Layout


def field_int(value, width):
    text = "%d" % value
    return "*" * width if len(text) > width else text.rjust(width)


def field_fixed(value, width, decimals):
    text = "%.*f" % (decimals, value)
    return "*" * width if len(text) > width else text.rjust(width)


def field_text(text, width):
    return text[:width] if len(text) >= width else text.rjust(width)


def free_real(value):
    """A double as a free-format write lays it out (24 columns)."""
    if value != 0.0:
        exponent = int(("%.14e" % abs(value)).split("e")[1])  # of the value rounded to 15 digits
        if -1 <= exponent <= 14:
            decimals = 14 - exponent
            body = "%.*f" % (decimals, value)
            if decimals == 0:
                body += "."
            return body.rjust(19) + " " * 5
    mantissa, exponent = ("%.15E" % value).split("E")
    sign = exponent[0]
    return (mantissa + "E" + sign + exponent[1:].rjust(3, "0")).rjust(24)


def free_line(*items):
    """One free-format write: ints in 12 columns, floats in 24, texts as they stand."""
    lines = [""]
    for item in items:
        if isinstance(item, str):
            field, is_text = item, True
        elif isinstance(item, int):
            field, is_text = field_int(item, 12), False
        else:
            field, is_text = free_real(item), False
        if lines[-1] and len(lines[-1]) + len(field) > 80:
            lines.append("")
        if not lines[-1] and is_text:
            lines[-1] = " "
        lines[-1] += field
    return [line if line else " " for line in lines]


def name12(name):
    return (name + " " * 12)[:12]


# ----------------------------------------------------------------------------------------------
# Files of the working directory, held in memory


class WorkDir:
    def __init__(self, files):
        self.files = dict(files)  # name -> text
        self.written = []  # names in the order they were first written
        self.errors = []  # lines of standard error

    def read_text(self, name):
        if name not in self.files:
            raise InputError('velk: cannot open input file "%s": no such file' % name)
        return self.files[name]

    def write(self, name, lines):
        self.files[name] = "".join(line + "\n" for line in lines)
        if name not in self.written:
            self.written.append(name)


INTEGER = re.compile(r"[+-]?[0-9]+$")
REAL = re.compile(r"[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eEdD][+-]?[0-9]+|[+-][0-9]+)?$")


def shown(token):
    """A token as a message quotes it: non-printing bytes as ?, at most 40 characters."""
    text = "".join(ch if " " <= ch <= "~" else "?" for ch in token)
    if len(text) > 40:
        text = text[:40] + "..."
    return '"' + text + '"'


class Reader:
    """Free-format and text reads of one input file, line by line."""

    def __init__(self, workdir, name):
        self.name = name.rstrip(" ")
        text = workdir.read_text(self.name)
        self.lines = text.split("\n")
        if self.lines and self.lines[-1] == "":
            self.lines.pop()
        self.line_number = 0  # lines consumed

    def _next(self):
        if self.line_number >= len(self.lines):
            return None
        self.line_number += 1
        return self.lines[self.line_number - 1]

    def _eof(self, what):
        raise InputError(
            "velk: %s, line %d: expected %s, found the end of the file"
            % (self.name, self.line_number + 1, what)
        )

    def skip(self, optional=False):
        line = self._next()
        if line is None and not optional:
            self._eof("a line")
        return line is not None

    def text(self, width, optional=False):
        line = self._next()
        if line is None:
            if optional:
                return None
            self._eof("a line of text")
        line = line.rstrip("\r")
        return (line + " " * width)[:width]

    def read(self, kinds):
        """kinds: a string of 'i' (32-bit integer) and 'r' (real); returns the values."""
        count = len(kinds)

        def describe(index):
            what = "an integer" if kinds[index] == "i" else "a real number"
            if count > 1:
                what += " (item %d of %d)" % (index + 1, count)
            return what

        values = []
        line = self._next()
        if line is None:
            self._eof(describe(0))
        tokens = self._tokens(line)
        while len(values) < count:
            if not tokens:
                line = self._next()
                if line is None:
                    self._eof(describe(len(values)))
                tokens = self._tokens(line)
                continue
            token = tokens.pop(0)
            index = len(values)
            if kinds[index] == "i":
                ok = INTEGER.match(token) and -(2**31) <= int(token) < 2**31
                if not ok:
                    self._bad(describe(index), token)
                values.append(int(token))
            else:
                value = float(re.sub(r"[dD]", "e", fortran_exponent(token))) if REAL.match(token) else None
                if value is None or math.isinf(value):  # beyond the largest double: no number
                    self._bad(describe(index), token)
                values.append(value)
        return values

    def _bad(self, what, token):
        raise InputError(
            "velk: %s, line %d: expected %s, found %s"
            % (self.name, self.line_number, what, shown(token))
        )

    @staticmethod
    def _tokens(line):
        return [t for t in re.split(r"[ \t\r,]+", line) if t]


def fortran_exponent(token):
    """1.0+5 is 1.0e+5 in free-format input."""
    match = re.match(r"([+-]?[0-9.]+)([+-][0-9]+)$", token)
    return match.group(1) + "e" + match.group(2) if match else token


# ----------------------------------------------------------------------------------------------
# Control file


class State:
    def __init__(self, label):
        self.label = label
        self.file = " " * 12
        self.kind = " "
        self.mass_index = 0
        self.Rmin = self.Rmax = 0.0
        self.N = 0


class Block:
    pass


def read_control_file(workdir, out):
    out.extend(free_line("reading velk.inf"))
    r = Reader(workdir, "velk.inf")
    c = Block()
    c.A, c.B = State("A"), State("B")
    r.skip()
    c.A.file = r.text(12)
    c.A.file_line = r.line_number
    c.A.file_as_written = name_as_written(r.lines[r.line_number - 1])
    c.A.kind = r.text(1)
    (c.A.mass_index,) = r.read("i")
    c.B.file = r.text(12)
    c.B.file_line = r.line_number
    c.B.file_as_written = name_as_written(r.lines[r.line_number - 1])
    c.B.kind = r.text(1)
    (c.B.mass_index,) = r.read("i")
    r.skip()
    c.A.Rmin, c.A.Rmax, c.A.N = r.read("rri")
    c.B.Rmin, c.B.Rmax, c.B.N = r.read("rri")
    (c.maxit,) = r.read("i")
    (c.tol,) = r.read("r")
    c.revflag = r.text(1)
    r.skip()
    t = c.table = Block()
    t.switch = r.text(1)
    (t.state,) = r.read("i")
    t.vmin, t.vmax, t.Jmin, t.Jmax, t.pmin, t.pmax = r.read("iiiiii")
    r.skip()
    o = c.one = Block()
    o.switch = r.text(1)
    o.v, o.J, o.p = r.read("iii")
    o.vbmin, o.vbmax, o.branch, o.dJ = r.read("iiii")
    r.skip()
    k = c.known = Block()
    k.switch = r.text(1)
    (k.state,) = r.read("i")
    k.v, k.J, k.p, k.E = r.read("iiir")
    k.vbmin, k.vbmax, k.branch, k.dJ = r.read("iiii")
    r.skip()
    w = c.window = Block()
    w.switch = r.text(1)
    w.emin, w.emax = r.read("rr")
    w.vmin, w.vmax, w.Jmin, w.Jmax, w.pmin, w.pmax = r.read("iiiiii")
    w.vbmin, w.vbmax, w.branch = r.read("iii")
    c.lifflag = " "
    if r.skip(optional=True):
        flag = r.text(1, optional=True)
        if flag is not None:
            c.lifflag = flag
    if c.lifflag == "y":
        raise StopRun("Velk3: LIF simulation not supported.")
    if c.A.N > 50000 or c.B.N > 50000:
        raise StopRun("number of points must be less than 50000")
    refuse_inputs_named_as_outputs(workdir, c)
    out.extend(free_line("OK" + o.switch))
    return c


def name_as_written(line):
    """The name a user meant when it runs on past the 12 characters the run reads (the 12th and
    13th characters both non-blank): up to the next blank; None when the name is not cut."""
    line = line.rstrip("\r")
    if len(line) > 12 and line[11] not in " \t" and line[12] not in " \t":
        end = 12
        while end < len(line) and line[end] not in " \t":
            end += 1
        return line[:end].strip(" ")
    return None


OUTPUT_FILES = ["Astate.dat", "Bstate.dat", "BstateP.dat", "BstateQ.dat", "BstateR.dat",
                "vel_tran.out", "potext.out"]


def control_file_warnings(workdir, c):
    """The standard-error lines a run gives on its control file."""
    lines = []
    for state in (c.A, c.B):
        if state.file_as_written:
            lines.append('velk: warning: velk.inf: the data file name of state %s, "%s", is cut to '
                         '12 characters: the run reads "%s"'
                         % (state.label, state.file_as_written, state.file.strip(" ")))
    if "y" not in (c.table.switch, c.one.switch, c.known.switch, c.window.switch):
        lines.append("velk: warning: nothing to compute: every job switch is off")
        left = [n for n in OUTPUT_FILES if n in workdir.files]
        if left:
            lines.append("velk: warning: the output files %s in the working directory are left "
                         "from an earlier run; this run did not write them" % ", ".join(left))
    return lines


BRANCH_FILES = {1: ["BstateQ.dat"], 2: ["BstateP.dat", "BstateR.dat"],
                3: ["BstateP.dat", "BstateR.dat", "BstateQ.dat"]}


def run_outputs(c):
    """The files the switched-on jobs write, in the order the jobs come; potext.out when any job
    builds a state from a potential file."""
    names, curve = [], [False]

    def add(*more):
        for n in more:
            if n not in names:
                names.append(n)

    def uses(state):
        curve[0] = curve[0] or state.kind != "d"

    if c.table.switch == "y":
        add("Astate.dat" if c.table.state == 1 else "Bstate.dat")
        uses(c.A if c.table.state == 1 else c.B)
    if c.one.switch == "y":
        add("Astate.dat")
        uses(c.A)
        if c.one.branch in BRANCH_FILES:
            add(*BRANCH_FILES[c.one.branch])
            add("vel_tran.out")
            uses(c.B)
    if c.known.switch == "y" and c.known.branch in BRANCH_FILES:
        add(*BRANCH_FILES[c.known.branch])
        add("vel_tran.out")
        uses(c.A if c.known.state == 1 else c.B)
    if c.window.switch == "y":
        add("Astate.dat", "vel_tran.out")
        uses(c.A)
        if c.window.branch in BRANCH_FILES:
            add(*BRANCH_FILES[c.window.branch])
            uses(c.B)
    if curve[0]:
        add("potext.out")
    return names


def refuse_inputs_named_as_outputs(workdir, c):
    """A data file named like an output of the run would be replaced by it: the run refuses it
    before anything is written. Names are compared as paths (./Astate.dat is Astate.dat)."""
    outputs = run_outputs(c)
    for state in (c.A, c.B):
        name = state.file.rstrip(" ")
        if not name:
            continue
        for output in outputs:
            if os.path.normpath(name) == os.path.normpath(output):
                raise InputError(
                    'velk: velk.inf, line %d: the data file of state %s, "%s", is the output %s '
                    "of this run and would be overwritten" % (state.file_line, state.label, name,
                                                              output))


# ----------------------------------------------------------------------------------------------
# Dunham term values


def limit_error(reader, what):
    raise InputError("velk: %s, line %d: %s" % (reader.name, reader.line_number, what))


def read_count(reader):
    """A count that may be preceded by a single zero line."""
    (n,) = reader.read("i")
    if n == 0:
        (n,) = reader.read("i")
    return n


def read_dunham_file(workdir, name):
    r = Reader(workdir, name)
    d = Block()
    d.form = r.text(1)
    (d.rho,) = r.read("r")
    (d.lam,) = r.read("r")
    d.Y = [[0.0] * 21 for _ in range(51)]
    d.q = [0.0] * 10
    if d.form in ("d", "D"):
        column = 0
        while True:
            n = read_count(r)
            if n == 0:
                break
            if column > 20:
                limit_error(r, "more than 21 coefficient columns (l = 0 to 20) in the Dunham form")
            if n > 51:
                limit_error(r, "a column holds at most 51 coefficients (k = 0 to 50), found %d" % n)
            for k in range(n):
                (d.Y[k][column],) = r.read("r")
            column += 1
    else:
        (nrow,) = r.read("i")
        for _ in range(max(nrow, 0)):
            k, a1, a2, a3, a4, a5, a6 = r.read("irrrrrr")
            if not 0 <= k <= 50:
                limit_error(r, "band-constant rows are numbered 0 to 50, found %d" % k)
            d.Y[k][0:6] = [a1, a2, -a3, a4, a5, a6]
    m = read_count(r)
    if m > 10:
        limit_error(r, "at most 10 parity coefficients, found %d" % m)
    for i in range(max(m, 0)):
        (value,) = r.read("r")
        d.q[i] = f32(value)
    return d


def dunham_term(d, v, J, p):
    JJ1 = wrap32(J * (J + 1))
    x = float(JJ1) - d.lam * d.lam
    u = (v + 0.5) * d.rho
    if d.form in ("d", "D"):
        rho2 = d.rho * d.rho
        E = 0.0
        for k in range(51):
            for l in range(21):
                term = d.Y[k][l] * ipow(u, k)
                for _ in range(l):
                    term = term * x
                    term = term * rho2
                E += term
    else:
        Y = d.Y[v]
        E = Y[0] + Y[1] * x + Y[2] * ipow(x, 2) + Y[3] * ipow(x, 3) + Y[4] * ipow(x, 4)
        E = E + Y[5] * ipow(x, 5)
    if p != 1:
        qv = 0.0
        for i in range(10):
            qv = f32(qv + d.q[i] * ipow(u, i))
        E = E + float(JJ1) * qv
    return E


def dunham_levels(workdir, file, vmin, vmax, Jmin, Jmax, pmin, pmax, levelfile):
    d = read_dunham_file(workdir, file)
    nv, nJ, np_ = vmax - vmin + 1, Jmax - Jmin + 1, pmax - pmin + 1
    if d.form not in ("d", "D") and nv > 0 and nJ > 0 and np_ > 0 and (vmin < 0 or vmax > 50):
        raise InputError(
            "velk: %s: the band-constant form holds the levels v = 0 to 50; v = %d was requested"
            % (file.rstrip(" "), vmin if vmin < 0 else vmax)
        )
    lines = [field_int(wrap32(nv * nJ * np_), 5) + " !number of levels"]
    lines += free_line("Data File:  " + name12(file))
    lines += free_line("Dunham coeff. type: ", d.form, ".   Mass ratio: ", d.rho)
    lines += free_line("_" * 34)
    lines += free_line("iline,nv,Jline,Eout,Par")
    lines.append(field_int(1, 3) * 5)
    iline = 1
    for J in range(Jmin, Jmax + 1):
        for v in range(vmin, vmax + 1):
            for p in range(pmin, pmax + 1):
                E = dunham_term(d, v, J, p)
                if not math.isfinite(E):
                    workdir.write(levelfile, lines)
                    raise StopRun(
                        "velk: %s: the term value of v = %d, J = %d, p = %d is not a finite number"
                        % (file.rstrip(" "), v, J, p)
                    )
                lines.append(
                    field_int(iline, 5)
                    + field_int(v, 4)
                    + field_int(J, 4)
                    + field_fixed(E, 15, 6)
                    + field_int(p, 3)
                    + field_int(10, 3)
                    + field_int(1, 3)
                )
                iline += 1
    workdir.write(levelfile, lines)


def level_request_problem(vmin, vmax, Jmin, Jmax, pmin, pmax):
    """Why a block of levels cannot be written: a count the five columns of the level file's count
    cannot hold (at most 99999 levels; a raw product of reversed ranges down to -9999), one beyond
    32 bits, or a J whose J(J+1) leaves the 32-bit integers it is formed in."""
    sizes = [vmax - vmin + 1, Jmax - Jmin + 1, pmax - pmin + 1]
    count = sizes[0] * sizes[1] * sizes[2]
    asks = all(n > 0 for n in sizes)
    if not -(2**31) <= count < 2**31:
        return ("the number of levels requested (the product of the sizes of the v, J and parity "
                "ranges) overflows a 32-bit integer")
    if asks and count > 99999:
        return "%d levels are requested; a level file holds at most 99999" % count
    if count > 99999 or count < -9999:
        return ("the level count %d (the product of the sizes of the v, J and parity ranges) does "
                "not fit the five columns of a level file's count" % count)
    if asks and (Jmax > 46340 or Jmin < -46341):
        J = Jmax if Jmax > 46340 else Jmin
        return ("J = %d is requested; J(J+1) is formed in 32-bit integers, which hold J = -46341 "
                "to 46340" % J)
    return None


def compute_state_levels(workdir, out, state, vmin, vmax, Jmin, Jmax, pmin, pmax, levelfile):
    if not state.file.strip(" "):
        raise InputError("velk: velk.inf: the data file name of state %s is blank" % state.label)
    problem = level_request_problem(vmin, vmax, Jmin, Jmax, pmin, pmax)
    if problem:
        raise StopRun("velk: %s: %s" % (state.file.strip(" "), problem))
    if state.kind == "d":
        dunham_levels(workdir, state.file, vmin, vmax, Jmin, Jmax, pmin, pmax, levelfile)
        return
    # The level solver: only its opening is within reach here (a missing potential file).
    if state.N > 50000:
        raise StopRun("number of points must be less than 50000")
    out.extend(free_line("OK"))
    out.append(field_text("reading", 8) + name12(state.file))
    workdir.read_text(state.file.rstrip(" "))
    raise NotImplementedError("a potential file: this script computes Dunham states only")


# ----------------------------------------------------------------------------------------------
# Transition runs


class LevelReader:
    def __init__(self, workdir, name):
        self.r = Reader(workdir, name)
        for _ in range(6):
            self.r.skip()

    def next(self):
        return self.r.read("iiiri")  # index, v, J, E, p


def transition(index, v_low, J_low, v_up, J_up, nu, second=None):
    line = (
        field_int(index, 5)
        + field_int(v_low, 5)
        + field_int(J_low, 4)
        + field_int(v_up, 4)
        + field_int(J_up, 4)
        + field_fixed(nu, 15, 6)
    )
    if second is not None:
        line += field_fixed(second, 15, 6)
    return line


def j_step(J, sign, dJ):
    """J + dJ or J - dJ of a branch, refused where it leaves the 32-bit integers."""
    Jb = J + sign * dJ
    if not -(2**31) <= Jb < 2**31:
        raise StopRun(
            "velk: velk.inf: the rotational quantum number %d %s %d lies outside the 32-bit integers"
            % (J, "+" if sign > 0 else "-", dJ)
        )
    return Jb


def flip(p):
    return abs(1 - p)


def one_level_run(workdir, out, c):
    b = c.one
    compute_state_levels(workdir, out, c.A, b.v, b.v, b.J, b.J, b.p, b.p, "Astate.dat")
    lower = LevelReader(workdir, "Astate.dat")
    E_low = lower.next()[3]
    if b.branch not in (1, 2, 3):
        return
    n = max(b.vbmax - b.vbmin + 1, 0)
    lines = free_line("A state data file:", c.A.file)
    lines += free_line("B state data file:", c.B.file)
    lines += free_line("=" * 30)
    lines += free_line()

    def request(J, p, name):
        compute_state_levels(workdir, out, c.B, b.vbmin, b.vbmax, J, J, p, p, name)

    if b.branch == 1:
        request(b.J, flip(b.p), "BstateQ.dat")
        q_file = LevelReader(workdir, "BstateQ.dat")
        prev = 0.0
        for _ in range(n):
            index, v, J, E, p = q_file.next()
            nu = abs(E - E_low)
            lines.append(transition(index, b.v, b.J, v, J, nu, prev - nu))
            prev = nu
    elif b.branch == 2:
        request(j_step(b.J, -1, 1), b.p, "BstateP.dat")
        request(j_step(b.J, 1, 1), b.p, "BstateR.dat")
        p_file = LevelReader(workdir, "BstateP.dat")
        r_file = LevelReader(workdir, "BstateR.dat")
        prevP, k = 0.0, 1
        for _ in range(n):
            _, _, JP, EP, _ = p_file.next()
            _, v, JR, ER, _ = r_file.next()
            nuP, nuR = abs(EP - E_low), abs(ER - E_low)
            lines.append(transition(k, b.v, b.J, v, JP, nuP, prevP - nuP))
            lines.append(transition(k + 1, b.v, b.J, v, JR, nuR, nuP - nuR))
            prevP, k = nuP, k + 2
    else:
        request(j_step(b.J, -1, b.dJ), b.p, "BstateP.dat")
        request(j_step(b.J, 1, b.dJ), b.p, "BstateR.dat")
        request(b.J, flip(b.p), "BstateQ.dat")
        p_file = LevelReader(workdir, "BstateP.dat")
        q_file = LevelReader(workdir, "BstateQ.dat")
        r_file = LevelReader(workdir, "BstateR.dat")
        prevQ, count = 0.0, 0
        for _ in range(n):
            _, v, J, E, _ = p_file.next()
            nuP = abs(E - E_low)
            count += 1
            lines.append(transition(count, b.v, b.J, v, J, nuP))
            _, v, J, E, _ = q_file.next()
            nuQ = abs(E - E_low)
            count += 1
            lines.append(transition(count, b.v, b.J, v, J, nuQ, prevQ - nuQ))
            _, v, J, E, _ = r_file.next()
            nuR = abs(E - E_low)
            count += 1
            lines.append(transition(count, b.v, b.J, v, J, nuR, nuP - nuR))
            prevQ = nuQ
    workdir.write("vel_tran.out", lines)


def known_level_run(workdir, out, c):
    b = c.known
    if b.branch not in (1, 2, 3):
        return
    state = c.A if b.state == 1 else c.B
    n = max(b.vbmax - b.vbmin + 1, 0)
    lines = [
        field_text("      Known level:", 19)
        + field_int(b.v, 4)
        + field_int(b.J, 4)
        + field_int(b.p, 4)
        + field_fixed(b.E, 15, 5)
    ]
    lines += free_line("          Data file:", state.file)
    lines += free_line("=" * 30)
    lines += free_line()
    EK = b.E  # every branch measures from the known energy itself

    def request(J, p, name):
        compute_state_levels(workdir, out, state, b.vbmin, b.vbmax, J, J, p, p, name)

    if b.branch == 1:
        request(b.J, flip(b.p), "BstateQ.dat")
        q_file = LevelReader(workdir, "BstateQ.dat")
        for _ in range(n):
            index, v, J, E, _ = q_file.next()
            lines.append(transition(index, b.v, b.J, v, J, abs(E - EK)))
    elif b.branch == 2:
        request(j_step(b.J, -1, 1), b.p, "BstateP.dat")
        request(j_step(b.J, 1, 1), b.p, "BstateR.dat")
        p_file = LevelReader(workdir, "BstateP.dat")
        r_file = LevelReader(workdir, "BstateR.dat")
        k = 1
        for _ in range(n):
            _, _, JP, EP, _ = p_file.next()
            _, v, JR, ER, _ = r_file.next()
            lines.append(transition(k, b.v, b.J, v, JP, abs(EP - EK)))
            lines.append(transition(k + 1, b.v, b.J, v, JR, abs(ER - EK)))
            k += 2
    else:
        request(j_step(b.J, -1, b.dJ), b.p, "BstateP.dat")
        request(j_step(b.J, 1, b.dJ), b.p, "BstateR.dat")
        request(b.J, flip(b.p), "BstateQ.dat")
        files = [LevelReader(workdir, name) for name in ("BstateP.dat", "BstateQ.dat", "BstateR.dat")]
        count = 0
        for _ in range(n):
            for f in files:
                _, v, J, E, _ = f.next()
                count += 1
                lines.append(transition(count, b.v, b.J, v, J, abs(E - EK)))
    workdir.write("vel_tran.out", lines)


def window_run(workdir, out, c):
    b = c.window
    compute_state_levels(
        workdir, out, c.A, b.vmin, b.vmax, b.Jmin, b.Jmax, b.pmin, b.pmax, "Astate.dat"
    )
    lines = free_line("A state data file:", c.A.file)
    lines += free_line("B state data file:", c.B.file)
    lines += free_line("Range:", b.emin, b.emax)
    lines += free_line("=" * 30)
    # vel_tran.out stays open while the upper files are requested; its content is only complete at
    # the end, but a failure on the way leaves what was written so far.
    workdir.write("vel_tran.out", lines)
    lower = Reader(workdir, "Astate.dat")
    (nlow,) = lower.read("i")
    for _ in range(5):
        lower.skip()
    n = max(b.vbmax - b.vbmin + 1, 0)
    count = 1
    last = None

    def request(J, p, name):
        compute_state_levels(workdir, out, c.B, b.vbmin, b.vbmax, J, J, p, p, name)

    for _ in range(max(nlow, 0)):
        _, v_low, J_low, E_low, p_low = lower.read("iiiri")
        if b.branch not in (1, 2, 3):
            continue
        again = last != (J_low, p_low)
        last = (J_low, p_low)

        def consider(v_up, J_up, E_up):
            nonlocal count
            nu = abs(E_up - E_low)
            if b.emin < nu < b.emax:
                lines.append(transition(count, v_low, J_low, v_up, J_up, nu))
                count += 1

        try:
            if b.branch == 1:
                if again:
                    request(J_low, flip(p_low), "BstateQ.dat")
                q_file = LevelReader(workdir, "BstateQ.dat")
                for _ in range(n):
                    _, v, J, E, _ = q_file.next()
                    consider(v, J, E)
            elif b.branch == 2:
                if again:
                    request(j_step(J_low, -1, 1), p_low, "BstateP.dat")
                    request(j_step(J_low, 1, 1), p_low, "BstateR.dat")
                p_file = LevelReader(workdir, "BstateP.dat")
                r_file = LevelReader(workdir, "BstateR.dat")
                for _ in range(n):
                    _, _, JP, EP, _ = p_file.next()
                    _, v, JR, ER, _ = r_file.next()
                    consider(v, JP, EP)
                    consider(v, JR, ER)
            else:
                if again:
                    request(j_step(J_low, -1, 1), p_low, "BstateP.dat")
                    request(j_step(J_low, 1, 1), p_low, "BstateR.dat")
                    request(J_low, flip(p_low), "BstateQ.dat")
                files = [
                    LevelReader(workdir, name)
                    for name in ("BstateP.dat", "BstateQ.dat", "BstateR.dat")
                ]
                for _ in range(n):
                    for f in files:
                        _, v, J, E, _ = f.next()
                        consider(v, J, E)
        finally:
            workdir.write("vel_tran.out", lines)
    workdir.write("vel_tran.out", lines)


# ----------------------------------------------------------------------------------------------
# The run


def banner():
    lines = free_line() + free_line()
    lines += free_line("---------------- VELK 3.0 -------------------")
    lines += free_line("        Last modified on 3.7.2007 ")
    lines += free_line()
    return lines


def run(workdir):
    """Returns (stdout lines, exit status); standard-error lines go to workdir.errors."""
    out = banner()
    try:
        c = read_control_file(workdir, out)
        workdir.errors.extend(control_file_warnings(workdir, c))
        t = c.table
        if t.switch == "y":
            state, name = (c.A, "Astate.dat") if t.state == 1 else (c.B, "Bstate.dat")
            compute_state_levels(
                workdir, out, state, t.vmin, t.vmax, t.Jmin, t.Jmax, t.pmin, t.pmax, name
            )
        if c.one.switch == "y":
            one_level_run(workdir, out, c)
        if c.known.switch == "y":
            known_level_run(workdir, out, c)
        if c.window.switch == "y":
            window_run(workdir, out, c)
    except StopRun as stop:
        out.append(str(stop))
        return out, 1
    except InputError as error:
        out.append(str(error))
        return out, 2
    return out, 0


def read_inputs(case_dir):
    inputs = {}
    for name in sorted(os.listdir(case_dir)):
        path = os.path.join(case_dir, name)
        if os.path.isfile(path) and name != "README.md":
            with open(path, encoding="latin-1", newline="") as f:
                inputs[name] = f.read()
    return inputs


def expected_files(case_dir):
    """name -> text of every file the run writes, stdout.txt and status.txt included, and the
    exit status. Raises NotImplementedError when the run needs a state given by a potential."""
    workdir = WorkDir(read_inputs(case_dir))
    out, status = run(workdir)
    files = {name: workdir.files[name] for name in workdir.written}
    files["stdout.txt"] = "".join(line + "\n" for line in out)
    files["status.txt"] = "%d\n" % status
    if workdir.errors:
        files["stderr.txt"] = "".join(line + "\n" for line in workdir.errors)
    return files, status


def generate(case_dir):
    files, status = expected_files(case_dir)
    expected = os.path.join(case_dir, "expected")
    shutil.rmtree(expected, ignore_errors=True)
    os.makedirs(expected)
    for name, text in files.items():
        with open(os.path.join(expected, name), "w", encoding="latin-1", newline="") as f:
            f.write(text)
    return status


def compare(case_dir):
    """Differences between CASE/expected/ and the files computed here (an empty list: equal)."""
    files, _ = expected_files(case_dir)
    expected = os.path.join(case_dir, "expected")
    stored = set(os.listdir(expected))
    problems = []
    for n in sorted(stored - set(files)):
        # An input listed among the expected files must be left as it was: the run does not
        # write it, so its expected content is the input itself.
        source = os.path.join(case_dir, n)
        if os.path.isfile(source):
            with open(source, "rb") as a, open(os.path.join(expected, n), "rb") as b:
                if a.read() == b.read():
                    continue
            problems.append("expected/%s differs from the input it must leave unchanged" % n)
        else:
            problems.append("expected/%s is a file the run does not write" % n)
    for name, text in files.items():
        if name == "stderr.txt" and name not in stored:
            continue  # standard error is compared only where a case keeps it
        if name not in stored:
            problems.append("expected/%s is missing" % name)
            continue
        with open(os.path.join(expected, name), encoding="latin-1", newline="") as f:
            have = f.read()
        if have == text:
            continue
        have_lines, want_lines = have.split("\n"), text.split("\n")
        for n, (a, b) in enumerate(zip(have_lines, want_lines), start=1):
            if a != b:
                problems.append("expected/%s line %d: %r, computed %r" % (name, n, a, b))
                break
        else:
            problems.append("expected/%s has %d lines, computed %d" % (name, len(have_lines), len(want_lines)))
    return problems


def dunham_cases(root):
    """Case folders whose README.md says their expected files come from this script."""
    cases = []
    for name in sorted(os.listdir(root)):
        readme = os.path.join(root, name, "README.md")
        if os.path.isfile(readme):
            with open(readme, encoding="utf-8") as f:
                if "dunham_expected.py" in f.read():
                    cases.append(os.path.join(root, name))
    return cases


def every_case(root):
    """Every e2e case folder (one holding expected/), those under bad/ included."""
    cases = []
    for parent in (root, os.path.join(root, "bad")):
        for name in sorted(os.listdir(parent)):
            if os.path.isdir(os.path.join(parent, name, "expected")):
                cases.append(os.path.join(parent, name))
    return cases


def check_every_case(root):
    """Compares the expected files of every case this script can compute; lists the others with
    the reason. Fails on a difference, on a case whose README names this script but that cannot be
    computed here, and when no case at all was compared."""
    claimed = {os.path.normpath(c) for c in dunham_cases(root)}
    checked, failed, skipped = 0, 0, []
    for case in every_case(root):
        name = os.path.relpath(case, root)
        try:
            problems = compare(case)
        except NotImplementedError:
            if os.path.normpath(case) in claimed:
                print("%-40s FAIL\n    its README names this script, but the run needs a potential" % name)
                failed += 1
            else:
                skipped.append((name, "a state given by a potential file is computed (check_levels.py)"))
            continue
        checked += 1
        if problems:
            failed += 1
            print("%-40s FAIL" % name)
            for p in problems:
                print("    " + p)
        else:
            print("%-40s PASS" % name)
    for name, why in skipped:
        print("%-40s SKIP: %s" % (name, why))
    print("%d passed, %d failed, %d skipped" % (checked - failed, failed, len(skipped)))
    if checked == 0:
        print("no case was compared")
        return 1
    return 1 if failed else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("cases", nargs="*", help="e2e case folders")
    parser.add_argument(
        "--all", action="store_true", help="every case folder whose README.md names this script"
    )
    parser.add_argument(
        "--check",
        action="store_true",
        help="compare with the stored expected files instead of writing them; without case "
        "folders, every e2e case that this script can compute",
    )
    args = parser.parse_args()
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    if args.check and not args.cases and not args.all:
        return check_every_case(root)
    cases = list(args.cases)
    if args.all:
        cases += dunham_cases(root)
    if not cases:
        parser.error("no case folders given")
    failed = 0
    for case in cases:
        if args.check:
            problems = compare(case)
            failed += bool(problems)
            print("%s: %s" % (os.path.normpath(case), "FAIL" if problems else "PASS"))
            for p in problems:
                print("    " + p)
        else:
            status = generate(case)
            print("%s: status %d" % (os.path.normpath(case), status))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
