"""The module as Python tools see it: type stubs that match the extension, the version, and every
argument refused at the call with its name."""

import ast
import errno
import importlib
import os
import pathlib
import signal
import subprocess
import sys
import textwrap

import numpy as np
import pytest

import velk
from conftest import BINARY, EXAMPLES

PACKAGE = pathlib.Path(velk.__file__).parent
GRID = (1.8, 50.0, 4000)


def stub_tree(name):
    return ast.parse((PACKAGE / name).read_text())


def signature_parts(function):
    """(name, kind, annotation, default) of each parameter, and the return annotation, as text."""
    args = function.args
    defaults = [None] * (len(args.args) - len(args.defaults)) + list(args.defaults)
    text = lambda node: None if node is None else ast.unparse(node).replace("velk.", "")
    parts = [(a.arg, "positional", text(a.annotation), text(d))
             for a, d in zip(args.args, defaults) if a.arg not in ("self", "arg0")]
    parts += [(a.arg, "keyword", text(a.annotation), text(d))
              for a, d in zip(args.kwonlyargs, args.kw_defaults)]
    return parts, text(function.returns)


def runtime_signature(callable_):
    """pybind11's signature, the first line of the docstring, parsed as a def."""
    line = callable_.__doc__.splitlines()[0]
    if line.startswith("("):
        line = "f" + line
    return signature_parts(ast.parse(f"def {line}: ...").body[0])


def stub_functions(tree):
    return {node.name: node for node in tree.body if isinstance(node, ast.FunctionDef)}


def stub_classes(tree):
    return {node.name: node for node in tree.body if isinstance(node, ast.ClassDef)}


def stub_names(tree):
    names = set(stub_functions(tree)) | set(stub_classes(tree))
    for node in tree.body:
        if isinstance(node, ast.AnnAssign):
            names.add(node.target.id)
        elif isinstance(node, ast.ImportFrom) and node.module is None:
            names.update(alias.asname for alias in node.names if alias.asname)
    return {name for name in names if not name.startswith("_")}


def stubbed_callables():
    """(label, stub def, runtime object) for every function and method the stubs declare."""
    tree = stub_tree("__init__.pyi")
    found = [(name, node, getattr(velk, name)) for name, node in stub_functions(tree).items()]
    found += [(f"dunham.{name}", node, getattr(velk.dunham, name))
              for name, node in stub_functions(stub_tree("dunham.pyi")).items()]
    for node in stub_classes(tree)["Curve"].body:
        if isinstance(node, ast.FunctionDef):
            attribute = getattr(velk.Curve, node.name)
            found.append((f"Curve.{node.name}", node,
                          attribute.fget if isinstance(attribute, property) else attribute))
    return found


def test_stubs_are_installed_beside_the_extension():
    assert (PACKAGE / "py.typed").is_file()
    assert stub_names(stub_tree("__init__.pyi")) == {n for n in dir(velk) if not n.startswith("_")}
    assert "__version__" in {n.target.id for n in stub_tree("__init__.pyi").body
                              if isinstance(n, ast.AnnAssign)}
    assert set(stub_functions(stub_tree("dunham.pyi"))) == {
        n for n in dir(velk.dunham) if not n.startswith("_")}
    curve = stub_classes(stub_tree("__init__.pyi"))["Curve"]
    public = {n for n in vars(velk.Curve) if not n.startswith("_")} | {"__call__"}
    assert {n.name for n in curve.body if isinstance(n, ast.FunctionDef)} - {"__repr__"} == public


@pytest.mark.parametrize("label, stub, runtime", stubbed_callables(),
                         ids=[c[0] for c in stubbed_callables()])
def test_stub_signature_is_the_extensions(label, stub, runtime):
    assert signature_parts(stub) == runtime_signature(runtime), label


def test_exception_classes_of_the_stubs():
    for name, node in stub_classes(stub_tree("__init__.pyi")).items():
        if name not in ("Curve", "FitResult"):
            assert [ast.unparse(b) for b in node.bases] == [
                b.__name__ for b in getattr(velk, name).__bases__]
        assert getattr(velk, name).__module__ == "velk"


def test_version_is_the_programs():
    printed = subprocess.run([BINARY, "--version"], capture_output=True, text=True).stdout
    assert printed == f"velk {velk.__version__}\n"
    assert repr(velk.Curve) == "<class 'velk.Curve'>"
    # The submodule imports by its name too.
    assert importlib.import_module("velk.dunham") is velk.dunham


