#!/usr/bin/env bash
# Worst grid error over all vibrational levels of one example, against a Richardson extrapolation.
#
# usage: docs/tools/grid_error.sh [-b VELK] [-e EXAMPLE_DIR] [-V VMAX] [-n "N..."] [-t TOL] [-k]
#
#   -b  the velk binary (default: build/velk of this checkout)
#   -e  an example working directory whose state A is a potential file
#       (default: examples/na2-x-analytic)
#   -V  the highest v of the study, at J = 0 (default: 65, the last level of the Na2 X examples)
#   -n  the numbers of grid points (default: "5001 10001 20001 25000 50000"); the last two
#       define the reference, so give the finest last and the one before it with about twice
#       its step
#   -t  the energy tolerance of the runs (default: 1e-8, far below the grid errors measured)
#   -k  keep the per-level table (v, E for each N, reference) in grid_error_levels.txt
#
# For every N the example is copied to a scratch directory, velk.inf is rewritten to compute one
# level table of state A (v = 0 .. VMAX, J = 0, parity index 1) on the example's Rmin..Rmax with N
# points and tolerance TOL, and velk is run there. The Numerov error of a level falls as h^4, so
# from the two finest grids (steps h1 > h2) the reference
#     Eref(v) = E(v; h2) + [E(v; h2) - E(v; h1)] / [(h1/h2)^4 - 1]
# removes the h^4 term. What is left is of higher order; it is small only when both grids are
# fine (on coarse grids the error does not yet follow h^4 closely), so check the reference once
# against one run on a much finer step over a shorter range that still holds the levels of
# interest (1.8-20 A for Na2 X up to v = 62).
#
# For every N the table gives the step h, the user CPU time of the run (by /usr/bin/time; "-"
# without it), the error E(v; N) - Eref(v) of largest size over the v computed and the v where it
# occurs, the same maximum taken over v <= VMAX - 3 (the top levels also feel the grid end, not
# only the step), and how many levels the run left out or placed wrongly (node count unequal to
# v). Level files hold energies to 1e-5 cm-1, so errors below about 2e-5 cm-1 are not resolved.
#
# The rewrite works on line numbers: records 9, 10 (grids), 12 (tolerance), 15 to 17 (level
# table), 19, 23, 28 (the other switches) must each stand on one line, as they do in every
# example under examples/.
set -euo pipefail

here=$(cd "$(dirname "$0")/../.." && pwd)
velk=$here/build/velk
example=$here/examples/na2-x-analytic
vmax=65
points="5001 10001 20001 25000 50000"
tol=1e-8
keep=0
while getopts "b:e:V:n:t:k" opt; do
  case $opt in
    b) velk=$OPTARG ;;
    e) example=$OPTARG ;;
    V) vmax=$OPTARG ;;
    n) points=$OPTARG ;;
    t) tol=$OPTARG ;;
    k) keep=1 ;;
    *) sed -n '2,33p' "$0" >&2; exit 2 ;;
  esac
done
velk=$(readlink -f "$velk")
[ -x "$velk" ] || { echo "grid_error: no velk binary at $velk (build it, or give -b)" >&2; exit 2; }
[ -f "$example/velk.inf" ] || { echo "grid_error: no velk.inf in $example" >&2; exit 2; }
read -r -a list <<<"$points"
[ "${#list[@]}" -ge 2 ] || { echo "grid_error: give at least two grids with -n" >&2; exit 2; }
read -r Rmin Rmax _ < <(sed -n 9p "$example/velk.inf")

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# One run per N; its J = 0 energies go to $scratch/E.<N> as "v E" lines.
for N in "${list[@]}"; do
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
  status=0
  if [ -x /usr/bin/time ]; then
    (cd "$work" && /usr/bin/time -f %U -o cpu.txt "$velk" </dev/null >console.txt 2>&1) || status=$?
  else
    echo "-" >"$work/cpu.txt"
    (cd "$work" && "$velk" </dev/null >console.txt 2>&1) || status=$?
  fi
  if [ "$status" -ne 0 ]; then
    echo "grid_error: velk ended with status $status for N = $N:" >&2
    tail -3 "$work/console.txt" >&2
    exit 1
  fi
  # A level counts only when its node count equals v (last column).
  awk 'NR > 6 && $3 == 0 && $NF == $2 { print $2, $4 }' "$work/Astate.dat" >"$scratch/E.$N"
  tail -1 "$work/cpu.txt" >"$scratch/time.$N"
done

step() { awk -v a="$Rmin" -v b="$Rmax" -v n="$1" 'BEGIN { printf "%.9f", (b - a) / (n - 1) }'; }
# richardson COARSE FINE > "v Eref" lines for the v both grids hold
richardson() {
  local h1 h2
  h1=$(step "$1")
  h2=$(step "$2")
  awk -v h1="$h1" -v h2="$h2" 'FNR == NR { e1[$1] = $2; next }
    ($1 in e1) { r = (h1 / h2) ^ 4; printf "%d %.10f\n", $1, $2 + ($2 - e1[$1]) / (r - 1) }' \
    "$scratch/E.$1" "$scratch/E.$2"
}
n=${#list[@]}
richardson "${list[n - 2]}" "${list[n - 1]}" >"$scratch/ref"
echo "Grid error of $(basename "$example"): state A on $Rmin..$Rmax A, v = 0..$vmax, J = 0,"
echo "tolerance $tol cm-1. Reference: Richardson extrapolation from N = ${list[n - 2]} and ${list[n - 1]}."
echo
echo "| N | h (A) | CPU time (s) | max error (cm-1) | at v | max error, v <= $((vmax - 3)) (cm-1) | at v | levels missing |"
echo "|---:|---:|---:|---:|---:|---:|---:|---:|"
for N in "${list[@]}"; do
  awk -v N="$N" -v h="$(step "$N")" -v t="$(cat "$scratch/time.$N")" -v vmax="$vmax" '
    FNR == NR { ref[$1] = $2; next }
    { have[$1] = 1
      if (!($1 in ref)) next
      d = $2 - ref[$1]; a = d < 0 ? -d : d; seen++
      if (a >= m) { m = a; at = $1; sm = d }
      if ($1 <= vmax - 3 && a >= m3) { m3 = a; at3 = $1; sm3 = d } }
    END { miss = 0
          for (v = 0; v <= vmax; v++) if (!(v in have)) miss++
          if (seen == 0) printf "| %d | %.6f | %s | none | - | none | - | %d |\n", N, h, t, miss
          else printf "| %d | %.6f | %s | %.1e | %d | %.1e | %d | %d |\n",
                      N, h, t, sm, at, sm3, at3, miss }' "$scratch/ref" "$scratch/E.$N"
done

if [ "$keep" -eq 1 ]; then
  {
    printf "v"
    for N in "${list[@]}"; do printf " E(N=%s)" "$N"; done
    printf " Eref\n"
    for v in $(seq 0 "$vmax"); do
      printf "%d" "$v"
      for N in "${list[@]}"; do
        printf " %s" "$(awk -v v="$v" '$1 == v { print $2 }' "$scratch/E.$N")"
      done
      printf " %s\n" "$(awk -v v="$v" '$1 == v { print $2 }' "$scratch/ref")"
    done
  } >grid_error_levels.txt
  echo
  echo "Per-level energies written to grid_error_levels.txt."
fi
