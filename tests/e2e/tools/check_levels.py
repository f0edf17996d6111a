#!/usr/bin/env python3
"""Independent check of the e2e cases whose states are given by potential files.

A state given by Dunham coefficients beside a potential one (an absorption or fluorescence run) is
taken from the closed form of dunham_expected.py: its level files are compared line for line and
its term values enter the transitions.

Run it over the cases (from the repository root; --bin is needed for the finer-grid runs):

    python3 tests/e2e/tools/check_levels.py --bin build-e2e/velk --all
    python3 tests/e2e/tools/check_levels.py --bin build-e2e/velk tests/e2e/mlj_table_a ...

--all takes every folder under tests/e2e whose README.md names this script. Without --bin the
finer-grid runs are skipped. Each case ends with "PASS" or with the list of its failures; the
exit status is 1 when any case failed.

    python3 tests/e2e/tools/check_levels.py --bin build/velk --every

is the CTest test e2e/golden_potential: every e2e case folder, those under bad/ included. The cases
it cannot check are listed with the reason (no potential state: dunham_expected.py --check takes
them; a grid too coarse for the Sturm count; a malformed
input whose refusal make_bad_cases.py declares, of which status and message are still compared).
It fails when a case fails, when a case whose README names this script is skipped, and when no
case was checked.

What is checked, for every case, against the files under CASE/expected/:

1. The curves. velk.inf and the potential files are read again here and every curve is tabulated
   from its own formulas on the run's grid: the MLJ form, the analytic form with its derived
   short-range wall and derived asymptote, the pointwise cubic spline with the long-range
   extension, whose least-squares fit is solved here in 40-digit decimal arithmetic.
2. The energies. A level v of the Numerov three-point discretisation of the radial equation on a
   grid is the (v+1)-th root of det M(E), M = tridiag(-1, (2 + 10 T_i)/(1 - T_i), -1),
   T_i = h^2 mu u0 (Ueff_i - E)/12; M decreases with E, so the number of negative pivots of its
   LDL^T factorisation counts the roots below E (Sturm count), and bisection on that count gives
   the level without shooting, matching or energy corrections (nothing of the program's search).
   The wave function is held at zero at grid points 1 and N (the program starts both passes with
   1e-99/1e-66 there). A quasi-bound level (layout B) is the same count on the grid that ends at
   its third turning point, closed there by the Airy-function start values the solvers use.
   Converged levels must agree within tol + 1e-5 cm-1: the solvers' correction Dcor is half a
   Newton step, so a level returned with |Dcor| <= tol lies about |Dcor| from the root.
3. The layouts. Every line of every expected file is compared with the line laid out here from
   the fixed-column layouts (level-file header with the count in line 1, layouts A and B field by field,
   "   res.", vel_tran.out headers and lines, potext.out lines); the console (stdout.txt) is
   matched line by line against the sequence the run must print (banner, " OK",
   " reading<name12>", builder name lines, the derived wall and asymptote computed here,
   " UYeff OK", E1 E2 " toadd ", " J=    n", "Epr-" and " perhaps better..." retry lines, the
   stop message), and status.txt against the stop the run must reach.
4. Fields beyond the energy: Ein and delE from the printed E1, E2 and the landmarks Umin, Umax
   computed here; Umax and Ulim of layout B; the tunnelling figure from its formula, or the
   value carried over from an earlier level when the final energy has no third crossing;
   ic = 10 * mass_index; node = v for converged levels; a J cut short only after two levels
   with |Dcor| > 10 tol; iline consecutive; parity members differing by the Lambda-doubling
   shifts q J(J+1) (q1 for Par = 1, q2 otherwise, single precision).
5. A second implementation of the solvers and the level driver, written here independently of the
   program's code (Numerov shooting from both ends, node count, Dcor, bisection, retry, badcount,
   the toadd solves), must print the same E1 E2 line, the same retry lines and the same level
   lines, character for character; it checks Dcor, kturn, node, kleft and krigth.
6. Transitions: every vel_tran.out line from the branch pairings with the independent energies
   (within 2 tol per level), and digit for digit from the level files left by the run where
   they are the files the line was formed from.
7. With --bin: the run repeated on a grid twice as fine (N -> 2N - 1, same ends, so every old
   grid point stays a grid point). Every converged level of the final level files must match the
   independent level of the finer grid within tol, and move by no more than the independent
   levels move between the two grids (plus 2 tol): the h^4 error of the discretisation.
8. A reversed-grid case (revflag y) is compared with its forward twin (a case with the same
   inputs and revflag n, named in the twins table below): bound levels within tol.

Python 3 standard library only (decimal for the 40-digit least squares and the Airy series).
"""

import argparse
import decimal
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time


HBAR2_2U = 16.85763130530976  # hbar^2/(2 u) in cm-1 A^2
U0 = 0.059320315048355776  # 2 u/hbar^2 per cm-1 and A^2
UINF_UNSET = -1.2345330359313862e-21
WINDOW_MARGIN = 9.999999974752427e-07
TOADD_WINDOW = 0.9990000128746033
DAMP_C1 = 2.0999999046325684
DAMP_C2 = 0.10899999737739563
Q_TUNNEL = 16.857629776000977

# Reversed-grid cases and the forward case with the same inputs.
TWINS = {
    "rev_mlj_table": "mlj_table_a",
    "rev_analytic_table": "analytic_table",
    "rev_pointwise_table": "pointwise_fit_exchange",
    "rev_window": "mlj_window",
    "rev_mlj_quasibound": "mlj_quasibound_high_j",
    "rev_pointwise_plain": "pointwise_plain",
}


def f32(x):
    return struct.unpack("f", struct.pack("f", x))[0]


def ipow(x, n):
    if n < 0:
        raise ValueError("negative integer power %d" % n)
    y = x if n & 1 else 1.0
    n >>= 1
    while n:
        x *= x
        if n & 1:
            y *= x
        n >>= 1
    return y


# ----------------------------------------------------------------------------------------------
# Edit descriptors and free-format lines


def fI(value, w):
    s = "%d" % value
    return "*" * w if len(s) > w else s.rjust(w)


def fF(value, w, d):
    s = "%.*f" % (d, value)
    if len(s) > w and s.startswith("0."):
        s = s[1:]
    elif len(s) > w and s.startswith("-0."):
        s = "-" + s[2:]
    return "*" * w if len(s) > w else s.rjust(w)


def fE(value, w, d, e=None):
    if value == 0.0:
        digits, exponent = "0" * d, 0
    else:
        s = "%.*e" % (d - 1, abs(value))
        mant, ex = s.split("e")
        digits, exponent = mant.replace(".", ""), int(ex) + 1
    if e is None:
        tail = "E%s%02d" % ("-" if exponent < 0 else "+", abs(exponent))
        if abs(exponent) > 99:
            tail = "%s%03d" % ("-" if exponent < 0 else "+", abs(exponent))
    else:
        tail = "E%s%0*d" % ("-" if exponent < 0 else "+", e, abs(exponent))
    s = ("-" if value < 0 else "") + "0." + digits + tail
    if len(s) > w:
        s = s.replace("0.", ".", 1)
    return "*" * w if len(s) > w else s.rjust(w)


def fA(text, w):
    return text[:w] if len(text) >= w else text.rjust(w)


def free_real(x):
    if x != 0.0:
        ex = int(("%.14e" % abs(x)).split("e")[1])  # exponent after rounding to 15 digits
        if -1 <= ex <= 14:
            s = "%.*f" % (14 - ex, x)
            if 14 - ex == 0:
                s += "."
            return s.rjust(19) + "     "
    mant, ex = ("%.15E" % x).split("E")
    return (mant + "E" + ex[0] + ex[1:].rjust(3, "0")).rjust(24)


def free_line(*items):
    """Lines of one free-format write (ints 12 columns, floats 24, texts as they stand)."""
    lines = [""]
    for item in items:
        text = isinstance(item, str)
        if text:
            field = item
        elif isinstance(item, int):
            field = fI(item, 12)
        else:
            field = free_real(item)
        if lines[-1] and len(lines[-1]) + len(field) > 80:
            lines.append("")
        if not lines[-1] and text:
            lines[-1] = " "
        lines[-1] += field
    return [line if line else " " for line in lines]


def name12(name):
    return (name + " " * 12)[:12]


# ----------------------------------------------------------------------------------------------
# Input files


class Stop(Exception):
    """A stop of the run: status and a predicate on the message."""

    def __init__(self, status, describe, accept):
        super().__init__(describe)
        self.status = status
        self.accept = accept


def exact_stop(message):
    return Stop(1, message, lambda line: line == message)


def refusal(describe, *needles):
    """A refusal whose wording is the program's own: one line naming what is wrong."""

    def accept(line):
        return line.startswith("velk: ") and all(n in line for n in needles)

    return Stop(1, describe + " (message naming " + ", ".join(needles) + ")", accept)


class Reader:
    """Free-format reads (enough for these cases)."""

    def __init__(self, path):
        self.name = os.path.basename(path)
        with open(path) as f:
            self.lines = f.read().split("\n")
        if self.lines and self.lines[-1] == "":
            self.lines.pop()
        self.pos = 0  # lines consumed

    def eof(self):
        return self.pos >= len(self.lines)

    def _line(self):
        if self.eof():
            raise EOFError("%s ends at line %d" % (self.name, self.pos + 1))
        self.pos += 1
        return self.lines[self.pos - 1]

    def skip(self):
        self._line()

    def text(self, w):
        return (self._line() + " " * w)[:w]

    def read(self, kinds):
        values = []
        while len(values) < len(kinds):
            for token in re.split(r"[ ,\t]+", self._line().strip()):
                if not token:
                    continue
                if token.startswith("/"):
                    return values + [None] * (len(kinds) - len(values))
                kind = kinds[len(values)]
                values.append(int(token) if kind == "i" else float(token.replace("D", "E").replace("d", "e")))
                if len(values) == len(kinds):
                    break
        return values


class StateInput:
    pass


class Control:
    pass


def read_control(path):
    r = Reader(path)
    c = Control()
    r.skip()
    states = []
    for _ in range(2):
        s = StateInput()
        s.file = r.text(12)
        s.kind = r.text(1)
        (s.mass_index,) = r.read("i")
        states.append(s)
    c.A, c.B = states
    r.skip()
    for s in states:
        s.Rmin, s.Rmax, s.N = r.read("rri")
    (c.maxit,) = r.read("i")
    (c.tol,) = r.read("r")
    c.revflag = r.text(1)
    r.skip()
    c.table_switch = r.text(1)
    (c.table_state,) = r.read("i")
    c.table_ranges = r.read("iiiiii")
    r.skip()
    c.one_switch = r.text(1)
    c.one_level = r.read("iii")
    c.one_sel = r.read("iiii")
    r.skip()
    c.known_switch = r.text(1)
    (c.known_state,) = r.read("i")
    c.known_level = r.read("iiir")
    c.known_sel = r.read("iiii")
    r.skip()
    c.win_switch = r.text(1)
    c.win_range = r.read("rr")
    c.win_ranges = r.read("iiiiii")
    c.win_sel = r.read("iii")
    c.lifflag = " "
    if not r.eof():
        r.skip()
        if not r.eof():
            c.lifflag = r.text(1)
    return c


# ----------------------------------------------------------------------------------------------
# Potential curves, each from its own formulas


class Curve:
    """A potential file tabulated on one grid: V[1..N] (slot 0 unused) and what the run prints."""


def read_header(r):
    (npts,) = r.read("i")
    masses = r.read("rrrrr")
    (lam,) = r.read("i")
    (q1,) = r.read("r")
    (q2,) = r.read("r")
    r.skip()
    r.skip()
    pectype = r.text(2)
    return npts, masses, lam, q1, q2, pectype


def grid(Rmin, Rmax, N):
    h = (Rmax - Rmin) / (N - 1)
    R0 = Rmin - h
    return R0, h, [0.0] + [R0 + float(i) * h for i in range(1, N + 1)]


