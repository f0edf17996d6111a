#!/usr/bin/env bash
# Runs the velk binary in a scratch copy of one working directory under tests/e2e and compares
# every file under its expected/ folder (stdout.txt and status.txt included) byte for byte.
# A file the run writes that is neither an input nor expected is a failure too. Standard error is
# kept as stderr.txt: compared like the rest when expected/stderr.txt exists, ignored otherwise.
# Standard output must end with a line end, whatever the run printed last.
# Further arguments go to velk (a thread count, say), whose files must not depend on them.
# usage: run_case.sh PATH/TO/velk CASE_DIR [VELK_ARGUMENT...]
set -u
bin=$(readlink -f "$1")
dir=$(readlink -f "$2")
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
find "$dir" -maxdepth 1 -type f ! -name README.md -exec cp {} "$work/" \;
(cd "$work" && timeout 600 "$bin" "$@" </dev/null >stdout.txt 2>stderr.txt; echo $? >status.txt)
status=0
for exp in "$dir"/expected/*; do
  name=$(basename "$exp")
  if [ ! -f "$work/$name" ]; then
    echo "$name was not written"; status=1; continue
  fi
  if ! cmp -s "$exp" "$work/$name"; then
    echo "$name differs:"; diff "$exp" "$work/$name" | head -20; status=1
  fi
done
if [ -s "$work/stdout.txt" ] && [ "$(tail -c 1 "$work/stdout.txt" | od -An -c | tr -d ' ')" != '\n' ]; then
  echo "stdout.txt does not end with a line end"; status=1
fi
for got in "$work"/*; do
  name=$(basename "$got")
  [ "$name" = stderr.txt ] && continue
  if [ ! -e "$dir/$name" ] && [ ! -e "$dir/expected/$name" ]; then
    echo "wrote $name, which is not expected"; status=1
  fi
done
exit $status
