"""velk.fit: the fit of velk-fit by the same library call: the same files, byte for byte, the same
numbers in the arrays as in those files, and the same refusals with the same messages."""
import csv
import os
import pathlib
import shutil
import subprocess

import numpy as np
import pytest

import velk
from conftest import BINARY, EXAMPLES

FIT_BINARY = pathlib.Path(BINARY).with_name("velk-fit")
GRID = (2.3, 12.0, 4000)
COLUMNS = ("upper_state,upper_v,upper_J,upper_p,lower_state,lower_v,lower_J,lower_p,wavenumber,"
           "uncertainty,mass_index,series")
FREE = ["A:beta0-beta2", "A:De"]
SERIES = "B3_J12_progression_into_X"  # longer than any parameter name of a form
CONTROL = """\
velk.fit test: Na2 X as an MLJ curve in both states
na2xmlj.pot
p
1
na2xmlj.pot
p
1
grid
{0} {1} {2}
{0} {1} {2}
60
1e-07
n
level table
n
1
0 0 0 0 1 1
one-level
n
0 0 1
0 0 1 1
known-level
n
1
0 0 1 0.0
0 0 1 1
window
n
0.0 1.0
0 0 0 0 0 0
0 0 1
LIF
n
""".format(*GRID)


def states_folder(directory):
    directory.mkdir(parents=True, exist_ok=True)
    shutil.copy(EXAMPLES / "na2-x-mlj" / "na2xmlj.pot", directory / "na2xmlj.pot")
    (directory / "velk.inf").write_text(CONTROL)
    return directory


def data_rows():
    """Term values of v = 0..8 and a fluorescence series into v'' = 0..6, J'' = 11, from the
    curve with seeded noise of the stated 0.001 cm-1."""
    curve = velk.Curve.from_file(EXAMPLES / "na2-x-mlj" / "na2xmlj.pot")
    random = np.random.default_rng(7)
    rows = []
    for J in (0, 10, 20):
        levels = curve.levels(GRID, v=range(0, 9), J=J, tol=1e-7)
        for level in levels:
            E = float(level["E"]) + 0.001 * random.standard_normal()
            rows.append(["A", int(level["v"]), J, 1, "-", None, None, None, round(E, 6), 0.001,
                         None, None])
    for level in curve.levels(GRID, v=range(0, 7), J=11, tol=1e-7):
        nu = 20000.0 - float(level["E"]) + 0.001 * random.standard_normal()
        rows.append(["B", 3, 12, 1, "A", int(level["v"]), 11, 1, round(nu, 6), 0.001, None,
                     SERIES])
    return rows


def csv_text(rows):
    field = lambda x: "" if x is None else str(x)
    return COLUMNS + "\n" + "".join(",".join(map(field, row)) + "\n" for row in rows)


def run_velk_fit(directory, data_name, free=FREE, options=()):
    arguments = [str(FIT_BINARY), data_name, *[a for f in free for a in ("--free", f)], *options]
    return subprocess.run(arguments, cwd=directory, capture_output=True, text=True, timeout=300)


@pytest.fixture(scope="module")
def program_and_module(tmp_path_factory):
    """velk-fit and velk.fit on the same data and states, each writing its fit/ folder."""
    base = tmp_path_factory.mktemp("fit")
    program = states_folder(base / "program")
    (program / "data.csv").write_text(csv_text(data_rows()))
    completed = run_velk_fit(program, "data.csv")
    assert completed.returncode == 0, completed.stdout
    module = states_folder(base / "module")
    # The report names the data as given: given alike, from where velk-fit ran.
    here = os.getcwd()
    os.chdir(program)
    try:
        result = velk.fit("data.csv", module, free=FREE, out=module / "fit")
    finally:
        os.chdir(here)
    return program / "fit", module / "fit", result


def test_the_files_are_velk_fits_byte_for_byte(program_and_module):
    program, module, result = program_and_module
    names = sorted(p.name for p in program.iterdir())
    assert names == sorted(result.files) == sorted(p.name for p in module.iterdir())
    for name in names:
        assert (module / name).read_bytes() == (program / name).read_bytes(), name
        assert result.files[name] == module / name