def build_mlj(r, name, R, lines):
    lines += free_line("MLJ PEC (Le Roy)")
    (npts,) = r.read("i")  # header again
    if npts > 51:
        raise exact_stop("number of parameters must be less than 51")
    r.read("r"), r.read("i"), r.read("r"), r.read("r"), r.skip(), r.skip(), r.skip()
    (Re,) = r.read("r")
    beta = {}
    for _ in range(npts):
        k, b = r.read("ir")
        if not 0 <= k <= 50:
            raise refusal("MLJ coefficient index %d" % k, name, str(k))
        beta[k] = b
    (De,) = r.read("r")
    p, Cp = r.read("ir")
    (delta,) = r.read("r")
    (Rx,) = r.read("r")
    K = max(beta) if beta else 0
    binf = math.log(2.0 * De * ipow(Re, p) / Cp)
    V = [0.0]
    for x in R[1:]:
        y = (x - Re) / (x + Re)
        f = 1.0 / (1.0 + math.exp(delta * (x - Rx)))
        S = sum(beta.get(k, 0.0) * ipow(y, k) for k in range(K + 1))
        b = (S - binf) * f + binf
        u = ipow(Re / x, p)
        V.append(De * (1.0 - u * math.exp(-b * y)) ** 2)
    return V, De


def build_analytic(r, name, R, lines):
    lines += free_line("Analytic PEC (Tiemann)")
    (npts,) = r.read("i")
    if npts > 101:
        raise exact_stop("number of points must be less than 101")
    r.read("r"), r.read("i"), r.read("r"), r.read("r"), r.skip(), r.skip(), r.skip()
    (Rm,) = r.read("r")
    (b,) = r.read("r")
    a = [0.0] * 101
    kmax = 0
    for _ in range(npts):
        k, ak = r.read("ir")
        if not 0 <= k <= 100:
            raise refusal("analytic coefficient index %d on line %d" % (k, r.pos), name, "line %d" % r.pos, str(k))
        a[k] = ak
        kmax = max(kmax, k)
    (srtype,) = r.read("i")
    if srtype == 1:
        Asr, Bsr, Nsr = r.read("rrr")
        lines += free_line("Polynomial extension at short range.")
    elif srtype == 2:
        Asr, Bsr = r.read("rr")
        Nsr = 0.0
        lines += free_line("Exponential extension at short range.")
    else:
        raise exact_stop("Specify the short range type!")
    (Uinf,) = r.read("r")
    (L,) = r.read("i")
    C = [0.0] * 21
    mlr = 0
    for _ in range(L):
        k, ck = r.read("ir")
        if not 1 <= k <= 20:
            raise refusal("long-range index %d on line %d" % (k, r.pos), name, "line %d" % r.pos, str(k))
        C[k] = ck
        mlr = max(mlr, k)
    Aex, gex, bex = r.read("rrr")
    Ri, Ro = r.read("rr")
    if not Ri < Ro:
        raise refusal("Ri >= Ro", name, "Ri", "Ro")
    if Uinf == 0.0 and mlr + 2 > 20:
        raise refusal("derived index m+2 = %d > 20" % (mlr + 2), name, "C%d" % (mlr + 2))

    def xi(x):
        return (x - Rm) / (x + b * Rm)

    def P(x):
        s = 0.0
        for k in range(kmax, -1, -1):
            s = s * xi(x) + a[k]
        return s

    def dP(x):
        s = kmax * a[kmax]
        for k in range(kmax - 1, 0, -1):
            s = s * xi(x) + k * a[k]
        return (b + 1.0) * Rm * s / (x + b * Rm) ** 2

    if srtype == 1 and Asr == 0.0 and Bsr == 0.0:
        D = dP(Ri)
        Asr = P(Ri) + D * Ri / Nsr
        Bsr = -D * Ri ** (Nsr + 1.0) / Nsr
        lines += free_line(Asr, Bsr)
    Utail = Uinf
    if Uinf == 0.0:
        U1 = P(Ro) + sum(C[k] / ipow(Ro, k) for k in range(1, 21))
        D1 = dP(Ro) - sum(k * C[k] / ipow(Ro, k + 1) for k in range(1, 21))
        m = mlr
        C[m + 2] = D1 * ipow(Ro, m + 3) / (m + 2)
        Utail = U1 + D1 * Ro / (m + 2)
        lines += free_line(Utail, m + 2, C[m + 2])
    V = [0.0]
    for x in R[1:]:
        if x < Ri:
            v = Asr + Bsr / x ** Nsr if srtype == 1 else Asr * math.exp(-Bsr * (x - Ri))
        elif x > Ro:
            v = Utail - sum(C[k] / ipow(x, k) for k in range(1, 21)) + Aex * x ** gex * math.exp(-bex * x)
        else:
            v = P(x)
        V.append(v)
    return V, Uinf


class Extension:
    pass


def spline_table(X, Y, y2a, y2b):
    """Second derivatives of the cubic spline with given end values (Thomas algorithm)."""
    n = len(X)
    y2 = [0.0] * n
    y2[0], y2[-1] = y2a, y2b
    if n <= 2:
        return y2
    m = n - 2  # unknowns y2[1..n-2]
    lo = [(X[i] - X[i - 1]) / 6.0 for i in range(1, n - 1)]
    di = [(X[i + 1] - X[i - 1]) / 3.0 for i in range(1, n - 1)]
    up = [(X[i + 1] - X[i]) / 6.0 for i in range(1, n - 1)]
    rhs = [(Y[i + 1] - Y[i]) / (X[i + 1] - X[i]) - (Y[i] - Y[i - 1]) / (X[i] - X[i - 1]) for i in range(1, n - 1)]
    rhs[0] -= lo[0] * y2a
    rhs[-1] -= up[-1] * y2b
    for i in range(1, m):
        w = lo[i] / di[i - 1]
        di[i] -= w * up[i - 1]
        rhs[i] -= w * rhs[i - 1]
    sol = [0.0] * m
    sol[-1] = rhs[-1] / di[-1]
    for i in range(m - 2, -1, -1):
        sol[i] = (rhs[i] - up[i] * sol[i + 1]) / di[i]
    y2[1 : n - 1] = sol
    return y2


def spline_eval(X, Y, y2, x):
    lo, hi = 0, len(X) - 1
    while hi - lo != 1:
        k = (lo + hi) // 2
        if X[k] > x:
            hi = k
        else:
            lo = k
    d = X[hi] - X[lo]
    a = (X[hi] - x) / d
    c = (x - X[lo]) / d
    return a * Y[lo] + c * Y[hi] + d * (d * a * (a * a - 1.0) / 6.0) * y2[lo] + d * (d * c * (c * c - 1.0) / 6.0) * y2[hi]


def basis(x, ext):
    out = [0.0] * (ext.nextpar + 1)
    for j in range(1, ext.nextpar + 1):
        if j == 1:
            out[j] = 1.0
        elif j == 2:
            out[j] = x ** ext.alpha * math.exp(-ext.gamma * x)
        else:
            f = 1.0
            if ext.rho > 0.0:
                f = (1.0 - math.exp(-DAMP_C1 * ext.rho * x / j - DAMP_C2 * (ext.rho * x) ** 2 / math.sqrt(j))) ** j
            out[j] = -f / ipow(x, j)
    return out


def ext_value(x, ext):
    X = basis(x, ext)
    return sum(ext.par[j] * X[j] for j in range(1, ext.nextpar + 1))


def build_pointwise(r, name, R, lines):
    lines += free_line("Pointwise PEC (delault)")
    (npts,) = r.read("i")
    if npts > 500:
        raise exact_stop("number of points must be less than 500")
    r.read("r"), r.read("i"), r.read("r"), r.read("r"), r.skip(), r.skip(), r.skip()
    if npts < 2:
        raise refusal("fewer than 2 points", name, str(npts))
    (y2a,) = r.read("r")
    (y2b,) = r.read("r")
    X, Y = [], []
    for _ in range(npts):
        x, y = r.read("rr")
        if X and not x > X[-1]:
            raise refusal("radii not increasing at line %d" % r.pos, name, "line %d" % r.pos)
        X.append(x)
        Y.append(y)
    ext = Extension()
    ext.flag = r.text(1) if not r.eof() else "n"
    ext.exch = "n"
    ext.par = [0.0] * 21
    ext.fit = [0] * 21
    ext.nextpar = 0
    ext.alpha = ext.gamma = ext.rho = 0.0
    if ext.flag == "y":
        ext.Rfit1, ext.Rfit2, ext.rho = r.read("rrr")
        ext.par[1], ext.fit[1] = r.read("ri")
        (m,) = r.read("i")
        for _ in range(m):
            k, c, s = r.read("iri")
            if not 3 <= k <= 20:
                raise refusal("dispersion index %d on line %d" % (k, r.pos), name, "line %d" % r.pos, str(k))
            ext.par[k], ext.fit[k] = c, s
            ext.nextpar = k
        ext.exch = r.text(1) if not r.eof() else "n"
        if ext.exch == "y":
            ext.par[2], ext.fit[2] = r.read("ri")
            (ext.alpha,) = r.read("r")
            (ext.gamma,) = r.read("r")
    Uinf = ext.par[1] if ext.flag == "y" else UINF_UNSET
    y2 = spline_table(X, Y, y2a, y2b)
    V = [0.0] + [spline_eval(X, Y, y2, x) for x in R[1:]]
    potext = None
    if ext.flag == "y":
        potext = extend(V, R, ext, name)
    return V, Uinf, potext


def least_squares_40(rows, rhs):
    """Least-squares solution of rows x = v - fixed (rhs holds the pairs), normal equations
    formed and solved by Gaussian elimination with partial pivoting in 40 significant digits,
    so that the fit here carries no rounding of double-precision arithmetic."""
    with decimal.localcontext() as ctx:
        ctx.prec = 40
        D = decimal.Decimal
        A = [[D(a) for a in row] for row in rows]
        b = [D(v) - D(fixed) for v, fixed in rhs]
        n = len(A[0]) if A else 0
        M = [[sum((row[i] * row[j] for row in A), D(0)) for j in range(n)]
             + [sum((row[i] * bk for row, bk in zip(A, b)), D(0))] for i in range(n)]
        for col in range(n):
            piv = max(range(col, n), key=lambda r: abs(M[r][col]))
            M[col], M[piv] = M[piv], M[col]
            for r in range(col + 1, n):
                f = M[r][col] / M[col][col]
                for k in range(col, n + 1):
                    M[r][k] -= f * M[col][k]
        x = [D(0)] * n
        for i in range(n - 1, -1, -1):
            x[i] = (M[i][n] - sum((M[i][k] * x[k] for k in range(i + 1, n)), D(0))) / M[i][i]
        return x


def extend(V, R, ext, name):
    """The long-range extension: fit (40 digits), splice, and the potext.out lines."""
    nfit = sum(ext.fit[1 : ext.nextpar + 1])
    out = []
    if nfit > 0:
        pts = [(R[i], V[i]) for i in range(1, len(R)) if ext.Rfit1 <= R[i] <= ext.Rfit2]
        if len(pts) > 5000:
            raise refusal("fit window of %d grid points" % len(pts), name, str(len(pts)), "5000")
        free = [j for j in range(1, ext.nextpar + 1) if ext.fit[j] != 0]
        rows, rhs = [], []
        for x, v in pts:
            Xb = basis(x, ext)
            fixed = sum(ext.par[j] * Xb[j] for j in range(1, ext.nextpar + 1) if ext.fit[j] == 0)
            rows.append([Xb[j] for j in free])
            rhs.append((v, fixed))
        sol = least_squares_40(rows, rhs)
        for j, s in zip(free, sol):
            ext.par[j] = float(s)
        chi2 = 0.0
        for x, v in pts:
            chi2 += (v - ext_value(x, ext)) ** 2
        ext.chi2 = chi2
        d_prev = 0.0
        connected = False
        for i in range(1, len(R)):
            if R[i] <= ext.Rfit1:
                continue
            ve = ext_value(R[i], ext)
            d = ve - V[i]
            if not connected and d_prev * d < 0.0:
                out.append(("connection", R[i]))
                connected = True
            if connected:
                V[i] = ve
            d_prev = d
        out.append(("chi2", chi2))
    else:
        for i in range(1, len(R)):
            if R[i] > ext.Rfit2:
                V[i] = ext_value(R[i], ext)
        out.append(("fixed", None))
        out.append(("connection", ext.Rfit2))
    for k in range(1, 21):
        if k != 2 and ext.par[k] != 0.0:
            out.append(("parameter", (k, ext.par[k], ext.fit[k])))
    if ext.exch == "y":
        out.append(("exchange", (ext.par[2], ext.fit[2], ext.alpha, ext.gamma)))
    return out


