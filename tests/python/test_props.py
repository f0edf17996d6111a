"""velk.properties and velk.franck_condon against velk-props on the same working directory (bit
for bit), against the closed forms of the harmonic oscillator (moments of R, Poisson
Franck-Condon factors and r-centroids of displaced oscillators), and their error paths."""

import csv
import math
import os
import shutil
import subprocess

import numpy as np
import pytest

import velk
from conftest import EXAMPLES, PROPS_BINARY, SOURCE_DIR, BINARY, example_text, run_binary

HBAR2_OVER_2U = 16.85763130530976  # velk's hbar^2/(2u), cm-1 Å^2
GRID = (1.8, 50.0, 8000)


def read_csv(path):
    """The rows of a velk-props table, each cell a float (NaN for an empty cell) or a text."""
    def value(text):
        try:
            return float(text) if text else math.nan
        except ValueError:
            return text
    with open(path, newline="") as f:
        return [{k: value(v) for k, v in row.items()} for row in csv.DictReader(f)]


def velk_props(directory, *arguments):
    done = subprocess.run([PROPS_BINARY, *arguments], cwd=directory, capture_output=True,
                          text=True, timeout=300)
    assert done.returncode == 0, done.stdout + done.stderr


def same(a, b):
    """Equal to the last bit, or both NaN (an empty cell)."""
    return a == b or (math.isnan(a) and math.isnan(b))


def assert_rows_equal(table, rows, columns):
    assert len(table) == len(rows)
    for got, expected in zip(table, rows):
        for column in columns:
            if column == "found":
                assert bool(got["found"]) == bool(expected["found"])
            else:
                assert same(float(got[column]), expected[column]), (column, got, expected)


PROPS_COLUMNS = ["v", "J", "p", "E", "found", "R_in", "R_out", "R_mean", "R2_mean", "Rinv2_mean",
                 "Bv", "Dv", "Hv", "tunnel"]


def pi_state_text():
    # Na2 X made a Pi state: the listed energies carry the Lambda-doubling term q·J(J+1).
    lines = example_text("na2-x-analytic/na2x.pot").splitlines(keepends=True)
    lines[2:5] = ["1\n", "1.5e-4\n", "-2.5e-4\n"]
    return "".join(lines)


@pytest.mark.parametrize("name, text, grid, request_", [
    ("na2x.pot", example_text("na2-x-analytic/na2x.pot"), GRID, dict(v=(0, 20), J=(0, 2))),
    # Quasi-bound levels behind the barrier of J = 60: tunnelling figures, no Dv and Hv.
    ("na2x.pot", example_text("na2-x-analytic/na2x.pot"), GRID, dict(v=(48, 52), J=(60, 60))),
    ("pi.pot", pi_state_text(), (2.0, 30.0, 8000),
     dict(v=(0, 4), J=(1, 3), p=(1, 2), reversed=True)),
    ("na2xext.pot", example_text("na2-x-points-ext/na2xext.pot"), GRID,
     dict(v=(55, 60), J=(0, 0))),
])
def test_properties_are_those_velk_props_writes(tmp_path, name, text, grid, request_):
    binary = run_binary(tmp_path, {name: text}, grid, tol=1e-7, **request_)
    assert binary.returncode == 0, binary.stdout
    velk_props(tmp_path, "A")
    rows = read_csv(tmp_path / "Astate_props.csv")
    curve = velk.Curve.from_file(tmp_path / name)
    span = {k: range(request_[k][0], request_[k][1] + 1) for k in ("v", "J", "p")
            if k in request_}
    table = velk.properties(curve, grid=grid, tol=1e-7, reversed=request_.get("reversed", False),
                            **span)
    assert list(table.dtype.names) == PROPS_COLUMNS
    assert_rows_equal(table, rows, PROPS_COLUMNS)
    assert table["found"].all()
    if request_["J"] == (60, 60):
        quasi = ~np.isnan(table["tunnel"])
        assert quasi.any() and np.isnan(table["Dv"][quasi]).all()


