"""Curves from files, arrays and parameters: evaluation against the builders' tabulation and
closed forms, wave functions against the harmonic oscillator's."""

import math

import numpy as np
import pytest

import velk
from conftest import EXAMPLES, example_text

HBAR2_OVER_2U = 16.85763130530976  # velk's hbar^2/(2u), cm-1 Å^2


@pytest.mark.parametrize("example, grid", [
    ("na2-x-analytic/na2x.pot", (1.8, 50.0, 3001)),
    ("na2-x-mlj/na2xmlj.pot", (2.2, 50.0, 3001)),
    ("na2-x-points/na2xpts.pot", (1.9, 20.0, 3001)),
    ("na2-x-points-ext/na2xext.pot", (1.8, 50.0, 3001)),
    ("na2-x-points-exch/na2xexch.pot", (1.8, 50.0, 3001)),
])
def test_curve_at_grid_points_is_the_builders_table(example, grid):
    # curve(R) computes each value by the builder's own formula at R: at the grid's radii it
    # must be the builder's table to the last bit, the extension fit's splice included.
    curve = velk.Curve.from_file(EXAMPLES / example)
    R, U = curve.tabulate(grid)
    assert len(R) == grid[2] and R[0] == grid[0]
    assert np.array_equal(curve(R, grid=grid), U)


def test_mlj_against_its_formula():
    Re, beta, De, p, Cp, delta, Rx = 3.0, [-1.0, 0.5, 0.2], 6000.0, 6, 7.5e6, 1.5, 9.5
    curve = velk.Curve.mlj(Re, beta, De, p, Cp, delta, Rx, 11.5)
    R = np.linspace(2.5, 30.0, 200)
    y = (R - Re) / (R + Re)
    betainf = math.log(2 * De * Re ** p / Cp)
    f = 1 / (1 + np.exp(delta * (R - Rx)))
    b = (np.polyval(beta[::-1], y) - betainf) * f + betainf
    expected = De * (1 - (Re / R) ** p * np.exp(-b * y)) ** 2
    # The same formula summed in another order (numpy's polyval, powers by pow): a few ulp.
    np.testing.assert_allclose(curve(R), expected, rtol=1e-12)
    assert curve(Re) == 0.0  # y = 0 and (Re/R)^p = 1 exactly at the minimum


def test_points_spline_and_shapes():
    k, Re = 20000.0, 2.0
    R = np.linspace(1.0, 3.0, 21)
    curve = velk.Curve.points(R, k * (R - Re) ** 2, 7.0, y2first=2 * k, y2last=2 * k)
    # The clamped spline of a parabola is the parabola (rounding aside).
    x = np.linspace(1.05, 2.95, 77)
    np.testing.assert_allclose(curve(x), k * (x - Re) ** 2, rtol=0, atol=1e-8)
    assert isinstance(curve(2.5), float)
    assert curve(np.ones((2, 3)) * 2.5).shape == (2, 3)
    assert curve.representation == "pointwise" and curve.masses == (7.0, 0, 0, 0, 0)
    assert velk.Curve.from_file(EXAMPLES / "na2-x-mlj/na2xmlj.pot").representation == "mlj"


def test_extension_needs_its_grid():
    curve = velk.Curve.from_file(EXAMPLES / "na2-x-points-ext/na2xext.pot")
    with pytest.raises(ValueError, match="grid"):
        curve(30.0)


@pytest.mark.parametrize("example, exchange", [
    ("na2-x-points-ext/na2xext.pot", None),
    ("na2-x-points-exch/na2xexch.pot", (-0.40485835e5, 4.59105, 2.36594)),
])
def test_points_extension_options_give_the_file(tmp_path, example, exchange):
    # The extension blocks of the two example files (fit window 12-19.5 Å, asymptote held,
    # C6, C8, C10 and the exchange amplitude fitted) given as options must give their curves.
    lines = example_text(example).splitlines()
    count = int(lines[0].split()[0])
    table = np.array([[float(x) for x in line.split()[:2]] for line in lines[10:10 + count]])
    fit = (6, 8, 10) + (("exchange",) if exchange else ())
    curve = velk.Curve.points(
        table[:, 0], table[:, 1], [float(x) for x in lines[1].split()[:5]],
        y2first=float(lines[8].split()[0]), y2last=float(lines[9].split()[0]),
        Rfit=(12.0, 19.5), asymptote=6022.04193,
        C={6: 0.75186131e7, 8: 0.1686430e9, 10: 0.3081961e10}, exchange=exchange, fit=fit)
    reference = velk.Curve.from_file(EXAMPLES / example)
    grid = (1.8, 50.0, 3001)
    assert np.array_equal(curve.tabulate(grid)[1], reference.tabulate(grid)[1])
    curve.save(tmp_path / "saved.pot")
    assert velk.Curve.from_file(tmp_path / "saved.pot").text == curve.text
    with pytest.raises(ValueError, match="fit"):
        velk.Curve.points(table[:, 0], table[:, 1], 11.5, Rfit=(12.0, 19.5), C={6: 1e7},
                          fit=(8,))


