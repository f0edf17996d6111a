#!/usr/bin/env bash
# Runs velk and then velk-props (and velk-plot --wavefunctions) in scratch copies of three working
# directories, and checks what they write with python3's csv module, which knows nothing of
# velk-props: the level rows against the level files velk wrote, the Franck-Condon sums, the
# moment column against its definition, and the errors a user meets.
# Usage: run_props_case.sh VELK VELK_PROPS VELK_PLOT SOURCE_DIR. Exit 77 without python3.
set -u
velk=$1
props=$2
plot=$3
source=$4
command -v python3 > /dev/null || exit 77
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() {
  echo "FAIL: $*"
  status=1
}
run_velk() {  # directory
  (cd "$1" && "$velk" > velk.log 2>&1 < /dev/null) || { fail "velk in $1"; cat "$1/velk.log"; }
}
# expect DIR STATUS TEXT COMMAND...: the command's exit status and a text in its standard output.
expect() {
  local dir=$1 want=$2 text=$3
  shift 3
  local out code
  out=$(cd "$dir" && "$@" 2> /dev/null)
  code=$?
  [ "$code" = "$want" ] || fail "$* in $(basename "$dir"): status $code, expected $want ($out)"
  case "$out" in
    *"$text"*) ;;
    *) fail "$* in $(basename "$dir"): output '$out' lacks '$text'" ;;
  esac
}

# 1. The absorption example as it stands: the lower level's properties, and transition lines
#    without overlaps, since the upper state is given by Dunham coefficients.
ex=$work/absorb
mkdir "$ex" && cp "$source"/examples/na2-absorb/* "$ex"/
run_velk "$ex"
expect "$ex" 0 "velk-props: wrote Astate_props.csv (1 level)" "$props" A
expect "$ex" 0 "is a Dunham state, so the lines carry no overlaps (velk-rkr turns" "$props" transitions
expect "$ex" 2 "velk-props: state B (na2a.dun) is given by Dunham coefficients" "$props" B --file BstateQ.dat

# 2. The same absorption with the A state as a Morse curve on a grid of its own, 41 upper levels.
mo=$work/morse
mkdir "$mo" && cp "$source"/examples/na2-absorb-fcf/* "$mo"/ &&
  cp "$source"/tests/props/na2_absorb_morse/tdm.txt "$mo"/
run_velk "$mo"
expect "$mo" 0 "velk-props: wrote vel_tran.csv (123 lines)" "$props" transitions --moment tdm.txt
expect "$mo" 0 "velk-props: wrote BstateQ_props.csv (41 levels)" "$props" B --file BstateQ.dat

# 3. One Kratzer curve for both states on two grids: a level table of state B with its wave
#    functions and their picture, and a Q progression whose overlaps are those of one curve.
kr=$work/kratzer
mkdir "$kr" && cp "$source"/tests/props/kratzer_two_grids/* "$kr"/
run_velk "$kr"
expect "$kr" 0 "velk-props: wrote Bstate_wf.csv" "$props" B --wavefunctions
expect "$kr" 0 "velk-plot: wrote plot_B.svg" "$plot" B --wavefunctions
expect "$kr" 0 "velk-props: wrote vel_tran.csv (6 lines)" "$props" transitions

# 3a. The same directory run with velk --fast, and the plain run's level file with its rows in
#     another order (J falling): velk-props finds the energies of either file again without a
#     word on standard error, and keeps the file's order.
fa=$work/fast
sh=$work/shuffled
mkdir "$fa" "$sh" && cp "$source"/tests/props/kratzer_two_grids/* "$fa"/ && cp "$kr"/* "$sh"/
(cd "$fa" && "$velk" --fast > velk.log 2>&1 < /dev/null) || fail "velk --fast in $fa"
{ head -n 6 "$kr/Bstate.dat" && tail -n +7 "$kr/Bstate.dat" | tac; } > "$sh/Bstate.dat"
for dir in "$kr" "$fa" "$sh"; do
  expect "$dir" 0 "velk-props: wrote Bstate_props.csv (12 levels)" "$props" B
  (cd "$dir" && "$props" B > /dev/null 2> props.err)
  [ ! -s "$dir/props.err" ] || fail "velk-props B in $(basename "$dir") said: $(cat "$dir/props.err")"
done

# 3b. A double well whose barrier damps a level by far more than e^-36: the fast search does not
#     see the outer well, so it cannot number the levels (its v = 2 would be the inner well's
#     third level, 1065.8 cm-1, where v = 2 is the outer well's first, 811.6 cm-1): velk --fast
#     lists the plain run's rows, and velk-props solves every level by the plain search. The
#     plain run's v = 3 (the inner well's third level) is unconverged: not found.
dw=$work/double
dwf=$work/double_fast
mkdir "$dw" "$dwf" && cp "$source"/tests/props/double_well/* "$dw"/ && cp "$dw"/* "$dwf"/
run_velk "$dw"
(cd "$dwf" && "$velk" --fast > velk.log 2>&1 < /dev/null) || fail "velk --fast in $dwf"
expect "$dw" 0 "velk-props: wrote Astate_props.csv (5 levels, 1 not found)" "$props" A
expect "$dwf" 0 "velk-props: wrote Astate_props.csv (5 levels, 1 not found)" "$props" A

# 4. The same curve in an energy-window run whose lower levels come in both parities, and in a
#    known-level run: the parities and the sides the lines take their levels from.
win=$work/window
known=$work/known
mkdir "$win" "$known" && cp "$kr"/kratzer.pot "$win"/ && cp "$kr"/kratzer.pot "$known"/
# Level table (line 15) and one-level run (line 19) off; the window run takes v''=0..1, J''=1,
# p''=0..1 to v'=0..3 in P, Q and R; the known-level run B(v=1, J=2, p=1) to A v=0..3, P and R.
sed -e '15s/y/n/; 19s/y/n/; 28s/n/y/; 29s/.*/0.0 1000.0/; 30s/.*/0 1 1 1 0 1/; 31s/.*/0 3 3/' \
  "$kr/velk.inf" > "$win/velk.inf"