def test_the_arrays_hold_the_files_numbers(program_and_module):
    program, _, result = program_and_module
    with open(program / "fit_parameters.csv", newline="") as f:
        lines = f.read().splitlines()[1:]
    assert len(result.parameters) == len(lines)
    for p, line in zip(result.parameters, lines):
        # A Dunham name has commas of its own; the other fields count from the ends.
        state, rest = line.split(",", 1)
        name, start, value, uncertainty, free = rest.rsplit(",", 4)
        assert (p["state"], p["name"], p["free"]) == (state, name, free == "y")
        assert p["start"] == float(start) and p["value"] == float(value)
        if free == "y":
            assert p["uncertainty"] == float(uncertainty) > 0
        else:
            assert np.isnan(p["uncertainty"]) and uncertainty == ""
    assert [tuple(f) for f in result.free] == [("A", "beta0"), ("A", "beta1"), ("A", "beta2"),
                                               ("A", "De"), ("series", SERIES)]
    report = (program / "fit_report.txt").read_text().splitlines()
    sigma_line = next(l for l in report if l.startswith("dimensionless standard deviation: "))
    assert result.sigma == float(sigma_line.split(": ")[1])
    assert f"iterations: {result.iterations}, level computations: {result.evaluations}" in report
    # The noise is of the stated size: the fit finds it so.
    assert 0.5 < result.sigma < 1.6 and not result.linear
    with open(program / "fit_residuals.csv", newline="") as f:
        residuals = list(csv.DictReader(f))
    assert len(residuals) == len(result.residuals)
    for r, row in zip(result.residuals, residuals):
        assert f"{r['calc']:.6f}" == row["calc"]
        assert f"{r['obs_minus_calc']:.6f}" == row["obs_minus_calc"]
        assert f"{r['normalised']:.4f}" == row["normalised"]
    P = len(result.free)
    C = result.correlation
    assert C.shape == (P, P) and np.allclose(C, C.T) and np.allclose(np.diag(C), 1.0)
    assert np.all(np.abs(C) <= 1.0 + 1e-12)


def test_rows_in_python_fit_as_the_file_does(program_and_module, tmp_path):
    _, _, from_file = program_and_module
    states = states_folder(tmp_path)
    rows = data_rows()
    names = COLUMNS.split(",")
    # Sequences and mappings mixed; a mapping may leave empty columns out.
    given = [row if k % 2 else {n: x for n, x in zip(names, row) if x is not None}
             for k, row in enumerate(rows)]
    result = velk.fit(given, states, free=FREE)
    assert result.files == {}
    assert not (states / "fit").exists()
    for name in ("start", "value", "uncertainty"):
        assert np.array_equal(result.parameters[name], from_file.parameters[name], equal_nan=True)
    assert result.sigma == from_file.sigma
    assert np.array_equal(result.residuals, from_file.residuals)


def bad_data(rows):
    """The cases velk-fit refuses (status 2, nothing written), each as its data and --free."""
    rows = [list(r) for r in rows]
    zero = [r[:] for r in rows]
    zero[3][9] = 0.0
    beyond = [r[:] for r in rows]
    beyond[5][1] = 200
    return {
        "uncertainty 0": (zero, FREE),
        "level beyond the last": (beyond, FREE),
        "name the form lacks": (rows, ["A:gamma1"]),
        "named twice": (rows, ["A:De", "A:De"]),
        "fewer data than parameters": (rows[:4], ["A:beta0-beta5"]),
    }


@pytest.mark.parametrize("case", list(bad_data([[0] * 12] * 6)))
def test_the_same_refusals_with_the_same_messages(case, tmp_path, monkeypatch):
    rows, free = bad_data(data_rows())[case]
    folder = states_folder(tmp_path)
    (folder / "data.csv").write_text(csv_text(rows))
    completed = run_velk_fit(folder, "data.csv", free)
    assert completed.returncode == 2, completed.stdout
    monkeypatch.chdir(folder)
    with pytest.raises(velk.InputError) as raised:
        velk.fit("data.csv", ".", free=free, out="fit")
    assert str(raised.value) == completed.stdout.splitlines()[-1]
    assert not (folder / "fit").exists()


