#!/usr/bin/env python3
"""vel_tran.csv of a run whose states are not both curves, made from vel_tran.out alone.

velk-props transitions writes vel_tran.csv; for a line between states of which one is a Dunham
state it leaves FCF, r_centroid and moment empty. This script writes that same file for such runs
from vel_tran.out, the level file of the lower state (for the parities) and the control file (for
the orientation of a known-level run), so that the spectrum command can be tested and the
examples drawn without velk-props. It reads the fixed columns of vel_tran.out (I5, I5, I4, I4,
I4, F15.6). The parities follow the transition runs: P and R lines keep the lower level's parity
index p, Q lines end on |1 - p|.

usage: line_list_from_run.py [WORKING_DIRECTORY]
"""
import os
import sys


def state_a_file(control):
    with open(control) as f:
        f.readline()
        return f.readline()[:12].strip()


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "."
    with open(os.path.join(folder, "vel_tran.out")) as f:
        lines = f.read().split("\n")
    header = []
    body = []
    for k, line in enumerate(lines):
        if line.strip().startswith("=====") and line.strip().strip("=") == "":
            header = lines[:k]
            body = lines[k + 1:]
            break
    known = header and "Known level:" in header[0]
    known_upper = False
    known_p = 1
    if known:
        words = header[0].split(":")[1].split()
        known_p = int(words[2])
        computed = header[1].split(":", 1)[1].strip()
        known_upper = computed == state_a_file(os.path.join(folder, "velk.inf"))
    parity = {}
    levels = os.path.join(folder, "Astate.dat")
    if os.path.exists(levels):
        with open(levels) as f:
            for line in f.readlines()[6:]:
                w = line.split()
                if len(w) >= 5:
                    parity.setdefault((int(w[1]), int(w[2])), int(w[4]))
    rows = ["line,branch,upper_v,upper_J,upper_p,lower_v,lower_J,lower_p,wavenumber,FCF,"
            "r_centroid,moment"]
    for line in body:
        if len(line) < 37 or not line.strip():
            continue
        index, v1, J1, v2, J2 = (int(line[a:b]) for a, b in
                                 ((0, 5), (5, 10), (10, 14), (14, 18), (18, 22)))
        nu = float(line[22:37])
        if known_upper:
            upper, lower = (v1, J1), (v2, J2)
        else:
            lower, upper = (v1, J1), (v2, J2)
        branch = "P" if upper[1] < lower[1] else "Q" if upper[1] == lower[1] else "R"
        p_known = known_p if known else parity.get(lower, 1)
        p_other = abs(1 - p_known) if branch == "Q" else p_known
        upper_p, lower_p = (p_known, p_other) if known_upper else (p_other, p_known)
        rows.append(f"{index},{branch},{upper[0]},{upper[1]},{upper_p},{lower[0]},{lower[1]},"
                    f"{lower_p},{nu!r},,,")
    with open(os.path.join(folder, "vel_tran.csv"), "w") as f:
        f.write("\n".join(rows) + "\n")


if __name__ == "__main__":
    main()
