#!/usr/bin/env bash
# Every working directory under examples/ runs to exit status 0, in a scratch copy, and prints
# what its README promises.
#
# A README quotes output in fenced blocks whose info string names the file: a block opened by
# "```text Astate.dat" (or vel_tran.out, potext.out, ..., or "console" for the console output)
# holds lines that must each stand, whole and unchanged, as a line of that file after the run;
# a line "..." in such a block only marks an omission.
#
# The example folders themselves must hold nothing but README.md, velk.inf and the data files
# that velk.inf names (records 2 and 5), so that no output of a run is left behind in them.
# usage: examples_run_test.sh PATH/TO/velk
set -u
velk=$(readlink -f "$1")
root=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

count=0
for example in "$root"/examples/*/; do
  example=${example%/}
  name=$(basename "$example")
  # examples/python holds scripts for the Python module, not a working directory; the module's
  # tests run them.
  [ "$name" = python ] && continue
  count=$((count + 1))
  [ -f "$example/README.md" ] || fail "$name: no README.md"
  [ -f "$example/velk.inf" ] || { fail "$name: no velk.inf"; continue; }

  # Data file names are the first 12 characters of records 2 and 5, trailing blanks dropped.
  fileA=$(sed -n 2p "$example/velk.inf" | cut -c1-12 | sed 's/ *$//')
  fileB=$(sed -n 5p "$example/velk.inf" | cut -c1-12 | sed 's/ *$//')
  for f in "$example"/*; do
    base=$(basename "$f")
    case $base in
      README.md | velk.inf | "$fileA" | "$fileB") ;;
      *) fail "$name: $base is neither README.md, velk.inf nor a data file named there" ;;
    esac
  done

  work=$scratch/$name
  cp -r "$example" "$work"
  start=$(date +%s)
  (cd "$work" && "$velk" </dev/null >console 2>stderr.txt)
  status=$?
  echo "$name: status $status, $(($(date +%s) - start)) s"
  [ "$status" = 0 ] || { fail "$name: exit status $status"; tail -3 "$work/console"; continue; }

  # The quoted blocks of the README, each line checked against the file the block names.
  [ -f "$example/README.md" ] || continue
  awk -v out="$scratch/$name.quotes" '
    /^```text [^ ]+$/ { file = $2; next }
    /^```/ { file = ""; next }
    file != "" && $0 != "..." && $0 != "" { print file "\t" $0 > out }' "$example/README.md"
  if [ ! -s "$scratch/$name.quotes" ]; then
    fail "$name: the README quotes no output"
    continue
  fi
  while IFS=$'\t' read -r file line; do
    if [ ! -f "$work/$file" ]; then
      fail "$name: the README quotes $file, which the run did not write"
    elif ! grep -qxF -- "$line" "$work/$file"; then
      fail "$name: $file has no line \"$line\""
    fi
  done <"$scratch/$name.quotes"
done

[ "$count" -gt 0 ] || fail "no example found under $root/examples"
if [ "$failures" -eq 0 ]; then
  echo "examples: all $count examples ran and printed what their READMEs quote"
  exit 0
fi
exit 1
