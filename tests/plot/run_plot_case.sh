#!/usr/bin/env bash
# Runs velk in a scratch copy of a case directory, then velk-plot for both states and the
# transitions, and checks the pictures with an XML parser that has nothing to do with velk-plot:
# well-formed, one level line per level of the level file, one stick per transition line.
# Usage: run_plot_case.sh VELK VELK_PLOT CASE_DIR. Exit 77 when no XML parser is on the machine.
set -u
velk=$1
plot=$2
case_dir=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$case_dir"/* "$work"/
cd "$work" || exit 1

if ! "$velk" > velk.log 2>&1 < /dev/null; then
  echo "velk failed:"
  cat velk.log
  exit 1
fi

status=0
expect_last_line() {  # command-name expected-line
  local got
  got=$("$plot" "$1" < /dev/null | tail -n 1)
  local code=${PIPESTATUS[0]}
  if [ "$got" != "$2" ]; then
    echo "velk-plot $1: last line '$got', expected '$2'"
    status=1
  fi
}
expect_last_line B "velk-plot: wrote plot_B.svg"
expect_last_line A "velk-plot: wrote plot_A.svg (Dunham state: levels against J, no potential curve)"
expect_last_line transitions "velk-plot: wrote plot_transitions.svg"

if command -v python3 > /dev/null && python3 -c 'import xml.dom.minidom' 2> /dev/null; then
  python3 - << 'PYEOF' || status=1
import xml.dom.minidom

def level_lines(name):
    with open(name) as f:
        return sum(1 for line in f.readlines()[6:] if line.strip())

def count(doc, css):
    return sum(1 for e in doc.getElementsByTagName('line')
               if css in e.getAttribute('class').split())

def transition_lines():
    with open('vel_tran.out') as f:
        lines = f.read().splitlines()
    start = next(i for i, l in enumerate(lines) if l.strip().startswith('=====')) + 1
    return sum(1 for l in lines[start:] if l.strip())

ok = True
for picture, css, expected in (('plot_B.svg', 'level', level_lines('Bstate.dat')),
                               ('plot_A.svg', 'level', level_lines('Astate.dat')),
                               ('plot_transitions.svg', 'stick', transition_lines())):
    doc = xml.dom.minidom.parse(picture)  # raises on anything not well-formed
    root = doc.documentElement
    if root.tagName != 'svg' or root.getAttribute('xmlns') != 'http://www.w3.org/2000/svg':
        print(picture, 'is not an SVG document'); ok = False
    found = count(doc, css)
    if found != expected or expected == 0:
        print(picture, 'has', found, css, 'lines, expected', expected); ok = False
raise SystemExit(0 if ok else 1)
PYEOF
elif command -v xmllint > /dev/null; then
  xmllint --noout plot_A.svg plot_B.svg plot_transitions.svg || status=1
else
  echo "no XML parser (python3 or xmllint) on this machine"
  exit 77
fi

# Without the level file there is nothing to draw: one line and status 2.
rm -f Astate.dat plot_A.svg
message=$("$plot" A < /dev/null)
code=$?
if [ "$code" -ne 2 ] || [ "$message" != "velk-plot: Astate.dat: no such file; run velk first" ]; then
  echo "missing Astate.dat: status $code, message '$message'"
  status=1
fi
[ ! -e plot_A.svg ] || { echo "plot_A.svg written without a level file"; status=1; }

[ "$status" -eq 0 ] && echo "plot case: all checks passed"
exit "$status"