TRANSITION_COLUMNS = ["upper_v", "upper_J", "upper_p", "lower_v", "lower_J", "lower_p", "FCF",
                      "r_centroid", "moment", "overlap", "upper_E", "lower_E"]


@pytest.mark.parametrize("case, upper, lower, grids, levels, moment", [
    # Na2 X(0, 10) -> A(v' = 0..40) in P, Q and R with a Morse A curve, on two grids joined.
    ("na2_absorb_morse", "na2amors.pot", "na2x.pot", ((2.3, 14.0, 9000), (2.2, 12.0, 10000)),
     dict(v_upper=range(41), J_upper=[9, 10, 11], v_lower=0, J_lower=10, p=1), "tdm.txt"),
    # One Kratzer curve for both states: lower (2, 1, p = 1), upper v = 0..5 in the Q branch
    # (upper parity 0); the overlaps are 0 but for v = 2, 1 to the common grid's accuracy.
    ("kratzer_two_grids", "kratzer.pot", "kratzer.pot", ((1.2, 25.0, 6000), (1.0, 20.0, 4000)),
     dict(v_upper=range(6), J_upper=1, v_lower=2, J_lower=1, p=1), None),
])
def test_franck_condon_is_velk_props_transitions(tmp_path, case, upper, lower, grids, levels,
                                                 moment):
    shutil.copytree(SOURCE_DIR / "tests" / "props" / case, tmp_path, dirs_exist_ok=True)
    if case == "na2_absorb_morse":
        # The example's working directory, with the test's moment table.
        shutil.copytree(EXAMPLES / "na2-absorb-fcf", tmp_path, dirs_exist_ok=True)
    done = subprocess.run([BINARY], cwd=tmp_path, capture_output=True, text=True,
                          stdin=subprocess.DEVNULL, timeout=300)
    assert done.returncode == 0, done.stdout
    velk_props(tmp_path, "transitions", *(["--moment", moment] if moment else []))
    rows = read_csv(tmp_path / "vel_tran.csv")

    table = velk.franck_condon(velk.Curve.from_file(tmp_path / upper),
                               velk.Curve.from_file(tmp_path / lower), grid=grids[0],
                               lower_grid=grids[1], tol=1e-5,
                               moment=None if moment is None else tmp_path / moment, **levels)
    assert table["found"].all()
    # vel_tran.out lists the lines in an order of its own: match them by their two levels.
    key = ("upper_v", "upper_J", "upper_p", "lower_v", "lower_J", "lower_p")
    by_levels = {tuple(int(r[k]) for k in key): r for r in rows}
    assert len(by_levels) == len(rows) == len(table)
    ordered = [by_levels[tuple(int(t[k]) for k in key)] for t in table]
    assert_rows_equal(table, ordered, TRANSITION_COLUMNS)
    assert [t["branch"] for t in table] == [r["branch"] for r in ordered]


def harmonic_curve(k, Re, mass):
    # A clamped cubic spline through a parabola with the parabola's end second derivatives is
    # the parabola itself: the table is the harmonic curve exactly.
    R = np.linspace(Re - 1.0, Re + 1.0, 401)
    return velk.Curve.points(R, k * (R - Re) ** 2, mass, y2first=2 * k, y2last=2 * k)


def oscillator_moments(v, s, n_max):
    """<v|x^n|v> for n = 0..n_max of the oscillator -A psi'' + k x² psi, s = sqrt(A/k) (Å²): the
    powers of x = sqrt(s/2)(a + a†) in a number basis large enough to hold them exactly."""
    size = v + n_max + 2
    a = np.diag(np.sqrt(np.arange(1, size)), 1)
    x = math.sqrt(s / 2) * (a + a.T)
    moments, power = [], np.eye(size)
    for _ in range(n_max + 1):
        moments.append(power[v, v])
        power = power @ x
    return moments


