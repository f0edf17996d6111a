#!/usr/bin/env bash
# velk-plot on a level file that velk really wrote: the quasi-bound e2e case, where some levels
# above the barrier converged on another node count. Which levels are not found is worked out here
# from the fixed columns of the level file and record 12 of velk.inf, apart from velk-plot, and
# compared with the lines the picture marks; --hide-not-found must leave exactly those out.
# Usage: run_not_found_case.sh VELK_PLOT CASE_DIR. Exit 77 when python3 is missing.
set -u
plot=$1
case_dir=$2
command -v python3 > /dev/null || { echo "no python3"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$case_dir"/velk.inf "$case_dir"/*.pot "$case_dir"/expected/Astate.dat "$work"/
cd "$work" || exit 1
"$plot" A > plain.log < /dev/null || { cat plain.log; exit 1; }
mv plot_A.svg marked.svg
"$plot" A --hide-not-found > hidden.log < /dev/null || { cat hidden.log; exit 1; }
python3 - << 'PYEOF'
import xml.dom.minidom

with open('velk.inf') as f:
    records = f.read().splitlines()
tolerance = float(records[11].split()[0])  # record 12

expected = set()
levels = []
with open('Astate.dat') as f:
    for line in f.read().splitlines()[6:]:
        if not line.strip():
            continue
        v = int(line[5:9]); J = int(line[9:13])
        dcor = float(line[55:65]); node = int(line[80:84])
        levels.append((v, J))
        if node != v or abs(dcor) > tolerance:
            expected.add((v, J))

def lines(name):
    doc = xml.dom.minidom.parse(name)
    return [e for e in doc.getElementsByTagName('line')
            if 'level' in e.getAttribute('class').split()]

marked = {(int(e.getAttribute('data-v')), int(e.getAttribute('data-J')))
          for e in lines('marked.svg') if 'not-found' in e.getAttribute('class').split()}
kept = {(int(e.getAttribute('data-v')), int(e.getAttribute('data-J'))) for e in lines('plot_A.svg')}
ok = True
if not expected:
    print('the case has no level that was not found; it tests nothing'); ok = False
if marked != expected:
    print('marked', sorted(marked), 'expected', sorted(expected)); ok = False
if kept != set(levels) - expected:
    print('kept', sorted(kept), 'expected', sorted(set(levels) - expected)); ok = False
print('not-found case:', len(expected), 'of', len(levels), 'levels not found' if ok else 'FAILED')
raise SystemExit(0 if ok else 1)
PYEOF