sed -e '15s/y/n/; 19s/y/n/; 23s/n/y/; 25s/.*/1 2 1 365.7/; 26s/.*/0 3 2 1/' \
  "$kr/velk.inf" > "$known/velk.inf"
run_velk "$win"
run_velk "$known"
expect "$win" 0 "velk-props: wrote vel_tran.csv (48 lines)" "$props" transitions
expect "$known" 0 "velk-props: wrote vel_tran.csv (8 lines)" "$props" transitions

python3 - "$ex" "$mo" "$kr" "$win" "$known" "$fa" "$sh" "$dw" "$dwf" << 'PYEOF' || status=1
import csv, math, sys, xml.dom.minidom
ex, mo, kr, win, known, fa, sh, dw, dwf = sys.argv[1:10]
bad = []
def check(ok, what):
    if not ok:
        bad.append(what)

def rows(path):
    with open(path, newline='') as f:
        return list(csv.DictReader(f))

def levels(path):
    """The level lines of a level file: (v, J, p) -> E, read by columns as velk writes them."""
    out = {}
    with open(path) as f:
        for line in f.read().splitlines()[6:]:
            if line.strip():
                items = line.split()
                out[(int(items[1]), int(items[2]), int(items[4]))] = float(items[3])
    return out

PROPS = 'v,J,p,E,found,R_in,R_out,R_mean,R2_mean,Rinv2_mean,Bv,Dv,Hv,tunnel'.split(',')
TRAN = ('line,branch,upper_v,upper_J,upper_p,lower_v,lower_J,lower_p,wavenumber,FCF,'
        'r_centroid,moment').split(',')

def tolerance(directory):
    """The energy tolerance of the run, record 12 of velk.inf (cm-1)."""
    with open(directory + '/velk.inf') as f:
        return float(f.read().splitlines()[11].split()[0])

def check_props(path, level_file):
    table = rows(path)
    tol = tolerance(path.rsplit('/', 1)[0])
    check(list(table[0].keys())[:len(PROPS)] == PROPS, path + ': columns')
    listed = levels(level_file)
    check(len(table) == len(listed), path + ': one row per level')
    for r in table:
        key = (int(r['v']), int(r['J']), int(r['p']))
        check(r['found'] == '1', path + ': %s found' % (key,))
        # Both the run's search and velk-props' fast search stop within the tolerance of the
        # level; the file rounds to five decimals (1e-9: the rounding of the difference).
        check(abs(float(r['E']) - listed[key]) <= tol + 0.5e-5 + 1e-9, path + ': E of %s' % (key,))
        Rin, Rout, Rm = float(r['R_in']), float(r['R_out']), float(r['R_mean'])
        check(Rin < Rm < Rout, path + ': <R> between the turning points of %s' % (key,))
        # Cauchy-Schwarz: <R²> >= <R>², <R^-2> >= 1/<R²>... and <R^-2> >= 1/<R>² (Jensen).
        check(float(r['R2_mean']) >= Rm * Rm, path + ': <R2> >= <R>2')
        check(float(r['Rinv2_mean']) >= 1 / Rm ** 2, path + ': <R-2> >= 1/<R>2')
        check(float(r['Dv']) > 0 and r['tunnel'] == '', path + ': Dv > 0, no tunnel')
    return table