# Valid arguments of each stubbed callable; one at a time is replaced by a wrong kind of object.
def valid_arguments(tmp_path):
    na2x = velk.Curve.from_file(EXAMPLES / "na2-x-analytic" / "na2x.pot")
    points = dict(R=[2.0, 3.0, 4.0], U=[1.0, 0.0, 1.0], masses=7.0)
    return na2x, {
        "Curve.from_file": dict(path=EXAMPLES / "na2-x-analytic" / "na2x.pot"),
        "Curve.points": points,
        "Curve.mlj": dict(Re=3.0, beta=[0.1], De=100.0, p=6, Cp=1e5, delta=1.0, Rx=3.5,
                          masses=7.0),
        "Curve.analytic": dict(Rm=3.0, b=0.1, a=[0.0, 0.0, 1e4], wall=(1, 0.0, 0.0, 6.0),
                               Uinf=0.0, C=None, exchange=None, Ri=2.0, Ro=10.0, masses=7.0),
        "Curve.rkr": dict(source=[[0.0, 0.155], [159.0, -0.0009], [-0.7, 0.0]], masses=(23, 23),
                          v_max=10),
        "Curve.__call__": dict(R=3.0),
        "Curve.tabulate": dict(grid=GRID),
        "Curve.levels": dict(grid=GRID),
        "Curve.wavefunction": dict(mass=11.5, v=0, J=0, grid=GRID),
        "Curve.save": dict(path=tmp_path / "saved.pot"),
        "properties": dict(curve=na2x, grid=GRID),
        "franck_condon": dict(upper=na2x, lower=na2x, grid=GRID),
        "run": dict(directory=tmp_path),
        "mass": dict(name="23Na"),
        "reduced_mass": dict(name="23Na2"),
        "nuclear_spins": dict(name="23Na2"),
        "fit": dict(data=[], states=tmp_path, free="A:De"),
        "dunham.terms": dict(source=[[0.0, 1.0], [100.0, 0.0]], v=0, J=0),
    }


def wrong_kind_cases():
    for label, stub, _ in stubbed_callables():
        if "property" not in [ast.unparse(d) for d in stub.decorator_list]:
            yield from ((label, name) for name, *_ in signature_parts(stub)[0])


@pytest.mark.parametrize("label, parameter", list(wrong_kind_cases()))
def test_a_wrong_kind_of_argument_raises_a_type_error_naming_it(tmp_path, label, parameter):
    na2x, arguments = valid_arguments(tmp_path)
    method = label.startswith("Curve.") and label[6:] not in ("from_file", "points", "mlj",
                                                             "analytic", "rkr")
    target = getattr(na2x if method else velk.Curve if label.startswith("Curve.") else
                     velk.dunham if label.startswith("dunham.") else velk, label.split(".")[-1])
    call = dict(arguments[label], **{parameter: object()})
    with pytest.raises(TypeError, match=rf"^{parameter}\b.*: expected .*, found object$"):
        target(**call)