def test_no_convergence_is_the_programs_stop(tmp_path, monkeypatch):
    folder = states_folder(tmp_path)
    (folder / "data.csv").write_text(csv_text(data_rows()))
    completed = run_velk_fit(folder, "data.csv", options=("--max-iterations", "1"))
    assert completed.returncode == 1, completed.stdout
    monkeypatch.chdir(folder)
    with pytest.raises(velk.StopRun) as raised:
        velk.fit("data.csv", "velk.inf", free=FREE, max_iterations=1, out="fit")
    assert str(raised.value) == completed.stdout.splitlines()[-1]
    assert str(raised.value).startswith("velk-fit: no convergence within 1 iterations")
    assert not (folder / "fit").exists()


@pytest.mark.parametrize("arguments, error, message", [
    (dict(data=[["A", 0, 0, 1, "-"]]), ValueError, "data: row 0: 12 fields, found 5"),
    (dict(data=[{"upper": "A"}]), ValueError, "data: row 0: no column named 'upper'"),
    (dict(data=[["A,B"] + [None] * 11]), ValueError, "data: row 0, upper_state: no comma"),
    (dict(data=[[True] + [None] * 11]), TypeError, "data: row 0, upper_state: expected"),
    (dict(free=[]), ValueError, "free: name the free parameters, found none"),
    (dict(free=["A:De", 3]), TypeError, "free: expected"),
    (dict(max_iterations=0), ValueError, "max_iterations: must be at least 1, found 0"),
])
def test_arguments_are_refused_at_the_call(tmp_path, arguments, error, message):
    call = dict(data=[], states=tmp_path, free="A:De")
    call.update(arguments)
    with pytest.raises(error) as raised:
        velk.fit(**call)
    assert str(raised.value).startswith(message)


def test_a_linear_dunham_fit_is_the_programs(tmp_path, monkeypatch):
    """Dunham names hold commas; a fit of Dunham constants alone is one least-squares step."""
    folder = states_folder(tmp_path)
    shutil.copy(EXAMPLES / "na2-absorb" / "na2a.dun", folder / "na2a.dun")
    control = CONTROL.splitlines(keepends=True)
    control[4:6] = ["na2a.dun\n", "d\n"]
    (folder / "velk.inf").write_text("".join(control))
    random = np.random.default_rng(11)
    rows = []
    for J in (0, 10, 20):
        for v in range(6):
            E = velk.dunham.terms(folder / "na2a.dun", v, J) + 0.01 * random.standard_normal()
            rows.append(["B", v, J, 1, "-", None, None, None, round(float(E), 6), 0.01, None,
                         None])
    (folder / "data.csv").write_text(csv_text(rows))
    free = ["B:Y(1,0),Y(2,0),Y(0,1)"]
    completed = run_velk_fit(folder, "data.csv", free, options=("--out", "program"))
    assert completed.returncode == 0, completed.stdout
    monkeypatch.chdir(folder)
    result = velk.fit("data.csv", ".", free=free, out="module")
    assert result.linear and result.iterations == 1
    assert [tuple(f) for f in result.free] == [("B", "Y(1,0)"), ("B", "Y(2,0)"), ("B", "Y(0,1)")]
    for name in result.files:
        assert (folder / "module" / name).read_bytes() == (folder / "program" / name).read_bytes()
    fitted = result.parameters[result.parameters["free"]]
    assert sorted(fitted["name"]) == ["Y(0,1)", "Y(1,0)", "Y(2,0)"]
    # 0.01 cm-1 of noise against constants of 117 and 0.11 cm-1: back within a few uncertainties.
    truth = {"Y(1,0)": 117.323, "Y(2,0)": -0.3576, "Y(0,1)": 0.110784}
    for p in fitted:
        assert abs(p["value"] - truth[p["name"]]) < 4 * p["uncertainty"]
