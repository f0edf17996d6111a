"""The module as a library: curves read once, no files or working directory touched by a
computation, and the interpreter lock released while the core solves."""

import os
import shutil
import threading
import time

import numpy as np
import pytest

import velk
from conftest import EXAMPLES

def lennard_jones_table(De, Re, mass):
    """A 12-6 curve of depth De (cm-1) at Re (Å) as a table of points, 2 to 21.9 Å."""
    R = [2.0 + 0.05 * i for i in range(399)]
    head = [str(len(R)), " ".join([repr(mass)] * 5), "0", "0.0", "0.0", "Lennard-Jones", "table",
            "PW", "0.0", "0.0"]
    points = ["%r %r" % (r, De * ((Re / r) ** 12 - 2 * (Re / r) ** 6) + De) for r in R]
    return "\n".join(head + points + ["n"]) + "\n"


def test_a_curve_from_another_folder_solves_levels_the_fast_search_leaves(tmp_path, monkeypatch):
    # Near the top of this well at J = 30 the fast search leaves levels to the exact search,
    # whose toadd needs the curve once more: the curve read at from_file serves it, whatever the
    # working directory is by then.
    curves, elsewhere = tmp_path / "curves", tmp_path / "elsewhere"
    curves.mkdir()
    elsewhere.mkdir()
    (curves / "lj.pot").write_text(lennard_jones_table(800.0, 3.5, 10.0))
    monkeypatch.chdir(elsewhere)
    X = velk.Curve.from_file(curves / "lj.pot")
    request = dict(grid=(2.3, 20.0, 20000), v=range(13), J=30, tol=1e-9)
    rows = velk.properties(X, **request)
    assert rows["found"].any()
    assert os.listdir(elsewhere) == [] and os.listdir(curves) == ["lj.pot"]
    # The same numbers as from the curve's own folder.
    monkeypatch.chdir(curves)
    again = velk.properties(velk.Curve.from_file("lj.pot"), **request)
    for name in rows.dtype.names:
        np.testing.assert_array_equal(again[name], rows[name])


def solve(curve):
    return curve.levels(grid=(2.2, 12.0, 20000), v=range(30), J=range(0, 4))


@pytest.fixture(scope="module")
def two_curves(tmp_path_factory):
    folder = tmp_path_factory.mktemp("curves")
    for name in ("a.pot", "b.pot"):
        shutil.copy(EXAMPLES / "na2-x-mlj" / "na2xmlj.pot", folder / name)
    return velk.Curve.from_file(folder / "a.pot"), velk.Curve.from_file(folder / "b.pot")


def test_another_thread_runs_while_a_solve_runs(two_curves):
    # Holding the lock, the solve would let the spinning thread in only between Python
    # instructions of the solving thread, a handful of times in all.
    done = threading.Event()
    worker = threading.Thread(target=lambda: (solve(two_curves[0]), done.set()))
    spins = 0
    worker.start()
    while not done.is_set():
        spins += 1
    worker.join()
    assert spins > 100000


@pytest.mark.skipif((os.cpu_count() or 1) < 2, reason="one core")
def test_two_threads_solve_two_curves_on_two_cores(two_curves):
    if os.getloadavg()[0] > (os.cpu_count() or 1) - 1:
        pytest.skip("the machine is busy: wall times say nothing of the cores in use")
    a, b = two_curves
    reference = (solve(a), solve(b))
    ratios = []
    for _ in range(3):
        start = time.perf_counter()
        solve(a)
        solve(b)
        serial = time.perf_counter() - start
        results = [None, None]
        threads = [threading.Thread(target=lambda i=i, c=c: results.__setitem__(i, solve(c)))
                   for i, c in enumerate((a, b))]
        start = time.perf_counter()
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        ratios.append((time.perf_counter() - start) / serial)
        for got, expected in zip(results, reference):
            for name in expected.dtype.names:
                np.testing.assert_array_equal(got[name], expected[name])
    assert min(ratios) < 0.8, ratios
