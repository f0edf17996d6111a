#!/usr/bin/env bash
# The build refuses compiler flags that would let floating-point results depend on the compiler
# and the machine: each case configures a scratch build with one such flag and expects the
# configuration to fail with a message naming the flag. A last case configures with harmless
# extra flags and expects no refusal.
# usage: determinism_flags_test.sh CMAKE SOURCE_DIR
set -u
cmake=$1
src=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
configure() {  # configure FLAGS -> output in $scratch/out, returns cmake's status
  rm -rf "$scratch/build"
  "$cmake" -S "$src" -B "$scratch/build" -DCMAKE_CXX_FLAGS="$1" -DVELK_BENCH=OFF > "$scratch/out" 2>&1
}
for flag in -ffast-math -Ofast -ffp-contract=fast -ffp-contract=on; do
  if configure "-O2 $flag"; then
    echo "FAIL: the build accepted $flag"
    status=1
  elif ! grep -q -- "velk: $flag found in the C++ flags" "$scratch/out"; then
    echo "FAIL: the refusal of $flag does not name it:"
    cat "$scratch/out"
    status=1
  fi
done
if configure "-O2 -ffp-contract=off -g"; then :; else
  if grep -q "velk: .* found in the C++ flags" "$scratch/out"; then
    echo "FAIL: the build refused -ffp-contract=off -g"
    status=1
  fi
fi
[ $status -eq 0 ] && echo "determinism: every such flag is refused, with its name"
exit $status
