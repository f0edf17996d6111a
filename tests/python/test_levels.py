"""curve.levels() in exact mode against the velk binary on the same request, and against the
closed forms of the harmonic and Morse oscillators."""

import math
import warnings

import numpy as np
import pytest

import velk
from conftest import EXAMPLES, example_text, printed, run_binary, same_levels

# A grid coarser than the examples' (h = 0.006 Å) keeps each binary run short; the comparison
# holds on any grid.
GRID = (1.8, 50.0, 8000)


# The MLJ curve climbs so steeply inside 2.2 Å that this step cannot follow it there.
MLJ_GRID = (2.2, 50.0, 8000)


@pytest.mark.parametrize("example, name, grid, ranges", [
    ("na2-x-analytic", "na2x.pot", GRID, dict(v=(0, 65), J=(0, 2))),
    ("na2-x-mlj", "na2xmlj.pot", MLJ_GRID, dict(v=(0, 20), J=(5, 6))),
    ("na2-x-points-ext", "na2xext.pot", GRID, dict(v=(60, 65), J=(0, 0))),
    ("na2-x-points-exch", "na2xexch.pot", GRID, dict(v=(0, 3), J=(0, 0))),
    # Quasi-bound levels behind the barrier of J = 60, with their tunnelling figures.
    ("na2-x-analytic", "na2x.pot", GRID, dict(v=(48, 52), J=(60, 60))),
])
def test_exact_levels_are_those_velk_writes(tmp_path, example, name, grid, ranges):
    binary = run_binary(tmp_path, {name: example_text(f"{example}/{name}")}, grid, **ranges)
    assert binary.returncode == 0, binary.stdout
    curve = velk.Curve.from_file(EXAMPLES / example / name)
    levels = curve.levels(grid=grid, v=range(ranges["v"][0], ranges["v"][1] + 1),
                          J=range(ranges["J"][0], ranges["J"][1] + 1), tol=1e-6)
    assert printed(levels) == binary.levels()
    assert len(levels) > 0 and levels["converged"].all()


def test_reversed_grid_and_lambda_doubling_as_velk(tmp_path):
    # A Pi state (Lambda = 1) with both parity components; the q values are in single precision
    # in the program, which the comparison covers.
    text = example_text("na2-x-analytic/na2x.pot").splitlines(keepends=True)
    text[2] = "1\n"
    text[3] = "1.5e-4\n"
    text[4] = "-2.5e-4\n"
    files = {"pi.pot": "".join(text)}
    grid = (2.0, 30.0, 8000)
    binary = run_binary(tmp_path, files, grid, v=(0, 4), J=(1, 3), p=(1, 2), reversed=True)
    assert binary.returncode == 0, binary.stdout
    curve = velk.Curve.from_file(tmp_path / "pi.pot")
    levels = curve.levels(grid=grid, v=range(5), J=range(1, 4), p=[1, 2], reversed=True)
    assert printed(levels) == binary.levels()
    assert levels["converged"].all()
    assert set(levels["p"]) == {1, 2}


def test_mass_replaces_the_first_reduced_mass(tmp_path):
    # mass=m is the run of a file whose first reduced mass is m: toadd is computed with it too.
    lines = example_text("na2-x-analytic/na2x.pot").splitlines(keepends=True)
    mass = 11.2405459
    lines[1] = f"{mass!r} 0 0 0 0\n"
    binary = run_binary(tmp_path, {"iso.pot": "".join(lines)}, GRID, v=(0, 10))
    na2x = velk.Curve.from_file(EXAMPLES / "na2-x-analytic" / "na2x.pot")
    levels = na2x.levels(grid=GRID, v=range(11), mass=mass)
    assert printed(levels) == binary.levels()
    # and it differs from the header's first mass, 11.494884641
    assert not np.array_equal(levels["E"], na2x.levels(grid=GRID, v=range(11))["E"])


def read_points(text):
    """The header masses and the table of a pointwise file without extension."""
    lines = text.splitlines()
    count = int(lines[0].split()[0])
    masses = [float(x) for x in lines[1].split()[:5]]
    y2 = [float(lines[8].split()[0]), float(lines[9].split()[0])]
    table = np.array([[float(x) for x in line.split()[:2]] for line in lines[10:10 + count]])
    return masses, y2, table