def build_curve(path, Rmin, Rmax, N):
    """Header, grid and tabulated curve of one potential file, or a Stop."""
    r = Reader(path)
    c = Curve()
    c.name = os.path.basename(path)
    c.npts, c.masses, c.Lambda, c.q1, c.q2, c.pectype = read_header(r)
    c.R0, c.h, c.R = grid(Rmin, Rmax, N)
    c.N = N
    r = Reader(path)
    c.potext = None
    c.lines = []  # what the builder prints, up to a stop
    try:
        if c.pectype == "AN":
            c.V, c.Uinf = build_analytic(r, c.name, c.R, c.lines)
        elif c.pectype == "ML":
            c.V, c.Uinf = build_mlj(r, c.name, c.R, c.lines)
        else:
            c.V, c.Uinf, c.potext = build_pointwise(r, c.name, c.R, c.lines)
    except Stop as stop:
        stop.lines = c.lines
        raise
    c.fitted = c.potext is not None and any(kind == "chi2" for kind, _ in c.potext)
    return c


# ----------------------------------------------------------------------------------------------
# Landmarks and the independent eigenvalues


def ueff(curve, mu, J, Lam):
    K = float(J * (J + 1) - Lam * Lam) * HBAR2_2U
    return [0.0] + [K / (x * x * mu) + v for x, v in zip(curve.R[1:], curve.V[1:])]


def lowest_minimum(U):
    best = 9.999999778196308e22
    for i in range(2, len(U) - 1):
        if U[i] < U[i - 1] and U[i] < U[i + 1]:
            best = min(best, U[i])
    return best


def highest_barrier(U, vref):
    top, n = 0.0, 0
    for i in range(2, len(U) - 1):
        if U[i] > vref and U[i] > U[i - 1] and U[i] > U[i + 1]:
            n += 1
            top = max(top, U[i])
    return top if n else vref


def crossings(U, En):
    return turning(U, En, len(U) - 1, False)[:3]


class SturmCountInvalid(ValueError):
    """The grid is too coarse for the count: some T_i >= 1 makes a pivot change sign twice."""


class Levels:
    """Numerov levels of one Ueff by Sturm counts."""

    def __init__(self, U, h, mu):
        self.U = U
        self.c = h * h * mu * U0 / 12.0

    def count(self, En, lo, hi, first=0.0, last=0.0):
        """Negative pivots of M(E) on points lo..hi; `first`/`last` are subtracted from the end
        diagonals (a boundary value tied to its neighbour instead of a zero outside)."""
        c = self.c
        d = math.inf
        n = 0
        U = self.U
        for i in range(lo, hi + 1):
            T = c * (U[i] - En)
            d = (2.0 + 10.0 * T) / (1.0 - T) - 1.0 / d
            if i == lo:
                d -= first
            if i == hi:
                d -= last
            if d < 0.0:
                n += 1
            elif d == 0.0:
                d = 1e-300
        return n

    def level(self, v, lo, hi, guess=None, width=1e-8, bc=None):
        """Energy of the level with v nodes on points lo..hi (zero at lo-1 and hi+1), or with
        the boundary bc(E) -> (lo, hi, first, last) that depends on the trial energy."""
        if bc is None:
            def bc(En):
                return lo, hi, 0.0, 0.0
        if self.c * (max(self.U[lo : hi + 1]) - min(self.U[lo : hi + 1])) >= 1.0:
            raise SturmCountInvalid("T >= 1 on the grid: the Sturm count does not hold")

        def count(En):
            return self.count(En, *bc(En))

        if guess is None:
            a, b = min(self.U[lo : hi + 1]), max(self.U[lo : hi + 1])
        else:
            step = 1.0
            a, b = guess - step, guess + step
            while count(a) > v:
                step *= 4.0
                a = guess - step
            while count(b) < v + 1:
                step *= 4.0
                b = guess + step
        while b - a > width * max(1.0, abs(b)):
            m = 0.5 * (a + b)
            if count(m) > v:
                b = m
            else:
                a = m
        return 0.5 * (a + b)


# Bi(0) = 1/(3^(1/6) Gamma(2/3)) and Bi'(0) = 3^(1/6)/Gamma(1/3), to 30 digits (Abramowitz and
# Stegun 10.4.4 and 10.4.5, Bi = sqrt(3) Ai at the origin).
BI0 = decimal.Decimal("0.614926627446000735150922369094")
BI0_PRIME = decimal.Decimal("0.448288357353826357914823710399")


def airy_bi(x):
    """Bi(x) from its Maclaurin series Bi(0) f(x) + Bi'(0) g(x), f = sum x^3k 1.4...(3k-2)/(3k)!,
    g = sum x^(3k+1) 2.5...(3k-1)/(3k+1)!, summed in enough digits to outlast the cancellation of
    the oscillating terms for negative x."""
    with decimal.localcontext() as ctx:
        ctx.prec = 40 + int(abs(x) ** 1.5)
        X = decimal.Decimal(x)
        X3 = X * X * X
        f = tf = decimal.Decimal(1)
        g = tg = X
        k = 0
        while True:
            k += 1
            tf = tf * X3 / ((3 * k - 1) * (3 * k))
            tg = tg * X3 / ((3 * k) * (3 * k + 1))
            f += tf
            g += tg
            if k > 5 and abs(tf) + abs(tg) < (abs(f) + abs(g)) * decimal.Decimal(10) ** (-ctx.prec):
                break
        return float(BI0 * f + BI0_PRIME * g)


def airy_start(h, dVt, jt, reversed_grid):
    """Y(k3)/Y(k3-1) of the quasi-bound start values Bi at the third turning point, placed at
    Rt = R(k3) - jt h/100 with the scale s = (dVt/h)^(1/3), as the solvers place them."""
    s = (dVt / h) ** 0.3333333432674408
    # R(k3) - Rt = jt h/100 and R(k3-1) - Rt = (jt/100 - 1) h
    a, b = jt * h / 100.0, (jt / 100.0 - 1.0) * h
    if reversed_grid:
        return airy_bi(a * s) / airy_bi(b * s)
    return airy_bi(-a * s) / airy_bi(-b * s)


def tunnel_figure(U, En, mu, h, reversed_grid):
    k1, k2, k3 = crossings(U, En)
    if k3 == 0:
        return None
    q = math.sqrt(mu / Q_TUNNEL)
    if reversed_grid:
        k1, k3 = k3, k1
        tau = h * q * sum(1.0 / math.sqrt(abs(En - U[m])) for m in range(k2, k1))
        B = sum(math.sqrt(abs(U[m] - En)) for m in range(k3, k2))
    else:
        tau = h * q * sum(1.0 / math.sqrt(abs(En - U[m])) for m in range(k1, k2))
        B = sum(math.sqrt(abs(U[m] - En)) for m in range(k2, k3))
    return f32(math.exp(-2.0 * q * h * B)) / tau


# ----------------------------------------------------------------------------------------------
# A second implementation of the solvers, written independently of the program's code (shooting, node count,
# energy correction, bisection), to check the fields the Sturm count cannot give: Dcor, kturn,
# node, kleft, krigth, and the preparatory toadd solves. The Airy start values come from the series
# of Bi above.


def turning(V, E, N, rev):
    """k1, k2, k3 and, for k3 > 0, dVt and jt, as the solvers use them."""
    k1 = k2 = k3 = 0
    for i in range(2, N + 1):
        if (V[i - 1] - E) * (V[i] - E) < 0.0:
            if k1 > 0 and k2 > 0:
                k3 = i
            if k1 > 0 and k2 == 0:
                k2 = i
            if k1 == 0:
                k1 = i
    if k3 > 0 and rev:
        k1, k3 = k3, k1
    dVt = jt = None
    if k3 > 0:
        d = abs(V[k3] - V[k3 - 1])
        dVt = d
        m = 100
        while ((V[k3] - (m - 1) * d / 100) - E) * ((V[k3] - m * d / 100) - E) > 0.0:
            m -= 1
        jt = m - 1 if rev else m
    return k1, k2, k3, dVt, jt


class IndependentSolver:
    """solve_forward (rev False) or solve_reversed (rev True), with its own kept arrays."""

    def __init__(self, rev):
        self.rev = rev
        self.Y = [0.0] * 50001
        self.T = [0.0] * 50001
        self.kmatch = 0
        self.console = []

    def solve(self, V, R0, h, mu, v, E, tunnel, dE, N, maxit, tol):
        rev = self.rev
        Y, T = self.Y, self.T
        Vout = V[1] if rev else V[N]
        Umax = highest_barrier(V[: N + 1], Vout)
        Umin = lowest_minimum(V[: N + 1])
        if Umax < Umin:
            raise exact_stop("Umin >  Umax")
        Emax = max(Umax, Vout)
        if E + dE < Emax:
            Elo, Ehi = E - dE, E + dE
        if E + dE >= Emax:
            Elo, Ehi = E - dE, Emax
        if E >= Emax:
            E = Emax - dE
            Elo, Ehi = E - dE, E + dE
        if E - dE < Umin:
            Elo = Umin
        if E < Umin:
            Elo = Umin
            E = Umin if rev else Umin + 0.20000000298023224 * dE
            Ehi = Umin + dE
        c = h * h * mu * U0
        small = 0.001 if rev else 0.0010000000474974513
        kturn = 0
        while True:
            k3 = 0
            if E > Vout:
                k1, k2, k3, dVt, jt = turning(V, E, N, rev)
            n = N if rev or k3 == 0 else k3
            for i in range(1, n + 1):
                T[i] = c * (V[i] - E) / 12
            # pass from the top index down to the first maximum
            top = N if rev else n
            if rev or k3 == 0:
                Y[top], Y[top - 1] = 1e-99, 1e-66
            else:
                s = (dVt / h) ** 0.3333333432674408
                Rn = R0 + n * h
                Rt = Rn - jt * h / 100
                Y[n] = airy_bi(-(Rn - Rt) * s)
                Y[n - 1] = airy_bi(-(R0 + (n - 1) * h - Rt) * s)
            found = False
            self.joined = False
            for i in range(top - 2, 0, -1):
                Y[i] = ((10 * T[i + 1] + 2) * Y[i + 1] - (1 - T[i + 2]) * Y[i + 2]) / (1 - T[i])
                if Y[i] * Y[i] > 1e40:
                    by = Y[i]
                    for j in range(i, top + 1):
                        Y[j] /= by
                if Y[i] <= Y[i + 1] and Y[i + 1] > Y[i + 2]:
                    by = Y[i + 1]
                    for j in range(i + 1, top + 1):
                        Y[j] /= by
                    self.kmatch = i + 1
                    found = True
                    break
            if not found:
                self.console.append(" rigth error")
            # pass from index 1 (or the third turning point) up to kmatch, counting nodes
            if rev and k3 > 0:
                s = (dVt / h) ** 0.3333333432674408
                Rt = R0 + k3 * h - jt * h / 100
                Y[k3] = airy_bi((R0 + k3 * h - Rt) * s)
                Y[k3 - 1] = airy_bi((R0 + (k3 - 1) * h - Rt) * s)
                m0, first = k3 - 1, k3 + 1
            else:
                Y[1], Y[2] = (1e-99, 1e-66) if rev else (1e-66, 1e-22)
                m0, first = 1, 3
            node = 0
            for j in range(first, n + 1):
                Y[j] = ((10 * T[j - 1] + 2) * Y[j - 1] - (1 - T[j - 2]) * Y[j - 2]) / (1 - T[j])
                if Y[j] * Y[j] > 1e40:
                    by = Y[j]
                    for i in range(m0, j + 1):
                        Y[i] /= by
                if Y[j] * Y[j - 1] < 0:
                    node += 1
                if j == self.kmatch:
                    by = Y[j]
                    for i in range(m0, j + 1):
                        Y[i] /= by
                    self.joined = True
                    break
            S = 0.0
            for i in range(m0 if rev else 1, n + 1):
                S += Y[i] * Y[i]
            k = min(max(self.kmatch, 2), n - 1)
            Dcor = ((10 * T[k] + 2) - (1 - T[k - 1]) * Y[k - 1] - (1 - T[k + 1]) * Y[k + 1]) / (S * (h * h)) / (2 * mu * U0)
            if node > v:
                Ehi = E
                E = (Elo + Ehi) / 2
            elif node < v:
                Elo = E
                E = (Elo + Ehi) / 2
            elif Dcor * Dcor < small:
                E = min(E + Dcor, Emax)
            elif Dcor < 0:
                Ehi = E
                E = (Elo + Ehi) / 2
            elif Dcor > 0:
                Elo = E
                E = (Elo + Ehi) / 2
            kturn += 1
            if Dcor * Dcor <= tol * tol or kturn >= maxit:
                break
        k1, k2, k3, dVt, jt = turning(V, E, N, rev)
        if k3 > 0:
            q = math.sqrt(mu / Q_TUNNEL)
            if rev:
                for i in range(1, k3 + 1):
                    T[i] = c * (V[i] - E) / 12
                for i in range(k3 - 2, 0, -1):
                    Y[i] = ((10 * T[i + 1] + 2) * Y[i + 1] - (1 - T[i + 2]) * Y[i + 2]) / (1 - T[i])
                    if Y[i] * Y[i] > 1e40:
                        by = Y[i]
                        for j in range(i, N + 1):
                            Y[j] /= by
                Ymax = 1.0
                for m in range(2, N):
                    if Y[m] > Y[m + 1] and Y[m] > Y[m - 1]:
                        Ymax = Y[m]
                        break
                tau = h * q * sum(1.0 / math.sqrt(abs(E - V[m])) for m in range(k2, k1))
                bsum = 0.0
                for m in range(k3, k2):
                    bsum = f32(bsum + math.sqrt(abs(V[m] - E)))
            else:
                for i in range(k3 - 1, N + 1):
                    T[i] = c * (V[i] - E) / 12
                for j in range(k3 + 1, N + 1):
                    Y[j] = ((10 * T[j - 1] + 2) * Y[j - 1] - (1 - T[j - 2]) * Y[j - 2]) / (1 - T[j])
                    if Y[j] * Y[j] > 1e40:
                        by = Y[j]
                        for i in range(1, j + 1):
                            Y[i] /= by
                Ymax = 1.0
                for m in range(N - 1, 1, -1):
                    if Y[m] > Y[m + 1] and Y[m] > Y[m - 1]:
                        Ymax = Y[m]
                        break
                tau = h * q * sum(1.0 / math.sqrt(abs(E - V[m])) for m in range(k1, k2))
                bsum = 0.0
                for m in range(k2, k3):
                    bsum = f32(bsum + math.sqrt(abs(V[m] - E)))
            n = N
            if E > 0 and Ymax != 0.0:
                f = math.sqrt(q / (3.1415926536 * E))
                for i in range(1, N + 1):
                    Y[i] = Y[i] * f / Ymax
            tunnel = f32(math.exp(-(2 * q * h * bsum))) / tau
        kleft = 0
        j = 2
        while j <= n and abs(Y[j] - Y[j - 1]) / h < 0.001:
            kleft += 1
            j += 1
        krigth = 0
        m = n
        while m >= 2 and abs(Y[m] - Y[m - 1]) / h < 0.001:
            krigth += 1
            m -= 1
        if rev:
            kleft, krigth = krigth, kleft
        return E, tunnel, Dcor, kturn, node, kleft, krigth