# 1. The example: one level, and lines with empty overlap cells.
check_props(ex + '/Astate_props.csv', ex + '/Astate.dat')
lines = rows(ex + '/vel_tran.csv')
check(list(lines[0].keys())[:len(TRAN)] == TRAN, 'vel_tran.csv columns')
check(len(lines) == 63, 'example: 63 lines')
check(all(r['FCF'] == '' and r['moment'] == '' and r['r_centroid'] == '' for r in lines),
      'example: no overlaps for a Dunham state')

# 2. Morse: the lines read back, the sum rule, the moment and the joined grid.
check_props(mo + '/BstateQ_props.csv', mo + '/BstateQ.dat')
lines = rows(mo + '/vel_tran.csv')
with open(mo + '/vel_tran.out') as f:
    text = f.read().splitlines()
    tran = [l for l in text[[i for i, l in enumerate(text) if '=====' in l][0] + 1:] if l.strip()]
check(len(lines) == len(tran) == 123, 'morse: one row per line of vel_tran.out')
upper_files = {'P': levels(mo + '/BstateP.dat'), 'Q': levels(mo + '/BstateQ.dat'),
               'R': levels(mo + '/BstateR.dat')}
lower = levels(mo + '/Astate.dat')
for r, t in zip(lines, tran):
    Ju, Jl = int(r['upper_J']), int(r['lower_J'])
    check(r['branch'] == 'PQR'[(Ju > Jl) + (Ju >= Jl)], 'branch from J of line ' + r['line'])
    check(int(r['line']) == int(t[0:5]) and float(r['wavenumber']) == float(t[22:37]),
          'line and wavenumber of line ' + r['line'])
    check(r['lower_p'] == '1' and r['upper_p'] == ('0' if r['branch'] == 'Q' else '1'),
          'parities of line ' + r['line'])
    # The levels solved again on the joined grid (2.2 to 14 Å by the finer step) lie within its
    # grid error of the levels of each state's own grid.
    key = (int(r['upper_v']), Ju, int(r['upper_p']))
    check(abs(float(r['upper_E']) - upper_files[r['branch']][key]) < 2e-3, 'upper E ' + r['line'])
    check(abs(float(r['lower_E']) - lower[(0, 10, 1)]) < 2e-3, 'lower E ' + r['line'])
    ov, rc, m = float(r['overlap']), float(r['r_centroid']), float(r['moment'])
    check(abs(float(r['FCF']) - ov * ov) <= 1e-15, 'FCF = overlap² ' + r['line'])
    # tdm.txt is the line M = 1 + 0.5 (R - 3), which its spline reproduces: <u|M|l> is
    # (1 + 0.5 (r̄ - 3))·<u|l> by the definition of the r-centroid.
    check(abs(m - (1 + 0.5 * (rc - 3)) * ov) <= 1e-12, 'moment ' + r['line'])
for b in 'PQR':
    total = sum(float(r['FCF']) for r in lines if r['branch'] == b)
    # 41 upper levels hold the whole of the displaced lower level (the Poisson-like spread of
    # a 0.56 Å displacement, S ≈ 6, ends far below v' = 40).
    check(abs(total - 1) < 1e-6, 'sum of FCF over the %s branch: %r' % (b, total))

# 3. Kratzer: wave functions normalised on the grid, the picture, and one curve's overlaps.
props = check_props(kr + '/Bstate_props.csv', kr + '/Bstate.dat')
with open(kr + '/Bstate_wf.csv', newline='') as f:
    wf = list(csv.reader(f))
