#!/usr/bin/env bash
# Runs the velk binary on scratch copies of one working directory under tests/e2e, once for each
# thread count, with the given further arguments (--fast, say), and requires the same status,
# standard output, standard error and files byte for byte from every count.
# usage: same_on_thread_counts.sh PATH/TO/velk CASE_DIR "COUNT COUNT..." [VELK_ARGUMENT...]
set -u
bin=$(readlink -f "$1")
dir=$(readlink -f "$2")
counts=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
first=""
status=0
for threads in $counts; do
  mkdir "$work/$threads"
  find "$dir" -maxdepth 1 -type f ! -name README.md -exec cp {} "$work/$threads/" \;
  (cd "$work/$threads" && timeout 600 "$bin" "$@" --threads "$threads" </dev/null \
     >stdout.txt 2>stderr.txt; echo $? >status.txt)
  if [ -z "$first" ]; then
    first=$threads
  elif ! diff -r "$work/$first" "$work/$threads" >"$work/diff.txt"; then
    echo "--threads $threads differs from --threads $first:"; head -20 "$work/diff.txt"; status=1
  fi
done
exit $status
