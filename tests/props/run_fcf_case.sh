#!/usr/bin/env bash
# velk-props fcf in a scratch copy of examples/na2-absorb-fcf (X -> A, both curves), read back
# with python3's csv module. Cases:
#   table     the layout; the completeness sum Σv' FCF = 1 for each v'' (61 upper levels hold the
#             whole overlap of the low X levels); the Q lines of `velk-props transitions`, whose
#             J' = J'' = 10, against the table's cells; the default v of the level files;
#             --isotopologue.
#   refusals  status 2 and nothing written for bad arguments, a Dunham state, no velk.inf and a
#             J no level file lists.
# Usage: run_fcf_case.sh CASE VELK VELK_PROPS SOURCE_DIR. Exit 77 without python3.
set -u
case=$1 velk=$2 props=$3 source=$4
command -v python3 > /dev/null || exit 77
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
cp -r "$source/examples/na2-absorb-fcf" "$work/run"
cd "$work/run" || exit 1
"$velk" > velk.log 2>&1 < /dev/null || fail "velk: $(tail -3 velk.log)"

if [ "$case" = table ]; then
  "$props" fcf --J 10 --v-lower 0 3 --v-upper 0 60 > fcf.log || fail "fcf: $(cat fcf.log)"
  python3 - << 'PY' || exit 1
import csv, sys
fcf = list(csv.reader(open("fcf_table.csv", newline="")))
rc = list(csv.reader(open("rcentroid_table.csv", newline="")))
assert fcf[0] == ["v''"] + [str(v) for v in range(61)], fcf[0]
assert rc[0] == fcf[0] and [r[0] for r in fcf[1:]] == ["0", "1", "2", "3"]
for row in fcf[1:]:
    total = sum(float(x) for x in row[1:])
    # The levels are converged to the run's tolerance: the sum holds to about 1e-10.
    assert abs(total - 1.0) < 1e-9, (row[0], total)
for row, frow in zip(rc[1:], fcf[1:]):
    # Where the overlap is not small the r-centroid lies inside the grids of both curves
    # (2.3 to 12 Å); it is a ratio of two small numbers only where the overlap vanishes.
    assert all(2.3 < float(x) < 12.0 for x, f in zip(row[1:], frow[1:]) if float(f) > 1e-4), row[0]
PY
  "$props" transitions > transitions.log || fail "transitions: $(cat transitions.log)"
  "$props" fcf --J 10 > fcf.log || fail "fcf with the level files' v: $(cat fcf.log)"
  python3 - << 'PY' || exit 1
import csv
fcf = list(csv.reader(open("fcf_table.csv", newline="")))
rc = list(csv.reader(open("rcentroid_table.csv", newline="")))
# The level files list v' = 0..40 of A at J' = 10 and v'' = 0 of X.
assert fcf[0] == ["v''"] + [str(v) for v in range(41)], fcf[0]
assert [r[0] for r in fcf[1:]] == ["0"], [r[0] for r in fcf[1:]]
q = [r for r in csv.DictReader(open("vel_tran.csv", newline="")) if r["branch"] == "Q"]
assert len(q) == 41, len(q)
for line in q:
    column = fcf[0].index(line["upper_v"])
    row = [r for r in fcf[1:] if r[0] == line["lower_v"]][0]
    rrow = [r for r in rc[1:] if r[0] == line["lower_v"]][0]
    # transitions solves level by level, the table J by J: both converged to the run's
    # tolerance, so they agree to about 1e-10, not bit for bit.
    assert abs(float(line["FCF"]) - float(row[column])) < 1e-8, line
    assert abs(float(line["r_centroid"]) - float(rrow[column])) < 1e-6, line
PY
  # The curves' mass index 1 holds 23Na2's reduced mass: the same table to the last bits of the
  # mass; 39K2's mass moves every factor, and the sum over v' still holds.
  cp fcf_table.csv default.csv
  "$props" fcf --J 10 --isotopologue 23Na2 > fcf.log || fail "fcf --isotopologue 23Na2"
  cp fcf_table.csv na2.csv
  "$props" fcf --J 10 --v-lower 0 0 --v-upper 0 70 --isotopologue 39K2 > fcf.log ||
    fail "fcf --isotopologue 39K2"
  python3 - << 'PY' || exit 1
import csv
default = list(csv.reader(open("default.csv", newline="")))
na2 = list(csv.reader(open("na2.csv", newline="")))
k2 = list(csv.reader(open("fcf_table.csv", newline="")))
assert default[0] == na2[0]
for a, b in zip(default[1][1:], na2[1][1:]):
    assert abs(float(a) - float(b)) < 1e-12, (a, b)
assert abs(sum(float(x) for x in k2[1][1:]) - 1.0) < 1e-9
assert max(abs(float(a) - float(b)) for a, b in zip(default[1][1:], k2[1][1:])) > 1e-3
PY
  echo PASS
  exit 0
fi

# refusals: expect STATUS TEXT ARGS...
expect() {
  local want=$1 text=$2
  shift 2
  rm -f fcf_table.csv rcentroid_table.csv
  out=$("$props" fcf "$@" 2>&1)
  code=$?
  [ "$code" = "$want" ] || fail "fcf $*: status $code, expected $want ($out)"
  case "$out" in *"$text"*) ;; *) fail "fcf $*: '$text' not in: $out" ;; esac
  [ ! -e fcf_table.csv ] && [ ! -e rcentroid_table.csv ] || fail "fcf $*: a table was written"
}
expect 2 "--J J is required"
expect 2 "--J wants" --J -1
expect 2 "V1 <= V2" --J 1 --v-upper 5 2
expect 2 "--v-lower wants" --J 1 --v-lower 0
expect 2 "unknown argument" --J 1 --moment x
expect 2 "list no level of J = 77" --J 77
expect 2 "unknown isotope '24Na'" --J 10 --isotopologue 24Na2
cp "$source"/examples/na2-absorb/* . 2> /dev/null
grep -q . velk.inf || fail "no velk.inf of na2-absorb"
expect 2 "is a Dunham state" --J 10 --v-upper 0 1 --v-lower 0 1
rm velk.inf
expect 2 "velk.inf" --J 10 --v-upper 0 1 --v-lower 0 1
echo PASS