def test_curve_from_arrays_is_the_file_curve(na2x):
    # The table of points handed over as arrays must give the very numbers of the file.
    masses, y2, table = read_points(example_text("na2-x-points/na2xpts.pot"))
    from_arrays = velk.Curve.points(table[:, 0], table[:, 1], masses, y2first=y2[0],
                                    y2last=y2[1])
    from_file = velk.Curve.from_file(EXAMPLES / "na2-x-points" / "na2xpts.pot")
    grid = (1.9, 20.0, 6000)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", velk.VelkWarning)
        a = from_arrays.levels(grid=grid, v=range(0, 60, 1))
        b = from_file.levels(grid=grid, v=range(0, 60, 1))
    assert same_levels(a, b)


def test_mlj_and_analytic_parameters_are_the_file_curves():
    lines = example_text("na2-x-mlj/na2xmlj.pot").splitlines()
    first = [line.split() for line in lines]
    beta = [float(first[9 + k][1]) for k in range(14)]
    mlj = velk.Curve.mlj(Re=float(first[8][0]), beta=beta, De=float(first[23][0]),
                         p=int(first[24][0]), Cp=float(first[24][1]), delta=float(first[25][0]),
                         Rx=float(first[26][0]),
                         masses=[float(x) for x in first[1][:5]])
    lines = example_text("na2-x-analytic/na2x.pot").splitlines()
    f = [line.split() for line in lines]
    a = np.zeros(27)
    for k in range(27):
        a[int(f[10 + k][0])] = float(f[10 + k][1])
    analytic = velk.Curve.analytic(
        Rm=float(f[8][0]), b=float(f[9][0]), a=a, wall=(1, float(f[38][0]), float(f[38][1]),
                                                          float(f[38][2])),
        Uinf=float(f[39][0]), C={int(f[41 + i][0]): float(f[41 + i][1]) for i in range(3)},
        exchange=tuple(float(x) for x in f[44][:3]), Ri=float(f[45][0]), Ro=float(f[45][1]),
        masses=[float(x) for x in f[1][:5]])
    for built, example, grid in [(mlj, "na2-x-mlj/na2xmlj.pot", MLJ_GRID),
                                 (analytic, "na2-x-analytic/na2x.pot", GRID)]:
        from_file = velk.Curve.from_file(EXAMPLES / example)
        assert same_levels(built.levels(grid=grid, v=range(20)),
                           from_file.levels(grid=grid, v=range(20)))
        R = np.linspace(2.0, 30.0, 101)
        assert np.array_equal(built(R), from_file(R))


# The radial equation -A psi'' + V psi = E psi with A = hbar^2/(2u)/mu; velk's hbar^2/(2u) in
# cm-1 Å^2 is 16.85763130530976.
HBAR2_OVER_2U = 16.85763130530976


def harmonic_curve(k, Re, mass):
    # A cubic spline through a parabola with the parabola's end second derivatives is the
    # parabola itself, so the table is the harmonic curve exactly.
    R = np.linspace(Re - 1.0, Re + 1.0, 401)
    return velk.Curve.points(R, k * (R - Re) ** 2, mass, y2first=2 * k, y2last=2 * k)


def test_harmonic_levels():
    k, Re, mass = 20000.0, 2.0, 7.0
    curve = harmonic_curve(k, Re, mass)
    A = HBAR2_OVER_2U / mass
    quantum = 2 * math.sqrt(A * k)  # E_v = (2v + 1) sqrt(A k)
    levels = curve.levels(grid=(Re - 0.9, Re + 0.9, 4001), v=range(6), tol=1e-8)
    expected = quantum * (levels["v"] + 0.5)
    # Numerov's error is of order h^4 E^3/A^2 ~ 1e-7 cm-1 here (h = 4.5e-4 Å, E <= 5000 cm-1);
    # 1e-5 cm-1 leaves room and is far below the 1e-2 a wrong mass or constant would cause.
    np.testing.assert_allclose(levels["E"], expected, rtol=0, atol=1e-5)
    assert list(levels["node"]) == list(range(6))
    assert levels["converged"].all()