def test_harmonic_wave_functions():
    k, Re, mass = 20000.0, 2.0, 7.0
    R = np.linspace(Re - 1.0, Re + 1.0, 401)
    curve = velk.Curve.points(R, k * (R - Re) ** 2, mass, y2first=2 * k, y2last=2 * k)
    alpha = math.sqrt(k * mass / HBAR2_OVER_2U)  # psi_0 ~ exp(-alpha x^2 / 2)
    grid = (Re - 0.9, Re + 0.9, 4001)
    R, psi0 = curve.wavefunction(mass, 0, 0, grid=grid)
    _, psi1 = curve.wavefunction(mass, 1, 0, grid=grid)
    x = R - Re
    norm = (alpha / math.pi) ** 0.25
    # Numerov's local error h^6 and the grid sum for the norm (exact to rounding for a Gaussian
    # that has died out at both ends) leave about 1e-8 of a peak of 2.3; 1e-6 bounds it.
    np.testing.assert_allclose(psi0, norm * np.exp(-alpha * x * x / 2), rtol=0, atol=1e-6)
    # psi_1 is odd: positive at the inner end, where x < 0.
    np.testing.assert_allclose(psi1, -norm * math.sqrt(2 * alpha) * x * np.exp(-alpha * x * x / 2),
                               rtol=0, atol=1e-6)


def test_wave_function_nodes_and_norm(na2x):
    grid = (2.2, 12.0, 4000)
    for v in (0, 3, 10):
        R, psi = na2x.wavefunction(na2x.masses[0], v, 5, grid=grid)
        significant = psi[np.abs(psi) > 1e-6 * np.abs(psi).max()]
        assert np.count_nonzero(np.diff(np.sign(significant)) != 0) == v
        assert math.isclose(np.sum(psi ** 2) * (R[1] - R[0]), 1.0, rel_tol=1e-12)
        assert psi[np.argmax(np.abs(psi) > 1e-3 * np.abs(psi).max())] > 0


def node_count(psi):
    """Sign changes of psi where it is not negligible (the tails' rounding noise left out)."""
    significant = psi[np.abs(psi) > 1e-6 * np.abs(psi).max()]
    return int(np.count_nonzero(np.diff(np.sign(significant)) != 0))


@pytest.fixture(scope="module")
def co_morse():
    # A Morse curve of CO X (omega_e = 2169.8, omega_e x_e = 13.29 cm-1, Re = 1.128 Å, Huber and
    # Herzberg), mass 6.856 u. On the grid 0.8-2.6 Å it holds 61 levels at J = 0, v = 0..60: the
    # level table gives them, and the count of sign changes below the grid end's energy agrees.
    we, wexe, Re, mass = 2169.8, 13.29, 1.128, 6.856
    De = we * we / (4 * wexe)
    a = we / (2 * math.sqrt(De * HBAR2_OVER_2U / mass))
    R = np.linspace(0.7, 2.7, 401)
    return velk.Curve.points(R, De * (1 - np.exp(-a * (R - Re))) ** 2, mass), mass


@pytest.mark.parametrize("v", [0, 10, 59, 60])
def test_wave_function_asked_by_v_has_v_nodes(co_morse, v):
    curve, mass = co_morse
    _, psi = curve.wavefunction(mass, v, 0, grid=(0.8, 2.6, 2000))
    assert node_count(psi) == v


@pytest.mark.parametrize("v", [61, 62, 300])
def test_wave_function_beyond_the_last_level_is_refused(co_morse, v):
    # The search for such a v ends on the top level, v = 60; handing its wave function back as v
    # would be a wrong answer without a sign.
    curve, mass = co_morse
    with pytest.raises(ValueError, match=f"v: points.pot has 61 levels v=0..60 at J=0 on this "
                                         f"grid, v={v} asked for"):
        curve.wavefunction(mass, v, 0, grid=(0.8, 2.6, 2000))
