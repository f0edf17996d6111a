#!/usr/bin/env python3
"""Runs the velk-fit binary in a scratch working directory and checks one exit status case.

The data are term values of the Na2 X MLJ curve that velk itself lists (a level-table run of
examples/na2-x-mlj on a grid fit for v <= 10), so what velk-fit fits to is independent of it; the
curve velk-fit starts from has beta0..beta3 and De moved 1 % off.

usage: fit_cli_test.py CASE VELK VELK_FIT EXAMPLES_DIR
"""

import math
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

COLUMNS = ("upper_state,upper_v,upper_J,upper_p,lower_state,lower_v,lower_J,lower_p,wavenumber,"
           "uncertainty,mass_index,series")
UNCERTAINTY = 0.001
FREE = "A:beta0-beta3,De"


def level_table(folder):
    """(v, J) -> E of velk's Astate.dat."""
    levels = {}
    for line in (folder / "Astate.dat").read_text().splitlines()[7:]:
        fields = line.split()
        levels[(int(fields[1]), int(fields[2]))] = float(fields[3])
    return levels


def prepare(folder, velk, examples):
    shutil.copy(examples / "na2-x-mlj" / "na2xmlj.pot", folder)
    control = (examples / "na2-x-mlj" / "velk.inf").read_text()
    control = control.replace("1.8 50 50000 ", "2.3 12 4000  ").replace("0 65 0 0 1 1",
                                                                       "0 10 0 30 1 1")
    (folder / "velk.inf").write_text(control)
    subprocess.run([velk], cwd=folder, check=True, capture_output=True)
    levels = level_table(folder)
    rows = [f"A,{v},{J},1,-,,,,{E:.5f},{UNCERTAINTY},," for (v, J), E in sorted(levels.items())
            if J % 3 == 0]
    (folder / "data.csv").write_text(COLUMNS + "\n" + "\n".join(rows) + "\n")
    # The start: the truth moved 1 %.
    lines = (folder / "na2xmlj.pot").read_text().split("\n")
    for i, line in enumerate(lines):
        fields = line.split()
        if re.fullmatch(r"[0-3]", fields[0] if fields else "") and "beta" in line:
            lines[i] = f"{fields[0]} {float(fields[1]) * 1.01!r}"
        elif "De (cm-1)" in line:
            lines[i] = f"{float(fields[0]) * 1.01!r}"
    (folder / "na2xmlj.pot").write_text("\n".join(lines))
    (folder / "Astate.dat").unlink()
    return levels


def run(folder, fit, *arguments):
    return subprocess.run([fit, *arguments], cwd=folder, capture_output=True, text=True)


def expect(condition, what):
    if not condition:
        raise AssertionError(what)


def refused(folder, fit, data_rows, arguments, message):
    """Status 2, nothing written, and the message says where and what."""
    if data_rows is not None:
        (folder / "data.csv").write_text(COLUMNS + "\n" + "\n".join(data_rows) + "\n")
    result = run(folder, fit, "data.csv", *arguments)
    expect(result.returncode == 2, f"status {result.returncode}, expected 2: {result.stdout}")
    expect(not (folder / "fit").exists(), "the refused run wrote fit/")
    expect(re.search(message, result.stdout), f"{result.stdout!r} does not say {message!r}")


def parameters(fitted):
    rows = (fitted / "fit_parameters.csv").read_text().splitlines()[1:]
    return {r.split(",")[1]: r.split(",") for r in rows if r.startswith("A,")}


def sigma_from_velk(folder, velk, data):
    """σ̄ of the written curve, with velk's own levels of it."""
    fitted = folder / "fit"
    subprocess.run([velk], cwd=fitted, check=True, capture_output=True)
    levels = level_table(fitted)
    chi2, n = 0.0, 0
    for line in data.splitlines()[1:]:
        f = line.split(",")
        z = (float(f[8]) - levels[(int(f[1]), int(f[2]))]) / float(f[9])
        chi2 += z * z
        n += 1
    return math.sqrt(chi2 / (n - 5))


