#!/usr/bin/env python3
"""Writes data/isotopes.csv from two packaged tables, so the shipped file can be rebuilt.

  masses, abundances: npm package chemical-elements 2.3.3 (MIT), src/elementsAndIsotopes.ts
                      (npm pack chemical-elements@2.3.3; tar xzf; give the package folder)
  nuclear spins:      Debian package bodr 10 (Blue Obelisk Data Repository, MIT),
                      /usr/share/bodr/isotopes.xml (apt-get download bodr; dpkg -x)

Kept: every isotope with a natural abundance, and tritium, which spectroscopists use as much as
deuterium. An even-even nucleus has I = 0 whatever bodr says (it omits some, errs on 186W). A missing spin or a repeated isotope stops the script rather than write a gap.

usage: make_isotope_table.py CHEMICAL_ELEMENTS_DIR BODR_ISOTOPES_XML > data/isotopes.csv
"""
import re
import sys
import xml.etree.ElementTree as ET
from fractions import Fraction

EXTRA = {(1, 3)}  # (Z, A) kept without a natural abundance

HEADER = """\
# Atomic masses (u) and ground-state nuclear spins of the naturally occurring isotopes and tritium.
# Masses and abundances: npm package chemical-elements 2.3.3 (MIT). It names no source; its
#   values are those of NIST "Atomic Weights and Isotopic Compositions", whose relative atomic
#   masses are the 2016 Atomic Mass Evaluation (AME2016; Wang et al., Chinese Physics C 41 (2017)
#   030003), not the 2020 one. Checked at 1H, 12C, 16O, 23Na and 127I.
# Nuclear spins I: Blue Obelisk Data Repository (Debian package bodr 10, MIT); I = 0 for every
#   even-even nucleus (bodr omits some and gives 186W 3/2).
# Written by tools/make_isotope_table.py; do not edit by hand.
Z,symbol,A,mass,abundance,spin"""


def read_masses(folder):
    text = open(folder + "/src/elementsAndIsotopes.ts", encoding="utf-8").read()
    rows = []
    for block in re.split(r"\n  \{\n", text)[1:]:
        z = int(re.search(r"^\s*number: (\d+),", block, re.M).group(1))
        symbol = re.search(r"^\s*symbol: '([A-Za-z]+)',", block, re.M).group(1)
        for m in re.finditer(
            r"\{ nominal: (\d+), mass: ([0-9.]+)(?:, abundance: ([0-9.eE-]+))? \}", block
        ):
            a, mass, abundance = int(m.group(1)), m.group(2), m.group(3)
            if abundance is not None or (z, a) in EXTRA:
                rows.append((z, symbol, a, mass, abundance or "0"))
    return rows


def read_spins(path):
    ns = {"c": "http://www.xml-cml.org/schema"}
    spins = {}
    for iso in ET.parse(path).getroot().iter("{http://www.xml-cml.org/schema}isotope"):
        z = a = spin = None
        a = int(iso.get("number"))
        for scalar in iso.findall("c:scalar", ns):
            if scalar.get("dictRef") == "bo:atomicNumber":
                z = int(scalar.text)
            elif scalar.get("dictRef") == "bo:spin":
                spin = scalar.text.strip()
        if z is not None and spin:
            value = re.match(r"\(?([0-9/]+)", spin)
            if value:
                spins[(z, a)] = Fraction(value.group(1))
    return spins


def main():
    rows = read_masses(sys.argv[1])
    spins = read_spins(sys.argv[2])
    seen = set()
    print(HEADER)
    for z, symbol, a, mass, abundance in rows:
        if (z, a) in seen:
            sys.exit(f"isotope {a}{symbol} twice")
        if z % 2 == 0 and (a - z) % 2 == 0:
            # Every even-even nucleus has I = 0 in its ground state; bodr leaves some out and
            # gives 186W a wrong 3/2.
            if spins.get((z, a), 0) != 0:
                print(f"bodr's I = {spins[(z, a)]} for {a}{symbol} replaced by 0", file=sys.stderr)
            spins[(z, a)] = Fraction(0)
        if (z, a) not in spins:
            sys.exit(f"no nuclear spin for {a}{symbol}")
        if (spins[(z, a)] * 2).denominator != 1 or (spins[(z, a)] * 2) % 2 != a % 2:
            sys.exit(f"I = {spins[(z, a)]} for {a}{symbol}: odd A has half-integer spins")
        seen.add((z, a))
        print(f"{z},{symbol},{a},{mass},{abundance},{float(spins[(z, a)]):g}")


if __name__ == "__main__":
    main()