def test_morse_levels():
    De, a, Re, mass = 5000.0, 1.0, 3.0, 10.0
    R = np.linspace(1.6, 6.6, 500)  # the table holds at most 500 points
    U = De * (1 - np.exp(-a * (R - Re))) ** 2
    curve = velk.Curve.points(R, U, mass)
    A = HBAR2_OVER_2U / mass
    levels = curve.levels(grid=(1.7, 6.5, 8001), v=range(8), tol=1e-8)
    n = levels["v"] + 0.5
    expected = 2 * a * math.sqrt(A * De) * n - a * a * A * n ** 2
    # The natural spline of a 0.01 Å table misses the Morse curve by about
    # (5/384) h^4 max|V4| ~ 1e-6 cm-1 (V4, the fourth derivative, is at most 16 a^4 De), and
    # Numerov's error on this grid is of the same order (about 1e-6 cm-1 is seen); the spline's
    # end conditions act only near the table's ends, far outside the turning points of v <= 7.
    # 1e-5 cm-1 bounds both; a wrong mass or constant would move the levels by more than 1e-2.
    np.testing.assert_allclose(levels["E"], expected, rtol=0, atol=1e-5)


def test_levels_as_pandas_frame(na2x):
    pandas = pytest.importorskip("pandas")
    levels = na2x.levels(grid=GRID, v=range(3), J=range(2))
    frame = pandas.DataFrame(levels)
    assert list(frame.columns) == ["v", "J", "p", "E", "node", "tunnel", "converged"]
    assert frame["E"].tolist() == levels["E"].tolist()


def test_fast_levels_are_those_velk_fast_writes(tmp_path, na2x):
    # The same fast search as velk --fast, so the same printed table; and within the tolerance
    # (plus the printed rounding, 1e-5 cm-1) of the exact mode's energies, as the two searches
    # converge to tol on the same grid and curve.
    ranges = dict(v=(0, 30), J=(0, 4))
    files = {"na2x.pot": example_text("na2-x-analytic/na2x.pot")}
    binary = run_binary(tmp_path, files, GRID, options=("--fast",), **ranges)
    assert binary.returncode == 0, binary.stdout
    fast = na2x.levels(grid=GRID, v=range(31), J=range(5), mode="fast", tol=1e-6)
    assert printed(fast) == binary.levels()
    exact = na2x.levels(grid=GRID, v=range(31), J=range(5), tol=1e-6)
    assert [tuple(l[["v", "J", "p", "node"]]) for l in fast] == \
        [tuple(l[["v", "J", "p", "node"]]) for l in exact]
    np.testing.assert_allclose(fast["E"], exact["E"], rtol=0, atol=1e-6 + 1e-5)
    assert fast["converged"].all()


def test_an_unknown_mode_is_refused(na2x):
    with pytest.raises(ValueError, match="exact"):
        na2x.levels(grid=GRID, mode="quick")


def test_quantum_numbers_as_ranges_lists_and_numpy(na2x):
    grid = (1.8, 50.0, 4000)
    reference = na2x.levels(grid=grid, v=range(3), J=1)
    for v, J in [([0, 1, 2], 1), (np.arange(3), np.int64(1)), ((0, 1, 2), [1])]:
        assert same_levels(na2x.levels(grid=grid, v=v, J=J), reference)
    assert len(na2x.levels(grid=grid, v=range(0))) == 0  # an empty range asks for no level
    with pytest.raises(TypeError, match="integer"):
        na2x.levels(grid=grid, J=2.5)


def harmonic_levels(k):
    curve = harmonic_curve(k, 2.0, 7.0)  # every curve has the name points.pot
    return curve.levels(grid=(1.1, 2.9, 2001), v=range(4))["E"].tolist()


def test_forked_processes_keep_their_curves_apart():
    # Pool workers forked from this process: curves of the same name stay apart, each in its own
    # process's memory.
    import multiprocessing
    ks = [10000.0 + 1000.0 * i for i in range(16)]
    serial = [harmonic_levels(k) for k in ks]
    with multiprocessing.get_context("fork").Pool(2) as pool:
        assert pool.map(harmonic_levels, ks, chunksize=1) == serial
    assert harmonic_levels(ks[0]) == serial[0]  # the parent's folder is still there
