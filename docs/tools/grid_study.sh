#!/usr/bin/env bash
# Grid-step study: how the level energies of one example move as the radial step is halved.
#
# usage: docs/tools/grid_study.sh [-b VELK] [-e EXAMPLE_DIR] [-v "V..."] [-n "N..."] [-t TOL]
#
#   -b  the velk binary (default: build/velk of this checkout)
#   -e  an example working directory whose state A is a potential file
#       (default: examples/na2-x-analytic)
#   -v  the vibrational levels to report, at J = 0 (default: "0 10 30 50")
#   -n  the numbers of grid points, coarsest first; the last one is the reference
#       (default: "2501 5001 10001 20001 40001": N - 1 doubles, so the step halves exactly)
#   -t  the energy tolerance of the runs (default: 1e-8, far below the grid errors measured)
#
# For every N the example is copied to a scratch directory, velk.inf is rewritten to compute
# one level table of state A (v = 0 .. the highest -v value, J = 0, parity index 1) on the
# example's Rmin..Rmax with N points and tolerance TOL, and velk is run there. The table printed
# gives, for each N, the step h, the run time and E(v; N) - E(v; Nref) in cm-1 for each v, with
# Nref the last N. A level that the run left out (or never wrote) is shown as "missing".
#
# The rewrite works on line numbers: records 9, 10 (grids), 12 (tolerance), 15 to 17 (level
# table), 19, 23, 28 (the other switches) must each stand on one line, as they do in every
# example under examples/.
set -euo pipefail

here=$(cd "$(dirname "$0")/../.." && pwd)
velk=$here/build/velk
example=$here/examples/na2-x-analytic
levels="0 10 30 50"
points="2501 5001 10001 20001 40001"
tol=1e-8
while getopts "b:e:v:n:t:" opt; do
  case $opt in
    b) velk=$OPTARG ;;
    e) example=$OPTARG ;;
    v) levels=$OPTARG ;;
    n) points=$OPTARG ;;
    t) tol=$OPTARG ;;
    *) sed -n '2,20p' "$0" >&2; exit 2 ;;
  esac
done
velk=$(readlink -f "$velk")
[ -x "$velk" ] || { echo "grid_study: no velk binary at $velk (build it, or give -b)" >&2; exit 2; }
[ -f "$example/velk.inf" ] || { echo "grid_study: no velk.inf in $example" >&2; exit 2; }

vmax=0
for v in $levels; do [ "$v" -gt "$vmax" ] && vmax=$v; done
read -r Rmin Rmax _ < <(sed -n 9p "$example/velk.inf")

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# One run per N; its J = 0 energies go to $scratch/E.<N> as "v E" lines.
for N in $points; do
  work=$scratch/run.$N
  cp -r "$example" "$work"
  awk -v grid="$Rmin $Rmax $N" -v tol="$tol" -v vmax="$vmax" '
    NR == 9 || NR == 10 { print grid; next }
    NR == 12 { print tol; next }
    NR == 15 { print "y"; next }
    NR == 16 { print 1; next }
    NR == 17 { print 0, vmax, 0, 0, 1, 1; next }
    NR == 19 || NR == 23 || NR == 28 { print "n"; next }
    { print }' "$example/velk.inf" >"$work/velk.inf"
  start=$(date +%s.%N)
  status=0
  (cd "$work" && "$velk" </dev/null >console.txt 2>&1) || status=$?
  end=$(date +%s.%N)
  if [ "$status" -ne 0 ]; then
    echo "grid_study: velk ended with status $status for N = $N:" >&2
    tail -3 "$work/console.txt" >&2
    exit 1
  fi
  awk 'NR > 6 && $3 == 0 { print $2, $4 }' "$work/Astate.dat" >"$scratch/E.$N"
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f\n", b - a }' >"$scratch/time.$N"
done

ref=${points##* }
echo "Grid-step study of $(basename "$example"): state A on $Rmin..$Rmax A, J = 0, tolerance $tol cm-1."
echo "Columns v = ...: E(v; N) - E(v; N = $ref) in cm-1. Reference energies E(v; N = $ref):"
for v in $levels; do
  awk -v v="$v" '$1 == v { printf "  v = %s: %s cm-1\n", v, $2 }' "$scratch/E.$ref"
done
echo
header="| N | h (A) | time (s) |"
rule="|---:|---:|---:|"
for v in $levels; do
  header="$header v = $v |"
  rule="$rule---:|"
done
echo "$header"
echo "$rule"
for N in $points; do
  row=$(awk -v a="$Rmin" -v b="$Rmax" -v n="$N" 'BEGIN { printf "%.6f", (b - a) / (n - 1) }')
  row="| $N | $row | $(cat "$scratch/time.$N") |"
  for v in $levels; do
    cell=$(awk -v v="$v" 'FNR == NR { if ($1 == v) ref = $2; next }
                          $1 == v { val = $2 }
                          END { if (val == "" || ref == "") printf "missing"
                                else printf "%.5f", val - ref }' \
      "$scratch/E.$ref" "$scratch/E.$N")
    row="$row $cell |"
  done
  echo "$row"
done