def test_harmonic_moments_and_bv():
    k, Re, mass = 20000.0, 2.0, 7.0
    A = HBAR2_OVER_2U / mass
    s = math.sqrt(A / k)  # <x²> of v = 0 is s/2 = 0.0055 Å²
    table = velk.properties(harmonic_curve(k, Re, mass), grid=(Re - 0.9, Re + 0.9, 4001),
                            v=range(4), tol=1e-9)
    assert table["found"].all()
    for row in table:
        m = oscillator_moments(int(row["v"]), s, 12)
        # 1/(Re + x)² = sum (n + 1)(-x)^n / Re^(n+2); the odd moments vanish. The first term
        # left out (n = 14) is below 1e-11 relative for v <= 3 (s/Re² = 2.7e-3).
        Rinv2 = sum((n + 1) * m[n] / Re ** (n + 2) for n in range(0, 13, 2))
        # Numerov's wave function on h = 4.5e-4 Å and the sum rule of the integrals agree with
        # the oscillator to 1e-11 relative (measured); 1e-9 holds that with room, while an error
        # of one grid step in R or a wrong mass would show at 1e-4 or more.
        assert row["R_mean"] == pytest.approx(Re, rel=1e-9)
        assert row["R2_mean"] == pytest.approx(Re * Re + m[2], rel=1e-9)
        assert row["Rinv2_mean"] == pytest.approx(Rinv2, rel=1e-9)
        assert row["Bv"] == pytest.approx(A * Rinv2, rel=1e-9)
        # Turning points ±sqrt(E/k) about Re, E = (2v + 1) sqrt(A k): linear interpolation
        # between grid points is off by about h²/8·U''/U' = 4e-7 Å at the turning points of v = 0.
        x_t = math.sqrt((2 * row["v"] + 1) * math.sqrt(A * k) / k)
        assert row["R_in"] == pytest.approx(Re - x_t, abs=2e-6)
        assert row["R_out"] == pytest.approx(Re + x_t, abs=2e-6)
        assert math.isnan(row["tunnel"])
    # Kratzer's De = 4 Be³/ωe² = A²/(Re⁶ k) for Be = A/Re², ωe = 2 sqrt(A k); Dv of v = 0 lies
    # βe/2 above it (2 % here, from the slope of Dv in v); a lost factor in the perturbation
    # chain would be off by far more than the 3 % allowed.
    assert table["Dv"][0] == pytest.approx(A * A / (Re ** 6 * k), rel=3e-2)
    assert (np.diff(table["Dv"]) > 0).all()


def test_poisson_franck_condon_factors_and_centroids():
    # Two oscillators of equal frequency displaced by d: the lower ground state is a coherent
    # state of the upper oscillator, |<n|0>|² = e^-S S^n / n! with S = d²/(2s), and
    # <n|R|0>/<n|0> = (Re1 + Re2)/2 - n s/d.
    k, mass, Re1 = 20000.0, 7.0, 2.0
    s = math.sqrt(HBAR2_OVER_2U / mass / k)
    d = math.sqrt(2 * s)  # S = 1
    Re2 = Re1 + d
    # Both curves carry the default name points.pot: each is built before the next is written.
    table = velk.franck_condon(harmonic_curve(k, Re2, mass), harmonic_curve(k, Re1, mass),
                               grid=(1.2, 3.0, 6001), v_upper=range(9), tol=1e-9,
                               moment=([1.0, 4.0], [2.0, 2.0]))
    n = table["upper_v"]
    poisson = np.array([math.exp(-1.0) / math.factorial(int(i)) for i in n])
    # Measured agreement 1e-12 (the Numerov grid error on h = 3e-4 Å); 1e-10 keeps room, and a
    # wrong displacement or mass moves the factors by 1e-3 or more.
    np.testing.assert_allclose(table["FCF"], poisson, rtol=0, atol=1e-10)
    assert abs(table["FCF"].sum() - 1.0) < 1e-4  # e^-1 sum_{n<=8} 1/n! = 1 - 1.1e-6
    centroid = (Re1 + Re2) / 2 - n * s / d
    # r̄ divides by <n|0>, as small as 5e-3 at n = 8; measured within 3e-11 Å, 1e-9 Å allowed.
    np.testing.assert_allclose(table["r_centroid"], centroid, rtol=0, atol=1e-9)
    # A constant moment of 2 debye: the matrix element is twice the overlap.
    np.testing.assert_allclose(table["moment"], 2.0 * table["overlap"], rtol=1e-12, atol=1e-15)
    assert (table["branch"] == "Q").all() and (table["upper_p"] == 0).all()