def main():
    case, velk, fit, examples = sys.argv[1], sys.argv[2], sys.argv[3], pathlib.Path(sys.argv[4])
    with tempfile.TemporaryDirectory() as scratch:
        folder = pathlib.Path(scratch)
        prepare(folder, velk, examples)
        good = "A,0,0,1,-,,,,79.34696,0.001,,"
        if case == "fitted":
            result = run(folder, fit, "data.csv", "--free", FREE)
            expect(result.returncode == 0, f"status {result.returncode}: {result.stdout}")
            for name in ("na2xmlj.pot", "velk.inf", "fit_parameters.csv", "fit_residuals.csv",
                         "fit_report.txt"):
                expect((folder / "fit" / name).is_file(), f"fit/{name} missing")
            header = (folder / "fit" / "fit_residuals.csv").read_text().split("\n")[0]
            expect(not header.endswith(",weight"), "a weight column without --robust")
        elif case == "bad_row":
            refused(folder, fit, [good, "A,1,0,1,-,,,,237.0x,0.001,,"], ["--free", FREE],
                    r"data\.csv, line 3: expected a number in column wavenumber")
        elif case == "unknown_name":
            refused(folder, fit, None, ["--free", "A:beta0,Y(1,0)"], r"--free A:beta0,Y\(1,0\)")
        elif case == "zero_uncertainty":
            refused(folder, fit, [good, "A,1,0,1,-,,,,237.01419,0,,"], ["--free", FREE],
                    r"data\.csv, line 3: expected a positive number in column uncertainty")
        elif case == "fewer_data":
            refused(folder, fit, [good, "A,1,0,1,-,,,,237.01419,0.001,,"], ["--free", FREE],
                    r"data\.csv: 2 data for 5 free parameters")
        elif case == "missing_level":
            refused(folder, fit, [good] * 5 + ["A,90,0,1,-,,,,9999,0.001,,"], ["--free", FREE],
                    r"data\.csv, line 7: the level state A v = 90, J = 0, p = 1 does not exist")
        elif case == "no_convergence":
            result = run(folder, fit, "data.csv", "--free", FREE, "--max-iterations", "1")
            expect(result.returncode == 1, f"status {result.returncode}: {result.stdout}")
            expect(not (folder / "fit").exists(), "the unconverged run wrote fit/")
            expect(re.search(r"no convergence within 1 iterations: last dimensionless standard "
                             r"deviation [0-9.e+-]+; moved most: \w+ [-0-9.e+]+ -> [-0-9.e+]+, ",
                             result.stdout), result.stdout)
        elif case == "bad_fraction":
            refused(folder, fit, None, ["--free", FREE, "--round", "1.5"],
                    r"--round: expected a fraction between 0 and 1, found \"1\.5\"")
        elif case == "robust":
            lines = (folder / "data.csv").read_text().split("\n")
            fields = lines[5].split(",")
            fields[8] = f"{float(fields[8]) + 0.5:.5f}"  # 500 uncertainties off: data line 6
            lines[5] = ",".join(fields)
            (folder / "data.csv").write_text("\n".join(lines))
            result = run(folder, fit, "data.csv", "--free", FREE, "--robust")
            expect(result.returncode == 0, f"status {result.returncode}: {result.stdout}")
            residuals = (folder / "fit" / "fit_residuals.csv").read_text().splitlines()
            expect(residuals[0].endswith(",calc,obs_minus_calc,normalised,weight"), residuals[0])
            weights = [float(r.split(",")[-1]) for r in residuals[1:]]
            expect(weights[4] < 1e-4 and min(weights[:4] + weights[5:]) > 0.05,
                   f"weights {weights[:8]}")
            report = (folder / "fit" / "fit_report.txt").read_text()
            expect(re.search(r"down-weighted.*\n  line 6 of data\.csv: weight 0\.0000", report),
                   "the report does not name the planted line")
        elif case == "rounding":
            data = (folder / "data.csv").read_text()
            fraction = 0.01
            plain = run(folder, fit, "data.csv", "--free", FREE, "--out", "plain")
            expect(plain.returncode == 0, plain.stdout)
            unrounded = parameters(folder / "plain")
            before = float(re.search(r"deviation (\S+)$", plain.stdout.split("\n")[0]).group(1))
            result = run(folder, fit, "data.csv", "--free", FREE, "--round", str(fraction))
            expect(result.returncode == 0, result.stdout)
            rounded = parameters(folder / "fit")
            for name in ("beta0", "beta1", "beta2", "beta3", "De"):
                digits = len(re.sub(r"[-.]|e.*", "", rounded[name][3]).strip("0"))
                full = len(re.sub(r"[-.]|e.*", "", unrounded[name][3]).strip("0"))
                expect(digits < full, f"{name}: {rounded[name][3]} not shorter than "
                       f"{unrounded[name][3]}")
                # Rounded within a few uncertainties of the unrounded value.
                expect(abs(float(rounded[name][3]) - float(unrounded[name][3])) <=
                       3 * float(unrounded[name][4]) + 1e-12 * abs(float(unrounded[name][3])),
                       f"{name} moved too far")
            report = (folder / "fit" / "fit_report.txt").read_text()
            own = re.search(r"deviation (\S+) before, (\S+) after", report)
            expect(own and float(own.group(2)) <= float(own.group(1)) * (1 + fraction),
                   "the report's σ̄ rose beyond the fraction")
            after = sigma_from_velk(folder, velk, data)
            # velk's levels of the written curve: σ̄ within the fraction (the exact search and
            # the fit's levels agree far below the data's rounding).
            expect(after <= before * (1 + fraction) * 1.001,
                   f"σ̄ {after} with velk's levels, {before} unrounded")
            print(f"σ̄ unrounded {before}, rounded with velk's levels {after}; values "
                  + ", ".join(f"{n} {rounded[n][3]}" for n in ("beta0", "beta1", "beta2",
                                                                "beta3", "De")))
        else:
            raise SystemExit(f"unknown case {case}")
    print(f"{case}: passed")


if __name__ == "__main__":
    main()
