# Na2 X in Python: levels, the curve with |psi|^2, and Franck-Condon factors to the A state.
#
# A notebook-style script: each "# %%" cell can be run on its own in Jupyter or an editor that
# knows cells, or the whole file with
#     PYTHONPATH=build/python /usr/bin/python3 examples/python/na2_x.py
# from the top of the checkout after building (the module lands in build/python). It writes
# na2_x.svg into the working directory. Lengths in Å, energies in cm-1, masses in u.

# %% The X state from the analytic curve of the examples
import math
import pathlib

import numpy as np

import velk

EXAMPLES = pathlib.Path(__file__).resolve().parent.parent
X = velk.Curve.from_file(EXAMPLES / "na2-x-analytic" / "na2x.pot")
mass = X.masses[0]  # 23Na2
grid = (1.8, 50.0, 50000)  # the grid of examples/na2-x-analytic/velk.inf

levels = X.levels(grid=grid, v=range(66), J=0, tol=1e-5)
print(f"{len(levels)} levels of Na2 X at J = 0, all converged: {levels['converged'].all()}")
print(f"first spacing G(1) - G(0) = {levels['E'][1] - levels['E'][0]:.5f} cm-1")
print(f"last level v = {levels['v'][-1]} at {levels['E'][-1]:.5f} cm-1")

# The same numbers as a pandas table, when pandas is installed:
#     import pandas; pandas.DataFrame(levels)

# %% A model A state: a Morse curve with the constants of examples/na2-absorb/na2a.dun
A_dunham = EXAMPLES / "na2-absorb" / "na2a.dun"
first = [float(line.split()[0]) for line in A_dunham.read_text().splitlines()[3:9]]
Te, we, wexe, Be = first[1], first[2], -first[3], first[5]  # Y00, Y10, -Y20, Y01
hbar2_over_2u = 16.85763130530976  # cm-1 Å^2
Re = math.sqrt(hbar2_over_2u / (mass * Be))
De = we * we / (4 * wexe)
a = math.sqrt(wexe * mass / hbar2_over_2u)
R_table = np.linspace(2.4, 9.0, 500)
A = velk.Curve.points(R_table, Te + De * (1 - np.exp(-a * (R_table - Re))) ** 2, mass,
                      name="na2a_morse.pot", description="Na2 A, Morse curve from we, wexe, Be")
A_levels = A.levels(grid=(2.5, 8.9, 20000), v=range(5))
print("A state: Morse levels against the Dunham sum of na2a.dun (cm-1):")
for level in A_levels:
    dunham = velk.dunham.terms(A_dunham, int(level["v"]), 0)
    print(f"  v' = {level['v']}: {level['E']:.4f}  {dunham:.4f}")

# %% The curve with |psi|^2 of a few levels, as an SVG picture
common = (2.5, 8.9, 6401)  # one grid for both states, for the overlaps below
R, U = X.tabulate(common)
shown = [0, 5, 10, 20]
psi = {v: X.wavefunction(mass, v, 0, grid=common)[1] for v in shown}


def svg_picture(path, R, U, densities, energies):
    """The curve up to 3000 cm-1 and each |psi|^2 drawn on its level's energy."""
    width, height, Emax = 640, 400, 3000.0
    x = lambda r: 40 + (r - R[0]) / (R[-1] - R[0]) * (width - 60)
    y = lambda e: height - 30 - e / Emax * (height - 50)
    keep = U < Emax
    lines = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}">',
             '<rect width="100%" height="100%" fill="white"/>',
             '<polyline fill="none" stroke="black" points="' +
             " ".join(f"{x(r):.1f},{y(u):.1f}" for r, u in zip(R[keep], U[keep])) + '"/>']
    for density, E in zip(densities, energies):
        scale = 120.0 / density.max()
        lines.append('<polyline fill="none" stroke="steelblue" points="' + " ".join(
            f"{x(r):.1f},{y(E + scale * d):.1f}" for r, d in zip(R[::8], density[::8])) + '"/>')
    lines.append(f'<text x="{width / 2}" y="{height - 5}" text-anchor="middle">R (Å)</text>')
    lines.append('<text x="5" y="15">U (cm-1), |ψ|² of v = 0, 5, 10, 20</text>')
    lines.append("</svg>")
    pathlib.Path(path).write_text("\n".join(lines) + "\n")


energies = [levels["E"][v] for v in shown]
svg_picture("na2_x.svg", R, U, [psi[v] ** 2 for v in shown], energies)
print("picture: na2_x.svg")

# %% Rotational constants and expectation values of a few X levels, as velk-props computes them
props = velk.properties(X, grid=grid, v=[0, 10, 30], J=0, tol=1e-5)
for row in props:
    print(f"X v = {row['v']:2d}: Bv = {row['Bv']:.6f} cm-1, Dv = {row['Dv']:.4e} cm-1, "
          f"<R> = {row['R_mean']:.4f} Å, turning points {row['R_in']:.4f}..{row['R_out']:.4f} Å")

# %% Franck-Condon factors from X v'' = 0 to the A state
# Both curves solved on the common grid, the overlaps as velk-props transitions computes them:
# FCF = <v'|v''>², r-centroid <v'|R|v''>/<v'|v''> (Å).
fc = velk.franck_condon(A, X, mass, grid=common, v_upper=range(16), v_lower=0, J_lower=0)
print("FCF X(0) -> A(v'):", " ".join(f"{f:.4f}" for f in fc["FCF"]))
print(f"sum over v' = 0..15: {fc['FCF'].sum():.4f}")
strongest = fc[np.argmax(fc["FCF"])]
print(f"strongest band v' = {strongest['upper_v']}: FCF {strongest['FCF']:.4f}, "
      f"r-centroid {strongest['r_centroid']:.4f} Å")