check(wf[0][0] == 'R' and wf[0][1] == 'v=0,J=0' and len(wf[0]) == 13, 'wave-function header')
R = [float(x[0]) for x in wf[1:]]
check(len(R) == 6000 and abs(R[0] - 1.2) < 1e-12 and abs(R[-1] - 25.0) < 1e-9, 'wf grid')
h = R[1] - R[0]
for c in range(1, 13):
    psi = [float(x[c]) for x in wf[1:]]
    norm = h * sum(p * p for p in psi)
    check(abs(norm - 1) < 1e-12, 'norm of column %d: %r' % (c, norm))
    mean = h * sum(p * p * r for p, r in zip(psi, R))
    check(abs(mean - float(props[c - 1]['R_mean'])) < 1e-12, '<R> of column %d' % c)
svg = xml.dom.minidom.parse(kr + '/plot_B.svg')
waves = [p for p in svg.getElementsByTagName('polyline') if p.getAttribute('class') == 'wavefunction']
check(len(waves) == 12, 'one wave function per level in plot_B.svg: %d' % len(waves))
lines = rows(kr + '/vel_tran.csv')
for r in lines:
    same = r['upper_v'] == r['lower_v']
    # Two levels of one curve and one J on one grid: orthonormal to the solver's accuracy.
    check(abs(float(r['FCF']) - (1.0 if same else 0.0)) < 1e-10, 'kratzer FCF ' + r['line'])
    if same:
        check(r['upper_E'] == r['lower_E'], 'one level on the joined grid')

# 3a. The fast run's file and the shuffled file: rows in the file's order, each equal to the row
#     of the plain run's file for its level (one solve of the same curve, whichever the order).
check_props(fa + '/Bstate_props.csv', fa + '/Bstate.dat')
shuffled = check_props(sh + '/Bstate_props.csv', sh + '/Bstate.dat')
check([(r['v'], r['J']) for r in shuffled] == [(r['v'], r['J']) for r in reversed(props)],
      'shuffled: rows in the order of the file')
by_level = {(r['v'], r['J'], r['p']): r for r in props}
for r in shuffled:
    check(r == by_level[(r['v'], r['J'], r['p'])], 'shuffled: row of %s' % r['v'])

# 3b. The double well: the barrier stands at 3.75 Å, so <R> tells the well of a level. Each run's
#     converged levels come back within the tolerance and the rounding; v = 2 and 4 lie in the
#     outer well (811.6 and 1233.2 cm-1 in the run) in both runs, the fast run's rows being the
#     plain run's. v = 3 is unconverged: velk-props does not judge it.
def converged_levels(directory):
    out = {}
    with open(directory + '/Astate.dat') as f:
        for line in f.read().splitlines()[6:]:
            items = line.split()
            if items and abs(float(items[8])) <= tolerance(directory):
                out[int(items[1])] = float(items[3])
    return out
for d, outer in ((dw, {2, 4}), (dwf, {2, 4})):
    table = {int(r['v']): r for r in rows(d + '/Astate_props.csv')}
    listed = converged_levels(d)
    check(len(listed) >= 4, d + ': four converged levels or more: %s' % sorted(listed))
    for v, E in listed.items():
        r = table[v]
        check(r['found'] == '1', d + ': v=%d found' % v)
        check(abs(float(r['E']) - E) <= tolerance(d) + 0.5e-5 + 1e-9, d + ': E of v=%d' % v)
        check((float(r['R_mean']) > 3.75) == (v in outer), d + ': the well of v=%d' % v)

# 4. Window run: each lower level (v'', J''=1) stands twice in Astate.dat, p'' = 0 then 1, and
#    its lines follow in that order, the same set for both parities (Λ = 0).
lines = rows(win + '/vel_tran.csv')
check(len(lines) > 0, 'window: lines written')
for v in (0, 1):
    group = [r for r in lines if r['lower_v'] == str(v)]
    half = len(group) // 2
    check(len(group) == 2 * half and half > 0, "window: v''=%d lines in pairs" % v)
    check([r['lower_p'] for r in group] == ['0'] * half + ['1'] * half,
          "window: parities of v''=%d: %s" % (v, [r['lower_p'] for r in group]))
    for r in group:
        want = str(1 - int(r['lower_p'])) if r['branch'] == 'Q' else r['lower_p']
        check(r['upper_p'] == want, 'window: upper parity of line ' + r['line'])
        # One curve, lower and upper of the same v, J differing by at most 1: nearly one.
        if r['upper_v'] == r['lower_v']:
            check(float(r['FCF']) > 0.99, 'window: FCF of line ' + r['line'])
        else:
            check(float(r['FCF']) < 0.01, 'window: FCF of line ' + r['line'])
