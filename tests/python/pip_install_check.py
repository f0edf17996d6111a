"""pip install of a checkout into a fresh virtual environment, offline, then velk imported from
another folder computes levels, properties and Franck-Condon factors of a curve whose file lies in
a third folder, bit for bit as the module of the build tree computes them.

Usage: pip_install_check.py SOURCE_DIR BUILD_MODULE_DIR VELK_BINARY
Exit status 77 (skipped) when the interpreter cannot make a virtual environment with pip."""

import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

SOURCE, BUILD_MODULE, BINARY = (pathlib.Path(a) for a in sys.argv[1:4])

# Run with each module; prints what it computed, every float as its exact hex form.
SCRIPT = """
import pathlib, sys, velk
curve = velk.Curve.from_file(pathlib.Path("{curves}") / "na2x.pot")
grid = (1.8, 50.0, 4000)
tables = [curve.levels(grid=grid, v=range(4), J=range(2)),
          velk.properties(curve, grid=grid, v=range(3), J=5),
          velk.franck_condon(curve, curve, grid=grid, v_upper=range(3), J_lower=4)]
for table in tables:
    for name in table.dtype.names:
        column = table[name]
        print(name, [float(x).hex() for x in column] if column.dtype.kind == "f" else list(column))
print("module", pathlib.Path(velk.__file__).parent)
print("version", velk.__version__)
"""


def run(command, **kwargs):
    done = subprocess.run(command, capture_output=True, text=True, **kwargs)
    if done.returncode != 0:
        sys.exit(f"{' '.join(map(str, command))} failed ({done.returncode}):\n"
                 f"{done.stdout}\n{done.stderr}")
    return done.stdout


def main():
    if subprocess.run([sys.executable, "-c", "import ensurepip, venv"]).returncode != 0:
        print("skipped: this python3 cannot make a virtual environment with pip "
              "(Debian: apt-get install python3-venv)")
        return 77
    with tempfile.TemporaryDirectory(prefix="velk-pip-") as temporary:
        top = pathlib.Path(temporary)
        checkout, venv, curves, elsewhere = (top / n for n in
                                             ("checkout", "venv", "curves", "elsewhere"))
        # A fresh checkout: the sources without any build.
        shutil.copytree(SOURCE, checkout, ignore=shutil.ignore_patterns(
            ".git", "build*", "*.egg-info", "run-example"))
        curves.mkdir()
        elsewhere.mkdir()
        shutil.copy(SOURCE / "examples" / "na2-x-analytic" / "na2x.pot", curves)

        run([sys.executable, "-m", "venv", "--system-site-packages", venv])
        environment = dict(os.environ, CMAKE_BUILD_PARALLEL_LEVEL="2")
        environment.pop("PYTHONPATH", None)
        run([venv / "bin" / "pip", "install", "--no-build-isolation", "--no-index",
             "--no-input", "--no-cache-dir", checkout], env=environment, cwd=elsewhere)

        script = SCRIPT.format(curves=curves)
        installed = run([venv / "bin" / "python", "-c", script], env=environment, cwd=elsewhere)
        built = run([sys.executable, "-c", script],
                    env=dict(environment, PYTHONPATH=str(BUILD_MODULE)), cwd=elsewhere)

        lines = installed.splitlines()
        module = pathlib.Path(lines[-2].removeprefix("module "))
        assert module.is_relative_to(venv), f"velk imported from {module}, not from the venv"
        for file in ("__init__.pyi", "dunham.pyi", "py.typed"):
            assert (module / file).is_file(), f"{file} is not installed beside the module"
        version = run([BINARY, "--version"]).split()[1]
        assert lines[-1] == f"version {version}", f"{lines[-1]} against velk {version}"
        assert lines[:-2] == built.splitlines()[:-2], "the installed module computes otherwise"
        print(f"installed into {module}; {len(lines) - 2} columns equal to the build tree's")
    return 0


if __name__ == "__main__":
    sys.exit(main())