@pytest.mark.parametrize("call, error, message", [
    (lambda c: c.levels(grid=(1.8, 50.0, 2000.0)), TypeError, "grid N: expected an integer"),
    (lambda c: c.levels(grid="1.8 50.0 2000"), TypeError, "grid: expected (Rmin, Rmax, N)"),
    (lambda c: c.levels(grid=(1.8, 50.0)), ValueError, "grid: (Rmin, Rmax, N), found 2 items"),
    (lambda c: c.levels(grid=GRID, tol=0.0), ValueError, "tol: must be positive, found 0.0"),
    (lambda c: c.levels(grid=GRID, tol=float("nan")), ValueError, "tol: must be positive"),
    (lambda c: c.levels(grid=GRID, maxit=0), ValueError, "maxit: must be at least 1, found 0"),
    (lambda c: c.levels(grid=GRID, v=range(-1, 2)), ValueError, "v: must be at least 0, found -1"),
    (lambda c: c.levels(grid=GRID, J=-2), ValueError, "J: must be at least 0, found -2"),
    (lambda c: c.levels(grid=GRID, mass="7"), TypeError, "mass: expected a number, found str"),
    (lambda c: c.levels(grid=GRID, mode="slow"), ValueError, 'mode: "exact" or "fast"'),
    (lambda c: c.wavefunction(11.5, -1, 0, grid=GRID), ValueError, "v: must be at least 0"),
    (lambda c: velk.properties(c, grid=GRID, v=[0, -1]), ValueError, "v: must be at least 0"),
    (lambda c: velk.properties(c, grid=GRID, tol=-1e-6), ValueError, "tol: must be positive"),
    (lambda c: velk.franck_condon(c, c, grid=GRID, v_lower=-1), ValueError, "v_lower: must be"),
    (lambda c: velk.franck_condon(c, c, grid=GRID, maxit=0), ValueError, "maxit: must be"),
    (lambda c: velk.dunham.terms([[0.0, 1.0]], [0, -1], 0), ValueError, "v: must be at least 0"),
    (lambda c: velk.dunham.terms([[0.0, 1.0]], 0.5, 0), TypeError, "v: expected an integer"),
    (lambda c: velk.Curve.points([2.0, 1.0, 3.0], [1.0, 0.0, 1.0], 7.0), ValueError,
     "R: the radii must increase strictly, found R[1] = 1.0 after R[0] = 2.0"),
    (lambda c: velk.Curve.points(np.linspace(1.0, 20.0, 501), np.zeros(501), 7.0), ValueError,
     "R: 2 to 500 points (the capacity of a table of points), found 501"),
    (lambda c: velk.Curve.points([2.0, 3.0], [1.0, np.nan], 7.0), ValueError, "U: finite"),
    (lambda c: velk.Curve.points([2.0, 3.0], [1.0, 0.0], "7"), TypeError, "masses: expected"),
    (lambda c: velk.Curve.points([2.0, 3.0], [1.0, 0.0], 7.0, exchange=(1.0, 2.0)), ValueError,
     "exchange: (amplitude, alpha, gamma), found 2 items"),
])
def test_a_wrong_value_is_refused_at_the_call(na2x, call, error, message):
    with pytest.raises(error) as raised:
        call(na2x)
    assert str(raised.value).startswith(message)


def test_500_points_are_accepted_and_no_exchange_is_none():
    R = np.linspace(1.0, 20.0, 500)
    assert velk.Curve.points(R, (R - 3.0) ** 2, 7.0).representation == "pointwise"
    analytic = dict(Rm=3.0, b=0.1, a=[0.0, 0.0, 1e4], wall=(1, 0.0, 0.0, 6.0), Uinf=0.0,
                    C={6: 1e5}, Ri=2.0, Ro=10.0, masses=7.0)
    assert (velk.Curve.analytic(exchange=None, **analytic).text ==
            velk.Curve.analytic(exchange=(0.0, 0.0, 0.0), **analytic).text)


def test_save_replaces_the_file_whole(na2x, tmp_path):
    target = tmp_path / "x.pot"
    target.write_text("old")
    target.chmod(0o640)
    na2x.save(target)
    assert target.read_text() == na2x.text and (target.stat().st_mode & 0o777) == 0o640
    assert [p.name for p in tmp_path.iterdir()] == ["x.pot"]


@pytest.mark.parametrize("make, code", [
    (lambda p: p.mkdir(), errno.EISDIR),
    (lambda p: os.mkfifo(p), errno.EINVAL),
    (lambda p: None, None),  # in a folder that does not exist
])
def test_save_raises_os_error_with_the_path(na2x, tmp_path, make, code):
    path = tmp_path / "target" if code else tmp_path / "absent" / "x.pot"
    make(path)
    # A FIFO opened for writing waits for a reader: the alarm ends a save that blocks.
    signal.signal(signal.SIGALRM, lambda *_: pytest.fail("save blocked"))
    signal.alarm(10)
    try:
        with pytest.raises(OSError) as raised:
            na2x.save(path)
    finally:
        signal.alarm(0)
    assert raised.value.filename == str(path)
    assert raised.value.errno == (code or errno.ENOENT)


def test_a_failed_save_leaves_the_old_file(na2x, tmp_path):
    # The file size limit makes the write itself fail (EFBIG) in a child process.
    target = tmp_path / "x.pot"
    target.write_text("old")
    script = textwrap.dedent(f"""
        import errno, resource, signal, velk
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        curve = velk.Curve.from_file({str(EXAMPLES / "na2-x-analytic" / "na2x.pot")!r})
        resource.setrlimit(resource.RLIMIT_FSIZE, (64, 64))
        try:
            curve.save({str(target)!r})
        except OSError as error:
            print(errno.errorcode[error.errno], error.filename)
    """)
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                          timeout=60)
    assert done.stdout == f"EFBIG {target}\n", done.stderr
    assert target.read_text() == "old"
    assert [p.name for p in tmp_path.iterdir()] == ["x.pot"]