@pytest.fixture
def na2x():
    return velk.Curve.from_file(EXAMPLES / "na2-x-analytic" / "na2x.pot")


def test_request_errors_are_the_level_tables(na2x):
    with pytest.raises(velk.StopRun, match="^velk: na2x.pot: the radial grid needs 0 < Rmin < Rmax$"):
        velk.properties(na2x, grid=(5.0, 2.0, 100))
    with pytest.raises(velk.StopRun, match="the mass index must lie in 1..5, found 6"):
        velk.properties(na2x, grid=GRID, mass_index=6)
    with pytest.raises(velk.StopRun, match="reduced mass 1 must be positive"):
        velk.franck_condon(na2x, na2x, 0.0, grid=GRID)
    # A header mass of 0 stops with the level table's message, as curve.levels does.
    R = np.linspace(1.0, 3.0, 21)
    single = velk.Curve.points(R, 2e4 * (R - 2.0) ** 2, 7.0)
    with pytest.raises(velk.StopRun) as from_levels:
        single.levels(grid=(1.1, 2.9, 1000), mass_index=2)
    with pytest.raises(velk.StopRun) as from_properties:
        velk.properties(single, grid=(1.1, 2.9, 1000), mass_index=2)
    assert str(from_properties.value) == str(from_levels.value)
    with pytest.raises(velk.StopRun, match="J = 46341"):
        velk.properties(na2x, grid=GRID, J=46341)
    with pytest.raises(TypeError, match="integer"):
        velk.properties(na2x, grid=GRID, v=1.5)
    # A grid without a well stops as velk's level table does (velk-props: status 1).
    with pytest.raises(velk.StopRun, match="^Umin >  Umax$"):
        velk.properties(na2x, grid=(6.0, 50.0, 2000), v=range(2))


def test_moment_errors_name_the_file(tmp_path, na2x):
    with pytest.raises(velk.InputError, match="absent.txt: cannot open the transition-moment"):
        velk.franck_condon(na2x, na2x, grid=GRID, moment=tmp_path / "absent.txt")
    (tmp_path / "tdm.txt").write_text("# R M\n2.0 0.5\n1.0 0.7\n")
    with pytest.raises(velk.InputError, match="tdm.txt: line 3: the radii must increase"):
        velk.franck_condon(na2x, na2x, grid=GRID, moment=tmp_path / "tdm.txt")
    with pytest.raises(velk.InputError, match="expected 2 to 500 points"):
        velk.franck_condon(na2x, na2x, grid=GRID, moment=([2.0], [0.5]))
    with pytest.raises(ValueError, match="same length"):
        velk.franck_condon(na2x, na2x, grid=GRID, moment=([2.0, 3.0], [0.5]))


def test_working_directory_is_left_as_it_was(tmp_path, monkeypatch):
    # The module writes no file: the extension fit's potext.out must not land in the caller's
    # directory, which stays the working directory throughout, also after a stop.
    monkeypatch.chdir(tmp_path)
    ext = velk.Curve.from_file(EXAMPLES / "na2-x-points-ext" / "na2xext.pot")
    table = velk.franck_condon(ext, ext, grid=GRID, v_upper=range(3))
    assert table["found"].all()
    with pytest.raises(velk.StopRun):
        velk.properties(ext, grid=(6.0, 50.0, 2000))
    assert os.getcwd() == str(tmp_path) and os.listdir(tmp_path) == []
