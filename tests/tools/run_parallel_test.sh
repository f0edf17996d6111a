#!/usr/bin/env bash
# tools/run_parallel.sh against the real binary: every listed directory gets its own run, with the
# same files as a run made by hand in that directory; a failing run is reported and turns the exit
# status to 1; a run that meets a pause of the numerical library does not wait for an answer;
# bad command lines are refused. Both back ends are checked: xargs always, GNU parallel when it
# is installed. The Slurm array template of docs/slurm is run the same way, as a plain script
# with the task number a scheduler would give it.
# usage: run_parallel_test.sh PATH/TO/velk
set -u
velk=$(readlink -f "$1")
root=$(cd "$(dirname "$0")/../.." && pwd)
tool=$root/tools/run_parallel.sh
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Three CO level tables that differ in their v and J ranges, so that a run done in the wrong
# directory would leave the wrong table behind.
make_co_dir() {  # dir vmax Jmax
  mkdir -p "$1"
  cp "$root/examples/co-levels/velk.inf" "$root/examples/co-levels/cox.dun" \
    "$root/examples/co-levels/coxband.dun" "$1/"
  sed -i "17s/.*/0 $2 0 $3 1 1/" "$1/velk.inf"
}
make_cases() {  # base
  make_co_dir "$1/co a" 2 3
  make_co_dir "$1/co-b" 4 1
  make_co_dir "$1/co-c" 0 7
  # A run that stops on an input error: its data file is missing (status 2).
  make_co_dir "$1/broken" 1 1
  rm "$1/broken/cox.dun"
  # A pointwise curve whose fit window holds no grid point: the fit pauses on a singular matrix
  # every time the curve is built. With no answer to wait for the run must go on and end.
  mkdir -p "$1/pause"
  cp "$root/examples/na2-x-points-ext/velk.inf" "$root/examples/na2-x-points-ext/na2xext.pot" \
    "$1/pause/"
  sed -i -e '9,10s/^[^ ]* [^ ]* [^ ]*/2.2 12 2000/' -e '17s/.*/0 0 0 0 1 1/' "$1/pause/velk.inf"
  sed -i 's/^12.0 19.5 0.0 /60.0 70.0 0.0 /' "$1/pause/na2xext.pot"
}

# The reference: the same directories run one by one by hand.
make_cases "$scratch/serial"
for d in "$scratch/serial"/*; do
  (cd "$d" && "$velk" </dev/null >console.txt 2>&1; echo $? >status.txt)
done
[ "$(cat "$scratch/serial/broken/status.txt")" = 2 ] || fail "the broken reference run did not end with status 2"
grep -q "singular matrix in gaussj" "$scratch/serial/pause/console.txt" ||
  fail "the pause reference run met no pause"

backends="xargs"
if parallel --version 2>/dev/null | grep -q 'GNU parallel'; then
  backends="$backends parallel"
else
  echo "GNU parallel is not installed: only the xargs back end is tested"
fi

for backend in $backends; do
  base=$scratch/$backend
  make_cases "$base"
  # Directories come from a list file (one with a blank in its name) and from the arguments.
  printf '%s\n' "$base/co a" "$base/co-b" >"$base.list"
  VELK_PARALLEL_TOOL=$backend timeout 300 "$tool" -j 3 -b "$velk" -f "$base.list" \
    "$base/co-c" "$base/broken" "$base/pause" >"$base.summary" 2>&1
  status=$?
  [ "$status" = 1 ] || fail "$backend: exit status $status with a failing run, expected 1"
  grep -qx "5 runs with $backend: 4 ended with status 0, 1 failed" "$base.summary" ||
    fail "$backend: closing line missing: $(tail -1 "$base.summary")"
  grep -qx "2 $base/broken" "$base.summary" || fail "$backend: the failing run is not reported"
  for name in "co a" co-b co-c broken pause; do
    for file in status.txt console.txt Astate.dat potext.out; do
      ref=$scratch/serial/$name/$file
      got=$base/$name/$file
      [ -e "$ref" ] || continue
      cmp -s "$ref" "$got" || fail "$backend: $name/$file differs from the run made by hand"
    done
  done

  # Only good directories: status 0, and the list read from standard input.
  printf '%s\n' "$base/co-b" "$base/co-c" |
    VELK_PARALLEL_TOOL=$backend timeout 300 "$tool" -j 2 -b "$velk" -f - >"$base.summary2" 2>&1
  status=$?
  [ "$status" = 0 ] || fail "$backend: exit status $status when every run succeeds"
  grep -qx "2 runs with $backend: 2 ended with status 0, 0 failed" "$base.summary2" ||
    fail "$backend: closing line of the good runs: $(tail -1 "$base.summary2")"
done

# Refusals: no directory, a directory without velk.inf, the same directory twice, a bad -j, no
# binary. Each is exit status 2 and runs nothing.
mkdir -p "$scratch/empty"
"$tool" -b "$velk" >/dev/null 2>&1
[ $? = 2 ] || fail "no directory given is not refused"
"$tool" -b "$velk" "$scratch/empty" >"$scratch/out" 2>&1
[ $? = 2 ] && grep -q "holds no velk.inf" "$scratch/out" || fail "a directory without velk.inf is not refused"
"$tool" -b "$velk" "$scratch/xargs/co-b" "$scratch/xargs/co-b/" >"$scratch/out" 2>&1
[ $? = 2 ] && grep -q "listed twice" "$scratch/out" || fail "a directory listed twice is not refused"
"$tool" -j 0 -b "$velk" "$scratch/xargs/co-b" >/dev/null 2>&1
[ $? = 2 ] || fail "-j 0 is not refused"
"$tool" -b "$scratch/no-such-velk" "$scratch/xargs/co-b" >/dev/null 2>&1
[ $? = 2 ] || fail "a missing binary is not refused"
VELK_PARALLEL_TOOL=make "$tool" -b "$velk" "$scratch/xargs/co-b" >/dev/null 2>&1
[ $? = 2 ] || fail "an unknown back end is not refused"

# The Slurm array template, run as a plain script with the task number a scheduler would set:
# task 2 of a list runs in the directory on line 2, and ends with that run's status.
make_cases "$scratch/slurm"
printf '%s\n' "$scratch/slurm/co-c" "$scratch/slurm/co a" "$scratch/slurm/broken" >"$scratch/slurm.list"
sbatch=$root/docs/slurm/velk_array.sbatch
for task in 2 3; do
  SLURM_ARRAY_TASK_ID=$task LIST=$scratch/slurm.list VELK=$velk bash "$sbatch" >/dev/null 2>&1
  echo $? >"$scratch/slurm.status.$task"
done
cmp -s "$scratch/serial/co a/Astate.dat" "$scratch/slurm/co a/Astate.dat" ||
  fail "slurm template: task 2 did not run in the directory of line 2"
[ "$(cat "$scratch/slurm.status.2")" = 0 ] || fail "slurm template: task 2 did not end with status 0"
[ ! -e "$scratch/slurm/co-c/Astate.dat" ] || fail "slurm template: line 1 was run by another task"
[ "$(cat "$scratch/slurm.status.3")" = 2 ] && [ "$(cat "$scratch/slurm/broken/status.txt")" = 2 ] ||
  fail "slurm template: the status of a failing run is not passed on"
SLURM_ARRAY_TASK_ID=9 LIST=$scratch/slurm.list VELK=$velk bash "$sbatch" >/dev/null 2>&1
[ $? = 2 ] || fail "slurm template: a task beyond the list does not fail"

if [ "$failures" -eq 0 ]; then
  echo "run_parallel: all checks passed"
  exit 0
fi
exit 1