def independent_levels(solver_fwd, solver_rev, curve, mu, Lam, q1, q2, tol, maxit, ranges, revflag, toadd, mass_index):
    """The level lines and the retry console lines of one driver call."""
    vmin, vmax, Jmin, Jmax, pmin, pmax = ranges
    N, R0, h = curve.N, curve.R0, curve.h
    lines, console = [], {}
    # Level lines (1-based) whose last solve never joined its passes: the pass from the top met
    # its maximum below the start of the pass from index 1, which then ran to the end.
    unjoined = set()
    tunnel = 0.0
    solver = solver_fwd if revflag == "n" else solver_rev
    for J in range(Jmin, Jmax + 1):
        badcount = 0
        console[J] = []
        built = False
        for v in range(vmin, vmax + 1):
            for Par in range(pmin, pmax + 1):
                if not built:
                    built = True
                    U = ueff(curve, mu, J, Lam)
                    if revflag == "y":
                        U = [0.0] + U[:0:-1]
                    Ulim = (U[N] if revflag == "n" else U[1]) if curve.Uinf == UINF_UNSET else curve.Uinf
                    Umax = highest_barrier(U, Ulim)
                    Umin = lowest_minimum(U)
                    if Umax < Umin:
                        return lines, console, True, unjoined
                E = (Umin + Umax + toadd) * 0.5
                Ein = E
                dE = (Umax - Umin - toadd) * 0.5 - WINDOW_MARGIN
                solver.console = console[J]
                E, tunnel, Dcor, kturn, node, kleft, krigth = solver.solve(U, R0, h, mu, v, E, tunnel, dE, N, maxit, tol)
                if abs(Dcor) > tol:
                    console[J].append("Epr-" + fF(E, 13, 5) + "   Dcor-" + fE(Dcor, 10, 2) + "  iter-" + fI(kturn, 3))
                    console[J].append(" perhaps better...")
                    E, tunnel, Dcor, kturn, node, kleft, krigth = solver.solve(U, R0, h, mu, v, E, tunnel, dE / 10.0, N, maxit, tol)
                if Lam == 1:
                    E = E + (f32(q1) if Par == 1 else f32(q2)) * float(J) * float(J + 1)
                if abs(Dcor) > 10.0 * tol:
                    badcount += 1
                if badcount > 2:
                    continue
                head = (fI(len(lines) + 1, 5) + fI(v, 4) + fI(J, 4) + fF(E, 13, 5) + fI(Par, 2) + fF(dE, 11, 4)
                        + fI(10 * mass_index, 3) + fF(Ein, 13, 5) + fE(Dcor, 10, 2) + fI(kleft, 5))
                if not solver.joined:
                    unjoined.add(len(lines) + 1)
                if E <= Ulim:
                    lines.append(head + fI(krigth, 7) + fI(kturn, 3) + fI(node, 4))
                else:
                    lines.append(head + "   res." + fI(kturn, 3) + fI(node, 4) + fE(tunnel, 10, 2) + fF(Umax, 13, 5) + fF(Ulim, 13, 5))
    return lines, console, False, unjoined


class CallResult:
    pass


class StateSolver:
    """Everything one compute_levels call needs, built once per (file, grid)."""

    def __init__(self, case_dir, state, control):
        self.state = state
        self.path = os.path.join(case_dir, state.file.rstrip())
        self.control = control
        self.curve = build_curve(self.path, state.Rmin, state.Rmax, state.N)
        c = self.curve
        self.mu = c.masses[state.mass_index - 1]
        self.cache = {}

    def toadd_levels(self):
        c = self.curve
        U = ueff(c, c.masses[0], 0, c.Lambda)
        lv = Levels(U, c.h, c.masses[0])
        return lv.level(1, 2, c.N - 1), lv.level(2, 2, c.N - 1)

    def window(self, J):
        """Ueff, Ulim, Umin, Umax of one J (the limit Uinf when the builder knows one)."""
        if J not in self.cache:
            c = self.curve
            U = ueff(c, self.mu, J, c.Lambda)
            Ulim = U[c.N] if c.Uinf == UINF_UNSET else c.Uinf
            self.cache[J] = (U, Ulim, lowest_minimum(U), highest_barrier(U, Ulim), Levels(U, c.h, self.mu))
        return self.cache[J]

    def shift(self, J, Par):
        c = self.curve
        if c.Lambda != 1:
            return 0.0
        q = f32(c.q1) if Par == 1 else f32(c.q2)
        return q * float(J) * float(J + 1)

    def bound_level(self, v, J, guess=None):
        U, Ulim, Umin, Umax, lv = self.window(J)
        return lv.level(v, 2, self.curve.N - 1, guess)

    def quasi_level(self, v, J, guess, reversed_grid):
        """A quasi-bound level, the grid closed at the third turning point of every trial energy
        by the Airy start values; None when the guess has no third crossing."""
        U, Ulim, Umin, Umax, lv = self.window(J)
        N = self.curve.N
        Ur = U if not reversed_grid else [0.0] + U[:0:-1]
        c = lv.c
        if crossings(Ur, guess)[2] == 0:
            return None

        def bc(En):
            outer = Ur[1] if reversed_grid else Ur[N]
            k3 = 0
            if En > outer:
                k1, k2, k3, dVt, jt = turning(Ur, En, N, reversed_grid)
            if k3 == 0:
                return 2, N - 1, 0.0, 0.0
            ratio = airy_start(self.curve.h, dVt, jt, reversed_grid)  # Y(k3)/Y(k3-1)
            T1, T0 = c * (Ur[k3 - 1] - En), c * (Ur[k3] - En)
            if reversed_grid:
                # Y(k3-1), Y(k3) of the mirrored array are forward points N+2-k3, N+1-k3: the
                # unknowns are forward points 2 .. N+1-k3, the last tied to the one beyond it
                return 2, N + 1 - k3, 0.0, (1.0 - T1) / (1.0 - T0) / ratio
            return 2, k3 - 1, 0.0, (1.0 - T0) * ratio / (1.0 - T1)

        return lv.level(v, 2, N - 1, guess, bc=bc)


# ----------------------------------------------------------------------------------------------
# The run as the control file orders it


class Call:
    def __init__(self, state_name, state, ranges, levelfile):
        self.state_name = state_name
        self.state = state
        self.ranges = ranges
        self.levelfile = levelfile


def level_order(ranges):
    vmin, vmax, Jmin, Jmax, pmin, pmax = ranges
    for J in range(Jmin, Jmax + 1):
        for v in range(vmin, vmax + 1):
            for p in range(pmin, pmax + 1):
                yield v, J, p


def branch_requests(state_name, state, vb, J, p, branch, dJ):
    lo, hi = vb
    q = abs(1 - p)
    if branch == 1:
        return [Call(state_name, state, (lo, hi, J, J, q, q), "BstateQ.dat")]
    if branch == 2:
        return [Call(state_name, state, (lo, hi, J - 1, J - 1, p, p), "BstateP.dat"),
                Call(state_name, state, (lo, hi, J + 1, J + 1, p, p), "BstateR.dat")]
    if branch == 3:
        return [Call(state_name, state, (lo, hi, J - dJ, J - dJ, p, p), "BstateP.dat"),
                Call(state_name, state, (lo, hi, J + dJ, J + dJ, p, p), "BstateR.dat"),
                Call(state_name, state, (lo, hi, J, J, q, q), "BstateQ.dat")]
    return []


# ----------------------------------------------------------------------------------------------
# The check of one case


