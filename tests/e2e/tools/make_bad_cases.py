#!/usr/bin/env python3
"""Builds the catalogue of malformed and awkward inputs under tests/e2e/bad/.

Every case is a complete working directory: the input files, a README.md saying what is wrong with
them and what must happen, and expected/ with every file the run writes, its console output
(stdout.txt) and its exit status (status.txt). tests/e2e/e2e.cmake runs each one against the binary.

    python3 tests/e2e/tools/make_bad_cases.py build/velk              # every case
    python3 tests/e2e/tools/make_bad_cases.py build/velk crlf_dunham  # some of them

Two kinds of case:

- A refusal: the exit status and the last console line (the message) are declared below, by hand,
  for each case. The script runs the binary and fails unless it gives exactly that status and that
  message; only then are the files of the run taken as expected/.
- A file that must read like a clean twin (Windows line ends, no final line end, tabs, long lines,
  stray bytes in comments, a negative count that reads nothing): expected/ comes from an independent
  source, either the expected files of a conformance case or tests/e2e/tools/dunham_expected.py run
  on the clean twin, and the script fails unless the binary, run on the awkward files, matches them.

Standard library only. The conformance cases are looked up in ../shared/conformance beside the
checkout (or where --conformance says).
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
E2E = os.path.dirname(HERE)
BAD = os.path.join(E2E, "bad")
DUNHAM_EXPECTED = os.path.join(HERE, "dunham_expected.py")

# ----------------------------------------------------------------------------------------------
# Input files shared by the cases

DUN_A = """\
d                 coefficient form: Dunham
1.0               mass ratio
0.0               Lambda
3                 column l = 0: Y(0,0), Y(1,0), Y(2,0)
0.0
1580.193          we
-11.981           -wexe
0                 a single zero line is passed over
2                 column l = 1: Y(0,1), Y(1,1)
1.44563           Be
-0.0159           -alpha_e
1                 column l = 2: Y(0,2)
-4.839D-6         -De
0                 two zero counts end the columns
0
0                 parity coefficients: none
0
"""

DUN_B = """\
d                 coefficient form: Dunham
1.0               mass ratio
1.0               Lambda
3                 column l = 0
49793.28          Te
709.31            we
-10.65            -wexe
2                 column l = 1
0.81902           Be
-0.01206          -alpha_e
1                 column l = 2
-4.55E-6          -De
0
0
2                 parity coefficients q(0), q(1)
0.0123456
-0.000654321
"""

MLJ_A = """\
3
10.0 11.0 12.0 13.0 14.0   reduced masses
0   Lambda
0.0   q1
0.0   q2
MLJ curve A
free comment line
ML
2.0   Re
0 3.0
1 0.5
2 0.2
10000.0   De
6 2.0e5   p Cp
2.0   delta
5.0   Rx
"""

AN_A = """\
3
20.0 1 1 1 1   reduced masses
0   Lambda
0.0   q1
0.0   q2
analytic type 1
free comment line
AN
3.0   Rm
0.0   b
0 -5000.0
2 24000.0
3 -16000.0
1   short-range type
0.0 0.0 6.0   A B N (derived)
0.0   Uinf (derived)
1
6 2.0e6
0.0 0.0 1.0   exchange
2.2 6.0   Ri Ro
"""


def morse_points():
    """A short pointwise Morse table (De = 8000, a = 1.5, Re = 2.5) with an extension block."""
    import math

    lines = ["41", "15.0 7.5 1 1 1   reduced masses", "0   Lambda", "0.0   q1", "0.0   q2",
             "pointwise Morse curve", "free comment line", "PW", "0.0   y2 first", "0.0   y2 last"]
    for i in range(41):
        R = 1.9 + 0.25 * i
        U = 8000.0 * (1.0 - math.exp(-1.5 * (R - 2.5))) ** 2
        lines.append("%.6f %.8f" % (R, U))
    lines += ["y   extension follows", "7.0 10.0 0.5   Rfit1 Rfit2 rho",
              "8000.0 0   asymptote fixed", "2   dispersion lines", "6 1.0e6 1", "8 1.0e7 1",
              "n   no exchange block"]
    return "\n".join(lines) + "\n"


PW_A = morse_points()


def control(**changes):
    """velk.inf as a list of its 33 records (one line each); `changes` maps record numbers, written
    r<number>, to new lines. By default a level table of the Dunham state A, v 0..1, J 0..1."""
    records = {
        1: "catalogue of bad inputs",
        2: "dunA.dat",
        3: "d",
        4: "1   mass index A",
        5: "dunB.dat",
        6: "d",
        7: "1   mass index B",
        8: "grid of state A and of state B: Rmin Rmax N",
        9: "1.0 5.0 1000",
        10: "1.0 5.0 1000",
        11: "30   maxit",
        12: "0.0001   tol",
        13: "n",
        14: "level table: switch, state, vmin vmax Jmin Jmax pmin pmax",
        15: "y",
        16: "1",
        17: "0 1 0 1 1 1",
        18: "one level: switch, v J p of state A, vbmin vbmax branch dJ",
        19: "n",
        20: "0 1 1",
        21: "0 2 1 1",
        22: "known level: switch, state, v J p E, vbmin vbmax branch dJ",
        23: "n",
        24: "2",
        25: "0 1 1 1000.0",
        26: "0 1 1 1",
        27: "energy window: switch, Emin Emax, v J p ranges of A, vbmin vbmax branch",
        28: "n",
        29: "0.0 1.0",
        30: "0 0 0 0 1 1",
        31: "0 0 1",
        32: "LIF",
        33: "n",
    }
    for key, value in changes.items():
        records[int(key[1:])] = value
    return [records[i] for i in range(1, 34)]


def text(lines):
    return "\n".join(lines) + "\n"


def mlj_control(**changes):
    """State A an MLJ curve on 1.6..10 A, state B Dunham; level table of A, v 0..1 at J = 0."""
    base = {"r2": "mljA.pot", "r3": "p", "r9": "1.6 10.0 1500", "r17": "0 1 0 0 1 1"}
    base.update(changes)
    return control(**base)


def replace_line(content, number, new):
    lines = content.split("\n")
    lines[number - 1] = new
    return "\n".join(lines)


BANNER_LINES = 6  # the five banner lines and "reading velk.inf"

# ----------------------------------------------------------------------------------------------
# The catalogue: name -> (files, expected status, expected last console line, README text)
# A status of None marks a case whose expected files come from a clean twin (see `TWINS`).

CASES = {}


def refusal(name, files, status, message, readme, unchanged=()):
    """`unchanged` names input files that must come through the run as they were; they are listed
    in expected/ as well, so that a run that overwrites them fails the case."""
    CASES[name] = dict(files=files, status=status, message=message, readme=readme,
                       unchanged=list(unchanged))


def dunham_files(**changes):
    files = {"velk.inf": text(control(**changes)), "dunA.dat": DUN_A, "dunB.dat": DUN_B}
    return files


def mlj_files(pot=MLJ_A, **changes):
    return {"velk.inf": text(mlj_control(**changes)), "mljA.pot": pot, "dunB.dat": DUN_B}


def an_files(pot=AN_A, **changes):
    base = {"r2": "anA.pot", "r3": "p", "r9": "1.9 14.0 2500", "r17": "0 1 0 0 1 1"}
    base.update(changes)
    return {"velk.inf": text(control(**base)), "anA.pot": pot, "dunB.dat": DUN_B}


def pw_files(pot=PW_A, **changes):
    base = {"r2": "pwA.pot", "r3": "p", "r9": "1.9 14.0 3000", "r17": "0 1 0 0 1 1"}
    base.update(changes)
    return {"velk.inf": text(control(**base)), "pwA.pot": pot, "dunB.dat": DUN_B}


# --- empty files ---------------------------------------------------------------------------------
refusal("empty_control_file", {"velk.inf": ""}, 2,
        "velk: velk.inf, line 1: expected a line, found the end of the file",
        "velk.inf exists but is empty: the skip of the title line meets the end of the file.")
refusal("empty_dunham_file", dict(dunham_files(), **{"dunA.dat": ""}), 2,
        "velk: dunA.dat, line 1: expected a line of text, found the end of the file",
        "The Dunham file of state A is empty: the text read of the coefficient form meets the end "
        "of the file; no level file is written.")
refusal("empty_potential_file", dict(mlj_files(), **{"mljA.pot": ""}), 2,
        "velk: mljA.pot, line 1: expected an integer, found the end of the file",
        "The potential file of state A is empty: the driver's read of Npts meets the end of the "
        "file, after its OK and reading lines; no level file is written.")
refusal("blank_data_file_name", dunham_files(r5="            ", r16="2"), 2,
        "velk: velk.inf: the data file name of state B is blank",
        "Record 5 (the data file of state B) holds only blanks and the level table asks for state "
        "B: refused with a message naming velk.inf and the state, instead of trying to open a file "
        "without a name.")

# --- letters and junk where numbers belong -------------------------------------------------------
refusal("control_real_for_integer", dunham_files(r9="1.0 5.0 1000.0"), 2,
        'velk: velk.inf, line 9: expected an integer (item 3 of 3), found "1000.0"',
        "The number of grid points of state A written as 1000.0: an integer item does not take a "
        "decimal point.")
refusal("control_glued_junk", dunham_files(r17="0 1 0 1x 1 1"), 2,
        'velk: velk.inf, line 17: expected an integer (item 4 of 6), found "1x"',
        "A letter glued to the fourth range value of the level-table record.")
refusal("mlj_letter_in_coefficient", mlj_files(pot=replace_line(MLJ_A, 11, "1 O.5")), 2,
        'velk: mljA.pot, line 11: expected a real number (item 2 of 2), found "O.5"',
        "An MLJ coefficient written with the letter O for a zero.")
refusal("pointwise_junk_point", pw_files(pot=replace_line(PW_A, 15, "2.9 #NUM!")), 2,
        'velk: pwA.pot, line 15: expected a real number (item 2 of 2), found "#NUM!"',
        "A spreadsheet error text in place of a potential value of a pointwise table.")
refusal("analytic_word_count", an_files(pot=replace_line(AN_A, 1, "three")), 2,
        'velk: anA.pot, line 1: expected an integer, found "three"',
        "The number of coefficient lines of an analytic file written as a word.")

# --- NaN and Inf ---------------------------------------------------------------------------------
refusal("control_nan", dunham_files(r12="NaN   tol"), 2,
        'velk: velk.inf, line 12: expected a real number, found "NaN"',
        "The tolerance written as NaN: not a number the free-format read accepts.")
refusal("control_infinity", dunham_files(r25="0 1 1 Infinity"), 2,
        'velk: velk.inf, line 25: expected a real number (item 4 of 4), found "Infinity"',
        "The known-level energy written as Infinity: refused like any other word.")
refusal("potential_nan_mass", mlj_files(pot=replace_line(MLJ_A, 2, "nan 11.0 12.0 13.0 14.0")), 2,
        'velk: mljA.pot, line 2: expected a real number (item 1 of 5), found "nan"',
        "A reduced mass written as nan in the potential header.")
refusal("dunham_minus_inf", dict(dunham_files(), **{"dunA.dat": replace_line(DUN_A, 10, "-inf")}),
        2, 'velk: dunA.dat, line 10: expected a real number, found "-inf"',
        "A Dunham coefficient written as -inf.")

# --- numbers too large -----------------------------------------------------------------------
refusal("control_real_overflow", dunham_files(r10="1.0 1e309 1000"), 2,
        'velk: velk.inf, line 10: expected a real number (item 2 of 3), found "1e309"',
        "A last radius of 1e309, beyond the largest double: a conversion error, not infinity.")
refusal("control_integer_overflow", dunham_files(r9="1.0 5.0 2147483648"), 2,
        'velk: velk.inf, line 9: expected an integer (item 3 of 3), found "2147483648"',
        "A point count of 2^31, one beyond the 32-bit integers: a conversion error, not a wrapped "
        "negative count.")
refusal("control_integer_underflow", dunham_files(r17="-2147483649 1 0 1 1 1"), 2,
        'velk: velk.inf, line 17: expected an integer (item 1 of 6), found "-2147483649"',
        "A first v of -2^31 - 1, below the 32-bit integers.")
refusal("dunham_real_overflow",
        dict(dunham_files(), **{"dunA.dat": replace_line(DUN_A, 6, "1.8D308")}), 2,
        'velk: dunA.dat, line 6: expected a real number, found "1.8D308"',
        "A Dunham coefficient of 1.8D308, beyond the largest double.")

# --- negative and huge counts ------------------------------------------------------------------
refusal("mlj_negative_count", mlj_files(pot=replace_line(MLJ_A, 1, "-3")), 1,
        "velk: mljA.pot: line 1: the number of coefficient lines is negative (-3)",
        "An MLJ file whose Npts is -3: the driver's limit test passes it, the MLJ builder refuses "
        "it before reading a coefficient.")
refusal("analytic_negative_count", an_files(pot=replace_line(AN_A, 1, "-1")), 1,
        "velk: anA.pot: line 1: the number of coefficient lines is negative (-1)",
        "An analytic file whose Npts is -1.")
refusal("pointwise_huge_count", pw_files(pot=replace_line(PW_A, 1, "2147483647")), 1,
        "number of points must be less than 500",
        "A pointwise file whose Npts is the largest 32-bit integer: the driver's own limit test "
        "stops the run before anything is read into the tables.")
refusal("pointwise_negative_dispersion_count",
        pw_files(pot=PW_A.replace("2   dispersion lines", "-2   dispersion lines")), 1,
        "velk: pwA.pot: line 55: the long-range extension needs at least one dispersion line, "
        "found -2",
        "An extension block announcing -2 dispersion lines.")
refusal("pointwise_huge_dispersion_count",
        pw_files(pot=PW_A.replace("2   dispersion lines", "2147483647   dispersion lines")), 2,
        'velk: pwA.pot, line 58: expected an integer (item 1 of 3), found "n"',
        "An extension block announcing 2147483647 dispersion lines: the reads go on past the two "
        "lines there are and meet the exchange switch line where an index is expected.")
refusal("analytic_negative_long_range_count", an_files(pot=replace_line(AN_A, 17, "-1")), 1,
        "velk: anA.pot: line 17: the number of long-range lines is negative (-1)",
        "An analytic file announcing -1 long-range lines.")
refusal("analytic_huge_long_range_count", an_files(pot=replace_line(AN_A, 17, "2147483647")), 2,
        'velk: anA.pot, line 19: expected an integer (item 1 of 2), found "0.0"',
        "An analytic file announcing 2147483647 long-range lines: the reads run into the exchange "
        "line, whose first value is not an integer index.")

# --- indices outside their tables --------------------------------------------------------------
refusal("mlj_index_51", mlj_files(pot=replace_line(MLJ_A, 12, "51 0.2")), 1,
        "velk: mljA.pot: line 12: coefficient index 51 outside 0..50",
        "An MLJ coefficient line with k = 51 (beta_0 to beta_50 exist).")
refusal("mlj_index_negative", mlj_files(pot=replace_line(MLJ_A, 10, "-1 3.0")), 1,
        "velk: mljA.pot: line 10: coefficient index -1 outside 0..50",
        "An MLJ coefficient line with k = -1.")
refusal("analytic_index_negative", an_files(pot=replace_line(AN_A, 11, "-2147483648 -5000.0")), 1,
        "velk: anA.pot: line 11: index -2147483648 outside 0..100",
        "An analytic coefficient line with the most negative 32-bit index.")
refusal("analytic_long_range_index_0", an_files(pot=replace_line(AN_A, 18, "0 2.0e6")), 1,
        "velk: anA.pot: line 18: index 0 outside 1..20",
        "A long-range line with k = 0 (C1 to C20 exist).")
refusal("band_row_negative",
        dict(dunham_files(), **{"dunA.dat": "b   band constants\n1.0\n0.0\n1\n"
                                            "-1 0.0 1.5 1e-6 0 0 0\n0\n0\n"}), 2,
        "velk: dunA.dat, line 5: band-constant rows are numbered 0 to 50, found -1",
        "A band-constant row numbered -1.")
refusal("pointwise_dispersion_index_falls",
        pw_files(pot=PW_A.replace("8 1.0e7 1", "5 1.0e7 1")), 1,
        "velk: pwA.pot: line 57: dispersion index 5 does not exceed the previous one (6)",
        "Dispersion lines with k = 6 and then k = 5: the last index sets the size of the model, so "
        "a falling index would drop the C6 term from the fit.")

# --- grid, mass index and masses ---------------------------------------------------------------
refusal("grid_negative_n", mlj_files(r9="1.6 10.0 -7"), 1,
        "velk: mljA.pot: the radial grid needs at least 2 points, N = -7",
        "A negative number of grid points for a potential state.")
refusal("grid_rmax_below_rmin", mlj_files(r9="10.0 1.6 1500"), 1,
        "velk: mljA.pot: the radial grid needs 0 < Rmin < Rmax",
        "A grid whose last radius lies below its first.")
refusal("grid_rmin_zero", mlj_files(r9="0.0 10.0 1500"), 1,
        "velk: mljA.pot: the radial grid needs 0 < Rmin < Rmax",
        "A grid starting at R = 0, where the centrifugal term divides by zero.")
refusal("mass_index_most_negative", mlj_files(r4="-2147483648"), 1,
        "velk: mljA.pot: the mass index must lie in 1..5, found -2147483648",
        "The most negative 32-bit mass index.")
refusal("potential_mass_zero", mlj_files(pot=replace_line(MLJ_A, 2, "10.0 0.0 12.0 13.0 14.0"),
                                         r4="2   mass index A"), 1,
        "velk: mljA.pot: reduced mass 2 must be positive, found 0",
        "The reduced mass picked by the mass index is 0: refused before the curve is built, "
        "rather than dividing the centrifugal term by zero.")
refusal("potential_first_mass_negative",
        mlj_files(pot=replace_line(MLJ_A, 2, "-10.0 11.0 12.0 13.0 14.0"), r4="2   mass index A"),
        1, "velk: mljA.pot: reduced mass 1 must be positive, found -10",
        "The first reduced mass, which the energy offset toadd always uses, is negative while the "
        "mass index picks the second.")

# --- values that overflow later ----------------------------------------------------------------
refusal("mlj_power_most_negative", mlj_files(pot=replace_line(MLJ_A, 14, "-2147483648 2.0e5")), 1,
        "velk: mljA.pot: ln(2*De*Re^p/Cp) is not a finite number",
        "An MLJ long-range power p of -2^31: Re^p is formed without negating the most negative "
        "integer and underflows, so the logarithm is refused.")
refusal("pointwise_value_overflow", pw_files(pot=replace_line(PW_A, 11, "1.90 1.7e308")), 1,
        "velk: pwA.pot: the potential is not a finite number at grid point 1, R = 1.9",
        "A potential value of 1.7e308 (a double, but the spline through it overflows): refused "
        "after the spline is tabulated and before the extension is fitted (no potext.out), naming "
        "the first grid point where it is not finite, "
        "instead of levels of NaN.")
refusal("analytic_exchange_overflow", an_files(pot=replace_line(AN_A, 19, "1.0 1e300 0.0")), 1,
        "velk: anA.pot: the potential is not a finite number at grid point 848, R = 6.00112",
        "An exchange term R^1e300 beyond the outer radius: the tail overflows from the first grid "
        "point beyond Ro.")
refusal("dunham_term_overflow", dict(dunham_files(),
                                     **{"dunA.dat": replace_line(DUN_A, 2, "1e300   mass ratio")}),
        1, "velk: dunA.dat: the term value of v = 0, J = 0, p = 1 is not a finite number",
        "A mass ratio of 1e300: the scaled powers overflow and the first term value is not a "
        "number. Refused at that level, after the six header lines of Astate.dat, instead of "
        "writing NaN energies.")
refusal("mlj_mass_overflow_not_converged",
        mlj_files(pot=replace_line(MLJ_A, 2, "1e308 11.0 12.0 13.0 14.0"), r17="0 3 0 0 1 1"), 0,
        " perhaps better...",
        "A reduced mass of 1e308 u: the Numerov coefficients overflow and the solver's last "
        "correction Dcor is NaN for every level. NaN is not taken for convergence: each level is "
        "retried (the Epr- and perhaps better... lines), counts as not converged, and from the "
        "third such level of the J on no line is written, so Astate.dat holds v = 0 and 1 with "
        "their Dcor shown as NaN.")
refusal("one_level_dj_overflow", dunham_files(r15="n", r19="y", r21="0 2 3 2147483647"), 1,
        "velk: dunB.dat: J = -2147483646 is requested; J(J+1) is formed in 32-bit integers, "
        "which hold J = -46341 to 46340",
        "One-level run, branch 3, with a J step of 2^31 - 1: the state-A level (J'' = 1) is "
        "written to Astate.dat; J'' - dJ = -2147483646 fits a 32-bit integer but its J(J+1) does "
        "not, so the request for BstateP.dat is refused before anything of it is written.")
refusal("known_level_j_overflow",
        dunham_files(r15="n", r23="y", r25="0 2147483647 1 1000.0", r26="0 1 2 1"), 1,
        "velk: dunB.dat: J = 2147483646 is requested; J(J+1) is formed in 32-bit integers, "
        "which hold J = -46341 to 46340",
        "Known-level run, branch 2, at J = 2^31 - 1: the P branch J - 1 would wrap J(J+1) round "
        "and is refused before BstateP.dat is written (the R branch J + 1 lies outside the "
        "32-bit integers altogether).")

DUN_SMALL_B = """\
d                 coefficient form: Dunham
1.0               mass ratio
0.0               Lambda
2                 column l = 0: Y(0,0), Y(1,0)
0.0
1000.0            we
1                 column l = 1: Y(0,1)
0.001             a rotational constant small enough for J near 46340 to print
0                 two zero counts end the columns
0
0                 parity coefficients: none
0
"""
refusal("known_level_r_branch_j_46341",
        {"velk.inf": text(control(r15="n", r23="y", r24="2", r25="0 46340 1 1000.0",
                                  r26="0 1 2 1")),
         "dunA.dat": DUN_SMALL_B, "dunB.dat": DUN_SMALL_B}, 1,
        "velk: dunB.dat: J = 46341 is requested; J(J+1) is formed in 32-bit integers, which hold "
        "J = -46341 to 46340",
        "Known-level run on state B, branch 2, from J = 46340, the largest J whose J(J+1) fits 32 "
        "bits: the P branch J' = 46339 is written to BstateP.dat (its J does not fit the four "
        "columns of the level line and shows as ****); the R branch J' = 46341 is refused before "
        "anything of BstateR.dat is written, and no vel_tran.out is opened.")

# --- data files named like outputs ---------------------------------------------------------------
refusal("input_named_astate_potential",
        {"velk.inf": text(mlj_control(r2="Astate.dat")), "Astate.dat": MLJ_A, "dunB.dat": DUN_B},
        2, 'velk: velk.inf, line 2: the data file of state A, "Astate.dat", is the output '
        'Astate.dat of this run and would be overwritten',
        "The MLJ potential file of state A is named Astate.dat, the level table the run writes: "
        "refused before anything is opened for writing, so the potential file stays as it was "
        "(expected/Astate.dat is the input itself).", unchanged=["Astate.dat"])
refusal("input_named_astate_dunham",
        {"velk.inf": text(control(r5="./Astate.dat")), "dunA.dat": DUN_A, "Astate.dat": DUN_B},
        2, 'velk: velk.inf, line 5: the data file of state B, "./Astate.dat", is the output '
        'Astate.dat of this run and would be overwritten',
        "The Dunham file of state B is named ./Astate.dat, the same file as the level table of "
        "state A that the run writes. State B is not used by the run, but its file would be "
        "replaced all the same: refused, the Dunham file unchanged (expected/Astate.dat is the "
        "input itself).", unchanged=["Astate.dat"])
refusal("input_named_potext",
        {"velk.inf": text(control(r2="potext.out", r3="p", r9="1.9 14.0 3000",
                                  r17="0 1 0 0 1 1")), "potext.out": PW_A, "dunB.dat": DUN_B},
        2, 'velk: velk.inf, line 2: the data file of state A, "potext.out", is the output '
        'potext.out of this run and would be overwritten',
        "The pointwise potential file of state A, which asks for a long-range extension, is named "
        "potext.out, the fit report that building its curve writes: refused, the potential file "
        "unchanged (expected/potext.out is the input itself).", unchanged=["potext.out"])

# --- requests beyond the level files and J(J+1) --------------------------------------------------
refusal("dunham_j_46341", dunham_files(r17="0 0 46341 46341 1 1"), 1,
        "velk: dunA.dat: J = 46341 is requested; J(J+1) is formed in 32-bit integers, which hold "
        "J = -46341 to 46340",
        "A level table of the Dunham state A at J = 46341: J(J+1) = 2147534622 exceeds 2^31 - 1 "
        "and would wrap round to x = -2147432674, so that B x enters with the wrong sign. "
        "Refused before the Dunham file is read; no Astate.dat.")
refusal("mlj_j_46341", mlj_files(r17="0 0 46341 46341 1 1"), 1,
        "velk: mljA.pot: J = 46341 is requested; J(J+1) is formed in 32-bit integers, which hold "
        "J = -46341 to 46340",
        "A level table of the MLJ state A at J = 46341: the centrifugal term J(J+1) - Lambda^2 "
        "would wrap round to a large negative number. Refused before the potential file is read; "
        "no Astate.dat.")
refusal("level_count_100000", dunham_files(r17="0 99 0 999 1 1"), 1,
        "velk: dunA.dat: 100000 levels are requested; a level file holds at most 99999",
        "A level table of 100 v times 1000 J: the count 100000 does not fit the five columns of "
        "the level file's first line (it would be written as asterisks, which the energy-window "
        "run cannot read back). Refused before computing; no Astate.dat.")

# --- curves the solver cannot carry --------------------------------------------------------------
refusal("pointwise_spline_y2_1e308", pw_files(pot=replace_line(PW_A, 9, "1e308   y2 first")), 1,
        "velk: pwA.pot: the potential is -2.83094e+304 cm-1 at grid point 2, R = 1.90403, beyond "
        "the 1e250 cm-1 the level solver can carry",
        "A spline second derivative of 1e308 at the first point of a pointwise table: every "
        "tabulated value is a finite double, but in the first interval they reach 1e304 and the "
        "Numerov recurrence overflows into NaN. Refused at the first grid point beyond 1e250 "
        "cm-1 (point 1 lies on the first table point, where the spline is the table value), "
        "before the extension is fitted: no potext.out, no Astate.dat.")
refusal("mlj_well_beyond_grid",
        mlj_files(pot=replace_line(replace_line(replace_line(replace_line(replace_line(
            MLJ_A, 10, "0 1.0"), 11, "1 0.0"), 12, "2 0.0"), 15, "1000.0   delta"), 16,
            "1.5   Rx"), r9="1.2 1.8 1000"), 1,
        "velk: mljA.pot: the well bottom Re = 2 lies beyond the last grid radius 1.8: the local "
        "minimum at grid point 495, R = 1.4967, is not the well; extend the grid beyond Re",
        "An MLJ curve with Re = 2.0 on a grid that ends at 1.8 A: the grid holds only the "
        "repulsive wall, and a switching function of steepness 1000 at Rx = 1.5 puts a kink into "
        "it, a local minimum below a local maximum above De. The landmark scans would take it "
        "for a well, so \"Umin >  Umax\" is not reached and the run would fill Astate.dat with "
        "meaningless levels. Refused after the curve is tabulated; no Astate.dat.")

# --- binary bytes --------------------------------------------------------------------------------
refusal("binary_byte_in_value", dunham_files(r9="1.0\x00 5.0 1000"), 2,
        'velk: velk.inf, line 9: expected a real number (item 1 of 3), found "1.0?"',
        "A NUL byte glued to the first radius: a conversion error; the message shows the byte "
        "as ?.")
refusal("binary_potential_file",
        dict(mlj_files(), **{"mljA.pot": bytes((i * 37 + 11) % 256 for i in range(2048))}), 2,
        'velk: mljA.pot, line 1: expected an integer, found '
        '"?0Uz????3X}????6[?????9^?????<a??????d??..."',
        "A potential file of 2 kB of binary bytes: the first read finds no integer; the message "
        "shows at most 40 characters, non-printing bytes as ?.")

# --- files that must read like their clean twins ----------------------------------------------
# name -> (files, source of expected, README text); the source is ("dunham", clean files) or
# ("conformance", case name).
TWINS = {}


def crlf(content):
    return content.replace("\n", "\r\n")


def no_final_newline(content):
    return content.rstrip("\n")


def conformance_twin(name, case, transform, readme):
    TWINS[name] = dict(source=("conformance", case), transform=transform, readme=readme)


def dunham_twin(name, clean, awkward, readme):
    TWINS[name] = dict(source=("dunham", clean), files=awkward, readme=readme)


conformance_twin("crlf_mlj_transitions", "mlj_transitions", lambda name, c: crlf(c),
                 "The conformance case mlj_transitions with Windows line ends (CR LF) in velk.inf "
                 "and both MLJ files: every output is the same as with plain line ends.")
conformance_twin("no_final_newline_pointwise_fit", "pointwise_fit",
                 lambda name, c: no_final_newline(c),
                 "The conformance case pointwise_fit with no line end after the last line of "
                 "velk.inf and of the potential file (whose last line is the exchange block's "
                 "gamma): the same results, potext.out included.")
conformance_twin("tabs_analytic", "analytic_type1",
                 lambda name, c: "\n".join("\t".join(line.split(" ")) for line in c.split("\n")),
                 "The conformance case analytic_type1 with every blank of velk.inf and of the "
                 "potential file turned into a tab: tabs separate values like blanks.")
conformance_twin("crlf_no_final_newline_dunham", "dunham_branch3",
                 lambda name, c: no_final_newline(crlf(c)),
                 "The conformance case dunham_branch3 with CR LF line ends and no line end after "
                 "the last line of every input file.")

_long_control = control(r9="1.0 5.0 1000")
_long_control[0] = "t" * 50000
_long_control[1] = "dunA.dat    " + "y" * 8000
_long_control[2] = "d" + "z" * 9000
_long_control[8] = "1." + "0" * 5000 + " 5.0 0" + "0" * 3000 + "1000  " + "c" * 20000
dunham_twin("long_lines", dunham_files(),
            {"velk.inf": text(_long_control), "dunA.dat": DUN_A, "dunB.dat": DUN_B},
            "Lines of thousands of characters: a title of 50000, a file name line and a kind line "
            "running on for 8000 and 9000 characters after the text read's width, a grid record "
            "whose radius has 5000 zeros after the point, whose count has 3000 leading zeros and "
            "which carries a comment of 20000 characters. Same levels as the plain file.")

_binary_control = control()
_binary_control[0] = "title \x00\x01\x02\x7f\x80\xfe\xff"
_binary_control[8] = "1.0 5.0 1000   \x00\x07\x1b[31m\xc3\xa9\xff"
_binary_control[13] = "heading \x00\xff\xfe"
dunham_twin("binary_bytes_in_comments", dunham_files(),
            {"velk.inf": text(_binary_control).encode("latin-1"), "dunA.dat": DUN_A,
             "dunB.dat": DUN_B},
            "NUL, control, escape and high bytes in the title, in a heading and in the trailing "
            "comment of a free-format record: ignored like any comment.")

_negative_counts = DUN_A.replace("0                 a single zero line is passed over",
                                 "-7                column l = 1 is empty")
_negative_counts = _negative_counts.replace("0                 parity coefficients: none\n0\n",
                                            "-2147483648       no parity coefficients\n")
dunham_twin("dunham_negative_counts", None,
            {"velk.inf": text(control()), "dunA.dat": _negative_counts, "dunB.dat": DUN_B},
            "A Dunham file with a negative column count (-7: nothing is read for that column, "
            "which stays zero) and the most negative parity count (no parity coefficients): "
            "negative counts read nothing and index nothing.")

# ----------------------------------------------------------------------------------------------


def write_files(directory, files):
    for name, content in files.items():
        data = content if isinstance(content, bytes) else content.encode("latin-1")
        with open(os.path.join(directory, name), "wb") as out:
            out.write(data)


def run(binary, directory, keep=()):
    """Runs the binary in a scratch copy of `directory`; returns (status, files written), the
    input files named in `keep` included as the run left them."""
    with tempfile.TemporaryDirectory() as work:
        inputs = set()
        for name in os.listdir(directory):
            path = os.path.join(directory, name)
            if os.path.isfile(path) and name != "README.md":
                shutil.copy(path, work)
                inputs.add(name)
        with open(os.path.join(work, "stdout.txt"), "wb") as out:
            status = subprocess.run([binary], cwd=work, stdin=subprocess.DEVNULL, stdout=out,
                                    stderr=subprocess.PIPE, timeout=300).returncode
        written = {}
        for name in os.listdir(work):
            if name not in inputs or name in keep:
                with open(os.path.join(work, name), "rb") as f:
                    written[name] = f.read()
        written["status.txt"] = b"%d\n" % status
        return status, written


def fresh_case_dir(name):
    directory = os.path.join(BAD, name)
    if os.path.isdir(directory):
        shutil.rmtree(directory)
    os.makedirs(directory)
    return directory


def write_expected(directory, written):
    expected = os.path.join(directory, "expected")
    os.makedirs(expected, exist_ok=True)
    for name, data in written.items():
        with open(os.path.join(expected, name), "wb") as f:
            f.write(data)


def readme_text(body, how):
    return body + "\n\nExpected files: " + how + "\n"


def make_refusal(binary, name, case):
    directory = fresh_case_dir(name)
    write_files(directory, case["files"])
    status, written = run(binary, directory, case["unchanged"])
    for name in case["unchanged"]:
        original = case["files"][name]
        if written.get(name) != (original if isinstance(original, bytes) else
                                 original.encode("latin-1")):
            raise SystemExit("%s: the run changed its input %s" % (name, name))
    last = written["stdout.txt"].decode("latin-1").rstrip("\n").split("\n")[-1]
    if status != case["status"] or last != case["message"]:
        raise SystemExit("%s: got status %d and last line\n  %r\nexpected status %d and\n  %r" %
                         (name, status, last, case["status"], case["message"]))
    write_expected(directory, written)
    with open(os.path.join(directory, "README.md"), "w") as f:
        f.write(readme_text(case["readme"], "the status and the message (the last console line) "
                            "are declared in `tests/e2e/tools/make_bad_cases.py`, which checks "
                            "them and then takes the run's files: `python3 "
                            "tests/e2e/tools/make_bad_cases.py build/velk %s`" % name))


def make_twin(binary, name, case, conformance):
    directory = fresh_case_dir(name)
    kind, source = case["source"]
    if kind == "conformance":
        src = os.path.join(conformance, source)
        reference = {}
        for entry in os.listdir(os.path.join(src, "expected")):
            with open(os.path.join(src, "expected", entry), "rb") as f:
                reference[entry] = f.read()
        for entry in os.listdir(src):
            path = os.path.join(src, entry)
            if os.path.isfile(path):
                with open(path, "rb") as f:
                    content = f.read().decode("latin-1")
                with open(os.path.join(directory, entry), "wb") as f:
                    f.write(case["transform"](entry, content).encode("latin-1"))
        how = ("those of the conformance case %s (an independent implementation); `python3 "
               "tests/e2e/tools/make_bad_cases.py build/velk %s` rebuilds the inputs from it and "
               "checks the program against them" % (source, name))
    else:
        clean = source if source is not None else case["files"]
        with tempfile.TemporaryDirectory() as twin:
            write_files(twin, clean)
            subprocess.run([sys.executable, DUNHAM_EXPECTED, twin], check=True,
                           stdout=subprocess.DEVNULL)
            reference = {}
            for entry in os.listdir(os.path.join(twin, "expected")):
                with open(os.path.join(twin, "expected", entry), "rb") as f:
                    reference[entry] = f.read()
        write_files(directory, case["files"])
        how = ("`tests/e2e/tools/dunham_expected.py` run on the clean twin of these files; "
               "`python3 tests/e2e/tools/make_bad_cases.py build/velk %s` writes them and checks "
               "the program against them" % name)
    status, written = run(binary, directory)
    if written != reference:
        differing = sorted(set(written) ^ set(reference) |
                           {k for k in set(written) & set(reference) if written[k] != reference[k]})
        raise SystemExit("%s: the run differs from its clean twin in %s" % (name, differing))
    write_expected(directory, reference)
    with open(os.path.join(directory, "README.md"), "w") as f:
        f.write(readme_text(case["readme"], how))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("binary")
    parser.add_argument("cases", nargs="*")
    parser.add_argument("--conformance",
                        default=os.path.join(E2E, "..", "..", "..", "shared", "conformance"))
    args = parser.parse_args()
    binary = os.path.abspath(args.binary)
    names = args.cases or list(CASES) + list(TWINS)
    for name in names:
        if name in CASES:
            make_refusal(binary, name, CASES[name])
        elif name in TWINS:
            make_twin(binary, name, TWINS[name], os.path.abspath(args.conformance))
        else:
            raise SystemExit("no case " + name)
        print(name + ": written")


if __name__ == "__main__":
    main()
