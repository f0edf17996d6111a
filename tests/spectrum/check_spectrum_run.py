#!/usr/bin/env python3
"""Checks the files of one spectrum run in the working directory, from first principles.

- every line's HL against the Hönl–London forms of Herzberg's table for ¹Σ–¹Σ (R: J''+1,
  P: J'') and ¹Π–¹Σ with the ¹Σ level lower (R: J''+2, Q: 2J''+1, P: J''−1, both Λ-components
  counted);
- absorption: the intensities against ν·S·exp(−c₂E''/T)/Q with Q summed here over Astate.dat;
  emission (the fluorescence example): against ν⁴·S/(2J'+1);
- the fluorescence example: the known level of velk.inf (the upper one) in the upper columns of
  every line, the branch from ΔJ = J' − J'', and the R(26)/P(28) intensity ratio of the 6–0 band
  against (ν_R/ν_P)⁴·28/27;
- spectrum.csv: its area (rectangle sum) equals the sum of the line intensities to 1e-9 for
  Gaussian lines, and for Lorentzian and Voigt lines that sum less each line's share beyond
  ±50 FWHM, (2/π)·atan(fL/(100 fV)), to 3e-5; its step resolves the narrowest line;
- spectrum.err: every warning in the name of velk-props;
- plot_transitions.svg: well-formed, one stick per line with an intensity.
usage: check_spectrum_run.py EXAMPLE OPTIONS...
"""
import csv
import math
import sys
import xml.dom.minidom

C2 = 1.438776877503933802  # cm K, hc/k from the exact SI values of h, c and k
example = sys.argv[1]
options = sys.argv[2:]
T = float(options[options.index("--temperature") + 1])
failures = []


def check(condition, text):
    if not condition:
        failures.append(text)


rows = list(csv.DictReader(open("vel_tran.csv")))
emission = example == "na2-lif"
Lambda_upper = 1 if emission else 0

if emission:
    # The known level from velk.inf (line 25: v J p E), not from the files under test.
    control = open("velk.inf").read().split("\n")
    v_known, J_known, p_known = control[24].split()[:3]
    for row in rows:
        check((row["upper_v"], row["upper_J"], row["upper_p"]) == (v_known, J_known, p_known),
              f"line {row['line']}: upper level {row['upper_v']},{row['upper_J']},{row['upper_p']}, "
              f"expected the known level {v_known},{J_known},{p_known}")
        dJ = int(row["upper_J"]) - int(row["lower_J"])
        check(row["branch"] == {1: "R", 0: "Q", -1: "P"}.get(dJ),
              f"line {row['line']}: branch {row['branch']} for J' - J'' = {dJ}")
    band = {int(r["lower_J"]): r for r in rows if r["lower_v"] == "0"}
    if 26 in band and 28 in band:
        nu_R, nu_P = float(band[26]["wavenumber"]), float(band[28]["wavenumber"])
        expected = (nu_R / nu_P) ** 4 * 28 / 27
        got = float(band[26]["intensity"]) / float(band[28]["intensity"])
        check(abs(got - expected) <= 1e-12 * expected,
              f"R(26)/P(28) of the 6-0 band: {got}, expected {expected}")
    else:
        check(False, "no R(26) and P(28) lines of the 6-0 band")

for warning in open("spectrum.err").read().splitlines():
    check(warning.startswith("velk-props: warning: "), f"warning not in velk-props' name: {warning}")

if not emission:
    levels = {}
    Q = 0.0
    lines = open("Astate.dat").read().split("\n")[6:]
    energies = [(int(w[1]), int(w[2]), float(w[3])) for w in (l.split() for l in lines) if len(w) >= 5]
    E0 = min(e for _, _, e in energies)
    for v, J, E in energies:
        levels[(v, J)] = E
        Q += (2 * J + 1) * math.exp(-C2 * (E - E0) / T)

total = 0.0
for row in rows:
    Ju, Jl = int(row["upper_J"]), int(row["lower_J"])
    nu = float(row["wavenumber"])
    dJ = Ju - Jl
    if Lambda_upper == 0:
        S = {1: Jl + 1, -1: Jl, 0: 0}[dJ] if Ju >= 0 else 0
    else:
        S = {1: Jl + 2, 0: 2 * Jl + 1, -1: Jl - 1}[dJ]
    check(abs(float(row["HL"]) - S) <= 1e-12 * max(1, S), f"line {row['line']}: HL {row['HL']}, expected {S}")
    if emission:
        expected = nu ** 4 * S / (2 * Ju + 1)
    else:
        E = levels[(int(row["lower_v"]), Jl)]
        expected = nu * S * math.exp(-C2 * (E - E0) / T) / Q
    got = float(row["intensity"]) if row["intensity"] else 0.0
    check(abs(got - expected) <= 1e-9 * abs(expected) + 1e-300,
          f"line {row['line']}: intensity {got}, expected {expected}")
    total += got

points = [(float(r["wavenumber"]), float(r["intensity"])) for r in csv.DictReader(open("spectrum.csv"))]
step = points[1][0] - points[0][0]
area = sum(y for _, y in points) * step
shape = options[options.index("--shape") + 1] if "--shape" in options else "gauss"
if shape == "gauss":
    check(abs(area - total) <= 1e-9 * total, f"spectrum area {area}, lines {total}")
else:
    # The Doppler FWHM from the SI constants; M = 4 μ of the X state's mass index 1.
    fL = float(options[options.index("--fwhm") + 1])
    mass = 4 * 11.494884641 * 1.66053906660e-27
    held = 0.0
    for row in rows:
        if not row["intensity"] or float(row["intensity"]) <= 0:
            continue
        nu = float(row["wavenumber"])
        fD = nu * math.sqrt(8 * 1.380649e-23 * T * math.log(2) / mass) / 299792458.0
        fV = fL if shape == "lorentz" else 0.5346 * fL + math.sqrt(0.2166 * fL ** 2 + fD ** 2)
        held += float(row["intensity"]) * (1 - 2 / math.pi * math.atan(fL / (100 * fV)))
    check(abs(area - held) <= 3e-5 * total,
          f"spectrum area {area}, lines within ±50 FWHM {held} (all of them {total})")
# Narrowest line of the absorption band: the Doppler width 7.16e-7·ν·sqrt(T/M) of the lowest
# line (M = 4·11.494884641 u, the homonuclear 23Na2) in quadrature with --fwhm 0.3; ten points
# across it, to the 4e-4 of the three-digit handbook constant.
if not emission:
    nu_min = min(float(r["wavenumber"]) for r in rows if r["intensity"] and float(r["intensity"]) > 0)
    doppler = 7.16e-7 * nu_min * math.sqrt(T / (4 * 11.494884641))
    narrowest = math.sqrt(0.3 ** 2 + doppler ** 2)
    check(step <= narrowest / 10 * (1 + 4e-4), f"step {step} does not resolve {narrowest} cm-1")

svg = xml.dom.minidom.parse("plot_transitions.svg")
sticks = [e for e in svg.getElementsByTagName("line") if "stick" in e.getAttribute("class").split()]
with_intensity = sum(1 for r in rows if r["intensity"] and float(r["intensity"]) > 0)
check(len(sticks) == with_intensity, f"{len(sticks)} sticks for {with_intensity} lines")
check(any(e.getAttribute("class") == "envelope" for e in svg.getElementsByTagName("polyline")),
      "no envelope")

for failure in failures[:20]:
    print(f"{example}: {failure}")
sys.exit(1 if failures else 0)
