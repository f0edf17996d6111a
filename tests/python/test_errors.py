"""Errors: the program's messages as Python exceptions, warnings as velk.VelkWarning, and
numerical failures that raise where velk pauses."""

import signal
import subprocess
import sys
import textwrap
import time

import pytest

import velk
from conftest import BINARY, EXAMPLES, example_text, run_binary

GRID = (1.8, 50.0, 4000)


def stop_of_binary(tmp_path, files, grid, **request):
    binary = run_binary(tmp_path, files, grid, **request)
    assert binary.returncode in (1, 2), binary.stdout
    return binary


def test_missing_and_malformed_files_carry_velks_message(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    # velk on a control file that names a potential file which is not there.
    run_dir = tmp_path / "run1"
    run_binary(run_dir, {"nothere.pot": ""}, GRID)
    (run_dir / "nothere.pot").unlink()
    binary = subprocess.run([BINARY], cwd=run_dir, capture_output=True, text=True,
                            stdin=subprocess.DEVNULL)
    assert binary.returncode == 2
    with pytest.raises(velk.InputError) as missing:
        velk.Curve.from_file("nothere.pot")
    assert str(missing.value) == binary.stdout.splitlines()[-1]

    # A word where the header holds the integer Lambda.
    lines = example_text("na2-x-analytic/na2x.pot").splitlines(keepends=True)
    lines[2] = "one\n"
    binary = stop_of_binary(tmp_path / "run2", {"bad.pot": "".join(lines)}, GRID)
    assert binary.returncode == 2
    (tmp_path / "bad.pot").write_text("".join(lines))
    with pytest.raises(velk.InputError) as malformed:
        velk.Curve.from_file("bad.pot")
    assert str(malformed.value) == binary.last_line()
    assert isinstance(malformed.value, velk.VelkError)


@pytest.mark.parametrize("grid, request_, expected", [
    ((1.8, 50.0, 1), {}, "the radial grid needs at least 2 points"),
    ((50.0, 1.8, 100), {}, "0 < Rmin < Rmax"),
    ((1.8, 50.0, 50001), {}, "number of points must be less than 50000"),
    (GRID, {"mass_index": 6}, "the mass index must lie in 1..5"),
    (GRID, {"J": (46341, 46341)}, "J = 46341"),
])
def test_request_stops_are_velks(tmp_path, na2x, grid, request_, expected):
    binary = stop_of_binary(tmp_path, {"na2x.pot": example_text("na2-x-analytic/na2x.pot")},
                            grid, **request_)
    assert expected in binary.last_line()
    kwargs = {k: (range(v[0], v[1] + 1) if isinstance(v, tuple) else v)
              for k, v in request_.items()}
    with pytest.raises(velk.StopRun) as stop:
        na2x.levels(grid=grid, **kwargs)
    assert str(stop.value) == binary.last_line()


def test_no_well_stops_with_velks_warning(tmp_path, na2x):
    # Beyond 6 Å the curve only rises towards its asymptote: no minimum on the grid.
    grid = (6.0, 50.0, 2000)
    binary = stop_of_binary(tmp_path, {"na2x.pot": example_text("na2-x-analytic/na2x.pot")}, grid)
    assert binary.last_line() == "Umin >  Umax"
    with pytest.warns(velk.VelkWarning) as warned, pytest.raises(velk.StopRun) as stop:
        na2x.levels(grid=grid)
    assert str(stop.value) == "Umin >  Umax"
    # velk names the state "A" of its control file; the module's curve has no state letter.
    expected = binary.stderr.splitlines()[0].removeprefix("velk: warning: ")
    assert str(warned[0].message) == expected.replace("state A (", "state (")


def singular_fit_files():
    # A fit window (12, 12.001) Å narrower than the grid's step holds no fit point: the normal
    # matrix of the three fitted coefficients is singular.
    text = example_text("na2-x-points-ext/na2xext.pot").replace(
        "12.0 19.5 0.0 ", "12.0 12.001 0.0")
    return {"singular.pot": text}


def test_numerical_failure_raises(tmp_path):
    files = singular_fit_files()
    binary = run_binary(tmp_path, files, GRID)
    # velk pauses on the failure (standard input at its end lets it go on)
    assert "singular matrix in gaussj" in binary.stdout.splitlines()
    curve = velk.Curve.from_file(tmp_path / "singular.pot")
    with pytest.raises(velk.NumericalFailure, match="^singular matrix in gaussj$"):
        curve.levels(grid=GRID)


def test_run_never_waits_for_input(tmp_path):
    # velk.run in an interpreter whose standard input stays open: a pause would wait for it.
    run_binary(tmp_path, singular_fit_files(), GRID)
    script = textwrap.dedent(f"""
        import velk
        try:
            velk.run({str(tmp_path)!r})
        except velk.NumericalFailure as failure:
            print("raised:", failure)
    """)
    done = subprocess.run([sys.executable, "-c", script], stdin=subprocess.PIPE,
                          capture_output=True, text=True, timeout=60)
    assert done.stdout.strip() == "raised: singular matrix in gaussj", done.stderr


def test_run_errors(tmp_path):
    with pytest.raises(NotADirectoryError):
        velk.run(tmp_path / "absent")
    binary = subprocess.run([BINARY], cwd=tmp_path, capture_output=True,
                            text=True, stdin=subprocess.DEVNULL)
    assert binary.returncode == 2
    with pytest.raises(velk.InputError) as error:
        velk.run(tmp_path)
    assert str(error.value) == binary.stdout.splitlines()[-1]


def test_argument_errors(na2x):
    with pytest.raises(ValueError, match="consecutive"):
        na2x.levels(grid=GRID, v=[0, 2])
    with pytest.raises(ValueError, match="same length"):
        velk.Curve.points([1.0, 2.0], [1.0], 7.0)
    with pytest.raises(ValueError, match="plain file name"):
        velk.Curve.points([1.0, 2.0], [1.0, 2.0], 7.0, name="../x.pot")
    with pytest.raises(velk.StopRun, match="reduced mass 1 must be positive"):
        na2x.wavefunction(0.0, 0, 0, grid=GRID)


def test_interrupt_ends_a_long_table():
    # A table of a few thousand levels takes minutes; Ctrl-C must end it between two levels.
    script = textwrap.dedent(f"""
        import velk
        curve = velk.Curve.from_file({str(EXAMPLES / "na2-x-analytic" / "na2x.pot")!r})
        print("start", flush=True)
        try:
            curve.levels(grid=(1.8, 50.0, 50000), v=range(60), J=range(100))
        except KeyboardInterrupt:
            print("interrupted", flush=True)
    """)
    child = subprocess.Popen([sys.executable, "-c", script], stdout=subprocess.PIPE, text=True)
    try:
        assert child.stdout.readline().strip() == "start"
        time.sleep(1.0)
        child.send_signal(signal.SIGINT)
        out, _ = child.communicate(timeout=30)
        assert out.strip() == "interrupted"
    finally:
        child.kill()
        child.wait()
