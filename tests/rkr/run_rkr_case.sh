#!/bin/sh
# velk-rkr turns the CO X Dunham coefficients of examples/co-levels into a curve; velk then
# computes the curve's levels from its own velk.inf on the suggested grid, which must equal the
# levels of velk-rkr --check (the same file, grid and search) and lie near the constants' G(v) (0.18 cm-1 above: Dunham's Y00, which cox.dun leaves out).
# Refused inputs give status 2 and write nothing.
set -u
rkr=$1 velk=$2 source=$3
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail() { echo "FAIL: $*"; exit 1; }
cp "$source/examples/co-levels/cox.dun" .

"$rkr" cox.dun --masses 12 15.9949146221 --v-max 15 --check > check.txt 2> warnings.txt
status=$?
cat check.txt warnings.txt
[ $status -eq 0 ] || fail "velk-rkr exit status $status"
[ -f cox_rkr.pot ] || fail "no cox_rkr.pot"
grid=$(sed -n 's/.*suggested grid (velk.inf): //p' check.txt)
[ -n "$grid" ] || fail "no suggested grid"

cat > velk.inf <<INF
CO X from velk-rkr
cox_rkr.pot
p
1
cox_rkr.pot
p
1
grid
$grid
$grid
60
1e-07
n
level table
y
1
0 10 0 0 1 1
one-level
n
0 0 1
0 0 1 1
known-level
n
1
0 0 1 0.0
0 0 1 1
window
n
0.0 1.0
0 0 0 0 0 0
0 0 1
LIF
n
INF
"$velk" > velk.txt 2>&1 || fail "velk exit status $? on the written curve: $(tail -3 velk.txt)"
# v, G(v) of the constants, the level of --check; then velk's level of each v.
awk '$1 ~ /^[0-9]+$/ && NF == 4 { print $1, $2, $3 }' check.txt > check_levels.txt
awk 'NR > 6 && NF > 4 { print $2, $4 }' Astate.dat > velk_levels.txt
[ "$(wc -l < velk_levels.txt)" -eq 11 ] || fail "velk listed $(wc -l < velk_levels.txt) levels, not 11"
join check_levels.txt velk_levels.txt | awk '
  { if ((d = $4 - $3) < 0) d = -d; if (d > 1e-5 + 1e-9) { print "FAIL: v = " $1 ": velk " $4 ", --check " $3; bad = 1 }
    if ((e = $4 - $2) < 0) e = -e; if (e > 0.5) { print "FAIL: v = " $1 ": level " $4 " far from G(v) " $2; bad = 1 } }
  END { exit bad }' || exit 1

# The curves of examples/co-rkr are what velk-rkr writes today.
cp "$source/tests/rkr/coa.dun" .
"$rkr" cox.dun --masses 12 15.9949146221 --v-max 15 --out cox.pot > /dev/null || fail "cox.pot"
"$rkr" coa.dun --masses 12 15.9949146221 --v-max 12 --te --out coa.pot > /dev/null 2>&1 ||
  fail "coa.pot"
cmp cox.pot "$source/examples/co-rkr/cox.pot" || fail "examples/co-rkr/cox.pot is not velk-rkr's"
cmp coa.pot "$source/examples/co-rkr/coa.pot" || fail "examples/co-rkr/coa.pot is not velk-rkr's"

# Refusals: nothing written, status 2, the Dunham file untouched.
expect_refusal() {
  what=$1; shift
  rm -f out.pot
  "$rkr" "$@" > refusal.txt 2>&1
  status=$?
  [ $status -eq 2 ] || fail "$what: status $status, not 2: $(cat refusal.txt)"
  [ ! -e out.pot ] || fail "$what: out.pot written"
  ls -a | grep -q '^\.out\.pot\.velk' && fail "$what: a temporary file was left"
  return 0
}
expect_refusal "negative mass" cox.dun --masses -12 16 --out out.pot
expect_refusal "unknown isotope" cox.dun --masses 12C 19O --out out.pot
grep -q "'19O'" refusal.txt || fail "the unknown isotope is not named: $(cat refusal.txt)"
expect_refusal "unknown isotopologue" cox.dun --isotopologue 12C99O --out out.pot
# Isotope names give the table's masses, so the curve equals the one of the numbers.
"$rkr" cox.dun --isotopologue 12C16O --v-max 15 --out named.pot > /dev/null || fail "named.pot"
"$rkr" cox.dun --masses 12 15.99491461957 --v-max 15 --out numbers.pot > /dev/null ||
  fail "numbers.pot"
cmp named.pot numbers.pot || fail "--isotopologue 12C16O differs from its masses as numbers"
expect_refusal "missing file" nosuch.dun --masses 12 16 --out out.pot
expect_refusal "no masses" cox.dun --out out.pot
expect_refusal "v_max beyond the constants" cox.dun --masses 12 16 --v-max 500 --out out.pot
printf 'b\n1.0\n0\n2\n0 1081.5 1.92 0 0 0 0\n2 5000 1.89 0 0 0 0\n0\n0\n' > gap.dun
expect_refusal "band rows with a gap" gap.dun --masses 12 16 --out out.pot
before=$(cksum < cox.dun)
"$rkr" cox.dun --masses 12 16 --out ./cox.dun > same.txt 2>&1
[ $? -eq 2 ] || fail "an output named as the input is not refused: $(cat same.txt)"
[ "$(cksum < cox.dun)" = "$before" ] || fail "the Dunham file was changed"
echo "PASS"