class Case:
    def __init__(self, case_dir, binary=None):
        self.dir = case_dir
        self.name = os.path.basename(os.path.normpath(case_dir))
        self.binary = binary
        self.failures = []
        self.notes = []
        self.solvers = {}
        self.independent_solvers = {"n": IndependentSolver(False), "y": IndependentSolver(True)}

    def fail(self, what):
        self.failures.append(what)

    def note(self, what):
        self.notes.append(what)

    def expected(self, name):
        path = os.path.join(self.dir, "expected", name)
        if not os.path.exists(path):
            return None
        with open(path) as f:
            text = f.read()
        if not text.endswith("\n") and text:
            self.fail("%s does not end with a line end" % name)
        return text.split("\n")[:-1] if text else []

    def solver(self, which):
        """The tabulated curve and independent levels of state A or B (built once per case)."""
        if which not in self.solvers:
            st = self.control.A if which == "A" else self.control.B
            self.solvers[which] = StateSolver(self.dir, st, self.control)
        return self.solvers[which]

    # -- console model --------------------------------------------------------------------

    def run(self):
        self.control = c = read_control(os.path.join(self.dir, "velk.inf"))
        self.tol = c.tol
        # expected console: lines, or ("toadd", call, result) and ("retries", call, J) markers
        self.console = []
        self.calls = []  # (Call, CallResult) in run order
        self.status = 0
        self.stop = None
        console = self.console
        console += [" ", " ", " ---------------- VELK 3.0 -------------------",
                    "         Last modified on 3.7.2007 ", " ", " reading velk.inf"]
        try:
            if c.lifflag == "y":
                raise exact_stop("Velk3: LIF simulation not supported.")
            if c.A.N > 50000 or c.B.N > 50000:
                raise exact_stop("number of points must be less than 50000")
            console.append(" OK" + c.one_switch)
            self.run_jobs()
        except Stop as stop:
            self.stop = stop
            self.status = stop.status
        self.check_console()
        self.check_status()
        self.check_level_files()
        self.check_transitions()
        self.check_potext()
        self.check_twin()
        if self.binary and self.stop is None:
            if max(c.A.N, c.B.N) > 25000:
                self.note("finer grid not run: 2N - 1 exceeds the 50000 grid points a state can have")
            else:
                self.check_finer_grid()
        self.check_no_other_files()

    def request(self, call):
        """One compute_levels call: its console lines and the independent levels."""
        c = self.control
        st = call.state
        console = self.console
        if st.kind == "d":
            self.dunham_request(call)
            return
        name = st.file.rstrip()
        if st.N > 50000:
            raise exact_stop("number of points must be less than 50000")
        if st.N < 2:
            raise refusal("N < 2", name, "N = %d" % st.N)
        if st.mass_index < 1 or st.mass_index > 5:
            raise refusal("mass index %d" % st.mass_index, name, str(st.mass_index))
        if c.revflag not in ("n", "y"):
            raise refusal("revflag '%s'" % c.revflag, "velk.inf", "'%s'" % c.revflag)
        console.append(" OK")
        console.append(" reading" + name12(st.file))
        path = os.path.join(self.dir, name)
        npts = read_header(Reader(path))[0]
        if npts > 500:
            raise exact_stop("number of points must be less than 500")
        try:
            solver = self.solver(call.state_name)
        except Stop as stop:
            console.extend(stop.lines)
            raise
        curve = solver.curve
        for mass in (curve.masses[0], solver.mu):
            if not math.isfinite(curve.h * curve.h * mass * U0 / 12.0):
                raise SturmCountInvalid("h^2 mu u0/12 is not finite for the mass %g" % mass)
        # compute_toadd: builder, Ueff at J = 0 with the first mass, two solves
        console.extend(curve.lines)
        console.append(" UYeff OK")
        U0grid = ueff(curve, curve.masses[0], 0, curve.Lambda)
        if highest_barrier(U0grid, U0grid[curve.N]) < lowest_minimum(U0grid):
            raise exact_stop("Umin >  Umax")
        E1, E2 = solver.toadd_levels()
        # The second implementation of the solvers: the toadd solves (forward grid, first mass,
        # 20 updates, tol 0.1) and the driver's loop.
        fwd = self.independent_solvers["n"]
        fwd.console = []
        lim = U0grid[curve.N]
        umax0, umin0 = highest_barrier(U0grid, lim), lowest_minimum(U0grid)
        E0 = (umin0 + umax0) * 0.5
        dE0 = (umax0 - umin0) * TOADD_WINDOW * 0.5
        m1 = curve.masses[0]
        e1 = fwd.solve(U0grid, curve.R0, curve.h, m1, 1, E0, 0.0, dE0, curve.N, 20, 0.1)[0]
        e2 = fwd.solve(U0grid, curve.R0, curve.h, m1, 2, E0, 0.0, dE0, curve.N, 20, 0.1)[0]
        console.extend(fwd.console)
        res = CallResult()
        res.second_toadd_line = free_line(e1, e2, " toadd ")[0]
        res.second_lines, res.second_console, _, res.second_unjoined = independent_levels(
            self.independent_solvers["n"], self.independent_solvers["y"], curve, solver.mu, curve.Lambda, curve.q1,
            curve.q2, c.tol, c.maxit, call.ranges, c.revflag, (e2 - e1) / 3.0, st.mass_index)
        res.E1, res.E2 = E1, E2
        console.append(("toadd", call, res))
        console.append(" OK")
        console.append(" ")
        console.extend(curve.lines)
        res.J_console = {}
        self.calls.append((call, res))
        vmin, vmax, Jmin, Jmax, pmin, pmax = call.ranges
        for J in range(Jmin, Jmax + 1):
            console.append(" J=" + fI(J, 5))
            if vmax < vmin or pmax < pmin:
                continue
            console.append(" UYeff OK")
            U, Ulim, Umin, Umax, lv = solver.window(J)
            if Umax < Umin:
                res.stopped_at = J
                raise exact_stop("Umin >  Umax")
            console.append(("retries", call, J))

    def dunham_request(self, call):
        """A state given by Dunham coefficients: its level file from the closed form of
        dunham_expected.py, which prints nothing on the console."""
        de = dunham_module()
        workdir = de.WorkDir(de.read_inputs(self.dir))
        vmin, vmax, Jmin, Jmax, pmin, pmax = call.ranges
        try:
            de.dunham_levels(workdir, call.state.file, vmin, vmax, Jmin, Jmax, pmin, pmax, call.levelfile)
            data = de.read_dunham_file(workdir, call.state.file)
        except (de.InputError, de.StopRun) as err:
            message = str(err)
            raise Stop(2 if isinstance(err, de.InputError) else 1, message, lambda line: line == message)
        res = CallResult()
        res.dunham_lines = workdir.files[call.levelfile].split("\n")[:-1]
        res.dunham_term = lambda v, J, p: de.dunham_term(data, v, J, p)
        self.calls.append((call, res))

    def run_jobs(self):
        c = self.control
        if c.table_switch == "y":
            if c.table_state == 1:
                self.request(Call("A", c.A, tuple(c.table_ranges), "Astate.dat"))
            else:
                self.request(Call("B", c.B, tuple(c.table_ranges), "Bstate.dat"))
        if c.one_switch == "y":
            v, J, p = c.one_level
            self.request(Call("A", c.A, (v, v, J, J, p, p), "Astate.dat"))
            vbmin, vbmax, branch, dJ = c.one_sel
            for call in branch_requests("B", c.B, (vbmin, vbmax), J, p, branch, dJ):
                self.request(call)
        if c.known_switch == "y":
            v, J, p, EK = c.known_level
            vbmin, vbmax, branch, dJ = c.known_sel
            which = "A" if c.known_state == 1 else "B"
            st = c.A if which == "A" else c.B
            for call in branch_requests(which, st, (vbmin, vbmax), J, p, branch, dJ):
                self.request(call)
        if c.win_switch == "y":
            self.request(Call("A", c.A, tuple(c.win_ranges), "Astate.dat"))
            vbmin, vbmax, branch = c.win_sel
            last = None
            for v, J, p in level_order(tuple(c.win_ranges)):
                if branch not in (1, 2, 3):
                    continue
                if last == (J, p):
                    continue
                last = (J, p)
                for call in branch_requests("B", c.B, (vbmin, vbmax), J, p, branch, 1):
                    self.request(call)

    # -- console ---------------------------------------------------------------------------

    def check_console(self):
        got = self.expected("stdout.txt")
        if got is None:
            self.fail("expected/stdout.txt is missing")
            return
        model = list(self.console)
        if self.stop is not None:
            model.append(("stop", self.stop))
        i = 0
        for item in model:
            if isinstance(item, str):
                if i >= len(got) or got[i] != item:
                    self.fail("stdout line %d: expected %r, found %r" % (i + 1, item, got[i] if i < len(got) else None))
                    return
                i += 1
            elif item[0] == "toadd":
                _, call, res = item
                line = got[i] if i < len(got) else ""
                m = re.fullmatch(r"(.{24})(.{24}) toadd ", line)
                if not m:
                    self.fail("stdout line %d: not an E1 E2 toadd line: %r" % (i + 1, line))
                    return
                e1, e2 = float(m.group(1)), float(m.group(2))
                if free_line(e1, e2, " toadd ") != [line]:
                    self.fail("stdout line %d: E1 E2 not in free-format layout: %r" % (i + 1, line))
                # The toadd solves stop at |Dcor| <= 0.1 after at most 20 updates; a final
                # |Dcor| above 0.0316 is followed by a bisection step whose midpoint is returned,
                # so E1, E2 are good to a bracket only. They are checked exactly against the
                # second implementation below; the distance to the Numerov levels is reported.
                for v, got_e, ind in ((1, e1, res.E1), (2, e2, res.E2)):
                    res.toadd_diff = max(getattr(res, "toadd_diff", 0.0), abs(got_e - ind))
                res.E1p, res.E2p = e1, e2
                fitted = call.state_name in self.solvers and getattr(self.solvers[call.state_name].curve, "fitted", False)
                s1, s2 = (float(x) for x in res.second_toadd_line.split()[:2])
                if line != res.second_toadd_line and fitted and max(abs(e1 - s1), abs(e2 - s2)) <= 1e-9 * max(abs(s1), abs(s2)):
                    # the extension fitted here in 40 digits differs from a double-precision fit
                    # in the last bits of the curve beyond the connection point
                    self.note("stdout line %d: E1, E2 equal to the second implementation within 1e-9 (fitted curve)" % (i + 1))
                elif line != res.second_toadd_line:
                    self.fail("stdout line %d: %r, the second implementation prints %r" % (i + 1, line, res.second_toadd_line))
                res.toadd = (e2 - e1) / 3.0
                i += 1
            elif item[0] == "retries":
                _, call, J = item
                retries = []
                start = i
                while i < len(got):
                    line = got[i]
                    if line == " rigth error":
                        i += 1
                        continue
                    if line.startswith("Epr-"):
                        m = re.fullmatch(r"Epr-(.{13})   Dcor-(.{10})  iter-(.{3})", line)
                        ok = m is not None
                        if ok:
                            e, d, k = float(m.group(1)), float(m.group(2)), int(m.group(3))
                            ok = line == "Epr-" + fF(e, 13, 5) + "   Dcor-" + fE(d, 10, 2) + "  iter-" + fI(k, 3)
                        if not ok:
                            self.fail("stdout line %d: not an Epr- line: %r" % (i + 1, line))
                            return
                        if i + 1 >= len(got) or got[i + 1] != " perhaps better...":
                            self.fail("stdout line %d: Epr- line without ' perhaps better...'" % (i + 1))
                            return
                        if abs(d) <= self.tol:
                            self.fail("stdout line %d: retry announced with |Dcor| <= tol" % (i + 1))
                        retries.append((e, d, k))
                        i += 2
                        continue
                    break
                call_res = [r for c_, r in self.calls if c_ is call][0]
                call_res.J_console[J] = retries
                want = call_res.second_console.get(J, [])
                if got[start:i] != want:
                    self.fail("stdout lines %d-%d (J=%d): %r, the second implementation prints %r"
                              % (start + 1, i, J, got[start:i], want))
            elif item[0] == "stop":
                stop = item[1]
                if i >= len(got) or not stop.accept(got[i]):
                    self.fail("stdout line %d: expected the stop %s, found %r" % (i + 1, stop, got[i] if i < len(got) else None))
                    return
                i += 1
        if i != len(got):
            self.fail("stdout has %d lines after the expected end, first %r" % (len(got) - i, got[i]))
        else:
            self.note("stdout.txt: all %d lines as the run must print them" % len(got))

    def check_status(self):
        got = self.expected("status.txt")
        want = str(self.status)
        if got != [want]:
            self.fail("status.txt %r, expected %r" % (got, want))

    # -- level files -----------------------------------------------------------------------

    def final_calls(self):
        """The last call that wrote each level file."""
        last = {}
        for call, res in self.calls:
            last[call.levelfile] = (call, res)
        return last

    def header_lines(self, call):
        vmin, vmax, Jmin, Jmax, pmin, pmax = call.ranges
        count = (vmax - vmin + 1) * (Jmax - Jmin + 1) * (pmax - pmin + 1)
        return [fI(count, 5) + " !number of levels",
                " Potential File:  " + name12(call.state.file),
                " Energ. data:     " + name12(call.levelfile),
                " " + "-" * 45,
                " iline,nv,Jline,Eout,Par,delE,ic,Ein,Dcor,kleft-krigth,kturn,node",
                "  1  1  1  1  1 !levels to be used"]

    def parse_level_line(self, fname, n, line):
        wa = [5, 4, 4, 13, 2, 11, 3, 13, 10, 5, 7, 3, 4]
        wb = [5, 4, 4, 13, 2, 11, 3, 13, 10, 5, 7, 3, 4, 10, 13, 13]
        layout = "B" if len(line) == 120 and line[70:77] == "   res." else "A"
        widths = wb if layout == "B" else wa
        if len(line) != sum(widths):
            self.fail("%s line %d: %d columns, layout A has 84 and B 120: %r" % (fname, n, len(line), line))
            return None
        fields, pos = [], 0
        for w in widths:
            fields.append(line[pos : pos + w])
            pos += w
        try:
            rec = {
                "iline": int(fields[0]), "v": int(fields[1]), "J": int(fields[2]), "E": float(fields[3]),
                "Par": int(fields[4]), "delE": float(fields[5]), "ic": int(fields[6]), "Ein": float(fields[7]),
                "Dcor": float(fields[8]), "kleft": int(fields[9]), "layout": layout,
            }
            if layout == "A":
                rec.update(krigth=int(fields[10]), kturn=int(fields[11]), node=int(fields[12]))
            else:
                rec.update(kturn=int(fields[11]), node=int(fields[12]), tunnel=float(fields[13]),
                           Umax=float(fields[14]), Ulim=float(fields[15]))
        except ValueError:
            self.fail("%s line %d: a field does not read as its type: %r" % (fname, n, line))
            return None
        relaid = (fI(rec["iline"], 5) + fI(rec["v"], 4) + fI(rec["J"], 4) + fF(rec["E"], 13, 5) + fI(rec["Par"], 2)
                  + fF(rec["delE"], 11, 4) + fI(rec["ic"], 3) + fF(rec["Ein"], 13, 5) + fE(rec["Dcor"], 10, 2)
                  + fI(rec["kleft"], 5))
        if layout == "A":
            relaid += fI(rec["krigth"], 7) + fI(rec["kturn"], 3) + fI(rec["node"], 4)
        else:
            relaid += ("   res." + fI(rec["kturn"], 3) + fI(rec["node"], 4) + fE(rec["tunnel"], 10, 2)
                       + fF(rec["Umax"], 13, 5) + fF(rec["Ulim"], 13, 5))
        if relaid != line:
            self.fail("%s line %d: not in the edit-descriptor layout:\n   %r\n   %r" % (fname, n, line, relaid))
        return rec

    def check_level_files(self):
        for fname, (call, res) in sorted(self.final_calls().items()):
            got = self.expected(fname)
            if got is None:
                if self.stop is None or res is not self.calls[-1][1]:
                    self.fail("%s is not among the expected files" % fname)
                continue
            if hasattr(res, "dunham_lines"):
                self.check_dunham_file(fname, res, got)
                continue
            head = self.header_lines(call)
            if got[:6] != head:
                for k in range(6):
                    if k >= len(got) or got[k] != head[k]:
                        self.fail("%s header line %d: %r, expected %r" % (fname, k + 1, got[k] if k < len(got) else None, head[k]))
                        break
            self.check_levels_of(fname, call, res, got[6:])

    def check_dunham_file(self, fname, res, got):
        """A Dunham level file equals the closed form laid out, line for line."""
        want = res.dunham_lines
        for n, (g, w) in enumerate(zip(got, want), start=1):
            if g != w:
                self.fail("%s line %d: %r, the closed form gives %r" % (fname, n, g, w))
                break
        else:
            if len(got) != len(want):
                self.fail("%s: %d lines, the closed form gives %d" % (fname, len(got), len(want)))
            else:
                self.note("%s: all %d lines equal those of the closed form" % (fname, len(got)))
        res.records = [{"v": int(line[5:9]), "J": int(line[9:13]), "E": float(line[13:28]), "Par": int(line[28:31])}
                       for line in got[6:]]

    def check_levels_of(self, fname, call, res, lines):
        solver = self.solver(call.state_name)
        curve = solver.curve
        tol = self.tol
        st = call.state
        recs = []
        for n, line in enumerate(lines, start=7):
            rec = self.parse_level_line(fname, n, line)
            if rec is None:
                return
            recs.append(rec)
        res.records = recs
        # loop order with levels of a J cut short only after two badly converged ones
        order = list(level_order(call.ranges))
        k = 0
        by_J = {}
        for v, J, p in order:
            by_J.setdefault(J, []).append((v, J, p))
        for J, keys in by_J.items():
            written = [r for r in recs if r["J"] == J]
            if J >= getattr(res, "stopped_at", J + 1):
                if written:
                    self.fail("%s: levels of J=%d written after the run stopped at J=%d" % (fname, J, res.stopped_at))
                elif J == res.stopped_at:
                    self.note("%s: the run stops at J=%d (no well); the file keeps the %d lines written before"
                              % (fname, J, len(recs) + 6))
                continue
            if [(r["v"], r["J"], r["Par"]) for r in written] != keys[: len(written)]:
                self.fail("%s: levels of J=%d not in loop order" % (fname, J))
            if len(written) < len(keys):
                bad = [r for r in written if abs(r["Dcor"]) > 10.0 * tol]
                if len(bad) != 2:
                    self.fail("%s: J=%d stops after %d of %d levels with %d badly converged ones (2 expected)"
                              % (fname, J, len(written), len(keys), len(bad)))
                else:
                    self.note("%s: J=%d cut after %d of %d levels, two with |Dcor| > 10 tol" % (fname, J, len(written), len(keys)))
            elif sum(1 for r in written if abs(r["Dcor"]) > 10.0 * tol) > 2:
                self.fail("%s: J=%d lists more than two levels with |Dcor| > 10 tol" % (fname, J))
            retries = res.J_console.get(J, [])
            need = sum(1 for r in written if abs(r["Dcor"]) > tol)
            if len(retries) < need:
                self.fail("%s: J=%d has %d levels with |Dcor| > tol but %d retry lines" % (fname, J, need, len(retries)))
        same = 0
        for k, line in enumerate(lines):
            want = res.second_lines[k] if k < len(res.second_lines) else None
            if line == want:
                same += 1
            else:
                self.fail("%s line %d: %r\n      the second implementation writes %r" % (fname, k + 7, line, want))
        if len(res.second_lines) != len(lines):
            self.fail("%s: %d level lines, the second implementation writes %d" % (fname, len(lines), len(res.second_lines)))
        elif same == len(lines):
            self.note("%s: all %d level lines equal those of the second implementation of the solvers" % (fname, same))
        for idx, r in enumerate(recs, start=1):
            if r["iline"] != idx:
                self.fail("%s: iline %d where %d is due" % (fname, r["iline"], idx))
            if r["ic"] != 10 * st.mass_index:
                self.fail("%s line %d: ic %d, expected %d" % (fname, idx + 6, r["ic"], 10 * st.mass_index))
            self.check_one_level(fname, idx + 6, solver, res, r)
        # The parity members of one (v, J) come from identical solves: they differ by the shift only.
        for r1 in recs:
            for r2 in recs:
                if (r1["v"], r1["J"]) == (r2["v"], r2["J"]) and r1["Par"] < r2["Par"]:
                    d = (r2["E"] - r1["E"]) - (solver.shift(r2["J"], r2["Par"]) - solver.shift(r1["J"], r1["Par"]))
                    if abs(d) > 1.1e-5:
                        self.fail("%s v=%d J=%d: parities %d and %d differ by %.5f, not by the q J(J+1) shifts"
                                  % (fname, r1["v"], r1["J"], r1["Par"], r2["Par"], r2["E"] - r1["E"]))
        if solver.curve.Lambda == 1 and len({r["Par"] for r in recs}) > 1:
            self.note("%s: Lambda = 1: parity members differ by (q_p - q_p') J(J+1), q1 for Par = 1, q2 otherwise"
                      % fname)
        if hasattr(res, "toadd_diff"):
            self.note("%s: toadd levels E1, E2 within %.3f of the independent v = 1, 2" % (fname, res.toadd_diff))
        diffs = [abs(r["diff"]) for r in recs if "diff" in r]
        if diffs:
            self.note("%s: %d energies compared with the independent levels, largest difference %.1e cm-1"
                      % (fname, len(diffs), max(diffs)))

    def check_one_level(self, fname, n, solver, res, r):
        tol = self.tol
        v, J, Par = r["v"], r["J"], r["Par"]
        U, Ulim, Umin, Umax, lv = solver.window(J)
        where = "%s line %d (v=%d J=%d p=%d)" % (fname, n, v, J, Par)
        if hasattr(res, "toadd"):
            Ein = (Umin + Umax + res.toadd) * 0.5
            delE = (Umax - Umin - res.toadd) * 0.5 - WINDOW_MARGIN
            if abs(Ein - r["Ein"]) > 6e-6 + 1e-12 * abs(Ein) or abs(delE - r["delE"]) > 6e-5:
                self.fail("%s: Ein %.5f delE %.4f, from the landmarks and the printed E1, E2: %.5f %.4f"
                          % (where, r["Ein"], r["delE"], Ein, delE))
        shift = solver.shift(J, Par)
        E_solver = r["E"] - shift
        converged = abs(r["Dcor"]) <= tol
        rev = self.control.revflag == "y"
        Ugrid = U if not rev else [0.0] + U[:0:-1]
        tf = tunnel_figure(Ugrid, E_solver, solver.mu, solver.curve.h, rev)
        # The solver writes `tunnel` only when its final energy has a third crossing; the
        # driver's variable carries the last value into later levels. (value, source) or None.
        carried = getattr(res, "carried_tunnel", None)
        if r["layout"] == "A":
            if r["E"] > Ulim + 5e-6:
                self.fail("%s: layout A above Ulim %.5f" % (where, Ulim))
            if tf is not None:
                res.carried_tunnel = (tf, "computed for v=%d J=%d (layout A)" % (v, J), False)
            if not converged:
                self.note("%s: not converged (Dcor %g), energy not compared" % (where, r["Dcor"]))
                return
            if r["iline"] in getattr(res, "second_unjoined", ()):
                # The correction that ended the search was formed on a solution whose passes never
                # joined: the energy is no level of the grid, and the run must say so.
                self.note("%s: the passes never joined (second implementation): no level of the grid, "
                          "energy not compared" % where)
                warning = "v=%d J=%d at %s cm-1 did not come from a turning solution" % (v, J, "%.5f" % r["E"])
                path = os.path.join(self.dir, "expected", "stderr.txt")
                text = open(path, encoding="utf-8").read() if os.path.exists(path) else ""
                if text.count(warning) != 1:
                    self.fail("%s: expected/stderr.txt must say once that it %s" % (where, warning))
                return
            if r["node"] != v:
                self.fail("%s: node %d" % (where, r["node"]))
            try:
                ind = solver.bound_level(v, J, E_solver)
            except ValueError as err:
                self.fail("%s: %s" % (where, err))
                return
            diff = E_solver - ind
            r["independent"] = ind + shift
            if abs(diff) > tol + 1e-5:
                self.fail("%s: E %.5f, independent Numerov level %.6f (diff %.2e)" % (where, r["E"], ind + shift, diff))
            r["diff"] = diff
            return
        if r["E"] <= Ulim:
            self.fail("%s: layout B at or below Ulim" % where)
        if abs(r["Ulim"] - Ulim) > 6e-6 or abs(r["Umax"] - Umax) > 6e-6:
            self.fail("%s: Umax %.5f Ulim %.5f, computed %.5f %.5f" % (where, r["Umax"], r["Ulim"], Umax, Ulim))

        def same(value, entry):
            exact = entry[2]
            return value == entry[0] if exact else abs(value - entry[0]) <= 0.06 * abs(entry[0])

        first_calls = [tunnel_figure(Ugrid, e - shift, solver.mu, solver.curve.h, rev)
                       for e, _, _ in res.J_console.get(J, [])]
        first_calls = [t for t in first_calls if t is not None]
        if abs(E_solver - Umax) < 1e-5:
            # The printed energy cannot tell a final energy exactly at the barrier top (no
            # crossing there) from one just below it (a third crossing, G near 1).
            if carried is not None and same(r["tunnel"], carried):
                self.note("%s: at the barrier top: tunnel %.2E carried over (%s)" % (where, r["tunnel"], carried[1]))
            else:
                self.note("%s: at the barrier top: tunnel %.2E computed just below the top" % (where, r["tunnel"]))
        elif tf is None:
            if carried is None:
                self.note("%s: no third turning point on the grid: tunnel %.2E is the driver's start value"
                          % (where, r["tunnel"]))
            elif same(r["tunnel"], carried):
                self.note("%s: no third turning point on the grid: tunnel %.2E carried over from the previous "
                          "level that had one (%s)" % (where, r["tunnel"], carried[1]))
            elif any(abs(r["tunnel"] - t) <= 0.06 * abs(t) for t in first_calls):
                self.note("%s: no third turning point: tunnel %.2E from the first solve of the level" % (where, r["tunnel"]))
            else:
                self.fail("%s: no third turning point at this energy, tunnel %.2e is neither the value carried "
                          "over (%.2e, %s) nor a first solve's" % (where, r["tunnel"], carried[0], carried[1]))
        elif abs(tf - r["tunnel"]) > 0.06 * abs(tf) + 1e-99:
            self.fail("%s: tunnel %.2e, formula %.3e" % (where, r["tunnel"], tf))
        if tf is not None or abs(E_solver - Umax) < 1e-5:
            res.carried_tunnel = (r["tunnel"], "printed for v=%d J=%d" % (v, J), True)
        if not converged:
            self.note("%s: quasi-bound, not converged (Dcor %g)" % (where, r["Dcor"]))
            return
        if r["node"] != v:
            self.fail("%s: node %d" % (where, r["node"]))
        if tf is None:
            # bound in fact (the limit Ulim lies below the curve's own asymptote, or the outer
            # turning point lies beyond the grid): the level of the whole grid
            ind = solver.bound_level(v, J, E_solver)
        else:
            ind = solver.quasi_level(v, J, E_solver, rev)
        r["independent"] = ind + shift
        diff = E_solver - ind
        if abs(diff) > tol + 1e-5:
            self.fail("%s: layout-B E %.5f, independent level %.6f (diff %.2e)" % (where, r["E"], ind + shift, diff))
        r["diff"] = diff

    # -- transitions -----------------------------------------------------------------------

    def level_energy(self, state_name, v, J, p):
        """Independent energy of a level (bound), with its Lambda-doubling shift; or, when
        self.from_files is set, the energy as it stands in the final expected level files (NaN
        when none of them lists it)."""
        if getattr(self, "from_files", False):
            for fname, (call, res) in self.final_calls().items():
                if call.state_name != state_name or not hasattr(res, "records"):
                    continue
                for r in res.records:
                    if (r["v"], r["J"], r["Par"]) == (v, J, p):
                        return r["E"]
            return math.nan
        for call, res in self.calls:
            if call.state_name == state_name and hasattr(res, "dunham_term"):
                return res.dunham_term(v, J, p)
        solver = self.solver(state_name)
        return solver.bound_level(v, J) + solver.shift(J, p)

    def check_transitions(self):
        got = self.expected("vel_tran.out")
        c = self.control
        kinds = [k for k, s in (("one", c.one_switch), ("known", c.known_switch), ("window", c.win_switch)) if s == "y"]
        if not kinds or self.stop is not None:
            if got is not None and self.stop is None:
                self.fail("vel_tran.out is expected but no transition run is switched on")
            return
        if got is None:
            self.fail("vel_tran.out is missing")
            return
        kind = kinds[-1]
        want = getattr(self, "tran_" + kind)()
        if len(got) != len(want):
            self.fail("vel_tran.out has %d lines, %d expected" % (len(got), len(want)))
        for n, (g, w) in enumerate(zip(got, want), start=1):
            if isinstance(w, str):
                if g != w:
                    self.fail("vel_tran.out line %d: %r, expected %r" % (n, g, w))
                continue
            ints, reals = w
            lay = fI(ints[0], 5) + fI(ints[1], 5) + fI(ints[2], 4) + fI(ints[3], 4) + fI(ints[4], 4)
            if g[:22] != lay or len(g) != 22 + 15 * len(reals):
                self.fail("vel_tran.out line %d: %r, expected the quantum numbers %r and %d wavenumbers" % (n, g, lay, len(reals)))
                continue
            vals = [float(g[22 + 15 * k : 37 + 15 * k]) for k in range(len(reals))]
            if "".join(fF(x, 15, 6) for x in vals) != g[22:]:
                self.fail("vel_tran.out line %d: wavenumbers not in F15.6: %r" % (n, g))
            for k, (x, y) in enumerate(zip(vals, reals)):
                # a wavenumber holds two levels, a difference of wavenumbers up to four
                if abs(x - y) > (2.0 + 2.0 * k) * (self.tol + 1.5e-5):
                    self.fail("vel_tran.out line %d: %.6f, independent %.6f" % (n, x, y))
        # The same lines from the energies of the level files left at the end of the run, where
        # they are the files the line was formed from: equal to the last printed digit.
        self.from_files = True
        try:
            exact = getattr(self, "tran_" + kind)() if kind != "window" else []
        finally:
            self.from_files = False
        same = 0
        for n, (g, w) in enumerate(zip(got, exact), start=1):
            if isinstance(w, str) or any(math.isnan(x) for x in w[1]):
                continue
            if g[22:] != "".join(fF(x, 15, 6) for x in w[1]):
                self.fail("vel_tran.out line %d: %r, from the level files %r" % (n, g[22:], "".join(fF(x, 15, 6) for x in w[1])))
            same += 1
        if same:
            self.note("vel_tran.out: %d lines equal, digit for digit, to |E' - E''| of the level files" % same)

    def header_one(self):
        c = self.control
        return [" A state data file:" + name12(c.A.file), " B state data file:" + name12(c.B.file), " " + "=" * 30, " "]

    def tran_one(self):
        c = self.control
        v, J, p = c.one_level
        vbmin, vbmax, branch, dJ = c.one_sel
        if branch not in (1, 2, 3):
            return []
        Elow = self.level_energy("A", v, J, p)
        out = self.header_one()
        ups = range(vbmin, vbmax + 1)
        q = abs(1 - p)
        if branch == 1:
            prev = 0.0
            for k, vb in enumerate(ups, start=1):
                nu = abs(self.level_energy("B", vb, J, q) - Elow)
                out.append(((k, v, J, vb, J), [nu, prev - nu]))
                prev = nu
        elif branch == 2:
            prev, k = 0.0, 1
            for vb in ups:
                nP = abs(self.level_energy("B", vb, J - 1, p) - Elow)
                nR = abs(self.level_energy("B", vb, J + 1, p) - Elow)
                out.append(((k, v, J, vb, J - 1), [nP, prev - nP]))
                out.append(((k + 1, v, J, vb, J + 1), [nR, nP - nR]))
                prev, k = nP, k + 2
        else:
            prevQ, k = 0.0, 0
            for vb in ups:
                nP = abs(self.level_energy("B", vb, J - dJ, p) - Elow)
                nQ = abs(self.level_energy("B", vb, J, q) - Elow)
                nR = abs(self.level_energy("B", vb, J + dJ, p) - Elow)
                out.append(((k + 1, v, J, vb, J - dJ), [nP]))
                out.append(((k + 2, v, J, vb, J), [nQ, prevQ - nQ]))
                out.append(((k + 3, v, J, vb, J + dJ), [nR, nP - nR]))
                prevQ, k = nQ, k + 3
        return out

    def tran_known(self):
        c = self.control
        v, J, p, EK = c.known_level
        vbmin, vbmax, branch, dJ = c.known_sel
        which = "A" if c.known_state == 1 else "B"
        st = c.A if which == "A" else c.B
        if branch not in (1, 2, 3):
            return []
        out = [fA("      Known level:", 19) + fI(v, 4) + fI(J, 4) + fI(p, 4) + fF(EK, 15, 5),
               " " + "          Data file:" + name12(st.file), " " + "=" * 30, " "]
        q = abs(1 - p)
        ups = range(vbmin, vbmax + 1)
        if branch == 1:
            for k, vb in enumerate(ups, start=1):
                out.append(((k, v, J, vb, J), [abs(self.level_energy(which, vb, J, q) - EK)]))
        elif branch == 2:
            k = 1
            for vb in ups:
                out.append(((k, v, J, vb, J - 1), [abs(self.level_energy(which, vb, J - 1, p) - EK)]))
                out.append(((k + 1, v, J, vb, J + 1), [abs(self.level_energy(which, vb, J + 1, p) - EK)]))
                k += 2
        else:
            Eref = (-1.0) ** c.known_state * EK
            k = 0
            for vb in ups:
                for Jb, pb in ((J - dJ, p), (J, q), (J + dJ, p)):
                    k += 1
                    out.append(((k, v, J, vb, Jb), [abs(self.level_energy(which, vb, Jb, pb) - Eref)]))
        return out

    def tran_window(self):
        c = self.control
        emin, emax = c.win_range
        vbmin, vbmax, branch = c.win_sel
        out = [" A state data file:" + name12(c.A.file), " B state data file:" + name12(c.B.file)]
        out += free_line("Range:", emin, emax)
        out.append(" " + "=" * 30)
        count = 1
        for v, J, p in level_order(tuple(c.win_ranges)):
            Elow = self.level_energy("A", v, J, p)
            if branch == 1:
                seq = [(vb, J, abs(1 - p)) for vb in range(vbmin, vbmax + 1)]
            elif branch == 2:
                seq = [x for vb in range(vbmin, vbmax + 1) for x in ((vb, J - 1, p), (vb, J + 1, p))]
            elif branch == 3:
                seq = [x for vb in range(vbmin, vbmax + 1) for x in ((vb, J - 1, p), (vb, J, abs(1 - p)), (vb, J + 1, p))]
            else:
                seq = []
            for vb, Jb, pb in seq:
                nu = abs(self.level_energy("B", vb, Jb, pb) - Elow)
                margin = 2.0 * self.tol + 3e-5
                if emin - margin < nu < emin + margin or emax - margin < nu < emax + margin:
                    self.fail("window case: a wavenumber %.6f lies within the tolerance of a window end" % nu)
                if emin < nu < emax:
                    out.append(((count, v, J, vb, Jb), [nu]))
                    count += 1
        return out

    # -- potext.out ------------------------------------------------------------------------

    def check_potext(self):
        got = self.expected("potext.out")
        last = None
        for call, res in self.calls:
            if call.state.kind == "d":
                continue
            curve = self.solver(call.state_name).curve
            if curve.potext is not None:
                last = curve
        if last is None:
            if got is not None:
                self.fail("potext.out expected but no extension is built")
            return
        if got is None:
            self.fail("potext.out is missing")
            return
        want = last.potext
        if len(got) != len(want) + 3 * sum(1 for k, _ in want if k == "exchange"):
            self.fail("potext.out has %d lines, %d expected: %r" % (len(got), len(want), got))
            return
        worst = 0.0
        self.note("potext.out: %d lines laid out as A20,F17.5 / A20,E17.9 / A20,I3,E17.9,I3 and compared with "
                  "the fit solved here in 40 digits" % len(got))
        for n, (g, (kind, val)) in enumerate(zip(got, want), start=1):
            where = "potext.out line %d" % n
            if kind == "fixed":
                if g != " All parameters fixed":
                    self.fail("%s: %r" % (where, g))
            elif kind == "connection":
                if g[:20] != "Connection point at:" or len(g) != 37 or fF(float(g[20:]), 17, 5) != g[20:]:
                    self.fail("%s: not A20,F17.5: %r" % (where, g))
                elif abs(float(g[20:]) - val) > 6e-6:
                    self.fail("%s: connection at %s, independent fit gives %.5f" % (where, g[20:].strip(), val))
            elif kind == "chi2":
                if g[:20] != fA("Chi^2", 20) or len(g) != 37 or fE(float(g[20:]), 17, 9) != g[20:]:
                    self.fail("%s: not A20,E17.9: %r" % (where, g))
                elif abs(float(g[20:]) - val) > 1e-4 * abs(val) + 1e-12:
                    self.fail("%s: chi^2 %s, independent fit %.9e" % (where, g[20:].strip(), val))
            elif kind == "parameter":
                k, p, s = val
                lay = fA("Parameter", 20) + fI(k, 3)
                if g[:23] != lay or len(g) != 43 or g[40:] != fI(s, 3) or fE(float(g[23:40]), 17, 9) != g[23:40]:
                    self.fail("%s: %r, expected Parameter %d ... %d in A20,I3,E17.9,I3" % (where, g, k, s))
                elif abs(float(g[23:40]) - p) > 2e-7 * abs(p):
                    self.fail("%s: parameter %d = %s, independent fit %.9e" % (where, k, g[23:40].strip(), p))
                else:
                    worst = max(worst, abs(float(g[23:40]) - p) / abs(p))
            elif kind == "exchange":
                B, s, alpha, gamma = val
                rest = got[n:]
                want_rest = [fA("alpha", 20) + fF(alpha, 17, 5), fA("gamma", 20) + fF(gamma, 17, 5)]
                if g != " Exchange:":
                    self.fail("%s: %r, expected ' Exchange:'" % (where, g))
                    return
                if len(rest) != 3:
                    self.fail("potext.out: the exchange block needs 4 lines")
                    return
                bl = rest[0]
                if bl[:23] != fA("B", 20) + fI(2, 3) or len(bl) != 43 or bl[40:] != fI(s, 3) or fE(float(bl[23:40]), 17, 9) != bl[23:40]:
                    self.fail("potext.out line %d: %r not a B 2 line" % (n + 1, bl))
                elif abs(float(bl[23:40]) - B) > 2e-7 * abs(B) + 1e-30:
                    self.fail("potext.out line %d: B = %s, independent fit %.9e" % (n + 1, bl[23:40].strip(), B))
                if rest[1:] != want_rest:
                    self.fail("potext.out alpha/gamma lines %r, expected %r" % (rest[1:], want_rest))
                break
        self.note("potext.out: fitted parameters within %.1e (relative) of the 40-digit least squares" % worst)

    # -- reversed-grid twin ---------------------------------------------------------------

    def check_twin(self):
        twin = TWINS.get(self.name)
        if twin is None:
            return
        if self.control.revflag != "y":
            self.fail("a reversed-grid case must have revflag y")
        tdir = os.path.join(os.path.dirname(os.path.normpath(self.dir)), twin)
        tinf = read_control(os.path.join(tdir, "velk.inf"))
        mine = read_control(os.path.join(self.dir, "velk.inf"))
        if tinf.revflag != "n":
            self.fail("twin %s must have revflag n" % twin)
        for name in sorted(os.listdir(os.path.join(self.dir, "expected"))):
            if not name.endswith(".dat"):
                continue
            a = self.expected(name)
            path = os.path.join(tdir, "expected", name)
            if not os.path.exists(path):
                self.fail("twin %s has no %s" % (twin, name))
                continue
            with open(path) as f:
                b = f.read().split("\n")[:-1]
            if len(a) != len(b):
                self.fail("%s: %d lines, forward twin %d" % (name, len(a), len(b)))
                continue
            worst = 0.0
            for la, lb in zip(a[6:], b[6:]):
                if la[:13] != lb[:13]:
                    self.fail("%s: levels differ from the forward twin: %r / %r" % (name, la[:13], lb[:13]))
                    break
                if la[70:77] == "   res." or lb[70:77] == "   res.":
                    continue
                d = abs(float(la[13:26]) - float(lb[13:26]))
                worst = max(worst, d)
                if d > self.tol + 1e-5:
                    self.fail("%s v=%s J=%s: reversed %s, forward %s" % (name, la[5:9], la[9:13], la[13:26], lb[13:26]))
            self.note("%s: bound levels agree with the forward twin %s within %.1e (tol %.0e)" % (name, twin, worst, self.tol))
        if (mine.A.N, mine.A.Rmin, mine.A.Rmax) != (tinf.A.N, tinf.A.Rmin, tinf.A.Rmax):
            self.fail("twin %s has another grid" % twin)

    # -- finer grid ------------------------------------------------------------------------

    def check_finer_grid(self):
        """Run the binary with N -> 2N - 1 and compare the final level files."""
        work = tempfile.mkdtemp(prefix="velk-fine-")
        try:
            for name in os.listdir(self.dir):
                p = os.path.join(self.dir, name)
                if os.path.isfile(p) and name != "README.md":
                    shutil.copy(p, work)
            with open(os.path.join(self.dir, "velk.inf")) as f:
                lines = f.read().split("\n")
            for k in (8, 9):  # records 9 and 10: the two grids
                parts = lines[k].split()
                parts[2] = str(2 * int(parts[2]) - 1)
                lines[k] = " ".join(parts[:3]) + "   finer grid"
            with open(os.path.join(work, "velk.inf"), "w") as f:
                f.write("\n".join(lines))
            run = subprocess.run([os.path.abspath(self.binary)], cwd=work, stdin=subprocess.DEVNULL,
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=600)
            if run.returncode != 0:
                self.fail("finer-grid run ended with status %d" % run.returncode)
                return
            fine_control = read_control(os.path.join(work, "velk.inf"))
            worst = 0.0
            compared = 0
            for fname, (call, res) in sorted(self.final_calls().items()):
                if not hasattr(res, "records") or hasattr(res, "dunham_lines"):
                    continue
                path = os.path.join(work, fname)
                with open(path) as f:
                    fl = f.read().split("\n")[6:-1]
                fine_recs = {}
                for line in fl:
                    fine_recs[(int(line[5:9]), int(line[9:13]), int(line[26:28]))] = (float(line[13:26]), float(line[55:65]), line[70:77] == "   res.")
                st = fine_control.A if call.state_name == "A" else fine_control.B
                fsolver = StateSolver(self.dir, st, fine_control)
                rev = fine_control.revflag == "y"
                for r in res.records:
                    key = (r["v"], r["J"], r["Par"])
                    if abs(r["Dcor"]) > self.tol or key not in fine_recs:
                        continue
                    Ef, Dcf, resf = fine_recs[key]
                    if abs(Dcf) > self.tol or resf != (r["layout"] == "B"):
                        continue
                    shift = fsolver.shift(r["J"], r["Par"])
                    U = fsolver.window(r["J"])[0]
                    if crossings(U if not rev else [0.0] + U[:0:-1], Ef - shift)[2]:
                        ind_f = fsolver.quasi_level(r["v"], r["J"], Ef - shift, rev) + shift
                    else:
                        ind_f = fsolver.bound_level(r["v"], r["J"], Ef - shift) + shift
                    ind_c = r.get("independent")
                    if ind_c is None:
                        continue
                    move_prog = r["E"] - Ef
                    move_ind = ind_c - ind_f
                    if abs(Ef - ind_f) > self.tol + 1e-5:
                        self.fail("finer grid %s v=%d J=%d: %.5f, independent %.6f" % (fname, r["v"], r["J"], Ef, ind_f))
                    if abs(move_prog) > abs(move_ind) + 2.0 * self.tol + 2e-5:
                        self.fail("finer grid %s v=%d J=%d: moves %.2e, the Numerov error only %.2e"
                                  % (fname, r["v"], r["J"], move_prog, move_ind))
                    worst = max(worst, abs(move_prog))
                    compared += 1
            if compared:
                self.note("finer grid (N -> 2N-1): %d levels move by at most %.2e cm-1, as the h^4 error of "
                          "the independent levels says" % (compared, worst))
            else:
                self.note("finer grid (N -> 2N-1): no level converged on both grids")
        finally:
            shutil.rmtree(work)

    def check_no_other_files(self):
        """expected/ holds exactly the files the run writes (a stop may cut the list short)."""
        names = set(os.listdir(os.path.join(self.dir, "expected")))
        written = set(self.final_calls()) | {"stdout.txt", "status.txt"}
        if "stderr.txt" in names:  # standard error is kept, and compared, by some cases only
            written.add("stderr.txt")
        c = self.control
        if self.stop is None and "y" in (c.one_switch, c.known_switch, c.win_switch):
            written.add("vel_tran.out")
        if any(cl.state.kind != "d" and self.solver(cl.state_name).curve.potext is not None
               for cl, _ in self.calls):
            written.add("potext.out")
        for n in sorted(names - written):
            self.fail("expected/%s is a file the run does not write" % n)
        if self.stop is None:
            for n in sorted(written - names):
                self.fail("expected/%s is missing" % n)


