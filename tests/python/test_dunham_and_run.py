"""velk.dunham.terms and velk.run against the binary and the Dunham sum written out."""

import os
import pathlib
import shutil
import subprocess
import sys
import time

import numpy as np
import pytest

import velk
from conftest import BINARY, EXAMPLES, example_text, run_binary


def test_terms_from_a_file_are_those_velk_writes(tmp_path):
    binary = run_binary(tmp_path, {"cox.dun": example_text("co-levels/cox.dun")}, (1, 2, 2),
                        v=(0, 6), J=(0, 4), kind="d")
    assert binary.returncode == 0, binary.stdout
    rows = [(int(l[5:9]), int(l[9:13]), l[13:28])
            for l in (tmp_path / "Astate.dat").read_text().splitlines()[6:]]
    v = np.array([r[0] for r in rows])
    J = np.array([r[1] for r in rows])
    E = velk.dunham.terms(EXAMPLES / "co-levels/cox.dun", v, J, 1)
    assert [f"{e:15.6f}" for e in E] == [r[2] for r in rows]


def test_terms_from_a_table_are_the_dunham_sum():
    Y = np.zeros((7, 4))
    lines = [line.split()[0] for line in example_text("co-levels/cox.dun").splitlines()]
    # cox.dun: the columns l = 0..3 hold 7, 4, 3 and 2 coefficients after their counts.
    at = 4
    for l, n in enumerate((7, 4, 3, 2)):
        Y[:n, l] = [float(x) for x in lines[at:at + n]]
        at += n + 1
    v, J = np.meshgrid(np.arange(7), np.arange(0, 60, 7))
    E = velk.dunham.terms(Y, v, J)
    assert E.shape == v.shape
    assert np.array_equal(E, velk.dunham.terms(EXAMPLES / "co-levels/cox.dun", v, J))
    u, x = v + 0.5, (J * (J + 1)).astype(float)
    expected = sum(Y[k, l] * u ** k * x ** l for k in range(7) for l in range(4))
    # The same sum in another order: rounding of terms up to 1e5 cm-1, about 1e-11 cm-1.
    np.testing.assert_allclose(E, expected, rtol=1e-13, atol=1e-9)
    assert isinstance(velk.dunham.terms(Y, 0, 0), float)


def test_band_constants_and_parity():
    band = np.loadtxt(EXAMPLES / "co-levels/coxband.dun", skiprows=4, max_rows=6,
                      usecols=range(1, 7))
    v, J = np.arange(6), 7
    from_table = velk.dunham.terms(band, v, J, form="band")
    assert np.array_equal(from_table, velk.dunham.terms(EXAMPLES / "co-levels/coxband.dun", v, J))
    x = J * (J + 1.0)
    # T + B x - D x^2 + H x^3 summed in another order.
    np.testing.assert_allclose(
        from_table, band[:, 0] + band[:, 1] * x - band[:, 2] * x**2 + band[:, 3] * x**3,
        rtol=1e-14)
    # The parity splitting J(J+1) q0 for p != 1, q held in single precision as velk holds it.
    q0 = 1e-3
    split = velk.dunham.terms(band, v, J, p=2, form="band", q=[q0]) - from_table
    np.testing.assert_allclose(split, x * float(np.float32(q0)), rtol=1e-9)
    with pytest.raises(ValueError, match="0..50"):
        velk.dunham.terms(band, 51, 0, form="band")


# Prints the working directory of process argv[1] with the time, every millisecond, until the
# file argv[3] exists; argv[2] is made once it has started.
CWD_WATCH = """
import os, pathlib, sys, time
pid, started, stop = sys.argv[1:]
pathlib.Path(started).touch()
while not os.path.exists(stop):
    print(time.monotonic(), os.readlink(f"/proc/{pid}/cwd"))
    time.sleep(0.001)
"""


def test_run_writes_what_velk_writes_without_moving_the_working_directory(tmp_path, monkeypatch):
    module_dir, binary_dir, cwd = tmp_path / "module", tmp_path / "binary", tmp_path / "cwd"
    shutil.copytree(EXAMPLES / "na2-absorb-fcf", module_dir)
    shutil.copytree(EXAMPLES / "na2-absorb-fcf", binary_dir)
    binary = subprocess.run([BINARY], cwd=binary_dir,
                            stdin=subprocess.DEVNULL, capture_output=True)
    assert binary.returncode == 0
    cwd.mkdir()
    monkeypatch.chdir(cwd)
    # The interpreter lock is held during the run (a fifth of a second), so the working directory
    # is watched from another process.
    started, stop = tmp_path / "started", tmp_path / "stop"
    watch = subprocess.Popen([sys.executable, "-c", CWD_WATCH, str(os.getpid()), started, stop],
                             stdout=subprocess.PIPE, text=True)
    while not started.exists():
        time.sleep(0.001)
    begin = time.monotonic()
    written = velk.run(pathlib.Path("..") / "module")
    end = time.monotonic()
    stop.touch()
    samples = [line.split(" ", 1) for line in watch.communicate()[0].splitlines()]
    during = {where for when, where in samples if begin <= float(when) <= end}
    assert during == {str(cwd.resolve())}
    assert os.getcwd() == str(cwd.resolve()) and list(cwd.iterdir()) == []
    example = EXAMPLES / "na2-absorb-fcf"
    new = sorted(p.name for p in binary_dir.iterdir() if not (example / p.name).exists())
    assert sorted(written) == new and "vel_tran.out" in written
    for name, path in written.items():
        assert path.parent.resolve() == module_dir.resolve()
        assert path.read_bytes() == (binary_dir / name).read_bytes(), name