# A fluorescence run: the known level B(v=1, J=2, p=1) is the upper one, the computed A levels
# (J'' = 1 and 3 for each v'') the lower ones; the branch follows ΔJ = J' − J'' (R(1), P(3)).
lines = rows(known + '/vel_tran.csv')
check([r['branch'] for r in lines] == ['R', 'P'] * 4, 'known: R and P lines')
for r in lines:
    check((r['upper_v'], r['upper_J'], r['upper_p']) == ('1', '2', '1'), 'known: upper level')
    check(r['lower_p'] == '1' and r['lower_J'] == {'R': '1', 'P': '3'}[r['branch']],
          'known: lower level')
    same = r['lower_v'] == '1'
    check((float(r['FCF']) > 0.99) if same else (float(r['FCF']) < 0.01),
          'known: FCF of line ' + r['line'])
for what in bad:
    print('FAIL:', what)
sys.exit(1 if bad else 0)
PYEOF

# Errors: status 2 with the file (and line) named.
cp "$mo/tdm.txt" "$mo/bad.txt" && echo "3.0 x" >> "$mo/bad.txt"
expect "$mo" 2 "velk-props: bad.txt: line 4: expected two numbers" "$props" transitions --moment bad.txt
expect "$mo" 2 "velk-props: none.txt: cannot open" "$props" transitions --moment none.txt
sed -i '2s/na2x.pot/other.pot/' "$mo/Astate.dat"
expect "$mo" 2 "velk-props: Astate.dat: line 2: computed from other.pot, but velk.inf names na2x.pot" "$props" A
# An energy that the curve of velk.inf does not give: the file belongs to another run.
sed -i '2s/other.pot/na2x.pot/; 7s/96.31275/96.41275/' "$mo/Astate.dat"
expect "$mo" 2 "velk-props: Astate.dat: line 7: v=0 J=10: found 96.31275 cm-1, the file lists 96.41275" "$props" A
[ ! -e "$mo/Astate_props.csv" ] || fail "a level file that does not match left Astate_props.csv"
# The band of the check, from the energy found again (tolerance 1e-5 cm-1): a listed energy within
# the tolerance and the printed rounding passes without a word, three tolerances off is a
# warning, twelve (beyond ten and the rounding) stop velk-props.
listed_at() {  # DIR OFFSET: line 7 of Bstate.dat lists the energy found for v=0 J=0 plus OFFSET
  python3 - "$1" "$2" << 'PYEOF'
import csv, sys
d, offset = sys.argv[1], float(sys.argv[2])
E = float(next(csv.DictReader(open(d + '/Bstate_props.csv')))['E'])
lines = open(d + '/Bstate.dat').read().split('\n')
old = lines[6].split()[3]
lines[6] = lines[6].replace(old, '%*.5f' % (len(old), E + offset), 1)
open(d + '/Bstate.dat', 'w').write('\n'.join(lines))
PYEOF
}
band=$work/band
mkdir "$band" && cp "$kr"/* "$band"/
listed_at "$band" 0.9e-5
(cd "$band" && "$props" B > /dev/null 2> props.err) || fail "band: 0.9 tolerance off stopped"
[ ! -s "$band/props.err" ] || fail "band: 0.9 tolerance off said $(cat "$band/props.err")"
cp "$kr/Bstate_props.csv" "$band"/ && listed_at "$band" 3e-5
(cd "$band" && "$props" B > /dev/null 2> props.err) || fail "band: 3 tolerances off stopped"
grep -q "velk-props: warning: Bstate.dat: line 7: v=0 J=0: found" "$band/props.err" ||
  fail "band: 3 tolerances off without a warning"
cp "$kr/Bstate_props.csv" "$band"/ && listed_at "$band" 12e-5
expect "$band" 2 "the level file does not belong to the curve and grid of velk.inf" "$props" B
rm "$kr/Astate.dat"
expect "$kr" 2 "velk-props: Astate.dat: no such file; run velk first" "$props" A
expect "$kr" 2 "usage: velk-props" "$props"
expect "$kr" 0 "--moment FILE" "$props" --help
exit $status