def every_case(root):
    """Every e2e case folder (one holding expected/), those under bad/ included."""
    cases = []
    for parent in (root, os.path.join(root, "bad")):
        for name in sorted(os.listdir(parent)):
            if os.path.isdir(os.path.join(parent, name, "expected")):
                cases.append(os.path.join(parent, name))
    return cases


def dunham_module():
    """dunham_expected.py beside this script: the closed form of the Dunham states."""
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    import dunham_expected

    return dunham_expected


def computed_by_dunham_expected(case_dir):
    """True when dunham_expected.py computes the whole run (no potential state is reached)."""
    try:
        dunham_module().expected_files(case_dir)
    except NotImplementedError:
        return False
    return True


def declared_refusals():
    """name -> (status, last console line) of the malformed-input cases under bad/, declared by
    hand in make_bad_cases.py."""
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    import make_bad_cases

    return {name: (c["status"], c["message"]) for name, c in make_bad_cases.CASES.items()}


def check_every_case(root, binary):
    """Checks every e2e case this script can compute and lists the others with the reason.

    Skipped: runs that reach no potential state (dunham_expected.py checks them), grids too coarse for the Sturm count, and malformed
    inputs under bad/ whose refusal lies beyond the reader here; of these the status and the last
    console line must still be those make_bad_cases.py declares. Fails on any failure of a checked
    case, on a skipped case whose README names this script, and when no case was checked."""
    refusals = declared_refusals()
    checked, failed, skipped = 0, 0, []
    for d in every_case(root):
        name = os.path.relpath(d, root)
        case = Case(d, binary)
        with open(os.path.join(d, "README.md"), encoding="utf-8") as f:
            claimed = "check_levels.py" in f.read()
        why = None
        if computed_by_dunham_expected(d):
            skipped.append((name, "no potential state is reached: dunham_expected.py checks it"))
            continue
        started = time.time()
        try:
            case.run()
        except SturmCountInvalid as err:
            why = "the independent levels cannot be counted: %s" % err
        except Exception as err:  # a fault of the tool or an input beyond its reader
            case.fail("tool error: %s: %s" % (type(err).__name__, err))
        base = os.path.basename(d)
        if why is None and case.failures and name.startswith("bad" + os.sep) and base in refusals:
            status, message = refusals[base]
            with open(os.path.join(d, "expected", "status.txt")) as f:
                got_status = f.read().strip()
            with open(os.path.join(d, "expected", "stdout.txt"), encoding="latin-1") as f:
                got_last = f.read().split("\n")[-2]
            if got_status != str(status) or got_last != message:
                case.failures.insert(0, "status %s and last line %r, make_bad_cases.py declares %d and %r"
                                     % (got_status, got_last, status, message))
            else:
                why = ("malformed input refused in the program's own words (status and message as "
                       "make_bad_cases.py declares them); beyond this checker: %s" % case.failures[0])
        if why is not None and claimed:
            case.failures = ["its README names this script, but it cannot be checked: " + why]
            why = None
        if why is not None:
            skipped.append((name, why))
            continue
        checked += 1
        failed += bool(case.failures)
        print("%-40s %s (%.1f s)" % (name, "PASS" if not case.failures else "FAIL", time.time() - started),
              flush=True)
        for f in case.failures:
            print("    FAIL " + f)
    for name, why in skipped:
        print("%-40s SKIP: %s" % (name, why))
    print("%d passed, %d failed, %d skipped" % (checked - failed, failed, len(skipped)))
    if checked == 0:
        print("no case was checked")
        return 1
    return 1 if failed else 0


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("cases", nargs="*")
    ap.add_argument("--bin", help="velk binary for the finer-grid runs")
    ap.add_argument("--all", action="store_true", help="every case whose README names this script")
    ap.add_argument("--every", action="store_true",
                    help="every e2e case, listing those this script cannot check and why")
    ap.add_argument("--verbose", "-v", action="store_true")
    args = ap.parse_args()
    if args.every:
        return check_every_case(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), args.bin)
    cases = list(args.cases)
    if args.all:
        root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
        for name in sorted(os.listdir(root)):
            readme = os.path.join(root, name, "README.md")
            if os.path.exists(readme) and "check_levels.py" in open(readme).read():
                cases.append(os.path.join(root, name))
    bad = 0
    for d in cases:
        case = Case(d, args.bin)
        try:
            case.run()
        except Exception as err:  # a fault of the tool or an unreadable case
            case.fail("tool error: %s: %s" % (type(err).__name__, err))
        print("%-28s %s" % (case.name, "PASS" if not case.failures else "FAIL"))
        for f in case.failures:
            print("    FAIL " + f)
        if args.verbose or case.failures:
            for n in case.notes:
                print("    note " + n)
        bad += bool(case.failures)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
